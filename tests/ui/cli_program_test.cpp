// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli run as a user runs it: exit statuses, messages and files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli_run.h"
#include "test_support.h"

namespace chipbox {
namespace {

using test::CliRun;
using test::Quoted;
using test::RunCli;

TEST(CliProgramTest, MissingAndInvalidFilesGiveTheLoadMessagesAndStatusOne) {
    const std::string out = test::WriteTempFile("unused.wav", {});
    std::filesystem::remove(out);
    const CliRun missing = RunCli("-o " + Quoted(out) + " /nonexistent/tune.sid");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("/nonexistent/tune.sid\ncould not be loaded..."),
              std::string::npos);
    const std::string notPsid = test::WriteTempFile("text.sid", {'h', 'e', 'l', 'l', 'o'});
    const CliRun invalid = RunCli("-o " + Quoted(out) + " " + Quoted(notPsid));
    EXPECT_EQ(invalid.status, 1);
    EXPECT_NE(invalid.output.find("is not a valid PSID File!"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));  // nothing written unless rendering starts
}

TEST(CliProgramTest, BadOptionsAndSongsOutOfRangeGiveUsageAndStatusTwo) {
    const CliRun bad = RunCli("--speed 3 " + test::TunePath("minimal"));
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find("--speed takes 1, 2 or 4\nTry 'chipbox-cli --help'"),
              std::string::npos);
    EXPECT_EQ(bad.output.find("Usage:"), std::string::npos);
    const std::string out = test::WriteTempFile("song.wav", {});
    std::filesystem::remove(out);
    const CliRun song = RunCli("-o " + Quoted(out) + " --song 4 " + test::TunePath("subsongs"));
    EXPECT_EQ(song.status, 2);
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Each option changes the sound, never its length. The complete machine plays
// at the video standard's rate: other samples per frame, so other sound.
TEST(CliProgramTest, MuteSongAndMachineOptionsChangeTheRendering) {
    const auto render = [](const std::string& options, const char* tune) {
        const std::string wav = test::WriteTempFile("out.wav", {});
        const std::string arguments = " -o " + Quoted(wav) + " --seconds 1 ";
        EXPECT_EQ(RunCli(options + arguments + test::TunePath(tune)).status, 0) << options;
        return test::ReadFile(wav);
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
TEST(CliProgramTest, InfoShowsTheHeaderAndSongInformationOfATuneFromAPipe) {
    const CliRun run = RunCli("--info /dev/stdin #", "cat " + test::TunePath("subsongs") + " |");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Subsongs"), std::string::npos);
    EXPECT_NE(run.output.find("2 / 3"), std::string::npos);
    EXPECT_NE(run.output.find("Start Address: $1000"), std::string::npos);
}

TEST(CliProgramTest, PlaysOnTheDummySoundDriverAndStopsCleanly) {
    const CliRun run =
        RunCli("--seconds 0.5 " + test::TunePath("minimal"), "SDL_AUDIODRIVER=dummy timeout 20");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Minimal"), std::string::npos);
}

}  // namespace
}  // namespace chipbox
