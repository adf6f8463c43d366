#include "platform/foundation/Trust.hpp"
#include "platform/foundation/TrustedStreams.hpp"
#include "platform/foundation/tests/TemporaryFolder.hpp"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace vorla::foundation {
namespace {

constexpr uid_t nobody = 65534;

void own(const std::string& path, mode_t mode, uid_t owner) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
}

void file(const std::string& path, mode_t mode, uid_t owner = 0) {
    std::ofstream(path) << "x";
    own(path, mode, owner);
}

// With a byte waiting and a writer kept open, so that a FIFO wrongly accepted for reading is
// read at once instead of hanging the test.
void fifo(const std::string& path, mode_t mode, uid_t owner = 0) {
    ASSERT_EQ(::mkfifo(path.c_str(), mode), 0);
    own(path, mode, owner);
    static std::vector<Descriptor> writers;
    writers.emplace_back(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    ASSERT_EQ(::write(writers.back().get(), "x", 1), 1);
}

void link(const std::string& path, uid_t owner) {
    file(path + ".target", 0600);
    std::filesystem::create_symlink(path + ".target", path);
    ASSERT_EQ(::lchown(path.c_str(), owner, owner), 0);
}

// "trusted", or "errno <n>: " and the text of what the call threw (the reason of an
// UntrustedError, whose code is EPERM).
std::string outcome(const std::function<void()>& call) {
    try {
        call();
    } catch (const FoundationError& error) {
        return "errno " + std::to_string(error.code()) + ": " + error.what();
    }
    return "trusted";
}

mode_t kindAt(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

// Everything that may stand at the name of the unified-log mirror, the trace or the message
// stream, and what each open makes of it. Only root can plant another user's object or a
// device, so these rows run as root only.
TEST(TrustedStreams, OpenOnlyWhatNobodyElseControls) {
    const struct {
        const char* name;
        std::function<void(const std::string& at)> plant;
        const char* append;
        const char* stream;
    } rows[] = {
        {"nothing", [](auto&) {}, "trusted", "errno 2:"},
        {"root's file", [](auto& at) { file(at, 0644); }, "trusted", "trusted"},
        {"root's file open to all", [](auto& at) { file(at, 0666); }, "(mode 0666)", "(mode 0666)"},
        {"root's file the group may write", [](auto& at) { file(at, 0620); }, "(mode 0620)",
         "(mode 0620)"},
        {"another user's file", [](auto& at) { file(at, 0644, nobody); }, "owned by user 65534",
         "owned by user 65534"},
        {"another user's link to root's file", [](auto& at) { link(at, nobody); },
         "errno 40:", "not a regular file or FIFO"},
        {"root's link to root's file", [](auto& at) { link(at, 0); },
         "errno 40:", "not a regular file or FIFO"},
        {"another user's FIFO", [](auto& at) { fifo(at, 0600, nobody); },
         "errno 22:", "owned by user 65534"},
        {"root's FIFO open to all", [](auto& at) { fifo(at, 0666); }, "errno 22:", "(mode 0666)"},
        {"a device",
         [](auto& at) { ASSERT_EQ(::mknod(at.c_str(), S_IFCHR | 0600, ::makedev(1, 3)), 0); },
         "not a regular file", "not a regular file or FIFO"},
        {"a folder", [](auto& at) { std::filesystem::create_directory(at); },
         "errno 21:", "not a regular file or FIFO"},
        {"in another user's folder",
         [](auto& at) {
             std::filesystem::remove(at);
             std::filesystem::create_directory(at);
             own(at, 0755, nobody);
         },
         "owned by user 65534", "owned by user 65534"},
    };
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can plant another user's objects";
    }
    const mode_t umask = ::umask(0);
    for (const auto& row : rows) {
        for (const bool appending : {true, false}) {
            SCOPED_TRACE(std::string(row.name) + (appending ? ", appending" : ", reading"));
            const vorla::testing::TemporaryFolder root;
            const std::string at = root.path("f");
            row.plant(at);
            const bool intoFolder = std::string(row.name) == "in another user's folder";
            const std::string opened = intoFolder ? at + "/f" : at;
            const mode_t before = kindAt(at);
            const std::string result = outcome([&] {
                if (appending) {
                    const OpenedFile file = openTrustedForAppending(opened, 0644);
                    ASSERT_EQ(::write(file.descriptor.get(), "y", 1), 1);
                } else {
                    const Descriptor stream = openTrustedStream(opened);
                    char byte = 0;
                    ASSERT_EQ(::read(stream.get(), &byte, 1), 1);
                }
            });
            EXPECT_NE(result.find(appending ? row.append : row.stream), std::string::npos)
                << result;
            if (std::string(row.name) == "nothing" && appending) {
                EXPECT_EQ(kindAt(at), S_IFREG | 0644);
                EXPECT_EQ(root.read("f"), "y");
                continue;
            }
            EXPECT_EQ(kindAt(at), before);
            if (result != "trusted" && S_ISREG(kindAt(at))) {
                EXPECT_EQ(root.read("f"), "x");
            }
            if (S_ISLNK(before)) {
                EXPECT_EQ(root.read("f.target"), "x");
            }
        }
    }
    ::umask(umask);
}

// A FIFO is opened for reading once the checks passed, waiting for its writer as any open does;
// a relative path starts at the working folder; /dev/fd/<n> is the pipe this process holds.
TEST(TrustedStreams, ReadsAFifoARelativePathAndAnInheritedPipe) {
    const vorla::testing::TemporaryFolder root;
    ASSERT_EQ(::mkfifo(root.path("fifo").c_str(), 0600), 0);
    const int writer = ::open(root.path("fifo").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(root.path());
    for (const auto& [path, input] : {std::pair{std::string("fifo"), writer},
                                      std::pair{"/dev/fd/" + std::to_string(pipe[0]), pipe[1]}}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(::write(input, "z", 1), 1);
        const Descriptor stream = openTrustedStream(path);
        char byte = 0;
        EXPECT_EQ(::read(stream.get(), &byte, 1), 1);
        EXPECT_EQ(byte, 'z');
    }
    std::filesystem::current_path(here);
    for (const int descriptor : {writer, pipe[0], pipe[1]}) {
        ::close(descriptor);
    }
}

// Standard input is judged as a named stream is: a pipe of one's own passes, anything another
// process could write into does not.
TEST(TrustedStreams, AnInheritedStreamMustBeAPipeOrFileOfOneself) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    EXPECT_EQ(outcome([&] { checkTrustedStream(pipe[0], "standard input"); }), "trusted");
    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    for (const int descriptor : {sockets[0], null}) {
        EXPECT_NE(outcome([&] {
                      checkTrustedStream(descriptor, "standard input");
                  }).find("\"standard input\": not a regular file or FIFO"),
                  std::string::npos);
    }
    for (const int descriptor : {pipe[0], pipe[1], sockets[0], sockets[1], null}) {
        ::close(descriptor);
    }
}

} // namespace
} // namespace vorla::foundation
