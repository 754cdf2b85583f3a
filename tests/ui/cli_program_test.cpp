// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli run as a user runs it, from a shell or on a terminal of its
// own: exit statuses, messages, tune
// collections and the files it writes.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "playback/tune_loading.h"
#include "test_support.h"
#include "ui/cli/song_lengths.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;
using namespace cli;
using test::FreshFolder;
using test::ReadFile;
using test::TunePath;

struct CliRun {
    int status;          // the exit status, or -1 when a signal ended the program
    std::string output;  // what the program wrote (stdout and stderr unless redirected)
};

// Runs `chipbox-cli ARGUMENTS` through the shell, with `environment`
// assignments (or other shell commands) in front, and stdin from /dev/null.
// Output redirections in `arguments` are the shell's.
CliRun RunCli(const std::string& arguments, const std::string& environment = "") {
    const std::string command =
        environment + " " + std::string(CHIPBOX_CLI) + " " + arguments + " 2>&1 </dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 4096> chunk;
    while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        output.append(chunk.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// RunCli, expecting status 0; a failure shows what the program wrote.
void ExpectRuns(const std::string& arguments, const std::string& environment = "") {
    const CliRun run = RunCli(arguments, environment);
    EXPECT_EQ(run.status, 0) << arguments << '\n' << run.output;
}

// Passes when `text` holds `part`; a failure shows the whole text.
testing::AssertionResult Holds(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << '"' << part << "\" is not in:\n" << text;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// A copy of the test tune `tune` at `to`; returns its path.
std::string Copy(const std::string& tune, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(TunePath(tune), to, fs::copy_options::overwrite_existing);
    return to.string();
}

// A path in a fresh folder, where no file is.
std::string NoFile(const std::string& name) { return (FreshFolder(name) / name).string(); }

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

// A pipe can be read once: the tune is checked and loaded from one reading.
// It names where the play address came from, and the chip and video standard
// a tune claims.
TEST(CliProgramTest, InfoShowsTheHeaderOfATuneFromAPipeAndWhereItsValuesCameFrom) {
    const CliRun run = RunCli("--info /dev/stdin #", "cat " + TunePath("subsongs") + " |");
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* part : {"Subsongs", "2 / 3", "Start Address: $1000"})
        EXPECT_TRUE(Holds(run.output, part));
    EXPECT_TRUE(Holds(RunCli("--info " + TunePath("irq_vector")).output, " (from $0314/$0315)\n"));
    std::vector<std::uint8_t> bytes = ReadTuneFile(TunePath("minimal"), FileKinds::AnyReadable).bytes;
    bytes[0x77] = 0x28;  // 8580, NTSC
    const CliRun claims = RunCli("--info " + Quoted(test::WriteTempFile("flags.sid", bytes)));
    EXPECT_TRUE(Holds(claims.output, "SID:      8580 (as the tune says)\n"));
    EXPECT_TRUE(Holds(claims.output, "Video:    NTSC (as the tune says)\n"));
}

// What the program leaves on disk when writing a WAV file goes wrong: the
// target appears whole or not at all, and nothing else is left behind.
// A fresh folder holding only the target, with "old" in it.
std::string FolderWithOldTarget(const std::string& name) {
    const fs::path target = FreshFolder(name) / "out.wav";
    std::ofstream(target) << "old";
    return target.string();
}

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(CliOutputTest, AFileThatCannotBeCreatedNamesThePathAndTheReason) {
    const std::string tune = TunePath("minimal");
    const std::string missing = fs::temp_directory_path() / "no-such-folder" / "out.wav";
    const auto run = RunCli("-o " + Quoted(missing) + " " + tune);
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(Holds(run.output, "could not write " + missing + ": No such file or directory"));
    const std::string folder = fs::path(FolderWithOldTarget("folder")).parent_path();
    const auto directory = RunCli("-o " + Quoted(folder) + " " + tune);
    EXPECT_EQ(directory.status, 4);
    EXPECT_TRUE(Holds(directory.output, folder + ": Is a directory"));
}

// A full disk, as a file size limit gives it even to root.
TEST(CliOutputTest, AFailedWriteLeavesTheOldTargetAndNoTemporaryFile) {
    const std::string target = FolderWithOldTarget("full");
    const auto run =
        RunCli("-o " + Quoted(target) + " " + TunePath("minimal"), "trap '' XFSZ; ulimit -f 64;");
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(Holds(run.output, "could not write " + target + ": File too large"));
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(EntriesIn(fs::path(target).parent_path()), 1u);
}

TEST(CliOutputTest, ASignalDuringRenderingLeavesTheOldTargetAndNoTemporaryFile) {
    const std::string target = FolderWithOldTarget("signal");
    const pid_t child = fork();
    if (child == 0) {
        execl(CHIPBOX_CLI, CHIPBOX_CLI, "-o", target.c_str(), "--seconds", "40000",
              TunePath("undocumented_spin").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const fs::path folder = fs::path(target).parent_path();
    for (int i = 0; i < 500 && EntriesIn(folder) < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(EntriesIn(folder), 2u);  // the target and the file being written
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(EntriesIn(folder), 1u);
}

TEST(CliOutputTest, TheTuneItselfIsRefusedAsOutputBeforeAnythingIsWritten) {
    const std::string tune = Copy("minimal", FreshFolder("itself") / "tune.sid");
    const std::string link = tune + ".link";
    fs::create_symlink(tune, link);
    const std::string before = ReadFile(tune);
    for (const std::string& output : {tune, link}) {
        const auto run = RunCli("-o " + Quoted(output) + " " + Quoted(tune));
        EXPECT_EQ(run.status, 2) << output;
        EXPECT_TRUE(Holds(run.output, "is the tune itself"));
        EXPECT_EQ(ReadFile(tune), before);
    }
}

TEST(CliOutputTest, StandardOutputCarriesTheSameWavAsAFile) {
    const std::string file = test::WriteTempFile("file.wav", {});
    const std::string piped = test::WriteTempFile("piped.wav", {});
    const std::string tune = TunePath("minimal");
    ExpectRuns("-o " + Quoted(file) + " --seconds 1 " + tune);
    const std::string toPipe = std::string(CHIPBOX_CLI) + " -o - --seconds 1 " + tune +
                               " 2>/dev/null | cat >" + Quoted(piped);
    ASSERT_EQ(std::system(toPipe.c_str()), 0);
    EXPECT_EQ(ReadFile(piped), ReadFile(file));
    EXPECT_EQ(ReadFile(file).size(), 44u + 2 * 44100);
}

TEST(CliOutputTest, TwoRendersToOnePathLeaveOneWholeFile) {
    const std::string target = FolderWithOldTarget("twice");
    const std::string tune = TunePath("minimal");
    const std::string render = std::string(CHIPBOX_CLI) + " -o " + Quoted(target) + " " + tune;
    ExpectRuns("--version", "(" + render + " & " + render + " & wait) >/dev/null 2>&1;");
    const std::string single = test::WriteTempFile("single.wav", {});
    ExpectRuns("-o " + Quoted(single) + " " + tune);
    EXPECT_EQ(ReadFile(target), ReadFile(single));
    EXPECT_EQ(EntriesIn(fs::path(target).parent_path()), 1u);
}

// On a terminal of its own the player takes single keys without echo while it
// runs and gives the terminal back as it found it, however it stops.
// A terminal of its own, running `program` with `argument`.
class TerminalSession {
public:
    TerminalSession(const char* soundDriver, const char* program, const char* argument,
                    const char* secondArgument = nullptr) {
        child_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
        if (child_ == 0) {
            setenv("SDL_AUDIODRIVER", soundDriver, 1);
            execl(program, program, argument, secondArgument, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TerminalSession() {
        if (child_ > 0 && !ended_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (terminal_ >= 0) close(terminal_);
    }

    bool Echoing() {
        termios settings{};
        tcgetattr(terminal_, &settings);
        return (settings.c_lflag & ECHO) != 0;
    }

    // Reads what the player writes while waiting for `done`, so it never
    // blocks on a full terminal. Generous, for a machine busy with other tests.
    template <typename Done>
    bool WaitFor(Done done) {
        for (int i = 0; i < 3000; ++i) {
            Drain();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    bool WaitUntilEchoing(bool wanted) {
        return WaitFor([&] { return Echoing() == wanted; });
    }

    void Drain() {
        pollfd readable{terminal_, POLLIN, 0};
        char chunk[1024];
        while (poll(&readable, 1, 0) > 0) {
            const ssize_t got = read(terminal_, chunk, sizeof chunk);
            if (got <= 0) break;
            output.append(chunk, static_cast<std::size_t>(got));
        }
    }

    void Type(const std::string& keys) {
        ASSERT_EQ(write(terminal_, keys.data(), keys.size()), ssize_t(keys.size()));
    }

    int WaitForExit() {
        int status = 0;
        WaitFor([&] { return waitpid(child_, &status, WNOHANG) != 0; });
        Drain();
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string output;

private:
    int terminal_ = -1;
    pid_t child_ = -1;
    bool ended_ = false;
};

// Ctrl-Z and fg as a user types them into a shell with job control. The shell
// gives the terminal its own settings while the player is stopped, and does
// not give the player's back on fg: the player takes them up itself.
TEST(CliTerminalTest, SuspendAndResumeInAShellKeepTheKeysWorking) {
    // Without line editing the shell leaves echo on, so only the player
    // turns it off.
    TerminalSession shell("dummy", "/bin/bash", "--norc", "--noediting");
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
    TerminalSession session("no-such-driver", CHIPBOX_CLI, tune.c_str());
    EXPECT_EQ(session.WaitForExit(), 3);
    EXPECT_TRUE(session.Echoing());
    EXPECT_NE(session.output.find("Error: Unable to use wave-mapper! ("), std::string::npos)
        << session.output;
}

// With a tune collection: folders, lists, song lengths and the files written
// for several songs.

std::string Md5Of(const std::string& path) { return TuneMd5(ReadTuneFile(path, FileKinds::AnyReadable).bytes); }

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

TEST(CliPlaylistTest, ATuneThatCannotBeLoadedIsSkippedInOneLineWithItsReason) {
    const std::string rsid = test::WriteTempFile("rsid.sid", {'R', 'S', 'I', 'D', 0, 2});
    const auto list = RunCli("--info /nonexistent.sid " + Quoted(rsid) + " " + TunePath("minimal"));
    EXPECT_EQ(list.status, 0) << list.output;
    EXPECT_TRUE(Holds(list.output, "skipping /nonexistent.sid: No such file or directory\n"));
    EXPECT_TRUE(
        Holds(list.output,
              "skipping " + rsid + ": RSID tunes need a complete C64 and are not played here\n"));
    EXPECT_TRUE(Holds(list.output, "Minimal"));
    const std::string out = Quoted(FreshFolder("broken").string() + "/");
    EXPECT_EQ(RunCli("-o " + out + " /nonexistent.sid " + Quoted(rsid)).status, 1);
    // Alone, a tune keeps its message and gets the reason on a line of its own.
    const auto alone = RunCli("--info " + Quoted(rsid));
    EXPECT_EQ(alone.status, 1);
    EXPECT_TRUE(Holds(alone.output, "is not a valid PSID File!\nRSID tunes need a complete C64"));
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
