#include "extension/PathManager.hpp"

#include "extension/PathError.hpp"
#include "platform/environment/Environment.hpp"

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
        try {
            fileManager.createDirectory(folder);
        } catch (const std::exception&) {
            throw PathError::createDirectory(folder.toPath());
        }
    }
}

} // namespace vorla::extension
