#include "extension/config/ConfigLoader.hpp"

#include "extension/SharedOSLogger.hpp"
#include "extension/config/Defaults.hpp"
#include "extension/config/ProfileConfig.hpp"
#include "extension/config/YamlEmitter.hpp"
#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/FreeName.hpp"
#include "platform/foundation/Trust.hpp"

#include <cerrno>

namespace vorla::extension {

namespace {

constexpr std::uint16_t configPermissions = 0644;
// Far beyond any real configuration; a larger file is taken for a broken one.
constexpr std::uint64_t configSizeLimit = 1 << 20;

// The folder of the configuration file, as the trust rule lets it be used.
foundation::Folder configFolder(const foundation::URL& configURL,
                                const foundation::FileManager& fileManager) {
    return fileManager.openFolder(configURL.deletingLastPathComponent(), {});
}

// Moves an unusable configuration file to a name of its own beside it, so that writing the
// defaults does not destroy an administrator's work. Never replaces an existing file. Returns
// false, with a message, when the file could not be moved; true as well when none is there.
bool keepUnusableConfig(const foundation::URL& configURL, const foundation::Folder& folder,
                        const foundation::FileManager& fileManager) {
    try {
        // A missing file is asked about first: a rename on a read-only file system fails for
        // that reason before it would find nothing to move.
        fileManager.attributesOfItem(folder, configURL.lastPathComponent());
    } catch (const foundation::FoundationError& error) {
        if (error.code() == ENOENT) {
            return true;
        }
    }
    try {
        const std::string name =
            foundation::moveAside(fileManager, folder, configURL.lastPathComponent(), ".broken-");
        sharedOSLogger()->log(LogLevel::error,
                              "moved unusable config file to " + folder.pathOf(name));
        return true;
    } catch (const foundation::FoundationError& error) {
        if (error.code() == ENOENT) {
            return true;
        }
        sharedOSLogger()->log(LogLevel::error,
                              std::string("could not move unusable config file aside (") +
                                  error.what() +
                                  "); it stays in place and the default config is used "
                                  "without being written");
        return false;
    }
}

// Writes the defaults to the configuration file. An existing, unusable file is moved aside
// first; if that fails the defaults are used without being written.
void writeDefaultConfig(const Config& config, const foundation::URL& configURL,
                        const foundation::FileManager& fileManager) {
    std::string text;
    try {
        text = config.toYaml();
    } catch (const YamlEncodingError& error) {
        throw Config::FileErr::encoding("could not encode value (" + error.value() +
                                        "). context: codingPath: " + error.codingPath() +
                                        ", debugDescription: the text is not valid UTF-8");
    } catch (const std::exception& error) {
        sharedOSLogger()->log(LogLevel::error,
                              std::string("could not write config file: ") + error.what());
        throw Config::FileErr::saving(configURL);
    }
    try {
        const foundation::Folder folder = configFolder(configURL, fileManager);
        const std::string name = configURL.lastPathComponent();
        if (!keepUnusableConfig(configURL, folder, fileManager)) {
            return;
        }
        fileManager.createFile(folder, name, text, configPermissions);
    } catch (const std::exception& error) {
        sharedOSLogger()->log(LogLevel::error,
                              std::string("could not write config file: ") + error.what());
        throw Config::FileErr::saving(configURL);
    }
}

// A run stopped after writing the defaults but before naming them leaves their temporary file.
void removeUnfinishedConfig(const foundation::URL& configURL,
                            const foundation::FileManager& fileManager) {
    const std::string name = configURL.lastPathComponent();
    const auto& logger = *sharedOSLogger();
    try {
        const foundation::Folder folder = configFolder(configURL, fileManager);
        foundation::removeUnfinishedFiles(
            fileManager, folder, [&name](std::string_view target) { return target == name; },
            [&](const std::string& removed) {
                logger.log(LogLevel::info, "removed the unfinished file " +
                                               configURL.deletingLastPathComponent()
                                                   .appendingPathComponent(removed, false)
                                                   .description());
            },
            [&](const foundation::FoundationError& error) {
                logger.log(LogLevel::error,
                           std::string("error in removing an unfinished file, error: ") +
                               error.what());
            });
    } catch (const foundation::FoundationError&) {
        // A folder that cannot be opened or listed is told of where the file is read.
    }
}

} // namespace

std::shared_ptr<Config> readExistingConfig(const foundation::URL& configURL,
                                           const foundation::FileManager& fileManager) {
    const std::string path = configURL.toPath();
    if (!fileManager.fileExists(path)) {
        return nullptr;
    }
    try {
        const foundation::OpenedFile file = foundation::openTrustedFile(path);
        return Config::fromYaml(
            foundation::readToEnd(file.descriptor.get(), path, configSizeLimit));
    } catch (const foundation::UntrustedError&) {
        throw;
    } catch (const std::exception& error) {
        sharedOSLogger()->log(LogLevel::error, "could not use existing config " +
                                                   configURL.description() + ": " + error.what());
        return nullptr;
    }
}

std::shared_ptr<Config> loadConfig(const PathManager& pathManager,
                                   const foundation::FileManager& fileManager) {
    const Defaults defaults(pathManager);
    const auto& logger = *sharedOSLogger();
    // What another user could have written must not steer root: such a profile or file is
    // neither used nor written over; the defaults serve in memory.
    const auto untrusted = [&](const std::string& source, const foundation::UntrustedError& error,
                               const char* consequence) {
        logger.log(LogLevel::error,
                   "could not use " + source + ": " + error.what() + "; " + consequence);
        return makeDefaultConfig(defaults);
    };
    removeUnfinishedConfig(pathManager.configURL(), fileManager);
    const foundation::URL& profileURL = pathManager.configurationProfileURL();
    if (fileManager.fileExists(profileURL.toPath())) {
        try {
            foundation::openTrustedFile(profileURL.toPath());
        } catch (const foundation::UntrustedError& error) {
            return untrusted("the managed profile " + profileURL.description(), error,
                             "the default config is used");
        } catch (const foundation::FoundationError&) {
            // Anything else the profile reader sees for itself: a profile that is no regular
            // file gives no values.
        }
        auto config = readProfileConfig(pathManager.configurationProfileBundleId());
        logger.log(LogLevel::debug, "validating profile config");
        config->validate(defaults);
        return config;
    }
    try {
        if (auto config = readExistingConfig(pathManager.configURL(), fileManager)) {
            logger.log(LogLevel::debug, "validating config");
            config->validate(defaults);
            return config;
        }
    } catch (const foundation::UntrustedError& error) {
        return untrusted("existing config " + pathManager.configURL().description(), error,
                         "the default config is used without being written");
    }
    logger.log(LogLevel::debug, "falling back to default config");
    auto config = makeDefaultConfig(defaults);
    writeDefaultConfig(*config, pathManager.configURL(), fileManager);
    return config;
}

} // namespace vorla::extension
