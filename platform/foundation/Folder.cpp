#include "platform/foundation/Folder.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/Trust.hpp"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vorla::foundation {

namespace {

constexpr mode_t folderPermissions = 0755;
// As the kernel has it: a chain of links longer than this is taken for a loop.
constexpr int maxLinks = 40;
constexpr const char* openFolder = "could not open the folder";

std::string joined(const std::string& folder, std::string_view name) {
    return folder == "/" ? "/" + std::string(name) : folder + "/" + std::string(name);
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// Path components still to be walked, the next one last.
using Pending = std::vector<std::string>;

void pushComponents(Pending& pending, std::string_view path) {
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto slash = std::min(path.find('/', start), path.size());
        const std::string_view component = path.substr(start, slash - start);
        if (!component.empty() && component != ".") {
            components.emplace_back(component);
        }
        start = slash + 1;
    }
    pending.insert(pending.end(), components.rbegin(), components.rend());
}

FileAttributes attributesOfOpen(int descriptor, const std::string& path) {
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        throwSystemError(openFolder, path);
    }
    return attributesOf(status);
}

// The walk from "/" down a path, one verified folder at a time.
class Walk {
public:
    Walk() : current_(openRoot()), path_("/") {}

    // Follows `path` (absolute, or relative to where the walk stands) through folders only.
    void through(std::string_view path, const Folder::Options& options) {
        if (!path.empty() && path.front() == '/') {
            restartAtRoot();
        }
        Pending pending;
        pushComponents(pending, path);
        while (!pending.empty()) {
            const std::string name = std::move(pending.back());
            pending.pop_back();
            step(name, pending, options);
        }
    }

    // Where the last component of a file's path leads: a link there is followed (when
    // trusted) by walking on to its target's folder. Gives the name that is no link.
    std::string toFile(std::string name) {
        for (;;) {
            struct stat status {};
            if (::fstatat(current_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
                !S_ISLNK(status.st_mode)) {
                return name;
            }
            const std::string target = followLink(name, status);
            const auto slash = target.rfind('/');
            if (slash != std::string::npos) {
                through(std::string_view(target).substr(0, std::max<std::size_t>(slash, 1)), {});
            }
            name = slash == std::string::npos ? target : target.substr(slash + 1);
        }
    }

    Descriptor& current() { return current_; }
    const std::string& path() const { return path_; }
    std::optional<std::uint16_t> tightenedFrom() const { return tightenedFrom_; }

private:
    static Descriptor openRoot() {
        Descriptor root(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (root.get() < 0) {
            throwSystemError(openFolder, "/");
        }
        check(attributesOfOpen(root.get(), "/"), "/");
        return root;
    }

    static void check(const FileAttributes& attributes, const std::string& path) {
        if (const auto reason = untrustedReason(attributes, path)) {
            throw UntrustedError(*reason);
        }
    }

    void restartAtRoot() {
        current_ = openRoot();
        path_ = "/";
    }

    void step(const std::string& name, Pending& pending, const Folder::Options& options) {
        const bool last = pending.empty();
        if (name == "..") {
            enter(Descriptor(::openat(current_.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
                  parentOf(path_), false, last && options.tightenLast);
            return;
        }
        struct stat status {};
        bool created = false;
        while (::fstatat(current_.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT || !options.create) {
                throwSystemError(openFolder, joined(path_, name));
            }
            if (::mkdirat(current_.get(), name.c_str(), folderPermissions) == 0) {
                created = true;
            } else if (errno != EEXIST) {
                throwSystemError("could not create the folder", joined(path_, name));
            }
        }
        if (S_ISLNK(status.st_mode)) {
            const std::string target = followLink(name, status);
            if (target.front() == '/') {
                restartAtRoot();
            }
            pushComponents(pending, target);
            return;
        }
        enter(Descriptor(::openat(current_.get(), name.c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
              joined(path_, name), created, last && options.tightenLast);
    }

    void enter(Descriptor next, std::string path, bool created, bool tighten) {
        if (next.get() < 0) {
            throwSystemError(openFolder, path);
        }
        if (created) {
            // The umask only narrows what mkdir gives; and the new name lasts a power cut only
            // once the folder that holds it is synchronised.
            if (::fchmod(next.get(), folderPermissions) != 0) {
                throwSystemError("could not set the permissions of", path);
            }
            if (::fsync(current_.get()) != 0) {
                throwSystemError("could not synchronize", path_);
            }
        }
        const FileAttributes attributes = attributesOfOpen(next.get(), path);
        if (tighten && isTrustedOwner(attributes.owner) &&
            (attributes.posixPermissions & groupOrOtherWrite) != 0) {
            if (::fchmod(next.get(), attributes.posixPermissions & ~groupOrOtherWrite) != 0) {
                throwSystemError("could not set the permissions of", path);
            }
            tightenedFrom_ = attributes.posixPermissions;
        } else {
            check(attributes, path);
        }
        current_ = std::move(next);
        path_ = std::move(path);
    }

    std::string followLink(const std::string& name, const struct stat& status) {
        const std::string shown = joined(path_, name);
        FileAttributes attributes = attributesOf(status);
        check(attributes, shown);
        if (++links_ > maxLinks) {
            errno = ELOOP;
            throwSystemError(openFolder, shown);
        }
        char target[PATH_MAX];
        const ssize_t size = ::readlinkat(current_.get(), name.c_str(), target, sizeof target);
        if (size <= 0 || static_cast<std::size_t>(size) >= sizeof target) {
            if (size >= 0) {
                errno = ENAMETOOLONG;
            }
            throwSystemError("could not read the link", shown);
        }
        return std::string(target, static_cast<std::size_t>(size));
    }

    Descriptor current_;
    std::string path_;
    int links_ = 0;
    std::optional<std::uint16_t> tightenedFrom_;
};

} // namespace

Folder::Folder(Descriptor descriptor, std::string path, std::optional<std::uint16_t> tightenedFrom)
    : descriptor_(std::move(descriptor)), path_(std::move(path)), tightenedFrom_(tightenedFrom) {}

Folder Folder::open(std::string_view path, Options options) {
    Walk walk;
    walk.through(systemPath(path, openFolder), options);
    const std::string reached = walk.path();
    return Folder(std::move(walk.current()), reached, walk.tightenedFrom());
}

std::string Folder::pathOf(std::string_view name) const {
    return joined(path_, name);
}

bool Folder::isRemoved() const {
    struct stat status {};
    return ::fstat(descriptor_.get(), &status) == 0 && status.st_nlink == 0;
}

OpenedFile openTrustedFile(std::string_view path) {
    constexpr const char* operation = "could not open for reading";
    const std::string target = systemPath(path, operation);
    const auto slash = target.rfind('/');
    if (slash == std::string::npos || slash + 1 == target.size()) {
        errno = EINVAL;
        throwSystemError(operation, target);
    }
    Walk walk;
    walk.through(std::string_view(target).substr(0, std::max<std::size_t>(slash, 1)), {});
    const std::string name = walk.toFile(target.substr(slash + 1));
    const std::string shown = joined(walk.path(), name);
    OpenedFile file = openRegularFile(walk.current().get(), name, O_RDONLY, 0, LastLink::refuse,
                                      shown, operation);
    if (const auto reason = untrustedReason(file.attributes, shown)) {
        throw UntrustedError(*reason);
    }
    return file;
}

} // namespace vorla::foundation
