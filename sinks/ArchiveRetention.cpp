#include "sinks/ArchiveRetention.hpp"

#include <algorithm>

namespace vorla {

std::vector<ArchiveEntry> surplusArchives(const std::vector<ArchiveEntry>& ascending,
                                          std::size_t maxCount, bool limitCompressed) {
    auto compressed = static_cast<std::size_t>(std::count_if(
        ascending.begin(), ascending.end(), [](const auto& entry) { return entry.compressed; }));
    std::size_t plain = ascending.size() - compressed;
    std::vector<ArchiveEntry> surplus;
    for (const ArchiveEntry& entry : ascending) {
        if (plain <= maxCount && (!limitCompressed || compressed <= maxCount)) {
            break;
        }
        --(entry.compressed ? compressed : plain);
        surplus.push_back(entry);
    }
    return surplus;
}

} // namespace vorla
