#pragma once

#include "sinks/ArchiveListing.hpp"

#include <cstddef>
#include <vector>

namespace vorla {

// The records to drop, given all records of a log oldest first: always the oldest, so what the
// log keeps is its newest records without a gap, and as few as bring the plain archives (and,
// with `limitCompressed`, the gzip files too) down to `maxCount` each.
std::vector<ArchiveEntry> surplusArchives(const std::vector<ArchiveEntry>& ascending,
                                          std::size_t maxCount, bool limitCompressed);

} // namespace vorla
