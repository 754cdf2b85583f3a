// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli run as a user runs it, from a shell or on a terminal of its
// own: exit statuses, messages, its terminal and tune collections.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli_run.h"
#include "playback/tune_loading.h"
#include "test_support.h"
#include "ui/common/song_lengths.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;
using namespace test;

TEST(CliProgramTest, MissingAndInvalidFilesGiveTheLoadMessagesAndStatusOne) {
    const std::string out = NoFile("unused.wav");
    const CliRun missing = RunCli("-o " + Quoted(out) + " /nonexistent/tune.sid");
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Holds(missing.output, "/nonexistent/tune.sid\ncould not be loaded..."));
    const std::string notPsid = test::WriteTempFile("text.sid", {'h', 'e', 'l', 'l', 'o'});
    const CliRun invalid = RunCli("-o " + Quoted(out) + " " + Quoted(notPsid));
    EXPECT_EQ(invalid.status, 1);
    EXPECT_TRUE(Holds(invalid.output, "is not a valid PSID File!"));
    EXPECT_FALSE(fs::exists(out));  // nothing written unless rendering starts
}

TEST(CliProgramTest, BadOptionsAndSongsOutOfRangeGiveUsageAndStatusTwo) {
    const CliRun bad = RunCli("--speed 3 " + TunePath("minimal"));
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(Holds(bad.output, "--speed takes 1, 2 or 4\nTry 'chipbox-cli --help'"));
    EXPECT_EQ(bad.output.find("Usage:"), std::string::npos);
    const std::string out = NoFile("song.wav");
    const CliRun song = RunCli("-o " + Quoted(out) + " --song 4 " + TunePath("subsongs"));
    EXPECT_EQ(song.status, 2);
    EXPECT_FALSE(fs::exists(out));
}

// Each option changes the sound, never its length. The complete machine plays
// at the video standard's rate: other samples per frame, so other sound.
TEST(CliProgramTest, MuteSongAndMachineOptionsChangeTheRendering) {
    const auto render = [](const std::string& options, const char* tune) {
        const std::string wav = test::WriteTempFile("out.wav", {});
        ExpectRuns(options + " -o " + Quoted(wav) + " --seconds 1 " + TunePath(tune));
        return ReadFile(wav);
    };
    for (const auto& [options, tune] :
         {std::pair{"--mute 1", "subsongs"}, std::pair{"--song 3", "subsongs"},
          std::pair{"--complete", "minimal"}}) {
        const std::string plain = render("", tune), changed = render(options, tune);
        EXPECT_EQ(changed.size(), plain.size()) << options;
        EXPECT_TRUE(changed != plain) << options;
    }
}

// A tune for three SIDs renders a WAV of two channels, and one of one
// channel, half the size, with --mono; --info lists the chips.
TEST(CliProgramTest, TunesForSeveralSidsRenderStereoUnlessMonoIsAsked) {
    const auto render = [](const std::string& options) {
        const std::string wav = test::WriteTempFile("sids.wav", {});
        ExpectRuns(options + " -o " + Quoted(wav) + " --seconds 1 " + TunePath("three_sids"));
        return ReadFile(wav);
    };
    const std::string stereo = render(""), mono = render("--mono --mute 4");
    constexpr std::size_t CHANNELS = 22, BLOCK_ALIGN = 32;  // offsets in the WAV header
    ASSERT_GT(stereo.size(), 44u);
    EXPECT_EQ(stereo[CHANNELS], 2);
    EXPECT_EQ(stereo[BLOCK_ALIGN], 4);
    EXPECT_EQ(mono[CHANNELS], 1);
    EXPECT_EQ(stereo.size() - 44, 2 * (mono.size() - 44));
    EXPECT_EQ(stereo.size() - 44, 4u * 44'100);
    EXPECT_TRUE(Holds(RunCli("--info " + TunePath("three_sids")).output,
                      "with 3 SIDs: the 6581 at $D400, the 8580 at $D420, the 6581 at $DE00"));
}

// A pipe can be read once: the tune is checked and loaded from one reading.
// It names where the play address came from, and the chip and video standard
// a tune claims.
TEST(CliProgramTest, InfoShowsTheHeaderOfATuneFromAPipeAndWhereItsValuesCameFrom) {
    const CliRun run = RunCli("--info /dev/stdin #", "cat " + TunePath("subsongs") + " |");
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* part : {"Subsongs", "2 / 3", "Start Address: $1000"})
        EXPECT_TRUE(Holds(run.output, part));
    EXPECT_TRUE(Holds(RunCli("--info " + TunePath("irq_vector")).output, " (from $0314/$0315)\n"));
    std::vector<std::uint8_t> bytes =
        ReadTuneFile(TunePath("minimal"), FileKinds::AnyReadable).bytes;
    bytes[0x77] = 0x28;  // 8580, NTSC
    const CliRun claims = RunCli("--info " + Quoted(test::WriteTempFile("flags.sid", bytes)));
    EXPECT_TRUE(Holds(claims.output, "SID:      8580 (as the tune says)\n"));
    EXPECT_TRUE(Holds(claims.output, "Video:    NTSC (as the tune says)\n"));
}

// Ctrl-Z and fg as a user types them into a shell with job control. The shell
// gives the terminal its own settings while the player is stopped, and does
// not give the player's back on fg: the player takes them up itself.
TEST(CliTerminalTest, SuspendAndResumeInAShellKeepTheKeysWorking) {
    // Without line editing the shell leaves echo on, so only the player
    // turns it off.
    TerminalSession shell("dummy", {"/bin/bash", "--norc", "--noediting"});
    ASSERT_TRUE(shell.WaitUntilEchoing(true));
    shell.Type(std::string(CHIPBOX_CLI) + " " + TunePath("minimal") + "\n");
    ASSERT_TRUE(shell.WaitUntilEchoing(false));
    shell.Type("\x1A");  // Ctrl-Z
    ASSERT_TRUE(shell.WaitUntilEchoing(true));
    shell.Type("fg\n");
    EXPECT_TRUE(shell.WaitUntilEchoing(false)) << shell.output;
    shell.Type("q");
    EXPECT_TRUE(shell.WaitUntilEchoing(true));
    shell.Type("exit\n");
    EXPECT_EQ(shell.WaitForExit(), 0);
}

TEST(CliTerminalTest, NoSoundDeviceGivesTheTerminalBackAndSaysWhy) {
    const std::string tune = TunePath("minimal");
    TerminalSession session("no-such-driver", {CHIPBOX_CLI, tune});
    EXPECT_EQ(session.WaitForExit(), 3);
    EXPECT_TRUE(session.Echoing());
    EXPECT_NE(session.output.find("Error: Unable to use wave-mapper! ("), std::string::npos)
        << session.output;
}

// The status line of a list on a terminal: it is cleared behind itself, ended
// before anything else is written, and counts only the tunes that play.
TEST(CliTerminalTest, TheStatusLineStaysOnItsOwnLineAndCountsTheTunesThatPlay) {
    TerminalSession session("dummy", {CHIPBOX_CLI, "--seconds", "0.3", TunePath("minimal"),
                                      "/nonexistent.sid", TunePath("subsongs")});
    EXPECT_EQ(session.WaitForExit(), 0);
    const std::string& out = session.output;
    for (const char* start : {"Name:", "chipbox-cli: skipping /nonexistent.sid"}) {
        for (std::size_t at = out.find(start); at != std::string::npos;
             at = out.find(start, at + 1))
            EXPECT_TRUE(at == 0 || out[at - 1] == '\n') << start << " in:\n" << out;
    }
    std::size_t statusLines = 0;
    for (std::size_t at = out.find("\r  Tune "); at != std::string::npos;
         at = out.find("\r  Tune ", at + 1), ++statusLines) {
        const std::size_t end = out.find_first_of("\r\n", at + 1);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(out.substr(end - 3, 3), "\033[K") << out.substr(at, end - at);
    }
    EXPECT_GT(statusLines, 0u);
    EXPECT_TRUE(Holds(out, "Tune 2/2  Song 2 / 3"));
    EXPECT_EQ(out.find("Tune 3/"), std::string::npos) << out;
}

// With a tune collection: folders, lists, song lengths and the files written
// for several songs.

std::string Md5Of(const std::string& path) {
    return TuneMd5(ReadTuneFile(path, FileKinds::AnyReadable).bytes);
}

std::uintmax_t Samples(const fs::path& wav) { return (fs::file_size(wav) - 44) / 2; }

// minimal: 1.5 s; subsongs: 2, 1 and 3 s; cia_timed has no entry.
std::string WriteSongLengths(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "[Database]\r\n; /Tests/minimal.sid\r\n"
                        << Md5Of(TunePath("minimal")) << "=0:01.500\r\n; /Tests/subsongs.sid\n"
                        << Md5Of(TunePath("subsongs")) << "=0:02 0:01(G) 0:03\n0123=not a line\n"
                        << Md5Of(TunePath("cia_timed")) << "=one:two\n";
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
    EXPECT_LT(flat.output.find("a.sid"), flat.output.find("B.SID"));
    EXPECT_EQ(flat.output.find("c.Sid"), std::string::npos);
    const auto deep = RunCli("-r --info " + Quoted(music.string()));
    EXPECT_GT(deep.output.find("c.Sid"), deep.output.find("B.SID"));
    const auto empty = RunCli("--info " + Quoted(FreshFolder("empty").string()));
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(Holds(empty.output, "no .sid files in"));
}

// A FIFO named like a tune in a folder would wait for a writer forever: it is
// skipped. Named on the command line, a FIFO is read (see the pipe above).
TEST(CliPlaylistTest, AFolderGivesRegularFilesOnlyAndSaysWhatItSkipped) {
    const fs::path music = FreshFolder("with-fifo");
    Copy("minimal", music / "a.sid");
    const std::string fifo = (music / "b.sid").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto run = RunCli("--info " + Quoted(music.string()), "timeout 20");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Holds(run.output, "chipbox-cli: skipping " + fifo + ": not a regular file\n"));
    EXPECT_TRUE(Holds(run.output, "Minimal"));
}

// A path is bytes: it is printed as it is, whatever its encoding, with
// control characters as '?'; only the tunes' Latin-1 texts are converted.
TEST(CliProgramTest, PathsArePrintedAsTheyAreWithoutControlCharacters) {
    const std::string utf8 = "/nonexistent/d\xC3\xADr\x1B[2J/x.wav";
    const auto run = RunCli("-o " + Quoted(utf8) + " " + TunePath("minimal"));
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(Holds(run.output, "could not write /nonexistent/d\xC3\xADr?[2J/x.wav: "));
}

TEST(CliPlaylistTest, ATuneThatCannotBeLoadedIsSkippedInOneLineWithItsReason) {
    const std::string rsid = test::WriteTempFile("rsid.sid", {'R', 'S', 'I', 'D', 0, 2});
    const auto list = RunCli("--info /nonexistent.sid " + Quoted(rsid) + " " + TunePath("minimal"));
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_TRUE(Holds(list.output, "skipping /nonexistent.sid: No such file or directory\n"));
    EXPECT_TRUE(Holds(list.output, "skipping " + rsid + ": not a valid RSID file\n"));
    EXPECT_TRUE(Holds(list.output, "Minimal"));
    const std::string out = Quoted(FreshFolder("broken").string() + "/");
    EXPECT_EQ(RunCli("-o " + out + " /nonexistent.sid " + Quoted(rsid)).status, 1);
    // Alone, a tune keeps its message and gets the reason on a line of its own.
    const auto alone = RunCli("--info " + Quoted(rsid));
    EXPECT_EQ(alone.status, 1);
    EXPECT_TRUE(Holds(alone.output, "is not a valid RSID File!\nnot a valid RSID file"));
}

// An RSID is shown as one and plays on the real machine, in the standard
// the tune asks for or the one given; a ROM image that cannot be used stops
// the program with the reason.
TEST(CliProgramTest, RsidTunesPlayOnTheRealMachine) {
    const auto info = RunCli("--info " + TunePath("rsid_cia_player"));
    EXPECT_EQ(info.status, 0);
    EXPECT_TRUE(Holds(info.output, "Timing:   its own interrupts\n")) << info.output;
    EXPECT_TRUE(Holds(info.output, "RSID on the real C64 (PAL) with the 6581 SID")) << info.output;
    EXPECT_TRUE(Holds(RunCli("--sid 8580 --info " + TunePath("rsid_cia_player")).output,
                      "RSID on the real C64 (PAL) with the 8580 SID"));
    EXPECT_TRUE(Holds(RunCli("--ntsc --info " + TunePath("rsid_cia_player")).output,
                      "RSID on the real C64 (NTSC)"));
    EXPECT_TRUE(Holds(RunCli("--complete --info " + TunePath("minimal")).output,
                      "PSID on the real C64 (PAL)"));
    const std::string out = (FreshFolder("rsid") / "cia.wav").string();
    ExpectRuns("-o " + Quoted(out) + " --seconds 1 " + TunePath("rsid_cia_player"));
    EXPECT_EQ(fs::file_size(out), 44u + 2 * 44100);
    const auto refused = RunCli("--kernal /nonexistent.rom --info " + TunePath("minimal"));
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Holds(refused.output, "/nonexistent.rom: No such file or directory, so no KERNAL"));
}

TEST(CliPlaylistTest, SongLengthsAreFoundShownAndRenderedExactly) {
    const fs::path folder = FreshFolder("lengths");
    const std::string lengths = Quoted(WriteSongLengths(folder / "Songlengths.md5"));
    const auto info = RunCli("--songlengths " + lengths + " --info " + TunePath("subsongs") + " " +
                             TunePath("cia_timed"));
    EXPECT_TRUE(Holds(info.output, "Lengths:  0:02 0:01 0:03\n"));
    EXPECT_TRUE(Holds(info.output, "Lengths:  unknown\n"));  // a malformed line

    const fs::path out = folder / "out";
    ExpectRuns("-o " + Quoted(out.string() + "/") + " --all-songs --songlengths " + lengths + " " +
               TunePath("subsongs"));
    for (const auto& [file, seconds] :
         {std::pair{"subsongs-1.wav", 2u}, std::pair{"subsongs-2.wav", 1u},
          std::pair{"subsongs-3.wav", 3u}})
        EXPECT_EQ(Samples(out / file), seconds * 44100) << file;

    // Found below $HVSC_BASE; --seconds still decides.
    const fs::path base = FreshFolder("hvsc");
    WriteSongLengths(base / "C64Music" / "DOCUMENTS" / "Songlengths.md5");
    const std::string wav = (folder / "one.wav").string(), hvsc = "HVSC_BASE=" + Quoted(base);
    ExpectRuns("-o " + Quoted(wav) + " " + TunePath("minimal"), hvsc);
    EXPECT_EQ(Samples(wav), 66150u);
    ExpectRuns("-o " + Quoted(wav) + " --seconds 0.5 " + TunePath("minimal"), hvsc);
    EXPECT_EQ(Samples(wav), 22050u);

    // Without any setting, found in the collection the tune lies in.
    const fs::path collection = FreshFolder("collection");
    WriteSongLengths(collection / "DOCUMENTS" / "Songlengths.md5");
    const std::string inside = Copy("minimal", collection / "MUSICIANS" / "T" / "minimal.sid");
    ExpectRuns("-o " + Quoted(wav) + " " + Quoted(inside));
    EXPECT_EQ(Samples(wav), 66150u);
}

TEST(CliPlaylistTest, SeveralSongsNeedAFolderAndNamesStayApart) {
    const fs::path folder = FreshFolder("names");
    const std::string tunes = Copy("minimal", folder / "one" / "tune.sid") + " " +
                              Copy("cia_timed", folder / "two" / "tune.sid");
    const auto file = RunCli("-o " + Quoted((folder / "x.wav").string()) + " " + tunes);
    EXPECT_EQ(file.status, 2);
    EXPECT_TRUE(Holds(file.output, "-o takes a folder ending in /"));
    ExpectRuns("-o " + Quoted((folder / "out").string() + "/") + " --seconds 0.2 " + tunes);
    EXPECT_EQ(Samples(folder / "out" / "tune.wav"), 8820u);
    EXPECT_EQ(Samples(folder / "out" / "tune-2.wav"), 8820u);
}

// On the sound card a list moves on at the end of each song and the player
// ends after the last.
TEST(CliPlaylistTest, PlayingAListEndsEachSongAtItsLength) {
    const std::string lengths = WriteSongLengths(FreshFolder("play") / "Songlengths.md5");
    const auto run = RunCli("--songlengths " + Quoted(lengths) + " --all-songs --speed 4 " +
                                TunePath("minimal") + " " + TunePath("subsongs"),
                            "SDL_AUDIODRIVER=dummy timeout 20");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Holds(run.output, "Subsongs"));
}

}  // namespace
}  // namespace chipbox
