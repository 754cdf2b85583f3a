// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "test_support.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(AtomicFileTest, TheTargetChangesOnlyOnCommitAndKeepsItsPermissions) {
    const std::string target = test::WriteTempFile("settings.INI", {'o', 'l', 'd'});
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write("new", 3));
        EXPECT_EQ(Contents(target), "old");
        EXPECT_TRUE(fs::exists(file.temporaryPath()));
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(Contents(target), "new");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(target).parent_path()), {}), 1);
}

TEST(AtomicFileTest, ADiscardedOrUnfinishedFileLeavesNothingBehind) {
    const std::string target = test::WriteTempFile("out.wav", {'o', 'l', 'd'});
    std::string temporary;
    {
        AtomicFile file(target);
        ASSERT_TRUE(file.Open());
        file.Write("partial", 7);
        temporary = file.temporaryPath();
    }  // destroyed without a commit, as when a render is interrupted
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(Contents(target), "old");

    AtomicFile folder(fs::path(target).parent_path().string());
    EXPECT_FALSE(folder.Open());
    EXPECT_EQ(folder.error(), EISDIR);
    AtomicFile missing("/nonexistent/folder/out.wav");
    EXPECT_FALSE(missing.Open());
    EXPECT_EQ(missing.error(), ENOENT);
}

}  // namespace
}  // namespace chipbox
