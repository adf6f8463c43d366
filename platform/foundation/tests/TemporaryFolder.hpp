#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vorla::testing {

// A fresh folder under the system's temporary folder, removed with everything in it afterwards.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorla-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string path(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file of the folder, making the folders on its way; gives its path.
    std::string write(const std::string& name, const std::string& text,
                      std::filesystem::perms permissions = std::filesystem::perms(0644)) const {
        const std::string target = path(name);
        std::filesystem::create_directories(std::filesystem::path(target).parent_path());
        std::ofstream(target, std::ios::binary) << text;
        std::filesystem::permissions(target, permissions);
        return target;
    }

    std::string read(const std::string& name) const {
        std::ifstream input(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }

private:
    std::string path_;
};

} // namespace vorla::testing
