#include "extension/ExitStatus.hpp"
#include "extension/PathError.hpp"
#include "extension/config/Config.hpp"

#include <gtest/gtest.h>

namespace vorla::extension {
namespace {

TEST(ExitStatus, EachStartUpErrorHasItsMessageAndStatus) {
    const auto url =
        foundation::URL::fileURL("/Library/Application Support/Vorla/config.yaml", false);
    struct Row {
        std::exception_ptr error;
        StartupFailure expected;
    };
    const Row rows[] = {
        {std::make_exception_ptr(PathError::createDirectory("/Library/Application Support/Vorla")),
         {"could create directory: /Library/Application Support/Vorla",
          ExitStatus::directoryNotCreated}},
        {std::make_exception_ptr(Config::FileErr::encoding("could not encode value (x)")),
         {"could not encode config file: could not encode value (x)", ExitStatus::configNotSaved}},
        {std::make_exception_ptr(Config::FileErr::saving(url)),
         {"could not write config file: "
          "file:///Library/Application%20Support/Vorla/config.yaml",
          ExitStatus::configNotSaved}},
        {std::make_exception_ptr(std::runtime_error("boom")),
         {"unhandled error occured: boom", ExitStatus::unhandledError}},
        {std::make_exception_ptr(42),
         {"unhandled error occured: unknown error", ExitStatus::unhandledError}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(startupFailure(row.error), row.expected) << row.expected.message;
    }
    EXPECT_EQ(static_cast<int>(ExitStatus::unhandledError), 1);
    EXPECT_EQ(static_cast<int>(ExitStatus::directoryNotCreated), 2);
    EXPECT_EQ(static_cast<int>(ExitStatus::configNotSaved), 3);
}

TEST(ExitStatus, FileErrorsCompareByCaseAndPayload) {
    const auto url = foundation::URL::fileURL("/a/config.yaml", false);
    EXPECT_EQ(Config::FileErr::saving(url), Config::FileErr::saving(url));
    EXPECT_NE(Config::FileErr::saving(url),
              Config::FileErr::saving(foundation::URL::fileURL("/b/config.yaml", false)));
    EXPECT_NE(Config::FileErr::encoding("x"), Config::FileErr::encoding("y"));
    EXPECT_NE(Config::FileErr::encoding(""), Config::FileErr::saving(url));
}

} // namespace
} // namespace vorla::extension
