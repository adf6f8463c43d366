#include "platform/preferences/Preferences.hpp"
#include "platform/preferences/PropertyListBounds.hpp"
#include "platform/preferences/tests/BinaryList.hpp"

#include <gtest/gtest.h>

namespace vorla::preferences {
namespace {

using vorla::testing::binaryList;
using vorla::testing::container;

// A string object of `count` characters, its length written as a 4-byte integer: marker 0x5
// for ASCII, one byte a character, or 0x6 for UTF-16, two bytes a character.
std::string text(unsigned marker, std::uint32_t count) {
    const std::string character = marker == 0x6 ? std::string("\0x", 2) : "x";
    std::string object{static_cast<char>(marker << 4 | 0x0F), '\x12'};
    for (int shift = 24; shift >= 0; shift -= 8) {
        object += static_cast<char>(count >> shift & 0xFF);
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        object += character;
    }
    return object;
}

// An array that refers `times` times to a string of `count` characters, and once more to a
// string of `extra` characters when that is not zero.
std::string sharedText(unsigned marker, std::uint32_t count, std::uint32_t times,
                       std::uint32_t extra) {
    std::vector<std::uint32_t> references(times, 1);
    std::vector<std::string> objects = {"", text(marker, count)};
    if (extra > 0) {
        references.push_back(2);
        objects.push_back(text(marker, extra));
    }
    objects[0] = container(references);
    return binaryList(objects);
}

// Every reference to a string counts its bytes again, as the library copies it each time: up
// to 4 MiB of them is read, one byte more is refused, and a UTF-16 character is two bytes.
TEST(BinaryBoundsTest, SharedStringsCountEveryByteAgainstThePayloadBound) {
    constexpr std::uint32_t times = maximumExpandedPayload / 65536;
    const struct {
        const char* name;
        unsigned marker;
        std::uint32_t count;
        std::uint32_t extra;
        bool readable;
    } rows[] = {
        {"ASCII at the bound", 0x5, 65536, 0, true},
        {"ASCII a byte past it", 0x5, 65536, 1, false},
        {"UTF-16 at the bound", 0x6, 32768, 0, true},
        {"UTF-16 a character past it", 0x6, 32768, 1, false},
        {"UTF-16 of as many characters as ASCII at the bound", 0x6, 65536, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto list = parsePropertyList(sharedText(row.marker, row.count, times, row.extra));
        ASSERT_EQ(list.has_value(), row.readable);
        if (list) {
            const auto& items = std::get<PropertyListArray>(list->value);
            ASSERT_EQ(items.size(), times);
            EXPECT_EQ(items.back(), PropertyListValue{std::string(row.count, 'x')});
        }
    }
}

} // namespace
} // namespace vorla::preferences
