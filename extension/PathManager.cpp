#include "extension/PathManager.hpp"

#include "extension/PathError.hpp"
#include "extension/SharedOSLogger.hpp"
#include "platform/environment/Environment.hpp"
#include "platform/foundation/Trust.hpp"

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
        } catch (const std::exception&) {
            throw PathError::createDirectory(path);
        }
    }
}

} // namespace vorla::extension
