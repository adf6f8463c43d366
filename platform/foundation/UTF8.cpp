#include "platform/foundation/UTF8.hpp"

namespace vorla::foundation {

namespace {

// The number of continuation bytes that a lead byte announces, and the range of the first
// of them (the later ones are always 0x80 to 0xBF); 0 for a byte that cannot lead.
struct Lead {
    int continuations;
    unsigned char low;
    unsigned char high;
};

Lead leadOf(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF) {
        return {1, 0x80, 0xBF};
    }
    if (byte == 0xE0) {
        return {2, 0xA0, 0xBF};
    }
    if (byte == 0xED) {
        return {2, 0x80, 0x9F};
    }
    if (byte >= 0xE1 && byte <= 0xEF) {
        return {2, 0x80, 0xBF};
    }
    if (byte == 0xF0) {
        return {3, 0x90, 0xBF};
    }
    if (byte >= 0xF1 && byte <= 0xF3) {
        return {3, 0x80, 0xBF};
    }
    if (byte == 0xF4) {
        return {3, 0x80, 0x8F};
    }
    return {0, 0, 0};
}

} // namespace

UTF8Sequence utf8SequenceAt(std::string_view bytes, size_t start) {
    const Lead lead = leadOf(static_cast<unsigned char>(bytes[start]));
    size_t end = start + 1;
    for (int k = 0; k < lead.continuations; ++k, ++end) {
        const unsigned char low = k == 0 ? lead.low : 0x80;
        const unsigned char high = k == 0 ? lead.high : 0xBF;
        if (end >= bytes.size()) {
            return {end, false};
        }
        const auto next = static_cast<unsigned char>(bytes[end]);
        if (next < low || next > high) {
            return {end, false};
        }
    }
    return {end, lead.continuations > 0};
}

} // namespace vorla::foundation
