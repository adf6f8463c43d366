#include "platform/preferences/Preferences.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Any bytes, XML or binary or neither, give a value or nothing; never a crash or a leak.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto value = vorla::preferences::parsePropertyList(
        std::string_view(reinterpret_cast<const char*>(data), size));
    (void)value;
    return 0;
}
