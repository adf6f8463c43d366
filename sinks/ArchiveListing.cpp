#include "sinks/ArchiveListing.hpp"

#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/Trust.hpp"
#include "sinks/RecordTrust.hpp"

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

namespace vorla {

namespace {

constexpr std::string_view compressedExtension = ".gzip";

bool isNumber(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Decimal numbers of any length, compared without overflow: -1, 0 or 1.
int compareNumbers(std::string_view left, std::string_view right) {
    const auto significant = [](std::string_view text) {
        text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
        return text;
    };
    left = significant(left);
    right = significant(right);
    if (left.size() != right.size()) {
        return left.size() < right.size() ? -1 : 1;
    }
    return left.compare(right) < 0 ? -1 : (left == right ? 0 : 1);
}

// What tells records of one time apart: the name after "<log>.", without ".gzip".
std::string_view stampOf(std::string_view name, std::size_t logNameSize, bool compressed) {
    name.remove_prefix(std::min(logNameSize + 1, name.size()));
    if (compressed) {
        name.remove_suffix(std::min(compressedExtension.size(), name.size()));
    }
    return name;
}

// For records of equal modification times. Numbered archives are the older the higher their
// number (<log>.1 is always the newest); gzip files carry the seconds of their making (and an
// attempt after "_"), dated archives their rotation time, both older the smaller.
bool olderOnTie(std::string_view left, std::string_view right, bool compressed) {
    if (!compressed && isNumber(left) && isNumber(right)) {
        return compareNumbers(left, right) > 0;
    }
    const auto split = [](std::string_view stamp) {
        const auto underscore = std::min(stamp.find('_'), stamp.size());
        return std::pair(stamp.substr(0, underscore),
                         stamp.substr(std::min(underscore + 1, stamp.size())));
    };
    const auto [leftTime, leftRest] = split(left);
    const auto [rightTime, rightRest] = split(right);
    if (compressed && isNumber(leftTime) && isNumber(rightTime)) {
        if (const int order = compareNumbers(leftTime, rightTime); order != 0) {
            return order < 0;
        }
        if (isNumber(leftRest) || isNumber(rightRest)) {
            return compareNumbers(leftRest, rightRest) < 0;
        }
    }
    return left < right;
}

} // namespace

bool isArchiveOf(std::string_view logName, std::string_view name) {
    if (name.size() <= logName.size() + 1 || !name.starts_with(logName) ||
        name[logName.size()] != '.') {
        return false;
    }
    return name.find('.', logName.size() + 1) == std::string_view::npos;
}

bool isCompressedArchiveOf(std::string_view logName, std::string_view name) {
    return name.size() > logName.size() + 1 + compressedExtension.size() &&
           name.starts_with(logName) && name[logName.size()] == '.' &&
           name.ends_with(compressedExtension);
}

bool isNamedAfter(std::string_view logName, std::string_view name) {
    return name.starts_with(logName) &&
           (name.size() == logName.size() || name[logName.size()] == '.');
}

std::vector<ArchiveEntry>
ascArchivedFileURLs(const foundation::FileManager& fileManager, const SinkReporter& reporter,
                    const foundation::Folder& folder, std::string_view logName,
                    std::uint16_t permissionBits, const ArchiveFilter& filter) {
    std::vector<ArchiveEntry> entries;
    try {
        const auto candidates = [&](std::string_view name, auto kind) {
            return (!kind || *kind == foundation::ObjectKind::regularFile) && filter(logName, name);
        };
        for (foundation::DirectoryEntry& entry :
             fileManager.contentsOfDirectory(folder, candidates)) {
            try {
                const auto attributes = fileManager.attributesOfItem(folder, entry.name);
                // Another user's entry is passed over before any reason is put into words.
                if (!foundation::isTrustedOwner(attributes.owner) ||
                    untrustedRecordReason(attributes, folder.pathOf(entry.name), permissionBits)) {
                    continue;
                }
                const bool compressed = isCompressedArchiveOf(logName, entry.name);
                entries.push_back({std::move(entry.name), attributes.modificationDate, compressed});
            } catch (const foundation::FoundationError& error) {
                if (error.code() != ENOENT) {
                    throw;
                }
            }
        }
    } catch (const foundation::FoundationError& error) {
        reporter.failure(std::string("error in ascArchivedFileURLs, error: ") + error.what());
        return {};
    }
    const std::size_t logNameSize = logName.size();
    std::sort(entries.begin(), entries.end(), [logNameSize](const auto& left, const auto& right) {
        if (left.modificationDate != right.modificationDate) {
            return left.modificationDate < right.modificationDate;
        }
        if (left.compressed != right.compressed) {
            return right.compressed;
        }
        return olderOnTie(stampOf(left.name, logNameSize, left.compressed),
                          stampOf(right.name, logNameSize, right.compressed), left.compressed);
    });
    return entries;
}

} // namespace vorla
