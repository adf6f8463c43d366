#pragma once

#include <string>
#include <string_view>

namespace vorla::foundation {

// A file URL. It keeps the plain path and whether it names a directory; its description is
// the absolute, percent-encoded form ("file:///Library/Application%20Support/Vorla/").
class URL {
public:
    // A file URL for a path. A relative path is taken relative to the working directory; the
    // URL is a directory URL when the path ends with "/" or names an existing directory of a
    // trusted owner (isTrustedOwner), a link to one not followed.
    static URL fileURL(std::string_view path);
    static URL fileURL(std::string_view path, bool isDirectory);

    // The plain path, without percent-encoding and without a trailing "/".
    std::string toPath() const;
    bool hasDirectoryPath() const { return isDirectory_; }
    std::string description() const;

    std::string lastPathComponent() const;
    // The last component's extension after its last ".", or "" when it has none.
    std::string pathExtension() const;
    URL appendingPathComponent(std::string_view component) const;
    URL appendingPathComponent(std::string_view component, bool isDirectory) const;
    URL appendingPathExtension(std::string_view extension) const;
    URL deletingLastPathComponent() const;
    URL deletingPathExtension() const;

    friend bool operator==(const URL&, const URL&) = default;

private:
    URL(std::string path, bool isDirectory);

    std::string path_; // absolute; no doubled "/", no "." segment, no trailing "/" but the root
    bool isDirectory_ = false;
};

// The percent-encoded form of a path, as a file URL writes it.
std::string percentEncodePath(std::string_view path);

} // namespace vorla::foundation
