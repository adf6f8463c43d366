#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/URL.hpp"
#include "sinks/SinkReporter.hpp"

#include <functional>
#include <vector>

namespace vorla {

// One record that a log keeps beside itself: a plain archive or one of its gzip files.
struct ArchiveEntry {
    foundation::URL url;
    foundation::Date modificationDate;
    bool compressed = false;
};

// Any name that is the log's name plus one more extension (<log>.1, <log>.bak, ...).
bool isArchiveOf(const foundation::URL& fileURL, const foundation::URL& candidate);
// This log's own gzip files: <log>.<something>.gzip. Other logs' gzip files in the same folder
// are never counted or removed.
bool isCompressedArchiveOf(const foundation::URL& fileURL, const foundation::URL& candidate);
// A temporary file of this log's folder work (a gzip file or log file being made) that an
// interruption left behind.
bool isTemporaryOf(const foundation::URL& fileURL, const foundation::URL& candidate);

using ArchiveFilter =
    std::function<bool(const foundation::URL& fileURL, const foundation::URL& candidate)>;

// The regular files of the log's folder that pass the filter, oldest first: by modification
// date, and for equal dates by name, a higher archive number or an earlier stamp being older.
// Folders, links and other entries are never records. An entry that vanishes while it is
// looked at is left out. When the folder cannot be listed or a date cannot be read, reports
// the reason and returns nothing.
std::vector<ArchiveEntry> ascArchivedFileURLs(const foundation::FileManager& fileManager,
                                              const SinkReporter& reporter,
                                              const foundation::URL& fileURL,
                                              const ArchiveFilter& filter);

} // namespace vorla
