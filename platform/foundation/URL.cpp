#include "platform/foundation/URL.hpp"

#include "platform/foundation/Trust.hpp"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace vorla::foundation {

namespace {

std::string absolute(std::string_view path) {
    if (!path.empty() && path.front() == '/') {
        return std::string(path);
    }
    std::error_code error;
    std::string base = std::filesystem::current_path(error).string();
    if (base.empty() || base.back() != '/') {
        base += '/';
    }
    return base + std::string(path);
}

// One spelling per path: doubled slashes and "." segments name the same place, and a log must
// recognise its archives by comparing names. ".." is kept: behind a link it leads elsewhere.
std::string normalised(std::string_view path) {
    std::string result;
    result.reserve(path.size());
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find('/', start), path.size());
        const std::string_view segment = path.substr(start, end - start);
        if (!segment.empty() && segment != ".") {
            result += '/';
            result += segment;
        }
        start = end + 1;
    }
    return result.empty() ? "/" : result;
}

bool isUnreservedInPath(unsigned char byte) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9')) {
        return true;
    }
    switch (byte) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
    case ':':
    case '@':
    case '/':
        return true;
    default:
        return false;
    }
}

// Only a folder that root or this user put there makes a path a folder's: a link, or another
// user's folder, at the name of a log is an entry like any other of theirs.
bool namesTrustedFolder(const std::string& path) {
    struct stat status {};
    return path.find('\0') == std::string::npos && ::lstat(path.c_str(), &status) == 0 &&
           S_ISDIR(status.st_mode) && isTrustedOwner(status.st_uid);
}

} // namespace

URL::URL(std::string path, bool isDirectory)
    : path_(normalised(path)), isDirectory_(isDirectory || path_ == "/") {}

URL URL::fileURL(std::string_view path) {
    std::string full = absolute(path);
    const bool isDirectory = full.back() == '/' || namesTrustedFolder(full);
    return URL(std::move(full), isDirectory);
}

URL URL::fileURL(std::string_view path, bool isDirectory) {
    return URL(absolute(path), isDirectory);
}

std::string URL::toPath() const {
    return path_;
}

std::string URL::description() const {
    std::string path = path_;
    if (isDirectory_ && path.back() != '/') {
        path += '/';
    }
    return "file://" + percentEncodePath(path);
}

std::string URL::lastPathComponent() const {
    if (path_ == "/") {
        return "/";
    }
    return path_.substr(path_.rfind('/') + 1);
}

std::string URL::pathExtension() const {
    const std::string last = lastPathComponent();
    const auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) {
        return "";
    }
    return last.substr(dot + 1);
}

URL URL::appendingPathComponent(std::string_view component) const {
    const std::string joined = (path_ == "/" ? "" : path_) + "/" + std::string(component);
    return URL(joined,
               (!component.empty() && component.back() == '/') || namesTrustedFolder(joined));
}

URL URL::appendingPathComponent(std::string_view component, bool isDirectory) const {
    return URL((path_ == "/" ? "" : path_) + "/" + std::string(component), isDirectory);
}

URL URL::appendingPathExtension(std::string_view extension) const {
    return URL(path_ + "." + std::string(extension), isDirectory_);
}

URL URL::deletingLastPathComponent() const {
    const auto slash = path_.rfind('/');
    if (path_ == "/" || slash == 0 || slash == std::string::npos) {
        return URL("/", true);
    }
    return URL(path_.substr(0, slash), true);
}

URL URL::deletingPathExtension() const {
    const std::string extension = pathExtension();
    if (extension.empty()) {
        return *this;
    }
    return URL(path_.substr(0, path_.size() - extension.size() - 1), isDirectory_);
}

std::string percentEncodePath(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char character : path) {
        const auto byte = static_cast<unsigned char>(character);
        if (isUnreservedInPath(byte)) {
            encoded += character;
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

} // namespace vorla::foundation
