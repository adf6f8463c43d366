#include "extension/config/Config.hpp"
#include "extension/config/Defaults.hpp"
#include "extension/config/YamlEmitter.hpp"
#include "extension/config/YamlParser.hpp"
#include "extension/config/tests/TestRoot.hpp"
#include "tests/support/BoundedWait.hpp"

#include <cstdio>
#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

using testing::TestRoot;

constexpr const char* validYaml = R"(auditLogger:
  customLogFormat: ${timestamp} ${command}
  muting:
    inverted: true
    targets:
    - path: /usr/bin
      type: prefix
    - path: /bin/ls
      type: literal
  enabled: true
  logFilePath: /var/log/vorla audit.log
  outputFormat: custom
  maxLogFileCount: 7
  maxLogFileSize: 2048
accessLogger:
  enabled: false
  logFilePath: /var/log/access.log
  outputFormat: json
  maxLogFileCount: 3
  maxLogFileSize: 4096
compressArchives: true
)";

// The valid document with one line replaced.
std::string withLine(const std::string& line, const std::string& replacement) {
    std::string text = validYaml;
    const auto at = text.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    return text.replace(at, line.size(), replacement);
}

TEST(ConfigYaml, DecodesEveryKey) {
    const auto config = Config::fromYaml(validYaml);
    const AuditLogger& audit = *config->auditLogger;
    EXPECT_EQ(audit.customLogFormat, "${timestamp} ${command}");
    EXPECT_TRUE(audit.muting.inverted);
    EXPECT_EQ(audit.muting.targets, (std::vector<MutePath>{{"/usr/bin", MutePath::type::prefix},
                                                           {"/bin/ls", MutePath::type::literal}}));
    EXPECT_TRUE(audit.enabled);
    EXPECT_EQ(audit.logFilePath->toPath(), "/var/log/vorla audit.log");
    EXPECT_EQ(audit.outputFormat, Formatter::type::custom);
    EXPECT_EQ(audit.maxLogFileCount, 7);
    EXPECT_EQ(audit.maxLogFileSize, 2048U);
    const AccessLogger& access = *config->accessLogger;
    EXPECT_FALSE(access.enabled);
    EXPECT_EQ(access.logFilePath->toPath(), "/var/log/access.log");
    EXPECT_EQ(access.maxLogFileCount, 3);
    EXPECT_EQ(access.maxLogFileSize, 4096U);
    EXPECT_TRUE(config->compressArchives);
}

TEST(ConfigYaml, ScalarsFollowYaml11) {
    struct Row {
        const char* line;
        const char* replacement;
    };
    const Row rows[] = {
        {"  enabled: true", "  enabled: on"},
        {"  enabled: true", "  enabled: Yes"},
        {"  enabled: true", "  enabled: y"},
        {"  maxLogFileCount: 7", "  maxLogFileCount: 0b111"},
        {"  maxLogFileCount: 7", "  maxLogFileCount: 0x07"},
        {"  maxLogFileCount: 7", "  maxLogFileCount: 07"},
        {"  maxLogFileCount: 7", "  maxLogFileCount: +7"},
        {"  maxLogFileSize: 2048", "  maxLogFileSize: 2_048"},
        {"  maxLogFileSize: 2048", "  maxLogFileSize: 34:08"},
        {"  maxLogFileSize: 2048", "  maxLogFileSize: !!int 2048"},
    };
    for (const auto& row : rows) {
        const auto config = Config::fromYaml(withLine(row.line, row.replacement));
        EXPECT_TRUE(config->auditLogger->enabled) << row.replacement;
        EXPECT_EQ(config->auditLogger->maxLogFileCount, 7) << row.replacement;
        EXPECT_EQ(config->auditLogger->maxLogFileSize, 2048U) << row.replacement;
    }
    EXPECT_FALSE(Config::fromYaml(withLine("compressArchives: true", "compressArchives: OFF"))
                     ->compressArchives);
    EXPECT_EQ(Config::fromYaml(
                  withLine("  maxLogFileSize: 2048", "  maxLogFileSize: 18446744073709551615"))
                  ->auditLogger->maxLogFileSize,
              18446744073709551615ULL);
}

TEST(ConfigYaml, RejectsWhatDoesNotFitTheModel) {
    struct Row {
        const char* line;
        const char* replacement;
        const char* reason;
    };
    const Row rows[] = {
        {"  muting:\n    inverted: true\n    targets:\n    - path: /usr/bin\n      type: prefix\n"
         "    - path: /bin/ls\n      type: literal\n",
         "", "auditLogger.muting: required key is missing"},
        {"  maxLogFileCount: 7", "  maxLogFileCount: 256", "auditLogger.maxLogFileCount"},
        {"  maxLogFileCount: 3", "  maxLogFileCount: -1", "accessLogger.maxLogFileCount"},
        {"  maxLogFileSize: 2048", "  maxLogFileSize: 18446744073709551616",
         "auditLogger.maxLogFileSize"},
        {"  maxLogFileSize: 2048", "  maxLogFileSize: 2048.0", "expected an integer"},
        {"  maxLogFileSize: 2048", "  maxLogFileSize: '2048'", "expected an integer"},
        {"  outputFormat: custom", "  outputFormat: JSON", "auditLogger.outputFormat"},
        {"      type: literal", "      type: Literal", "auditLogger.muting.targets[1].type"},
        {"  enabled: true", "  enabled: 1", "expected a boolean"},
        {"  enabled: true", "  enabled: \"true\"", "expected a boolean"},
        {"  enabled: true", "  enabled: [true]", "found a collection"},
        {"  customLogFormat: ${timestamp} ${command}", "  customLogFormat: ~",
         "expected a string, found null"},
        {"compressArchives: true\n", "", "compressArchives: required key is missing"},
        {"compressArchives: true", "compressArchives: true\ncompressArchives: false",
         "more than once"},
        {"compressArchives: true", "compressArchives: *nowhere", "unknown alias"},
        {"compressArchives: true", "compressArchives: true\n---\nx: 1", "more than one document"},
        {"compressArchives: true", "compressArchives: [true", "line"},
    };
    for (const auto& row : rows) {
        try {
            Config::fromYaml(withLine(row.line, row.replacement));
            ADD_FAILURE() << "decoded despite " << row.reason;
        } catch (const YamlError& error) {
            EXPECT_NE(std::string(error.what()).find(row.reason), std::string::npos)
                << error.what();
        }
    }
    for (const char* text : {"", "just text", "- a\n- b\n", "\t\x01"}) {
        EXPECT_THROW(Config::fromYaml(text), YamlError) << text;
    }
}

TEST(ConfigYaml, AcceptsAliasesUnknownKeysAndEmptyPaths) {
    const auto aliased = Config::fromYaml(withLine("  maxLogFileCount: 3", "  maxLogFileCount: *c")
                                              .insert(0, "unused: {x: 1}\nshared: &c 9\n"));
    EXPECT_EQ(aliased->accessLogger->maxLogFileCount, 9);
    // An empty path names no file; validation replaces it later.
    const auto empty =
        Config::fromYaml(withLine("  logFilePath: /var/log/access.log", "  logFilePath: ''"));
    EXPECT_FALSE(empty->accessLogger->logFilePath.has_value());
}

TEST(ConfigYaml, WritesTheDefaultsInTheFixedLayout) {
    const PathManager paths(foundation::URL::fileURL("/cfg/config.yaml", false));
    const std::string support = paths.vorlaPath().toPath();
    EXPECT_EQ(makeDefaultConfig(Defaults(paths))->toYaml(),
              "auditLogger:\n"
              "  customLogFormat: ${timestamp} ${username} ${group} ${command} ${args}\n"
              "  muting:\n"
              "    inverted: false\n"
              "    targets: []\n"
              "  enabled: true\n"
              "  logFilePath: " +
                  support +
                  "/audit.log\n"
                  "  outputFormat: json\n"
                  "  maxLogFileCount: 5\n"
                  "  maxLogFileSize: 5242880\n"
                  "accessLogger:\n"
                  "  enabled: true\n"
                  "  logFilePath: " +
                  support +
                  "/access.log\n"
                  "  outputFormat: json\n"
                  "  maxLogFileCount: 5\n"
                  "  maxLogFileSize: 5242880\n"
                  "compressArchives: false\n");
}

// A configuration whose strings look like other types when unquoted.
std::shared_ptr<Config> trickyConfig() {
    auto config = makeDefaultConfig(Defaults(PathManager()));
    config->auditLogger->customLogFormat = "yes";
    config->auditLogger->muting.targets = {{"123", MutePath::type::prefix},
                                           {"~", MutePath::type::literal},
                                           {"", MutePath::type::prefix},
                                           {"a: b # c", MutePath::type::literal},
                                           {"line\nbreak\ttab", MutePath::type::prefix},
                                           {"2024-05-01", MutePath::type::prefix},
                                           {"1.5", MutePath::type::prefix},
                                           {"Grüße", MutePath::type::literal}};
    config->accessLogger->logFilePath = foundation::URL::fileURL("/tmp/on", false);
    config->compressArchives = true;
    return config;
}

TEST(ConfigYaml, RoundTripsThroughOurReader) {
    const auto config = trickyConfig();
    EXPECT_EQ(*Config::fromYaml(config->toYaml()), *config);
}

TEST(ConfigYaml, RoundTripsThroughPyYaml) {
    const auto config = trickyConfig();
    const auto file = TestRoot::shared().path("pyyaml-input.yaml");
    testing::writeFile(file, config->toYaml());
    // PyYAML reads the file and writes it back; our reader must see the same values in both.
    const std::string command = "/usr/bin/timeout --verbose " +
                                std::to_string(bounded::waitLimit.count()) +
                                " /usr/bin/python3 -c 'import sys, yaml; "
                                "d = yaml.safe_load(open(sys.argv[1], encoding=\"utf-8\")); "
                                "sys.stdout.write(yaml.safe_dump(d, allow_unicode=True, "
                                "sort_keys=False))' '" +
                                file.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (const size_t count = fread(buffer, 1, sizeof buffer, pipe)) {
        output.append(buffer, count);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(*Config::fromYaml(output), *config) << output;
}

TEST(ConfigYaml, TheExampleFileDecodes) {
    const auto config =
        Config::fromYaml(testing::readFile(testing::sourceDir() / "examples/config/config.yaml"));
    EXPECT_EQ(config->auditLogger->muting.targets.size(), 2U);
    EXPECT_EQ(config->auditLogger->logFilePath->toPath(),
              "/Library/Application Support/Vorla/audit.log");
}

TEST(ConfigYaml, TextThatIsNotUtf8CannotBeEncoded) {
    auto config = makeDefaultConfig(Defaults(PathManager()));
    config->auditLogger->muting.targets = {{"bad\xff", MutePath::type::prefix}};
    try {
        config->toYaml();
        FAIL() << "encoded text that is not UTF-8";
    } catch (const YamlEncodingError& error) {
        EXPECT_EQ(error.value(), "bad\\xFF");
        EXPECT_EQ(error.codingPath(), "auditLogger.muting.targets[0].path");
    }
}

} // namespace
} // namespace vorla::extension
