#include "platform/foundation/FreeName.hpp"

#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/FoundationError.hpp"

#include <cerrno>
#include <ctime>

namespace vorla::foundation {

namespace {

// Enough for every name a second can take.
constexpr unsigned moveAsideAttempts = 100;

std::string utcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);
    return stamp;
}

} // namespace

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
    const std::string base = std::string(name) + std::string(tag) + utcStamp();
    return takeFreeName(
        moveAsideAttempts,
        [&base](unsigned attempt) {
            return attempt == 0 ? base : base + "-" + std::to_string(attempt);
        },
        [&](const std::string& candidate) { fileManager.moveItem(folder, name, candidate); });
}

} // namespace vorla::foundation
