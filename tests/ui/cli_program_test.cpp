// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli run as a user runs it: exit statuses, messages and files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli_run.h"
#include "test_support.h"

namespace chipbox {
namespace {

using test::CliRun;
using test::Quoted;
using test::RunCli;

TEST(CliProgramTest, RendersExactlyTheRequestedSecondsToWav) {
    const std::string out = test::WriteTempFile("out.wav", {});
    const CliRun run = RunCli("-o " + Quoted(out) + " --seconds 1.5 " + test::TunePath("minimal"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(std::filesystem::file_size(out), 44u + 2 * 66150);
    EXPECT_NE(run.output.find("Minimal"), std::string::npos);
}

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

TEST(CliProgramTest, MutesAndSongChoiceChangeTheRendering) {
    const std::string plain = test::WriteTempFile("plain.wav", {});
    const std::string muted = test::WriteTempFile("muted.wav", {});
    const std::string song3 = test::WriteTempFile("song3.wav", {});
    const std::string tune = test::TunePath("subsongs");
    ASSERT_EQ(RunCli("-o " + Quoted(plain) + " --seconds 1 " + tune).status, 0);
    ASSERT_EQ(RunCli("-o " + Quoted(muted) + " --seconds 1 --mute 1 " + tune).status, 0);
    ASSERT_EQ(RunCli("-o " + Quoted(song3) + " --seconds 1 --song 3 " + tune).status, 0);
    const auto read = [](const std::string& path) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::string bytes(std::filesystem::file_size(path), '\0');
        EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fclose(file);
        return bytes;
    };
    EXPECT_NE(read(plain), read(muted));
    EXPECT_NE(read(plain), read(song3));
    EXPECT_EQ(read(plain).size(), read(song3).size());
}

// The complete machine plays at the video standard's rate: a different
// number of samples per frame, so different sound.
TEST(CliProgramTest, TheCompleteMachineIsChosenWithAnOption) {
    const std::string plain = test::WriteTempFile("plain.wav", {});
    const std::string complete = test::WriteTempFile("complete.wav", {});
    const std::string tune = test::TunePath("minimal");
    ASSERT_EQ(RunCli("-o " + Quoted(plain) + " --seconds 1 " + tune).status, 0);
    ASSERT_EQ(RunCli("--complete -o " + Quoted(complete) + " --seconds 1 " + tune).status, 0);
    std::ifstream a(plain, std::ios::binary), b(complete, std::ios::binary);
    const std::string first{std::istreambuf_iterator<char>(a), {}};
    const std::string second{std::istreambuf_iterator<char>(b), {}};
    EXPECT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
}

TEST(CliProgramTest, InfoShowsTheHeaderAndSongInformation) {
    const CliRun run = RunCli("--info " + test::TunePath("subsongs"));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("Subsongs"), std::string::npos);
    EXPECT_NE(run.output.find("2 / 3"), std::string::npos);
    EXPECT_NE(run.output.find("Start Address: $1000"), std::string::npos);
}

// A pipe can be read once: the tune is checked and loaded from one reading.
TEST(CliProgramTest, ATuneFromStandardInputLoadsWhole) {
    const CliRun run = RunCli("--info /dev/stdin <" + test::TunePath("subsongs") + " #");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Subsongs"), std::string::npos);
    EXPECT_NE(run.output.find("Start Address: $1000"), std::string::npos);
}

TEST(CliProgramTest, PlaysOnTheDummySoundDriverAndStopsCleanly) {
    const CliRun run =
        RunCli("--seconds 0.5 " + test::TunePath("minimal"), "SDL_AUDIODRIVER=dummy");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Minimal"), std::string::npos);
}

TEST(CliProgramTest, NoSoundDeviceEndsWithTheWaveMapperMessageAndAFailure) {
    const CliRun run = RunCli(test::TunePath("minimal"), "SDL_AUDIODRIVER=no-such-driver");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.output.find("Error: Unable to use wave-mapper!"), std::string::npos);
}

}  // namespace
}  // namespace chipbox
