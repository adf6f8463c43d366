#pragma once

#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/URL.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorla::extension {

// Every fixed location and label of the extension. The macOS locations are resolved under
// VORLA_ROOT, which stands for "/".
class PathManager {
public:
    // The subsystem of the extension's system-log messages.
    static constexpr const char* consoleLabel = "com.vorla.system";

    // Without overrides the configuration file lies in the support folder and the profile at its
    // managed-preferences location.
    explicit PathManager(std::optional<foundation::URL> configURL = std::nullopt,
                         std::optional<foundation::URL> profileURL = std::nullopt);

    const std::string& auditLabel() const { return auditLabel_; }
    const std::string& accessLabel() const { return accessLabel_; }
    const std::string& errorLabel() const { return errorLabel_; }
    const std::string& configurationProfileBundleId() const {
        return configurationProfileBundleId_;
    }
    const foundation::URL& vorlaPath() const { return vorlaPath_; }
    const foundation::URL& configURL() const { return configURL_; }
    const foundation::URL& auditLogURL() const { return auditLogURL_; }
    const foundation::URL& accessLogURL() const { return accessLogURL_; }
    const foundation::URL& errorLogURL() const { return errorLogURL_; }
    const foundation::URL& configurationProfileURL() const { return configurationProfileURL_; }

    // Creates the support folder with any missing parents; an existing folder is fine when it
    // and every folder above it pass the trust rule, and one of root's that others may write
    // is tightened (with a system-log line). Throws PathError with the folder's plain path,
    // after an error in the system log when the folder cannot be trusted.
    void ensureDirectories(const foundation::FileManager& fileManager =
                               *foundation::FileManager::defaultManager()) const;

private:
    std::string auditLabel_ = "com.vorla.audit";
    std::string accessLabel_ = "com.vorla.access";
    std::string errorLabel_ = "com.vorla.extension";
    std::string configurationProfileBundleId_ = "com.vorla.client";
    foundation::URL vorlaPath_;
    foundation::URL configURL_;
    foundation::URL auditLogURL_;
    foundation::URL accessLogURL_;
    foundation::URL errorLogURL_;
    foundation::URL configurationProfileURL_;
};

} // namespace vorla::extension
