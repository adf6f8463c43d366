#include "sinks/ArchiveCompression.hpp"
#include "sinks/ArchiveListing.hpp"
#include "sinks/ArchiveRetention.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

namespace vorla {
namespace {

// Records named by a letter each, oldest first: 'p' a plain archive, 'g' a gzip file.
std::vector<ArchiveEntry> records(std::string_view kinds) {
    std::vector<ArchiveEntry> entries;
    for (std::size_t index = 0; index < kinds.size(); ++index) {
        entries.push_back({std::to_string(index), foundation::Date(std::chrono::seconds(index)),
                           kinds[index] == 'g'});
    }
    return entries;
}

std::string dropped(std::string_view kinds, std::size_t max, bool limitCompressed) {
    std::string indices;
    for (const auto& entry : surplusArchives(records(kinds), max, limitCompressed)) {
        indices += entry.name;
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
    const struct {
        const char* name;
        bool archive, compressed, temporary;
    } rows[] = {
        {"audit.log.1", true, false, false},
        {"audit.log.bak", true, false, false},
        {"audit.log.20240501T100000Z_ab-cd", true, false, false},
        {"audit.log", false, false, false},
        {"audit.log.", false, false, false},
        {"audit.log-untrusted-20240501T100000Z", false, false, false},
        {"audit.log.1.gzip", false, true, false},
        {"audit.log.1714557600_2.gzip", false, true, false},
        {"audit.log.gzip", true, false, false},
        {"audit.log.1714557600.GZIP", false, false, false},
        {"access.log.1", false, false, false},
        {"access.log.1714557600.gzip", false, false, false},
        {"audit.logx.1", false, false, false},
        {".audit.log.tmp-AbC123", false, false, true},
        {".audit.log.1714557600.gzip.tmp-AbC123", false, false, true},
        {".audit.logx.tmp-AbC123", false, false, false},
        {".access.log.tmp-AbC123", false, false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(isArchiveOf("audit.log", row.name), row.archive) << row.name;
        EXPECT_EQ(isCompressedArchiveOf("audit.log", row.name), row.compressed) << row.name;
        const auto target = foundation::FileManager::targetOfTemporaryName(row.name);
        EXPECT_EQ(target && isNamedAfter("audit.log", *target), row.temporary) << row.name;
    }
}

TEST(ArchiveCompressionTest, NamesNeverRepeatWithinASecond) {
    const auto now =
        foundation::Date(std::chrono::seconds(1714557600)) + std::chrono::milliseconds(999);
    EXPECT_EQ(compressedFileName("audit.log", now, 0), "audit.log.1714557600.gzip");
    EXPECT_EQ(compressedFileName("audit.log", now, 2), "audit.log.1714557600_2.gzip");
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
