#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Bounds that a property list must keep before the library parses it. The library's parsers
// recurse once per nesting level and copy an object every time a binary list refers to it, so a
// few kilobytes could otherwise overflow the stack or expand to gigabytes. Both checks below run
// without recursion, in time and memory proportional to the bytes.
namespace vorla::preferences {

// Bytes of a whole list, whether read from a profile or handed over otherwise.
constexpr std::size_t maximumPropertyListSize = 1024 * 1024;
// More than any preference needs; also the depth that `parsePropertyList` converts.
constexpr int maximumNesting = 64;
// Values and dictionary keys of the whole list once every reference is expanded.
constexpr std::uint64_t maximumExpandedObjects = 100'000;
// Bytes of strings and data once every reference is expanded: four times what a profile holds.
constexpr std::uint64_t maximumExpandedPayload = 4 * 1024 * 1024;

// True when XML nests at most `maximumNesting` arrays and dictionaries (and a handful of other
// elements around them), holds at most `maximumExpandedObjects` elements and declares no
// entities. Comments, CDATA sections and processing instructions are skipped as text.
bool xmlWithinBounds(std::string_view bytes);

// True when a binary list ("bplist00") has a whole trailer and offset table, refers only to
// objects that exist, holds no cycle, and expands within the bounds above.
bool binaryWithinBounds(std::string_view bytes);

} // namespace vorla::preferences
