// SPDX-License-Identifier: GPL-2.0-or-later
// Finding a collection's documents beside the tunes, and the song length
// file's lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "ui/common/collection.h"
#include "ui/common/song_lengths.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;

class CollectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = test::FreshFolder("collection");
        fs::create_directories(root_ / "hvsc/DOCUMENTS");
        fs::create_directories(root_ / "hvsc/MUSICIANS/A/Artist");
        fs::create_directories(root_ / "elsewhere/deep/er");
        ::unsetenv("HVSC_BASE");
    }
    void TearDown() override { ::unsetenv("HVSC_BASE"); }
    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    fs::path root_;
};

TEST_F(CollectionTest, WalksUpFromTheTuneToTheFolderHoldingTheDocument) {
    Write(root_ / "hvsc/DOCUMENTS/Songlengths.md5", "[Database]\n");
    const std::string tune = (root_ / "hvsc/MUSICIANS/A/Artist/Tune.sid").string();
    EXPECT_EQ(CollectionRootAbove(tune, "Songlengths.md5"), (root_ / "hvsc").string());
    EXPECT_EQ(FindSongLengthsFile(std::nullopt, tune),
              (root_ / "hvsc/DOCUMENTS/Songlengths.md5").string());
    // Another document is not there, and a tune outside has no collection.
    EXPECT_EQ(CollectionRootAbove(tune, "STIL.txt"), std::nullopt);
    EXPECT_EQ(FindSongLengthsFile(std::nullopt, (root_ / "elsewhere/deep/er/x.sid").string()),
              std::nullopt);
    // A file chosen wins over everything.
    EXPECT_EQ(FindSongLengthsFile(std::string("mine.md5"), tune), "mine.md5");
}

TEST_F(CollectionTest, TheEnvironmentsRootWinsOverTheWalk) {
    Write(root_ / "hvsc/DOCUMENTS/STIL.txt", "");
    fs::create_directories(root_ / "other/C64Music/DOCUMENTS");
    Write(root_ / "other/C64Music/DOCUMENTS/STIL.txt", "");
    ::setenv("HVSC_BASE", (root_ / "other").c_str(), 1);
    const std::string tune = (root_ / "hvsc/MUSICIANS/A/Artist/Tune.sid").string();
    EXPECT_EQ(FindCollectionDocument(std::nullopt, tune, "STIL.txt"),
              (root_ / "other/C64Music/DOCUMENTS/STIL.txt").string());
    // A base without the document leaves the walk to find it.
    ::setenv("HVSC_BASE", (root_ / "elsewhere").c_str(), 1);
    EXPECT_EQ(FindCollectionDocument(std::nullopt, tune, "STIL.txt"),
              (root_ / "hvsc/DOCUMENTS/STIL.txt").string());
}

TEST_F(CollectionTest, ATunesNameInTheCollectionIsFromItsRoot) {
    const std::string root = (root_ / "hvsc").string();
    EXPECT_EQ(CollectionPath(root, root + "/MUSICIANS/A/Artist/Tune.sid"),
              "/MUSICIANS/A/Artist/Tune.sid");
    EXPECT_EQ(CollectionPath(root + "/", root + "/./MUSICIANS/../GAMES/G.sid"), "/GAMES/G.sid");
    EXPECT_EQ(CollectionPath(root, (root_ / "elsewhere/x.sid").string()), std::nullopt);
}

TEST_F(CollectionTest, SongLengthLinesGiveEachSubsongsLength) {
    const fs::path file = root_ / "lengths.md5";
    Write(file,
          "; /MUSICIANS/A/Artist/Tune.sid\r\n"
          "0123456789abcdef0123456789abcdef=1:02 0:05.250(G) 10:00\r\n"
          "0123456789ABCDEF0123456789ABCDEF=1:00\n"   // upper-case keys are no MD5s
          "fedcba9876543210fedcba9876543210=1:2\n"     // nor are broken lengths
          "[Database]\n");
    SongLengths lengths;
    ASSERT_TRUE(lengths.Load(file.string()));
    EXPECT_EQ(lengths.size(), 1u);
    const std::vector<std::uint32_t>* songs = lengths.Find("0123456789abcdef0123456789abcdef");
    ASSERT_NE(songs, nullptr);
    EXPECT_EQ(*songs, (std::vector<std::uint32_t>{62'000, 5'250, 600'000}));
    EXPECT_EQ(lengths.Find("fedcba9876543210fedcba9876543210"), nullptr);
    EXPECT_FALSE(SongLengths().Load((root_ / "missing.md5").string()));
}

}  // namespace
}  // namespace chipbox
