#include "sinks/ArchiveListing.hpp"

#include "platform/foundation/FoundationError.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

namespace vorla {

namespace {

constexpr std::string_view compressedExtension = ".gzip";

} // namespace

bool isArchiveOf(const foundation::URL& fileURL, const foundation::URL& candidate) {
    return candidate != fileURL && candidate.deletingPathExtension().toPath() == fileURL.toPath();
}

bool isCompressedArchiveOf(const foundation::URL& fileURL, const foundation::URL& candidate) {
    if (candidate.deletingLastPathComponent() != fileURL.deletingLastPathComponent()) {
        return false;
    }
    const std::string name = candidate.lastPathComponent();
    const std::string prefix = fileURL.lastPathComponent() + ".";
    return name.size() > prefix.size() + compressedExtension.size() && name.starts_with(prefix) &&
           name.ends_with(compressedExtension);
}

std::vector<ArchiveEntry> ascArchivedFileURLs(const foundation::FileManager& fileManager,
                                              const foundation::URL& fileURL,
                                              const ArchiveFilter& filter) {
    const foundation::URL folder = fileURL.deletingLastPathComponent();
    std::vector<ArchiveEntry> entries;
    try {
        for (const std::string& name : fileManager.contentsOfDirectory(folder.toPath())) {
            foundation::URL candidate = folder.appendingPathComponent(name, false);
            if (!filter(fileURL, candidate)) {
                continue;
            }
            try {
                const auto attributes = fileManager.attributesOfItem(candidate.toPath());
                const bool compressed = isCompressedArchiveOf(fileURL, candidate);
                entries.push_back({std::move(candidate), attributes.modificationDate, compressed});
            } catch (const foundation::FoundationError& error) {
                if (error.code() != ENOENT) {
                    throw;
                }
            }
        }
    } catch (const foundation::FoundationError& error) {
        std::fprintf(stdout, "error in ascArchivedFileURLs, error: %s\n", error.what());
        std::fflush(stdout);
        return {};
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& left, const auto& right) {
        return left.modificationDate < right.modificationDate;
    });
    return entries;
}

} // namespace vorla
