#include "extension/config/ConfigLoader.hpp"

#include "extension/SharedOSLogger.hpp"
#include "extension/config/Defaults.hpp"
#include "extension/config/ProfileConfig.hpp"
#include "extension/config/YamlEmitter.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/FreeName.hpp"

#include <cerrno>
#include <ctime>

namespace vorla::extension {

namespace {

constexpr std::uint16_t configPermissions = 0644;
constexpr unsigned keepAsideAttempts = 100;
// Far beyond any real configuration; a larger file is taken for a broken one.
constexpr std::uint64_t configSizeLimit = 1 << 20;

std::string utcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &parts);
    return stamp;
}

// Moves an unusable configuration file to a name of its own beside it, so that writing the
// defaults does not destroy an administrator's work. Never replaces an existing file. Returns
// false, with a message, when the file could not be moved.
bool keepUnusableConfig(const foundation::URL& configURL,
                        const foundation::FileManager& fileManager) {
    const std::string base = configURL.toPath() + ".broken-" + utcStamp();
    try {
        const std::string name = foundation::takeFreeName(
            keepAsideAttempts,
            [&base](unsigned attempt) {
                return attempt == 0 ? base : base + "-" + std::to_string(attempt);
            },
            [&](const std::string& candidate) {
                fileManager.moveItem(configURL, foundation::URL::fileURL(candidate, false));
            });
        sharedOSLogger()->log(LogLevel::error, "moved unusable config file to " + name);
        return true;
    } catch (const foundation::FoundationError& error) {
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
    if (fileManager.fileExists(configURL.toPath()) && !keepUnusableConfig(configURL, fileManager)) {
        return;
    }
    try {
        fileManager.createFile(configURL.toPath(), text, configPermissions);
    } catch (const std::exception& error) {
        sharedOSLogger()->log(LogLevel::error,
                              std::string("could not write config file: ") + error.what());
        throw Config::FileErr::saving(configURL);
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
        return Config::fromYaml(fileManager.contentsOfFile(path, configSizeLimit));
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
    if (fileManager.fileExists(pathManager.configurationProfileURL().toPath())) {
        auto config = readProfileConfig(pathManager.configurationProfileBundleId());
        logger.log(LogLevel::debug, "validating profile config");
        config->validate(defaults);
        return config;
    }
    if (auto config = readExistingConfig(pathManager.configURL(), fileManager)) {
        logger.log(LogLevel::debug, "validating config");
        config->validate(defaults);
        return config;
    }
    logger.log(LogLevel::debug, "falling back to default config");
    auto config = makeDefaultConfig(defaults);
    writeDefaultConfig(*config, pathManager.configURL(), fileManager);
    return config;
}

} // namespace vorla::extension
