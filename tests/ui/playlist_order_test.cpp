// SPDX-License-Identifier: GPL-2.0-or-later
// The playlist's order (subsongs, repeat, shuffle), its M3U files and the
// summaries it shows of tunes.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sys/stat.h>

#include "test_support.h"
#include "ui/common/m3u_file.h"
#include "ui/common/playlist_order.h"
#include "ui/common/tune_summary.h"

namespace chipbox {
namespace {

using Tunes = std::vector<PlaylistTuneSongs>;

TEST(PlaylistOrderTest, PlaysThroughSubsongsThenTheNextTuneAndStopsAtTheEnd) {
    const Tunes tunes = {{3, 1}, {0, 0}, {1, 0}};  // the middle one unread
    PlaylistOrder order(1);
    order.Reset(tunes.size(), 0);
    EXPECT_EQ(order.AfterSong({0, 0}, tunes), (PlaylistPlace{0, 1}));
    EXPECT_EQ(order.AfterSong({0, 2}, tunes), (PlaylistPlace{2, 0}));
    EXPECT_EQ(order.AfterSong({2, 0}, tunes), std::nullopt);
    order.SetRepeat(true);
    EXPECT_EQ(order.AfterSong({2, 0}, tunes), (PlaylistPlace{0, 0}));
    EXPECT_EQ(order.PreviousTune(0, tunes), (PlaylistPlace{2, 0}));
    // Only the start songs: tune 0 starts with its second song and moves on.
    order.SetAllSubsongs(false);
    order.SetRepeat(false);
    EXPECT_EQ(order.AfterSong({0, 1}, tunes), (PlaylistPlace{2, 0}));
    EXPECT_EQ(order.PreviousTune(2, tunes), (PlaylistPlace{0, 1}));
    EXPECT_EQ(order.PreviousTune(0, tunes), std::nullopt);
}

TEST(PlaylistOrderTest, ShufflePlaysEveryTuneOnceBeforeAnyRepeats) {
    const Tunes tunes(10, PlaylistTuneSongs{1, 0});
    for (std::uint32_t seed = 0; seed < 20; ++seed) {
        PlaylistOrder order(seed);
        order.SetShuffle(true);
        order.SetRepeat(true);
        order.Reset(tunes.size(), 4);
        std::size_t tune = 4;
        std::set<std::size_t> heard = {tune};
        for (int round = 0; round < 3; ++round) {
            for (std::size_t i = 1; i < tunes.size(); ++i) {
                tune = order.NextTune(tune, tunes)->tune;
                EXPECT_TRUE(heard.insert(tune).second) << "seed " << seed << " tune " << tune;
            }
            EXPECT_EQ(heard.size(), tunes.size());
            const std::size_t last = tune;
            tune = order.NextTune(tune, tunes)->tune;  // a new round
            EXPECT_NE(tune, last) << "a round starts again with the tune that ended it";
            heard = {tune};
        }
    }
    // Not simply in order.
    PlaylistOrder order(7);
    order.SetShuffle(true);
    order.Reset(tunes.size(), 0);
    std::vector<std::size_t> played = {0};
    for (std::size_t i = 1; i < tunes.size(); ++i) played.push_back(order.NextTune(played.back(), tunes)->tune);
    EXPECT_FALSE(std::is_sorted(played.begin(), played.end()));
    EXPECT_EQ(order.NextTune(played.back(), tunes), std::nullopt) << "the end without repeat";
    EXPECT_EQ(order.PreviousTune(played[3], tunes)->tune, played[2]);
}

TEST(PlaylistOrderTest, AListOfUnreadableTunesHasNoNextSong) {
    const Tunes tunes(3, PlaylistTuneSongs{0, 0});
    PlaylistOrder order(3);
    order.SetRepeat(true);
    order.Reset(tunes.size(), 0);
    EXPECT_EQ(order.AfterSong({0, 0}, tunes), std::nullopt);
    order.SetShuffle(true);
    EXPECT_EQ(order.NextTune(1, tunes), std::nullopt);
    EXPECT_EQ(order.NextTune(0, Tunes{}), std::nullopt);
}

TEST(M3uFileTest, RoundTripsPathsAndReadsRelativeOnesFromItsFolder) {
    const std::filesystem::path folder = test::FreshFolder("m3u");
    const std::string path = (folder / "list.m3u").string();
    int error = 0;
    ASSERT_TRUE(WriteM3u(path,
                         {{"/music/a b.sid", "Author - Name", 62'000},
                          {"/music/ünï.sid", "", std::nullopt},
                          {"/bad\nname.sid", "", std::nullopt}},
                         error));
    const std::string text = test::ReadFile(path);
    EXPECT_EQ(text, "#EXTM3U\n#EXTINF:62,Author - Name\n/music/a b.sid\n/music/ünï.sid\n");
    EXPECT_EQ(ReadM3u(path).paths, (std::vector<std::string>{"/music/a b.sid", "/music/ünï.sid"}));

    const std::string other = (folder / "other.m3u").string();
    std::ofstream(other, std::ios::binary) << "sub/x.sid\r\n#c\n\n../y.sid";
    EXPECT_EQ(ReadM3u(other).paths,
              (std::vector<std::string>{(folder / "sub/x.sid").string(),
                                        (folder.parent_path() / "y.sid").string()}));
}

TEST(M3uFileTest, UnreadableAndUnwritablePlaylistsSayWhy) {
    const std::filesystem::path folder = test::FreshFolder("m3u_bad");
    EXPECT_EQ(ReadM3u((folder / "missing.m3u").string()).error, ENOENT);
    EXPECT_EQ(ReadM3u(folder.string()).error, EISDIR);
    const std::string fifo = (folder / "fifo.m3u").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(ReadM3u(fifo).error, 0) << "a FIFO is not waited for";
    int error = 0;
    EXPECT_FALSE(WriteM3u((folder / "no/such/folder/list.m3u").string(), {}, error));
    EXPECT_EQ(error, ENOENT);
}

TEST(TuneSummaryTest, GivesTheHeadersTextsSongsAndMd5) {
    const TuneSummary subsongs = ReadTuneSummary(test::TunePath("subsongs"));
    EXPECT_TRUE(subsongs.readable);
    EXPECT_EQ(subsongs.name, "Subsongs");
    EXPECT_EQ(subsongs.author, "Chipbox tests");
    EXPECT_EQ(subsongs.released, "2026 Chipbox");
    EXPECT_EQ(subsongs.songs, 3);
    EXPECT_EQ(subsongs.startSong, 1);
    EXPECT_EQ(subsongs.md5.size(), 32u);
    EXPECT_EQ(ReadTuneSummary(test::TunePath("three_sids")).chips, 3);

    const TuneSummary junk = ReadTuneSummary(test::WriteTempFile("junk.sid", {'J', 'U', 'N', 'K'}));
    EXPECT_FALSE(junk.readable);
    EXPECT_EQ(junk.problem, "no SID tune");
    EXPECT_FALSE(ReadTuneSummary("/no/such/tune.sid").readable);
}

}  // namespace
}  // namespace chipbox
