#pragma once

#include "extension/PathManager.hpp"
#include "extension/config/Config.hpp"
#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/URL.hpp"

#include <memory>

namespace vorla::extension {

// The configuration, from the first source that exists: the managed profile, else
// "config.yaml", else the built-in defaults, which are then written to "config.yaml" so that
// an administrator has a file to edit. A profile or file is validated; the defaults are not.
// A "config.yaml" that cannot be used is moved aside (never overwritten) before the defaults
// take its place. A profile or file that fails the trust rule, or lies in a folder that does,
// is reported in the system log and the defaults are used without being written. Throws
// Config::FileErr when the defaults cannot be encoded or written.
std::shared_ptr<Config>
loadConfig(const PathManager& pathManager,
           const foundation::FileManager& fileManager = *foundation::FileManager::defaultManager());

// The configuration in the YAML file, or none when the file is missing (silently) or cannot be
// read or decoded (with one error message in the system log). Throws foundation::UntrustedError
// when the file or a folder above it fails the trust rule.
std::shared_ptr<Config> readExistingConfig(
    const foundation::URL& configURL,
    const foundation::FileManager& fileManager = *foundation::FileManager::defaultManager());

} // namespace vorla::extension
