#include "platform/foundation/FreeName.hpp"

#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/NewFile.hpp"

#include <cerrno>
#include <ctime>
#include <sys/random.h>
#include <vector>

namespace vorla::foundation {

namespace {

// Random names are taken by accident only: a few attempts are plenty.
constexpr unsigned moveAsideAttempts = 100;
constexpr std::size_t asideRandomLength = 6;

std::string utcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);
    return stamp;
}

std::string asideName(std::string_view name, std::string_view tag) {
    return std::string(name) + std::string(tag) + utcStamp() + "-" +
           randomCharacters(asideRandomLength);
}

} // namespace

std::string randomCharacters(std::size_t length) {
    static constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::vector<unsigned char> bytes(length);
    if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        throwSystemError("could not make a random name", "getrandom");
    }
    std::string text;
    for (const unsigned char byte : bytes) {
        text += alphabet[byte % alphabet.size()];
    }
    return text;
}

std::string takeFreeName(unsigned attempts, const std::function<std::string(unsigned)>& nameFor,
                         const std::function<void(const std::string& name)>& take) {
    for (unsigned attempt = 0;; ++attempt) {
        std::string name = nameFor(attempt);
        try {
            take(name);
            return name;
        } catch (const FoundationError& error) {
            if (error.code() != EEXIST || attempt + 1 >= attempts) {
                throw;
            }
        }
    }
}

std::string moveAside(const FileManager& fileManager, const Folder& folder, std::string_view name,
                      std::string_view tag) {
    return moveAsideAs(fileManager, folder, name, name, tag);
}

std::string moveAsideAs(const FileManager& fileManager, const Folder& folder, std::string_view from,
                        std::string_view baseName, std::string_view tag) {
    return takeFreeName(
        moveAsideAttempts, [&](unsigned) { return asideName(baseName, tag); },
        [&](const std::string& candidate) { fileManager.moveItem(folder, from, candidate); });
}

std::optional<std::string> replaceAside(const FileManager& fileManager, const Folder& folder,
                                        std::string_view name, std::string_view tag,
                                        NewFile& replacement) {
    const std::string temporary = replacement.temporaryName();
    try {
        fileManager.exchange(folder, temporary, name);
    } catch (const FoundationError& error) {
        if (error.code() == ENOENT) {
            fileManager.giveName(folder, replacement, name, false);
            return std::nullopt;
        }
        if (error.code() != EINVAL && error.code() != ENOSYS) {
            throw;
        }
        // A file system that cannot exchange names: the name stands free for a moment, and
        // should another user take it meanwhile, the caller meets that entry next round.
        std::string aside = moveAside(fileManager, folder, name, tag);
        fileManager.giveName(folder, replacement, name, false);
        return aside;
    }
    // The temporary name now holds what stood at `name`: it must not go with the new file.
    replacement.named();
    return moveAsideAs(fileManager, folder, temporary, name, tag);
}

} // namespace vorla::foundation
