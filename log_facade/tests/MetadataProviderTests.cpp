#include "log_facade/MetadataProvider.hpp"

#include <gtest/gtest.h>

namespace vorla::logging {
namespace {

MetadataProvider providing(Metadata metadata) {
    return MetadataProvider([metadata] { return metadata; });
}

TEST(MetadataProviderTest, MultiplexOfNothingIsPresentAndEmpty) {
    const auto provider = MetadataProvider::multiplex({});
    ASSERT_TRUE(provider.has_value());
    EXPECT_TRUE(provider->get().empty());
}

TEST(MetadataProviderTest, MultiplexMergesInOrderLaterWinning) {
    const auto provider = MetadataProvider::multiplex({
        providing({{"k", "first"}, {"a", "1"}}),
        providing({}),
        providing({{"k", "second"}}),
    });
    EXPECT_EQ(provider->get(), (Metadata{{"k", "second"}, {"a", "1"}}));
}

} // namespace
} // namespace vorla::logging
