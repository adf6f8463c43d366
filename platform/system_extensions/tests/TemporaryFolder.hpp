#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

// A fresh folder for one test, removed with everything in it afterwards.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "vorla-sysext-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }

    std::string write(const std::string& name, const std::string& text,
                      std::filesystem::perms permissions = std::filesystem::perms(0644)) const {
        const std::string target = file(name);
        std::filesystem::create_directories(std::filesystem::path(target).parent_path());
        std::ofstream(target, std::ios::binary) << text;
        std::filesystem::permissions(target, permissions);
        return target;
    }

    std::string read(const std::string& name) const {
        std::ifstream input(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path path_;
};
