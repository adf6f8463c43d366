#include "extension/Formatter.hpp"
#include "extension/Logger.hpp"
#include "extension/tests/ExtensionSandbox.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace vorla::extension {
namespace {

using sandbox::message;

Formatter makeFormatter(Formatter::type outputFormat) {
    return Formatter(outputFormat, "${command} ${args}", true);
}

// Every object of the text, at every level, has its keys in ascending order.
void expectSortedKeys(const nlohmann::ordered_json& value) {
    if (value.is_object()) {
        std::string previous;
        for (const auto& [key, member] : value.items()) {
            EXPECT_LT(previous, key);
            previous = key;
            expectSortedKeys(member);
        }
    } else if (value.is_array()) {
        for (const auto& member : value) {
            expectSortedKeys(member);
        }
    }
}

const char* const accessMessages[] = {
    R"({"event_type": 17, "event": {"identifier": "com.example.driver"}})",
    R"({"event_type": 22, "event": {"statfs": {"f_mntonname": "/Volumes/X"}}})",
    R"({"event_type": 111, "event": {"success": true, "type": 0,
        "data": {"instigator": {"executable": "/usr/bin/login"}, "record_name": "alice"}}})",
    R"({"event_type": 122, "event": {"success": true, "username": "alice", "uid": 501}})",
    R"({"event_type": 131, "event": {"success": true, "command": "/usr/bin/id"}})",
};

TEST(FormatErrTest, CarriesItsFullText) {
    EXPECT_STREQ(Formatter::FormatErr::jsonEncode(321).what(), "encoding access log: 321 bytes");
    EXPECT_STREQ(Formatter::FormatErr::unknownEventType(24).what(),
                 "recived unknown event type: 24");
    EXPECT_EQ(Formatter::FormatErr::unknownEventType(0).kind(),
              Formatter::FormatErr::Kind::unknownEventType);
}

TEST(FormatterTest, AccessLinesAreSortedJsonWhateverTheOutputFormat) {
    for (const char* json : accessMessages) {
        SCOPED_TRACE(json);
        const auto decoded = message(json);
        std::vector<nlohmann::json> lines;
        for (const auto format :
             {Formatter::type::json, Formatter::type::auditd, Formatter::type::custom}) {
            auto formatter = makeFormatter(format);
            const std::string line = formatter.formatAccess(decoded.message());
            const auto parsed = nlohmann::ordered_json::parse(line);
            expectSortedKeys(parsed);
            lines.push_back(nlohmann::json::parse(line)["log"]);
        }
        EXPECT_EQ(lines[0], lines[1]);
        EXPECT_EQ(lines[0], lines[2]);
        EXPECT_TRUE(lines[0].contains("event"));
    }
}

TEST(FormatterTest, TypesWithoutARecordAreUnknown) {
    auto formatter = makeFormatter(Formatter::type::json);
    for (const es_event_type_t type : {0u, 24u, 25u, 112u, 130u, 4000000000u}) {
        const auto decoded = message(R"({"event_type": )" + std::to_string(type) + "}");
        try {
            formatter.formatAccess(decoded.message());
            ADD_FAILURE() << type;
        } catch (const Formatter::FormatErr& error) {
            EXPECT_EQ(error.what(), "recived unknown event type: " + std::to_string(type));
        }
    }
}

TEST(FormatterTest, AnAuthenticationOfAnUnknownKindFailsInTheEncoder) {
    auto formatter = makeFormatter(Formatter::type::json);
    for (const char* kind : {"4", "5", "4294967295"}) {
        const auto decoded =
            message(std::string(R"({"event_type": 111, "event": {"type": )") + kind + "}}");
        EXPECT_THROW(formatter.formatAccess(decoded.message()),
                     foundation::JSONEncoder::EncodingError)
            << kind;
    }
}

TEST(FormatterTest, ExecutionsFollowTheOutputFormat) {
    const auto decoded = message(sandbox::execJSON(R"(["ls", "-l"])"));
    auto json = makeFormatter(Formatter::type::json);
    const auto record = nlohmann::json::parse(json.formatExec(decoded.message()).value());
    EXPECT_EQ(record["log"]["args"], nlohmann::json({"ls", "-l"}));
    EXPECT_EQ(record["log"]["command"], "/bin/ls");

    auto auditd = makeFormatter(Formatter::type::auditd);
    const std::string line = auditd.formatExec(decoded.message()).value();
    EXPECT_TRUE(line.starts_with("type=EXECVE msg=audit(1714557600:")) << line;
    EXPECT_NE(line.find("argc=2 a0=\"ls\" a1=\"-l\"\ntype=SYSCALL"), std::string::npos) << line;

    auto custom = makeFormatter(Formatter::type::custom);
    EXPECT_EQ(custom.formatExec(decoded.message()).value(), R"(/bin/ls ["ls", "-l"])");
}

TEST(RouteEventTest, ExecutionsGoToTheAuditLogAndEverythingElseToTheAccessLog) {
    for (const char* name : {"audit.log", "access.log"}) {
        std::filesystem::remove(sandbox::supportFile(name));
    }
    const auto config = sandbox::defaultConfig();
    const Logger logger(sandbox::pathManager(), *config, sandbox::dateFormatter(),
                        std::make_shared<VorlaRotationDelegate>());
    auto formatter = makeFormatter(Formatter::type::auditd);
    routeEvent(message(sandbox::execJSON(R"(["id"])")).message(), logger, formatter);
    for (const char* json : accessMessages) {
        routeEvent(message(json).message(), logger, formatter);
    }
    EXPECT_THROW(routeEvent(message(R"({"event_type": 24})").message(), logger, formatter),
                 Formatter::FormatErr);

    const auto audit = sandbox::crlfLines(sandbox::supportFile("audit.log"));
    ASSERT_EQ(audit.size(), 1u);
    EXPECT_TRUE(audit[0].starts_with("type=EXECVE")) << audit[0];
    const auto access = sandbox::crlfLines(sandbox::supportFile("access.log"));
    EXPECT_EQ(access.size(), std::size(accessMessages));
}

} // namespace
} // namespace vorla::extension
