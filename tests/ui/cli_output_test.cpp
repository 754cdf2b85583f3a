// SPDX-License-Identifier: GPL-2.0-or-later
// The files chipbox-cli writes: a WAV appears whole or not at all, and what
// is at the target is replaced only when it is a regular file the user may
// write; nothing else is left behind, whatever goes wrong.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "cli_run.h"
#include "test_support.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;
using namespace test;

// What the program leaves on disk when writing a WAV file goes wrong: the
// target appears whole or not at all, and nothing else is left behind.
// A fresh folder holding only the target, with "old" in it.
std::string FolderWithOldTarget(const std::string& name) {
    const fs::path target = FreshFolder(name) / "out.wav";
    std::ofstream(target) << "old";
    return target.string();
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

// A full disk, as a file size limit gives it even to root. The limit's signal
// does not end the program: the write fails and is reported.
TEST(CliOutputTest, AFailedWriteLeavesTheOldTargetAndNoTemporaryFile) {
    const std::string target = FolderWithOldTarget("full");
    const auto run = RunCli("-o " + Quoted(target) + " " + TunePath("minimal"), "ulimit -f 64;");
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(Holds(run.output, "could not write " + target + ": File too large"));
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(EntriesIn(fs::path(target).parent_path()), 1u);
}

// Ctrl-C, kill, and the terminal closing under the render.
class StopSignalTest : public testing::TestWithParam<int> {};

TEST_P(StopSignalTest, ASignalDuringRenderingLeavesTheOldTargetAndNoTemporaryFile) {
    const int signal = GetParam();
    const std::string target = FolderWithOldTarget("signal" + std::to_string(signal));
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
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(EntriesIn(folder), 1u);
}

INSTANTIATE_TEST_SUITE_P(IntTermAndHup, StopSignalTest, testing::Values(SIGINT, SIGTERM, SIGHUP));

// Only SIGKILL leaves a temporary file; the next render of the same target
// removes those of writers that are gone, and leaves what is not its own.
TEST(CliOutputTest, TheNextRenderRemovesTemporariesKilledRendersLeft) {
    const std::string target = FolderWithOldTarget("stale");
    const fs::path folder = fs::path(target).parent_path();
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const auto place = [&folder](const std::string& name) {
        std::ofstream(folder / name) << "left";
        return folder / name;
    };
    const fs::path stale = place(".out.wav.tmp-" + std::to_string(gone) + "-17");
    const fs::path living = place(".out.wav.tmp-" + std::to_string(getpid()) + "-17");
    const fs::path other = place(".other.wav.tmp-" + std::to_string(gone) + "-17");
    ExpectRuns("-o " + Quoted(target) + " --seconds 0.1 " + TunePath("minimal"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(living));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_EQ(EntriesIn(folder), 3u);
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

// Appends what `from` gives until its writer closes it, or until nothing more
// is there once `done` is set.
void ReadUntilDone(int from, const std::atomic<bool>& done, std::string& bytes) {
    char chunk[4096];
    for (;;) {
        pollfd ready{from, POLLIN, 0};
        if (poll(&ready, 1, 20) > 0) {
            const ssize_t got = read(from, chunk, sizeof chunk);
            if (got > 0) {
                bytes.append(chunk, static_cast<std::size_t>(got));
                continue;
            }
            if (got == 0) return;
        } else if (done) {
            return;
        }
    }
}

// What the program writes into a FIFO or a socket, collected on a thread of
// its own that never waits past Finish, whatever the program does.
class TargetReader {
public:
    // A FIFO opened for reading and writing: opening does not wait for the
    // program, and the end of its writing is told by Finish.
    static std::unique_ptr<TargetReader> OfFifo(const std::string& path) {
        auto reader = std::make_unique<TargetReader>();
        const int fifo = open(path.c_str(), O_RDWR | O_NONBLOCK);
        reader->thread_ = std::thread([fifo, self = reader.get()] {
            ReadUntilDone(fifo, self->done_, self->bytes_);
            close(fifo);
        });
        return reader;
    }
    // One connection accepted on a listening socket.
    static std::unique_ptr<TargetReader> OfSocket(int listening) {
        auto reader = std::make_unique<TargetReader>();
        reader->thread_ = std::thread([listening, self = reader.get()] {
            pollfd ready{listening, POLLIN, 0};
            while (poll(&ready, 1, 20) <= 0)
                if (self->done_) return;
            const int connection = accept(listening, nullptr, nullptr);
            ReadUntilDone(connection, self->done_, self->bytes_);
            close(connection);
        });
        return reader;
    }
    std::string Finish() {
        done_ = true;
        thread_.join();
        return bytes_;
    }

private:
    std::atomic<bool> done_{false};
    std::string bytes_;
    std::thread thread_;
};

int ListenAt(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    EXPECT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(listening, 1), 0);
    return listening;
}

// A FIFO, a socket and a character device are written straight into, as the
// shell's '>' writes them, and stay what they are.
TEST(CliOutputTest, ATargetThatIsNoRegularFileIsWrittenStraightInto) {
    const fs::path folder = FreshFolder("special");
    const std::string tune = TunePath("minimal");
    const std::string reference = (folder / "reference.wav").string();
    ExpectRuns("-o " + Quoted(reference) + " --seconds 0.5 " + tune);

    const std::string fifo = (folder / "fifo.wav").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto fifoReader = TargetReader::OfFifo(fifo);
    ExpectRuns("-o " + Quoted(fifo) + " --seconds 0.5 " + tune);
    EXPECT_EQ(fifoReader->Finish(), ReadFile(reference));
    EXPECT_TRUE(fs::is_fifo(fifo));

    const std::string socketPath = (folder / "socket.wav").string();
    const int listening = ListenAt(socketPath);
    const auto socketReader = TargetReader::OfSocket(listening);
    ExpectRuns("-o " + Quoted(socketPath) + " --seconds 0.5 " + tune);
    EXPECT_EQ(socketReader->Finish(), ReadFile(reference));
    close(listening);
    EXPECT_TRUE(fs::is_socket(socketPath));

    const std::string device = (folder / "null.wav").string();
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no character device can be made here: " << std::strerror(errno);
    ExpectRuns("-o " + Quoted(device) + " --seconds 0.5 " + tune);
    EXPECT_TRUE(fs::is_character_file(device));
    EXPECT_EQ(EntriesIn(folder), 4u);
}

// A write-protected file is refused as '>' refuses it, for root too; a link
// is written through, also one whose file does not exist yet.
TEST(CliOutputTest, AWriteProtectedTargetIsRefusedAndLinksAreWrittenThrough) {
    const std::string tune = TunePath("minimal");
    const std::string locked = FolderWithOldTarget("locked");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto refused = RunCli("-o " + Quoted(locked) + " --seconds 0.5 " + tune);
    EXPECT_EQ(refused.status, 4);
    EXPECT_TRUE(Holds(refused.output, "could not write " + locked + ": Permission denied"));
    EXPECT_EQ(ReadFile(locked), "old");
    EXPECT_EQ(EntriesIn(fs::path(locked).parent_path()), 1u);

    const fs::path folder = FreshFolder("links");
    std::ofstream(folder / "real.wav") << "old";
    fs::create_symlink("real.wav", folder / "live.wav");
    fs::create_symlink("sub/future.wav", folder / "dangling.wav");
    fs::create_directory(folder / "sub");
    for (const char* link : {"live.wav", "dangling.wav"})
        ExpectRuns("-o " + Quoted((folder / link).string()) + " --seconds 0.5 " + tune);
    EXPECT_TRUE(fs::is_symlink(folder / "live.wav"));
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.wav"));
    EXPECT_EQ(fs::file_size(folder / "real.wav"), 44u + 2 * 22050);
    EXPECT_EQ(ReadFile((folder / "sub" / "future.wav").string()),
              ReadFile((folder / "real.wav").string()));
}

}  // namespace
}  // namespace chipbox
