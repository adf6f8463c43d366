#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vorla::app {

// The app's own information dictionary: the Info.plist that is copied beside the program.
// Every read opens the file again, so the views see the values as they are when built.
class BundleInfo {
public:
    explicit BundleInfo(std::filesystem::path plistPath);

    // The Info.plist beside the running program (/proc/self/exe).
    static BundleInfo mainBundle();

    // The value of a key when the dictionary exists and the value is a string. A missing or
    // unreadable file, a file that is not a dictionary and a value of another type all count
    // as a missing key.
    std::optional<std::string> string(std::string_view key) const;

private:
    std::filesystem::path plistPath_;
};

} // namespace vorla::app
