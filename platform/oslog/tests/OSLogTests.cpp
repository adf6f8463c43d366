#include "platform/oslog/OSLog.hpp"
#include "platform/oslog/tests/LogMirror.hpp"
#include "tests/support/BoundedWait.hpp"

#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <vector>

namespace vorla::oslog {
namespace {

std::vector<std::string> mirroredLines() {
    std::istringstream mirror(testing::logMirrorText());
    std::vector<std::string> lines;
    for (std::string line; std::getline(mirror, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(OSLogTest, MirrorLineEscapesTheText) {
    EXPECT_EQ(mirrorLine(LogType::fault, "com.vorla.system", "vorla", "a\\b\r\nc\td %s"),
              "fault\tcom.vorla.system\tvorla\ta\\\\b\\r\\nc\td %s\n");
    EXPECT_EQ(toString(LogType::defaultType), "default");
}

TEST(OSLogTest, EntriesOfManyThreadsStayWholeLines) {
    const Log log("com.vorla.test", "threads");
    const Log copy = log;
    EXPECT_EQ(copy.subsystem(), "com.vorla.test");
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&, thread] {
            for (int line = 0; line < 200; ++line) {
                copy.write(LogType::info,
                           std::string(300, static_cast<char>('a' + thread)) + "\n%n%s");
            }
        });
    }
    bounded::join(threads, "the threads that write entries");
    const auto lines = mirroredLines();
    ASSERT_EQ(lines.size(), 800U);
    for (const auto& line : lines) {
        const auto text = line.substr(line.rfind('\t') + 1);
        ASSERT_EQ(text.size(), 300U + 6U) << line;
        EXPECT_EQ(text.find_first_not_of(text.front()), 300U);
        EXPECT_EQ(text.substr(300), "\\n%n%s");
        EXPECT_EQ(line.substr(0, line.find('\t')), "info");
    }
}

} // namespace
} // namespace vorla::oslog
