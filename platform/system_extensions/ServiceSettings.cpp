#include "platform/environment/Environment.hpp"
#include "platform/system_extensions/Service.hpp"

#include <charconv>
#include <cstdio>
#include <filesystem>

namespace vorla::system_extensions {

namespace {

// A number from the environment; anything else is reported once and ignored, so a typing
// error in a variable does not pass for a deliberate setting.
std::optional<long> numberSetting(const char* name) {
    const auto text = platform::environmentValue(name);
    if (!text) {
        return std::nullopt;
    }
    long value = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (text->empty() || error != std::errc() || stop != end) {
        std::fprintf(stderr, "vorla: %s is not a number (\"%s\"); it is ignored\n", name,
                     text->c_str());
        return std::nullopt;
    }
    return value;
}

std::string programBesideThisOne(const std::string& name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return (error ? std::filesystem::path(name) : self.parent_path() / name).string();
}

} // namespace

ServiceSettings ServiceSettings::fromEnvironment() {
    ServiceSettings settings;
    settings.registryPath = platform::systemPath("/Library/SystemExtensions/registry.json");
    settings.extensionProgram = programBesideThisOne("com.vorla.client.extension");
    settings.approvalRequired = platform::environmentValue("VORLA_SYSEXT_APPROVAL") == "required";
    settings.failureCode = numberSetting("VORLA_SYSEXT_ERROR");
    settings.result = static_cast<RequestResult>(numberSetting("VORLA_SYSEXT_RESULT").value_or(0));
    return settings;
}

} // namespace vorla::system_extensions
