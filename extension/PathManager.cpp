#include "extension/PathManager.hpp"

#include "extension/PathError.hpp"
#include "extension/SharedOSLogger.hpp"
#include "platform/environment/Environment.hpp"
#include "platform/foundation/Trust.hpp"

#include <sys/stat.h>

namespace vorla::extension {

namespace {

foundation::URL supportFolder() {
    return foundation::URL::fileURL(platform::systemPath("/Library/Application Support"), true)
        .appendingPathComponent("Vorla", true);
}

foundation::URL managedProfile() {
    return foundation::URL::fileURL(
        platform::systemPath("/Library/Managed Preferences/com.vorla.client.plist"), false);
}

// Why a folder that could not be opened and tightened stays open to others, or nothing when
// it is not so: a folder root must write in but cannot close is the operator's to fix, and the
// operator has to learn why.
std::optional<std::string> untightenedReason(const foundation::URL& folder,
                                             const foundation::FileManager& fileManager,
                                             const std::exception& failure) {
    std::string loose;
    try {
        const foundation::Folder opened = fileManager.openFolder(folder, {});
        struct stat status {};
        if (::fstat(opened.descriptor(), &status) != 0 ||
            (status.st_mode & foundation::groupOrOtherWrite) == 0) {
            return std::nullopt;
        }
        // Sticky is how the trust rule lets it pass this open, never a reason to keep it so.
        loose = opened.path() + " is writable by group or others (mode " +
                foundation::octalPermissions(status.st_mode & 07777) + ")";
    } catch (const foundation::UntrustedError& error) {
        loose = error.what();
    } catch (const foundation::FoundationError&) {
        return std::nullopt;
    }
    return loose + " and could not be tightened: " + failure.what();
}

} // namespace

PathManager::PathManager(std::optional<foundation::URL> configURL,
                         std::optional<foundation::URL> profileURL)
    : vorlaPath_(supportFolder()),
      configURL_(configURL.value_or(vorlaPath_.appendingPathComponent("config.yaml", false))),
      auditLogURL_(vorlaPath_.appendingPathComponent("audit.log", false)),
      accessLogURL_(vorlaPath_.appendingPathComponent("access.log", false)),
      errorLogURL_(vorlaPath_.appendingPathComponent("error.log", false)),
      configurationProfileURL_(profileURL.value_or(managedProfile())) {}

void PathManager::ensureDirectories(const foundation::FileManager& fileManager) const {
    for (const foundation::URL& folder : {vorlaPath_}) {
        const std::string path = folder.toPath();
        try {
            // Root writes its logs and configuration here: it must be root's alone. One that is
            // root's but open to others (made beforehand with a loose umask) is closed again.
            const foundation::Folder opened =
                fileManager.openFolder(folder, {.create = true, .tightenLast = true});
            if (const auto from = opened.tightenedFrom()) {
                sharedOSLogger()->log(
                    LogLevel::warning,
                    "tightened the permissions of the support folder " + path + " from " +
                        foundation::octalPermissions(*from) + " to " +
                        foundation::octalPermissions(*from & ~foundation::groupOrOtherWrite));
            }
        } catch (const foundation::UntrustedError& error) {
            sharedOSLogger()->log(LogLevel::error, "the support folder " + path +
                                                       " cannot be used: " + error.what());
            throw PathError::createDirectory(path);
        } catch (const std::exception& error) {
            if (const auto reason = untightenedReason(folder, fileManager, error)) {
                sharedOSLogger()->log(LogLevel::error,
                                      "the support folder " + path + " cannot be used: " + *reason);
            }
            throw PathError::createDirectory(path);
        }
    }
}

} // namespace vorla::extension
