#pragma once

#include "platform/foundation/Date.hpp"
#include "platform/foundation/FileManager.hpp"
#include "platform/foundation/Folder.hpp"
#include "sinks/SinkReporter.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vorla {

// One record that a log keeps beside itself in its folder: a plain archive or one of its gzip
// files.
struct ArchiveEntry {
    std::string name;
    foundation::Date modificationDate;
    bool compressed = false;
};

// Any name that is the log's name plus one more extension (<log>.1, <log>.bak, ...).
bool isArchiveOf(std::string_view logName, std::string_view name);
// This log's own gzip files: <log>.<something>.gzip. Other logs' gzip files in the same folder
// are never counted or removed.
bool isCompressedArchiveOf(std::string_view logName, std::string_view name);
// The log's own file or one named after it (its archives and gzip files): what the log's
// temporary files are made for.
bool isNamedAfter(std::string_view logName, std::string_view name);

using ArchiveFilter = std::function<bool(std::string_view logName, std::string_view name)>;

// The records of the log's folder that pass the filter, oldest first: by modification date,
// and for equal dates by name, a higher archive number or an earlier stamp being older. Only
// files the sink may touch are records (untrustedRecordReason): folders, links, other users'
// files and files with a second name are never records, and are passed over without a look
// when the listing tells their kind. An entry that vanishes while it is looked at is left out.
// When the folder cannot be listed or a date cannot be read, reports the reason and returns
// nothing.
std::vector<ArchiveEntry>
ascArchivedFileURLs(const foundation::FileManager& fileManager, const SinkReporter& reporter,
                    const foundation::Folder& folder, std::string_view logName,
                    std::uint16_t permissionBits, const ArchiveFilter& filter);

} // namespace vorla
