#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorla::testing {

// A binary list of the given objects, object 0 on top, with 4-byte offsets and references.
inline std::string binaryList(const std::vector<std::string>& objects) {
    const auto bigEndian = [](std::uint64_t value, int width) {
        std::string bytes;
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
            bytes += static_cast<char>(value >> shift & 0xFF);
        }
        return bytes;
    };
    std::string list = "bplist00";
    std::string table;
    for (const auto& object : objects) {
        table += bigEndian(list.size(), 4);
        list += object;
    }
    const auto tableOffset = list.size();
    return list + table + std::string(6, '\0') + "\x04\x04" + bigEndian(objects.size(), 8) +
           bigEndian(0, 8) + bigEndian(tableOffset, 8);
}

// An array (or, with marker 0xD0, a dictionary holding twice as many references).
inline std::string container(const std::vector<std::uint32_t>& references, unsigned marker = 0xA0) {
    const auto count = marker == 0xD0 ? references.size() / 2 : references.size();
    std::string object(1, static_cast<char>(marker | 0x0F));
    object += "\x12" + std::string{static_cast<char>(count >> 24), static_cast<char>(count >> 16),
                                   static_cast<char>(count >> 8), static_cast<char>(count)};
    for (const auto reference : references) {
        object +=
            std::string{static_cast<char>(reference >> 24), static_cast<char>(reference >> 16),
                        static_cast<char>(reference >> 8), static_cast<char>(reference)};
    }
    return object;
}

} // namespace vorla::testing
