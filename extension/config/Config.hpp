#pragma once

#include "extension/config/AccessLogger.hpp"
#include "extension/config/AuditLogger.hpp"
#include "platform/foundation/URL.hpp"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vorla::extension {

class Defaults;

// The configuration as it is stored: two logger sections and one flag. The sections are shared
// by every reader; validation changes them in place.
class ConfigRaw {
public:
    ConfigRaw() = default;
    // Decodes the three keys of the file's root mapping.
    explicit ConfigRaw(const YamlKeyedContainer& container);
    ConfigRaw(const ConfigRaw&) = delete;
    ConfigRaw& operator=(const ConfigRaw&) = delete;
    virtual ~ConfigRaw() = default;

    std::shared_ptr<AuditLogger> auditLogger = std::make_shared<AuditLogger>();
    std::shared_ptr<AccessLogger> accessLogger = std::make_shared<AccessLogger>();
    // Gzip the archives of the audit and access logs (never those of the error log).
    bool compressArchives = false;

    void encode(YamlNode& mapping) const;
};

// The configuration that loading yields and every other part holds. It is built and validated
// once at start-up and only read afterwards.
class Config : public ConfigRaw {
public:
    // The loader's error.
    class FileErr : public std::runtime_error {
    public:
        enum class Kind { saving, encoding };

        // The configuration file could not be written.
        static FileErr saving(foundation::URL url);
        // The default configuration could not be encoded; `err` says which value and why.
        static FileErr encoding(std::string err);

        Kind kind() const { return kind_; }
        // The configuration file, for `saving`.
        const std::optional<foundation::URL>& url() const { return url_; }
        // The message, for `encoding`.
        const std::string& err() const { return err_; }

        friend bool operator==(const FileErr& left, const FileErr& right) {
            return left.kind_ == right.kind_ && left.url_ == right.url_ && left.err_ == right.err_;
        }

    private:
        FileErr(Kind kind, std::optional<foundation::URL> url, std::string err);

        Kind kind_;
        std::optional<foundation::URL> url_;
        std::string err_;
    };

    Config() = default;
    // A configuration whose decoding fails never existed, so it is not reported as released.
    explicit Config(const YamlKeyedContainer& container) : ConfigRaw(container) {}
    ~Config() override;

    // Decodes the YAML text: every key required, values typed by the YAML 1.1 rules, counts in 0
    // to 255. Throws YamlError naming the first fault.
    static std::shared_ptr<Config> fromYaml(std::string_view text);
    // The YAML text of this configuration, read back by any YAML 1.1 reader to the same values.
    // Throws YamlEncodingError for a value YAML cannot hold.
    std::string toYaml() const;

    // Validates the access section, then the audit section, each against its own defaults.
    void validate(const Defaults& defaults);

    friend bool operator==(const Config& left, const Config& right);
};

} // namespace vorla::extension
