#include "sinks/ArchiveCompression.hpp"
#include "sinks/ArchiveListing.hpp"
#include "sinks/ArchiveRetention.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

namespace vorla {
namespace {

using foundation::URL;

// Records named by a letter each, oldest first: 'p' a plain archive, 'g' a gzip file.
std::vector<ArchiveEntry> records(std::string_view kinds) {
    std::vector<ArchiveEntry> entries;
    for (std::size_t index = 0; index < kinds.size(); ++index) {
        entries.push_back({URL::fileURL("/logs/" + std::to_string(index), false),
                           foundation::Date(std::chrono::seconds(index)), kinds[index] == 'g'});
    }
    return entries;
}

std::string dropped(std::string_view kinds, std::size_t max, bool limitCompressed) {
    std::string indices;
    for (const auto& entry : surplusArchives(records(kinds), max, limitCompressed)) {
        indices += entry.url.lastPathComponent();
    }
    return indices;
}

TEST(ArchiveRetentionTest, AlwaysDropsTheOldestRecords) {
    const struct {
        const char* kinds;
        std::size_t max;
        bool limitCompressed;
        const char* dropped;
    } rows[] = {
        {"ppp", 3, false, ""},      {"pppp", 3, false, "0"}, {"pppp", 0, false, "0123"},
        {"gggp", 2, true, "0"},     // steady state: the gzip files beyond the maximum
        {"ggppp", 2, true, "012"},  // lagging compression: no gzip older than a kept archive
        {"ggppp", 2, false, "012"}, // compression off: old gzip files go before any archive
        {"gp", 0, true, "01"},      {"ggg", 3, false, ""},   {"pgpg", 1, true, "01"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(dropped(row.kinds, row.max, row.limitCompressed), row.dropped)
            << row.kinds << " max " << row.max;
    }
}

TEST(ArchiveListingTest, FiltersOfOneLog) {
    const URL log = URL::fileURL("/logs/audit.log", false);
    const auto at = [](const char* name) { return URL::fileURL(name, false); };
    EXPECT_TRUE(isArchiveOf(log, at("/logs/audit.log.1")));
    EXPECT_TRUE(isArchiveOf(log, at("/logs/audit.log.bak")));
    EXPECT_TRUE(isArchiveOf(log, at("/logs/audit.log.20240501T100000Z_ab-cd")));
    EXPECT_FALSE(isArchiveOf(log, log));
    EXPECT_FALSE(isArchiveOf(log, at("/logs/audit.log.1.gzip")));
    EXPECT_FALSE(isArchiveOf(log, at("/logs/access.log.1")));

    EXPECT_TRUE(isCompressedArchiveOf(log, at("/logs/audit.log.1714557600.gzip")));
    EXPECT_TRUE(isCompressedArchiveOf(log, at("/logs/audit.log.1714557600_2.gzip")));
    EXPECT_FALSE(isCompressedArchiveOf(log, at("/logs/access.log.1714557600.gzip")));
    EXPECT_FALSE(isCompressedArchiveOf(log, at("/logs/audit.log.1714557600.GZIP")));
    EXPECT_FALSE(isCompressedArchiveOf(log, at("/other/audit.log.1714557600.gzip")));
}

TEST(ArchiveCompressionTest, NamesNeverRepeatWithinASecond) {
    const auto now =
        foundation::Date(std::chrono::seconds(1714557600)) + std::chrono::milliseconds(999);
    EXPECT_EQ(compressedFilePath("/logs/audit.log", now, 0), "/logs/audit.log.1714557600.gzip");
    EXPECT_EQ(compressedFilePath("/logs/audit.log", now, 2), "/logs/audit.log.1714557600_2.gzip");
}

TEST(ArchiveCompressionTest, GzipRoundTrip) {
    for (const std::string& original :
         {std::string(), std::string("abc\r\n"), std::string(300000, 'z') + "tail"}) {
        const auto compressed = gzipCompress(original);
        ASSERT_TRUE(compressed);
        ASSERT_GE(compressed->size(), 18U);
        EXPECT_EQ(static_cast<unsigned char>((*compressed)[0]), 0x1F);
        EXPECT_EQ(static_cast<unsigned char>((*compressed)[1]), 0x8B);
        z_stream stream{};
        ASSERT_EQ(inflateInit2(&stream, 31), Z_OK);
        std::string restored(original.size() + 1, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed->data()));
        stream.avail_in = static_cast<uInt>(compressed->size());
        stream.next_out = reinterpret_cast<Bytef*>(restored.data());
        stream.avail_out = static_cast<uInt>(restored.size());
        EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
        restored.resize(stream.total_out);
        inflateEnd(&stream);
        EXPECT_EQ(restored, original);
    }
}

} // namespace
} // namespace vorla
