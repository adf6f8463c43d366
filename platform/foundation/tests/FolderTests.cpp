#include "platform/foundation/Folder.hpp"
#include "platform/foundation/FoundationError.hpp"
#include "platform/foundation/Trust.hpp"
#include "platform/foundation/tests/TemporaryFolder.hpp"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorla::foundation {
namespace {

// The sticky bit lets others add entries to a folder without touching ours; on anything else
// it protects nothing, and write bits for group or others stay a reason.
TEST(FolderTest, OnlyAFolderIsExcusedByItsStickyBit) {
    const struct {
        ObjectKind kind;
        std::uint16_t mode;
        std::uint16_t permittedWriteBits;
        bool trusted;
    } rows[] = {
        {ObjectKind::folder, 01777, 0, true},          {ObjectKind::folder, 01770, 0, true},
        {ObjectKind::folder, 0777, 0, false},          {ObjectKind::regularFile, 01666, 0, false},
        {ObjectKind::regularFile, 01662, 0020, false}, {ObjectKind::regularFile, 01660, 0020, true},
        {ObjectKind::regularFile, 01644, 0, true},     {ObjectKind::other, 01666, 0, false},
        {ObjectKind::symbolicLink, 01777, 0, true},
    };
    for (const auto& row : rows) {
        FileAttributes attributes;
        attributes.kind = row.kind;
        attributes.posixPermissions = row.mode;
        EXPECT_EQ(!untrustedReason(attributes, "/x", row.permittedWriteBits), row.trusted)
            << "kind " << static_cast<int>(row.kind) << " mode " << octalPermissions(row.mode);
    }
    const vorla::testing::TemporaryFolder root;
    const std::string file = root.write("f", "x");
    ::chmod(file.c_str(), 01666);
    try {
        openTrustedFile(file);
        ADD_FAILURE() << "a root file of mode 1666 passed";
    } catch (const UntrustedError& error) {
        EXPECT_EQ(error.what(), file + " is writable by group or others (mode 1666)");
    }
}

// The kernel follows 40 links in one path and refuses the 41st; so does the walk, whether the
// links lead to the folder or, past it, to the file.
TEST(FolderTest, FollowsAsManyLinksAsTheKernel) {
    const struct {
        int links;
        bool toFile;
        int error;
    } rows[] = {{40, false, 0}, {41, false, ELOOP}, {40, true, 0}, {41, true, ELOOP}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.links) + (row.toFile ? " to a file" : " to a folder"));
        const vorla::testing::TemporaryFolder root;
        root.write("d/f", "x");
        std::string target = row.toFile ? "d/f" : "d";
        for (int index = row.links; index >= 1; --index) {
            const std::string name = "l" + std::to_string(index);
            std::filesystem::create_symlink(target, root.path(name));
            target = name;
        }
        int error = 0;
        try {
            if (row.toFile) {
                openTrustedFile(root.path("l1"));
            } else {
                Folder::open(root.path("l1"), {});
            }
        } catch (const FoundationError& failure) {
            error = failure.code();
        }
        EXPECT_EQ(error, row.error);
    }
}

// Every folder made is 0755: a umask that would narrow it changes nothing.
TEST(FolderTest, MadeFoldersIgnoreANarrowingUmask) {
    for (const mode_t mask : {mode_t{077}, mode_t{027}, mode_t{022}}) {
        SCOPED_TRACE(mask);
        const vorla::testing::TemporaryFolder root;
        const mode_t previous = ::umask(mask);
        Folder::open(root.path("a/b/c"), {.create = true});
        ::umask(previous);
        for (const char* made : {"a", "a/b", "a/b/c"}) {
            struct stat status {};
            ASSERT_EQ(::stat(root.path(made).c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 07777, 0755U) << made;
        }
    }
}

} // namespace
} // namespace vorla::foundation
