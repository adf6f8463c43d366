#include "log_facade/DecodingError.hpp"
#include "log_facade/Level.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vorla::logging {
namespace {

TEST(LevelTest, OrderFollowsSeverity) {
    for (std::size_t i = 1; i < allCases.size(); ++i) {
        EXPECT_LT(allCases[i - 1], allCases[i]) << rawValue(allCases[i]);
    }
    EXPECT_GT(Level::warning, Level::notice);
    EXPECT_LT(Level::warning, Level::error);
}

TEST(LevelTest, TextValuesRoundTripAndAreCaseSensitive) {
    for (Level level : allCases) {
        EXPECT_EQ(fromRawValue(rawValue(level)), level);
    }
    EXPECT_EQ(rawValue(Level::warning), "warning");
    EXPECT_EQ(fromRawValue("warning"), Level::warning);
    for (const char* text : {"TRACE", "Warning", "", "verbose", "info "}) {
        EXPECT_EQ(fromRawValue(text), std::nullopt) << text;
    }
}

TEST(LevelTest, EncodesAsItsTextValue) {
    EXPECT_EQ(nlohmann::json(Level::critical).dump(), "\"critical\"");
    EXPECT_EQ(nlohmann::json("notice").get<Level>(), Level::notice);
}

TEST(LevelTest, DecodingRejectsUnknownTextsAndOtherTypes) {
    const auto kindOfFailure = [](const nlohmann::json& json) {
        try {
            (void)json.get<Level>();
        } catch (const DecodingError& error) {
            return std::optional(error.kind());
        }
        return std::optional<DecodingError::Kind>();
    };
    EXPECT_EQ(kindOfFailure("TRACE"), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(kindOfFailure(3), DecodingError::Kind::typeMismatch);
}

} // namespace
} // namespace vorla::logging
