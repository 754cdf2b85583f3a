// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli with a tune collection: folders, lists, song lengths and the
// files it writes for several songs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli_run.h"
#include "core/tune_file.h"
#include "test_support.h"
#include "ui/cli/song_lengths.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;
using test::FreshFolder;
using test::Quoted;
using test::RunCli;

std::string Md5Of(const std::string& path) { return cli::TuneMd5(ReadTuneFile(path).bytes); }

std::string Copy(const std::string& tune, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(test::TunePath(tune), to, fs::copy_options::overwrite_existing);
    return to.string();
}

std::uintmax_t Samples(const fs::path& wav) { return (fs::file_size(wav) - 44) / 2; }

// minimal: 1.5 s; subsongs: 2, 1 and 3 s; cia_timed has no entry.
std::string WriteSongLengths(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "[Database]\r\n"
                        << "; /Tests/minimal.sid\r\n"
                        << Md5Of(test::TunePath("minimal")) << "=0:01.500\r\n"
                        << "; /Tests/subsongs.sid\n"
                        << Md5Of(test::TunePath("subsongs")) << "=0:02 0:01(G) 0:03\n"
                        << "0123=not a line\n"
                        << Md5Of(test::TunePath("cia_timed")) << "=one:two\n";
    return file.string();
}

TEST(CliPlaylistTest, FoldersGiveTheirTunesInTheBrowsersOrderAndSubfoldersWithR) {
    const fs::path music = FreshFolder("music");
    Copy("minimal", music / "B.SID");
    Copy("subsongs", music / "a.sid");
    Copy("cia_timed", music / "sub" / "c.Sid");
    std::ofstream(music / "notes.txt") << "not a tune";
    const auto flat = RunCli("--info " + Quoted(music.string()));
    EXPECT_EQ(flat.status, 0);
    const std::size_t a = flat.output.find("a.sid"), b = flat.output.find("B.SID");
    EXPECT_LT(a, b);
    EXPECT_EQ(flat.output.find("c.Sid"), std::string::npos);
    const auto deep = RunCli("-r --info " + Quoted(music.string()));
    EXPECT_GT(deep.output.find("c.Sid"), deep.output.find("B.SID"));
    const auto empty = RunCli("--info " + Quoted(FreshFolder("empty").string()));
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.output.find("no .sid files in"), std::string::npos);
}

TEST(CliPlaylistTest, ATuneThatCannotBeLoadedIsSkippedInOneLineWithItsReason) {
    const fs::path folder = FreshFolder("broken");
    const std::string rsid = test::WriteTempFile("rsid.sid", {'R', 'S', 'I', 'D', 0, 2});
    const std::string tune = test::TunePath("minimal");
    const auto list = RunCli("--info /nonexistent.sid " + Quoted(rsid) + " " + tune);
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_NE(list.output.find("skipping /nonexistent.sid: No such file or directory\n"),
              std::string::npos);
    EXPECT_NE(list.output.find("skipping " + rsid +
                               ": RSID tunes need a complete C64 and are not played here\n"),
              std::string::npos);
    EXPECT_NE(list.output.find("Minimal"), std::string::npos);
    const auto nothing =
        RunCli("-o " + Quoted(folder.string() + "/") + " /nonexistent.sid " + Quoted(rsid));
    EXPECT_EQ(nothing.status, 1);
    // Alone, a tune keeps its message and gets the reason on a line of its own.
    const auto alone = RunCli("--info " + Quoted(rsid));
    EXPECT_EQ(alone.status, 1);
    EXPECT_NE(alone.output.find("is not a valid PSID File!\nRSID tunes need a complete C64"),
              std::string::npos);
}

TEST(CliPlaylistTest, SongLengthsAreFoundShownAndRenderedExactly) {
    const fs::path folder = FreshFolder("lengths");
    const std::string lengths = WriteSongLengths(folder / "Songlengths.md5");
    const auto info = RunCli("--songlengths " + Quoted(lengths) + " --info " +
                             test::TunePath("subsongs") + " " + test::TunePath("cia_timed"));
    EXPECT_NE(info.output.find("Lengths:  0:02 0:01 0:03\n"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Lengths:  unknown\n"), std::string::npos);  // a malformed line

    const fs::path out = folder / "out";
    ASSERT_EQ(RunCli("-o " + Quoted(out.string() + "/") + " --all-songs --songlengths " +
                     Quoted(lengths) + " " + test::TunePath("subsongs"))
                  .status,
              0);
    EXPECT_EQ(Samples(out / "subsongs-1.wav"), 2u * 44100);
    EXPECT_EQ(Samples(out / "subsongs-2.wav"), 1u * 44100);
    EXPECT_EQ(Samples(out / "subsongs-3.wav"), 3u * 44100);

    // Found below $HVSC_BASE; --seconds still decides.
    const fs::path base = FreshFolder("hvsc");
    WriteSongLengths(base / "C64Music" / "DOCUMENTS" / "Songlengths.md5");
    const std::string wav = (folder / "one.wav").string();
    ASSERT_EQ(RunCli("-o " + Quoted(wav) + " " + test::TunePath("minimal"),
                     "HVSC_BASE=" + Quoted(base.string()))
                  .status,
              0);
    EXPECT_EQ(Samples(wav), 66150u);
    ASSERT_EQ(RunCli("-o " + Quoted(wav) + " --seconds 0.5 " + test::TunePath("minimal"),
                     "HVSC_BASE=" + Quoted(base.string()))
                  .status,
              0);
    EXPECT_EQ(Samples(wav), 22050u);
}

TEST(CliPlaylistTest, SeveralSongsNeedAFolderAndNamesStayApart) {
    const fs::path folder = FreshFolder("names");
    const std::string first = Copy("minimal", folder / "one" / "tune.sid");
    const std::string second = Copy("cia_timed", folder / "two" / "tune.sid");
    const auto file =
        RunCli("-o " + Quoted((folder / "x.wav").string()) + " " + first + " " + second);
    EXPECT_EQ(file.status, 2);
    EXPECT_NE(file.output.find("-o takes a folder ending in /"), std::string::npos);
    const fs::path out = folder / "out";
    ASSERT_EQ(RunCli("-o " + Quoted(out.string() + "/") + " --seconds 0.2 " + first + " " + second)
                  .status,
              0);
    EXPECT_EQ(Samples(out / "tune.wav"), 8820u);
    EXPECT_EQ(Samples(out / "tune-2.wav"), 8820u);
}

// On the sound card a list moves on at the end of each song and the player
// ends after the last.
TEST(CliPlaylistTest, PlayingAListEndsEachSongAtItsLength) {
    const fs::path folder = FreshFolder("play");
    const std::string lengths = WriteSongLengths(folder / "Songlengths.md5");
    const auto run = RunCli("--songlengths " + Quoted(lengths) + " --all-songs --speed 4 " +
                                test::TunePath("minimal") + " " + test::TunePath("subsongs"),
                            "SDL_AUDIODRIVER=dummy timeout 20");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Subsongs"), std::string::npos);
}

TEST(CliPlaylistTest, InfoNamesThePlayAddressFromTheVectorAndTheHeadersClaims) {
    const auto vector = RunCli("--info " + test::TunePath("irq_vector"));
    EXPECT_NE(vector.output.find(" (from $0314/$0315)\n"), std::string::npos) << vector.output;
    std::vector<std::uint8_t> bytes = ReadTuneFile(test::TunePath("minimal")).bytes;
    bytes[0x77] = 0x28;  // 8580, NTSC
    const auto claims = RunCli("--info " + Quoted(test::WriteTempFile("flags.sid", bytes)));
    EXPECT_NE(claims.output.find("SID:      8580 (as the tune says)\n"), std::string::npos);
    EXPECT_NE(claims.output.find("Video:    NTSC (as the tune says)\n"), std::string::npos);
}

}  // namespace
}  // namespace chipbox
