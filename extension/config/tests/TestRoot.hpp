#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vorla::testing {

// A temporary VORLA_ROOT with the unified-log mirror inside it, set up before main() because
// the stand-ins read their environment once. Removed when the test program ends.
class TestRoot {
public:
    static TestRoot& shared() {
        static TestRoot root;
        return root;
    }

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path path(const std::string& relative) const { return path_ / relative; }

    // The mirrored system-log lines written since the last call, each "<type>\t<text>". The
    // subsystem and category are dropped: the extension writes only to one pair.
    std::vector<std::string> takeSystemLog() {
        std::ifstream file(path_ / "oslog.txt");
        std::vector<std::string> lines;
        std::string line;
        std::size_t index = 0;
        while (std::getline(file, line)) {
            if (index++ < consumed_) {
                continue;
            }
            const auto first = line.find('\t');
            const auto third = line.find('\t', line.find('\t', first + 1) + 1);
            lines.push_back(line.substr(0, first) + "\t" + line.substr(third + 1));
        }
        consumed_ = index;
        return lines;
    }

    ~TestRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

private:
    TestRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vorla-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
        setenv("VORLA_ROOT", path_.c_str(), 1);
        setenv("VORLA_OSLOG_FILE", (path_ / "oslog.txt").c_str(), 1);
    }

    std::filesystem::path path_;
    std::size_t consumed_ = 0;
};

// Creates the root before main() in every test program that includes this header.
inline const bool testRootReady = (TestRoot::shared(), true);

// The top of the source tree, for the sample files.
inline std::filesystem::path sourceDir() {
    return VORLA_SOURCE_DIR;
}

inline void writeFile(const std::filesystem::path& path, const std::string& contents) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

} // namespace vorla::testing
