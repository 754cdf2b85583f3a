// SPDX-License-Identifier: GPL-2.0-or-later
// What chipbox-cli leaves on disk when writing a WAV file goes wrong: the
// target appears whole or not at all, and nothing else is left behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "cli_run.h"
#include "test_support.h"

namespace chipbox {
namespace {

using test::Quoted;
using test::ReadFile;
using test::RunCli;
namespace fs = std::filesystem;

// A fresh folder holding only the target, with "old" in it.
std::string FolderWithOldTarget(const std::string& name) {
    const fs::path target = test::FreshFolder(name) / "out.wav";
    std::ofstream(target) << "old";
    return target.string();
}

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(CliOutputTest, AFileThatCannotBeCreatedNamesThePathAndTheReason) {
    const std::string tune = test::TunePath("minimal");
    const std::string missing = fs::temp_directory_path() / "no-such-folder" / "out.wav";
    const auto run = RunCli("-o " + Quoted(missing) + " " + tune);
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.output.find("could not write " + missing + ": No such file or directory"),
              std::string::npos)
        << run.output;
    const std::string folder = fs::path(FolderWithOldTarget("folder")).parent_path();
    const auto directory = RunCli("-o " + Quoted(folder) + " " + tune);
    EXPECT_EQ(directory.status, 4);
    EXPECT_NE(directory.output.find(folder + ": Is a directory"), std::string::npos);
}

// A full disk, as a file size limit gives it even to root.
TEST(CliOutputTest, AFailedWriteLeavesTheOldTargetAndNoTemporaryFile) {
    const std::string target = FolderWithOldTarget("full");
    const auto run = RunCli("-o " + Quoted(target) + " " + test::TunePath("minimal"),
                            "trap '' XFSZ; ulimit -f 64;");
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.output.find("could not write " + target + ": File too large"), std::string::npos)
        << run.output;
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(EntriesIn(fs::path(target).parent_path()), 1u);
}

TEST(CliOutputTest, ASignalDuringRenderingLeavesTheOldTargetAndNoTemporaryFile) {
    const std::string target = FolderWithOldTarget("signal");
    const pid_t child = fork();
    if (child == 0) {
        execl(CHIPBOX_CLI, CHIPBOX_CLI, "-o", target.c_str(), "--seconds", "40000",
              test::TunePath("undocumented_spin").c_str(), static_cast<char*>(nullptr));
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
    const std::string tune = test::WriteTempFile("tune.sid", {});
    fs::copy_file(test::TunePath("minimal"), tune, fs::copy_options::overwrite_existing);
    const std::string link = tune + ".link";
    fs::remove(link);
    fs::create_symlink(tune, link);
    const std::string before = ReadFile(tune);
    for (const std::string& output : {tune, link}) {
        const auto run = RunCli("-o " + Quoted(output) + " " + Quoted(tune));
        EXPECT_EQ(run.status, 2) << output;
        EXPECT_NE(run.output.find("is the tune itself"), std::string::npos);
        EXPECT_EQ(ReadFile(tune), before);
    }
}

TEST(CliOutputTest, StandardOutputCarriesTheSameWavAsAFile) {
    const std::string file = test::WriteTempFile("file.wav", {});
    const std::string piped = test::WriteTempFile("piped.wav", {});
    const std::string tune = test::TunePath("minimal");
    ASSERT_EQ(RunCli("-o " + Quoted(file) + " --seconds 1 " + tune).status, 0);
    const std::string toPipe = std::string(CHIPBOX_CLI) + " -o - --seconds 1 " + tune +
                               " 2>/dev/null | cat >" + Quoted(piped);
    ASSERT_EQ(std::system(toPipe.c_str()), 0);
    EXPECT_EQ(ReadFile(piped), ReadFile(file));
    EXPECT_EQ(ReadFile(file).size(), 44u + 2 * 44100);
}

TEST(CliOutputTest, TwoRendersToOnePathLeaveOneWholeFile) {
    const std::string target = FolderWithOldTarget("twice");
    const std::string tune = test::TunePath("minimal");
    const std::string render = std::string(CHIPBOX_CLI) + " -o " + Quoted(target) + " " + tune;
    ASSERT_EQ(
        RunCli("--version", "(" + render + " & " + render + " & wait) >/dev/null 2>&1;").status, 0);
    const std::string single = test::WriteTempFile("single.wav", {});
    ASSERT_EQ(RunCli("-o " + Quoted(single) + " " + tune).status, 0);
    EXPECT_EQ(ReadFile(target), ReadFile(single));
    EXPECT_EQ(EntriesIn(fs::path(target).parent_path()), 1u);
}

}  // namespace
}  // namespace chipbox
