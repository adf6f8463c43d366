#pragma once

#include "extension/PathManager.hpp"
#include "extension/SharedDateFormatter.hpp"
#include "extension/config/Config.hpp"
#include "extension/config/Defaults.hpp"
#include "platform/endpoint_security/tests/StreamMessage.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace vorla::extension::sandbox {

// A temporary VORLA_ROOT with a system-log mirror, shared by one test program. It is made at
// first use, which must come before any stand-in reads its environment, and removed when the
// program ends.
class Root {
public:
    static const Root& shared() {
        static const Root root;
        return root;
    }

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path oslogFile() const { return path_ / "oslog.txt"; }
    std::filesystem::path supportFile(std::string_view name) const {
        return path_ / "Library/Application Support/Vorla" / name;
    }

    ~Root() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    Root() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorla-ext-XXXXXX");
        path_ = mkdtemp(pattern.data());
        setenv("VORLA_ROOT", path_.c_str(), 1);
        setenv("VORLA_OSLOG_FILE", oslogFile().c_str(), 1);
    }

    std::filesystem::path path_;
};

inline std::filesystem::path supportFile(std::string_view name) {
    return Root::shared().supportFile(name);
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// The lines of a log file, each of which must end with CR LF.
inline std::vector<std::string> crlfLines(const std::filesystem::path& path) {
    const std::string text = readFile(path);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "a line of " << path << " does not end with CR LF";
    return lines;
}

// The message of an error-log line, which must be a UTC date with three fraction digits and a
// "Z" (2024-05-01T10:00:00.000Z), one space and the message.
inline std::string errorLineMessage(const std::string& line) {
    const std::string_view layout = "dddd-dd-ddTdd:dd:dd.dddZ ";
    bool matches = line.size() >= layout.size();
    for (std::size_t index = 0; matches && index < layout.size(); ++index) {
        const char wanted = layout[index];
        const char found = line[index];
        matches = wanted == 'd' ? found >= '0' && found <= '9' : found == wanted;
    }
    EXPECT_TRUE(matches) << "not an error-log line: " << line;
    return matches ? line.substr(layout.size()) : line;
}

// Where the system-log mirror ends now. The mirror stays open for the whole program, so a test
// reads only what was added after its mark instead of removing the file.
inline std::size_t oslogMark() {
    return readFile(Root::shared().oslogFile()).size();
}

// The texts of the mirror's entries of the given type ("info", "error", ...) after the mark.
inline std::vector<std::string> oslogTexts(std::string_view type, std::size_t mark) {
    std::istringstream mirror(readFile(Root::shared().oslogFile()).substr(mark));
    const std::string prefix = std::string(type) + "\tcom.vorla.system\tvorla\t";
    std::vector<std::string> texts;
    for (std::string line; std::getline(mirror, line);) {
        if (line.starts_with(prefix)) {
            texts.push_back(line.substr(prefix.size()));
        }
    }
    return texts;
}

// Every fixed location of the extension, inside the sandbox, with the support folder made.
inline const PathManager& pathManager() {
    Root::shared();
    static const PathManager paths = [] {
        PathManager made;
        made.ensureDirectories();
        return made;
    }();
    return paths;
}

// The built-in configuration: both logs in the support folder, "json" executions.
inline std::shared_ptr<Config> defaultConfig() {
    return makeDefaultConfig(Defaults(pathManager()));
}

inline const std::shared_ptr<const foundation::DateFormatter>& dateFormatter() {
    static const auto shared = makeSharedDateFormatter();
    return shared;
}

using endpoint_security::testing::message;

// An execution of /bin/ls with the given JSON array of arguments, and extra message keys.
inline std::string execJSON(std::string_view args, std::string_view extra = "") {
    return std::string(R"({"event_type": 9, )") + std::string(extra) +
           R"("event": {"target": {"executable": "/bin/ls", "audit_token": {"pid": 42},
              "start_time": {"sec": 1714557600, "usec": 0}}, "cwd": "/tmp", "args": )" +
           std::string(args) + "}}";
}

} // namespace vorla::extension::sandbox
