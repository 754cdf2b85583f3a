// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli's options, the song lengths they take, and the status line.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "ui/cli/cli_options.h"
#include "ui/common/song_lengths.h"
#include "ui/cli/terminal.h"
#include "ui/cli/terminal_view.h"

namespace chipbox {
namespace {

using namespace cli;

std::variant<CliOptions, UsageError> Parse(std::vector<std::string> arguments) {
    return ParseCliOptions(arguments);
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream words(line);
    return {std::istream_iterator<std::string>(words), {}};
}

TEST(CliOptionsTest, ReadsEveryOption) {
    const auto parsed =
        Parse(Words("-o out/ --seconds 2.5 --song 3 --speed 4 --mute 1 --mute 3 --digi-level 15 -r "
                    "--all-songs --songlengths lengths.md5 --default-length 1:30 a.sid music"));
    ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed));
    const CliOptions& options = std::get<CliOptions>(parsed);
    EXPECT_EQ(options.inputs, (std::vector<std::string>{"a.sid", "music"}));
    EXPECT_EQ(options.outputPath, "out/");
    EXPECT_EQ(options.seconds, 2.5);
    EXPECT_EQ(options.song, 3);
    EXPECT_EQ(options.speed, 4);
    EXPECT_EQ(options.mutedVoices, (std::vector<int>{1, 3}));
    EXPECT_EQ(options.digiLevel, 15);
    EXPECT_TRUE(options.recursive && options.allSongs);
    EXPECT_EQ(options.songLengths, "lengths.md5");
    EXPECT_EQ(options.defaultLengthMillis, 90'000u);
    EXPECT_EQ(options.video, CliOptions::Video::FromTune);

    const auto machine = std::get<CliOptions>(Parse(Words(
        "--complete --ntsc --kernal k.rom --basic b.rom --chargen c.rom --pal --sid 8580 a.sid")));
    EXPECT_TRUE(machine.completeMachine);
    EXPECT_EQ(machine.video, CliOptions::Video::Pal);  // the last one given
    EXPECT_EQ(machine.kernalRom, "k.rom");
    EXPECT_EQ(machine.basicRom, "b.rom");
    EXPECT_EQ(machine.characterRom, "c.rom");
    EXPECT_EQ(machine.sid, CliOptions::Sid::Mos8580);
    EXPECT_EQ(std::get<CliOptions>(Parse(Words("--sid 6581 a.sid"))).sid, CliOptions::Sid::Mos6581);
}

// Each refusal says what the option takes.
TEST(CliOptionsTest, RejectsValuesOutOfRangeSayingWhatIsAllowed) {
    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--speed", "3", "t.sid"}, "--speed takes 1, 2 or 4"},
        {{"--mute", "0", "t.sid"}, "--mute takes a voice from 1 to 9 (4-6 and 7-9: a second and third SID's)"},
        {{"--sid", "6582", "t.sid"}, "--sid takes 6581 or 8580"},
        {{"--mute", "10", "t.sid"}, "--mute takes"},
        {{"--digi-level", "16", "t.sid"}, "--digi-level takes a level from 1"},
        {{"--song", "0", "t.sid"}, "--song takes a subsong number from 1 to 256"},
        {{"--seconds", "-1", "t.sid"}, "--seconds takes"},
        {{"--seconds", "nan", "t.sid"}, "--seconds takes"},
        {{"--seconds", "40001", "t.sid"}, "--seconds takes"},
        {{"--default-length", "90", "t.sid"}, "--default-length takes a time as m:ss"},
        {{"--song"}, "--song takes"},
        {{"--kernal", "", "t.sid"}, "--kernal takes the path of a KERNAL ROM image"},
        {{"--chargen"}, "--chargen takes"},
        {{"-o", "", "t.sid"}, "-o takes"},
        {{"--loud", "t.sid"}, "there is no option --loud"},
        {{}, "no tune file or folder given"},
    };
    for (const auto& [arguments, message] : bad) {
        const auto parsed = Parse(arguments);
        ASSERT_TRUE(std::holds_alternative<UsageError>(parsed)) << message;
        EXPECT_EQ(std::get<UsageError>(parsed).message.rfind(message, 0), 0u)
            << std::get<UsageError>(parsed).message;
    }
    EXPECT_TRUE(std::get<CliOptions>(Parse({"--help"})).help);
    EXPECT_TRUE(std::get<CliOptions>(Parse({"--version"})).version);
}

TEST(CliOptionsTest, SongLengthsAreMinutesSecondsAndMilliseconds) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"3:25", 205'000},     {"0:07.250", 7'250},
        {"12:00(G)", 720'000}, {"1:02.500(M)", 62'500},
        {"3:5", std::nullopt}, {"3:60", std::nullopt},
        {":30", std::nullopt}, {"1:30.5", std::nullopt},
        {"abc", std::nullopt}, {"99999999:00", std::nullopt},
    };
    for (const auto& [text, millis] : cases) EXPECT_EQ(ParseSongLength(text), millis) << text;
    EXPECT_EQ(SongLengthText(205'000), "3:25");
    EXPECT_EQ(SongLengthText(7'250), "0:07.250");
}

TEST(CliOptionsTest, StatusLineShowsTuneTimeSpeedMutesAndTheC64sLoad) {
    StatusLine status;
    status.subsong = "1 / 3";
    status.tuneMicros = 42'500'000;
    status.cpuLoad = 7;
    status.playing = true;
    EXPECT_EQ(StatusText(status), "  Song 1 / 3  0:42  C64 CPU   7%  [playing]  ");
    status.tuneNumber = 2;
    status.tuneCount = 10;
    status.lengthMicros = 190'000'000;
    status.speed = 4;
    status.mutedVoices = "1 3";
    status.playing = false;
    EXPECT_EQ(StatusText(status),
              "  Tune 2/10  Song 1 / 3  0:42 / 3:10  4x  muted 1 3  C64 CPU   7%  [paused]  ");
}

// Header texts come from any file: no tune may send the terminal a control
// sequence (ESC starts one, and so do the C1 codes).
TEST(CliOptionsTest, TerminalTextIsUtf8WithoutControlCharacters) {
    EXPECT_EQ(TerminalText("J\xF6rg \xA9"), "J\xC3\xB6rg \xC2\xA9");
    EXPECT_EQ(TerminalText("plain"), "plain");
    EXPECT_EQ(TerminalText("\x1B]0;owned\x07\x7F\x9B\x80\x9F\xA0!"), "?]0;owned?????\xC2\xA0!");
}

// A path keeps its bytes in any encoding; only what a terminal would take as
// a control is shown as '?': C0, DEL, C1 as UTF-8 spells it (C2 80 to C2 9F)
// and as a single byte that is no UTF-8.
TEST(CliOptionsTest, PathTextKeepsEveryByteButControls) {
    EXPECT_EQ(PathText("/m\xC3\xBCsic/d\xC3\xADr/\xE2\x82\xAC.sid"),
              "/m\xC3\xBCsic/d\xC3\xADr/\xE2\x82\xAC.sid");
    EXPECT_EQ(PathText("/latin1/J\xF6rg.sid"), "/latin1/J\xF6rg.sid");
    EXPECT_EQ(PathText("\x1B[2J\x7F\xC2\x9B\x9B\xC2\xA0\n"), "?[2J???\xC2\xA0?");
    EXPECT_EQ(PathText("a\nb", true), "a\nb");
}

}  // namespace
}  // namespace chipbox
