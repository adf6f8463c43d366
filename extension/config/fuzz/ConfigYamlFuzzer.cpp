#include "extension/config/Config.hpp"
#include "extension/config/YamlParser.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// Any bytes either decode into a configuration or fail with YamlError, which the loader turns
// into its fallback. A configuration that decodes must write text that decodes again into
// the same text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::shared_ptr<vorla::extension::Config> config;
    try {
        config = vorla::extension::Config::fromYaml(input);
    } catch (const vorla::extension::YamlError&) {
        return 0;
    }
    const std::string text = config->toYaml();
    if (vorla::extension::Config::fromYaml(text)->toYaml() != text) {
        std::abort();
    }
    return 0;
}
