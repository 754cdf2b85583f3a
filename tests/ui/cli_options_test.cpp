// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "ui/cli/cli_options.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {
namespace {

std::variant<CliOptions, UsageError> Parse(std::vector<std::string> arguments) {
    return ParseCliOptions(arguments);
}

TEST(CliOptionsTest, ReadsEveryOption) {
    const auto parsed = Parse({"-o", "out.wav", "--seconds", "2.5", "--song", "3", "--speed", "4",
                               "--mute", "1", "--mute", "3", "--digi-level", "15", "tune.sid"});
    ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed));
    const CliOptions& options = std::get<CliOptions>(parsed);
    EXPECT_EQ(options.tunePath, "tune.sid");
    EXPECT_EQ(options.outputPath, "out.wav");
    EXPECT_EQ(options.seconds, 2.5);
    EXPECT_EQ(options.song, 3);
    EXPECT_EQ(options.speed, 4);
    EXPECT_EQ(options.mutedVoices, (std::vector<int>{1, 3}));
    EXPECT_EQ(options.digiLevel, 15);
}

TEST(CliOptionsTest, RejectsValuesOutOfRange) {
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--speed", "3", "t.sid"},
             {"--mute", "0", "t.sid"},
             {"--mute", "4", "t.sid"},
             {"--digi-level", "16", "t.sid"},
             {"--song", "0", "t.sid"},
             {"--seconds", "-1", "t.sid"},
             {"--seconds", "nan", "t.sid"},
             {"--seconds", "5x", "t.sid"},
             {"--seconds", "40001", "t.sid"},
             {"--song"},
             {"-o", "", "t.sid"},
             {"--loud", "t.sid"},
             {},
             {"a.sid", "b.sid"},
         }) {
        EXPECT_TRUE(std::holds_alternative<UsageError>(Parse(bad)));
    }
}

TEST(CliOptionsTest, HelpAndVersionNeedNoFile) {
    EXPECT_TRUE(std::get<CliOptions>(Parse({"--help"})).help);
    EXPECT_TRUE(std::get<CliOptions>(Parse({"--version"})).version);
}

// Header texts come from any file: no tune may send the terminal a control
// sequence (ESC starts one, and so do the C1 codes).
TEST(CliOptionsTest, TerminalTextIsUtf8WithoutControlCharacters) {
    EXPECT_EQ(TerminalText("J\xF6rg \xA9"), "J\xC3\xB6rg \xC2\xA9");
    EXPECT_EQ(TerminalText("plain"), "plain");
    EXPECT_EQ(TerminalText("\x1B]0;owned\x07\x7F\x9B\x80\x9F\xA0!"), "?]0;owned?????\xC2\xA0!");
}

}  // namespace
}  // namespace chipbox::cli
