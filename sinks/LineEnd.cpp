#include "sinks/LineEnd.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace vorla {

std::uint64_t endOfLastLine(foundation::FileHandle& reader, std::uint64_t size) {
    // Read backwards a block at a time; one byte of overlap keeps a CR LF across two blocks.
    constexpr std::uint64_t blockSize = 1 << 16;
    std::array<char, blockSize + 1> block{};
    std::uint64_t end = size;
    while (end > 0) {
        const std::uint64_t start = end > blockSize ? end - blockSize : 0;
        const auto wanted = static_cast<std::size_t>(std::min(end + 1, size) - start);
        std::size_t got = 0;
        while (got < wanted) {
            const std::size_t count = reader.readAt(block.data() + got, wanted - got, start + got);
            if (count == 0) {
                break;
            }
            got += count;
        }
        const std::string_view bytes(block.data(), got);
        if (const auto found = bytes.rfind("\r\n"); found != std::string_view::npos) {
            return start + found + 2;
        }
        end = start;
    }
    return 0;
}

} // namespace vorla
