// SPDX-License-Identifier: GPL-2.0-or-later
// What the engine shows: the bar, the path it records, the load messages,
// the subsong and Song Information texts.
#include <gtest/gtest.h>

#include <string>

#include "core/routine_call.h"
#include "core/tune_info.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "playback/player_texts.h"
#include "playback/tune_loading.h"
#include "test_support.h"

namespace chipbox {
namespace {

// The tally of a buffer's play calls once overflowed 32 bits; whatever it
// reaches, the bar shows a full 100.
TEST(CpuLoadTest, ShowsOneForNoCyclesAndAFullBarFrom31504On) {
    EXPECT_EQ(CpuLoadValue(0), 1);
    EXPECT_EQ(CpuLoadValue(31503), 99);
    EXPECT_EQ(CpuLoadValue(31504), 100);
    EXPECT_EQ(CpuLoadValue(std::int64_t{STREAM_BUFFER_SAMPLES} * ROUTINE_CYCLE_LIMIT), 100);
}

TEST(PlayerTextsTest, RecordedPathKeepsSlashedPathsAndPutsBareNamesInTheDirectory) {
    EXPECT_EQ(RecordTunePath("/music/tune.sid", "/home/user"), "/music/tune.sid");
    EXPECT_EQ(RecordTunePath("sub/tune.sid", "/home/user"), "sub/tune.sid");
    EXPECT_EQ(RecordTunePath("tune.sid", "/home/user"), "/home/user/tune.sid");
    EXPECT_EQ(RecordTunePath("tune.sid", "/"), "/tune.sid");
    std::string directory(301, 'd');
    directory.front() = '/';
    const std::string recorded = RecordTunePath("tune.sid", directory);
    EXPECT_EQ(recorded.size(), directory.size() + 9);  // kept whole
    EXPECT_EQ(TuneWindowTitle(recorded), "tune.sid - Chipbox v0.965");
}

TEST(PlayerTextsTest, LoadMessagesNameThePathAsGiven) {
    const LoadMessage missing = LoadFailureMessage(TuneFileProblem::CannotOpen, "x.sid");
    EXPECT_EQ(missing.text, "x.sid\ncould not be loaded...");
    EXPECT_EQ(missing.caption, "Warning");
    EXPECT_EQ(LoadFailureMessage(TuneFileProblem::IsDirectory, "d").caption, "Warning");
    for (TuneFileProblem problem : {TuneFileProblem::NotPsid, TuneFileProblem::TooLarge}) {
        const LoadMessage invalid = LoadFailureMessage(problem, "x.sid");
        EXPECT_EQ(invalid.text, "x.sid\nis not a valid PSID File!");
        EXPECT_EQ(invalid.caption, "?! Load Error");
    }
    EXPECT_EQ(LoadFailureMessage(TuneFileProblem::InvalidRsid, "r.sid").text,
              "r.sid\nis not a valid RSID File!");
    const LoadMessage basic = LoadFailureMessage(TuneFileProblem::NeedsBasic, "b.sid");
    EXPECT_EQ(basic.text, "b.sid\nis a BASIC program: it plays only with images of the C64's "
                          "BASIC and KERNAL ROMs.");
    EXPECT_EQ(basic.caption, "?! Load Error");
}

TEST(PlayerTextsTest, SubsongsCountFromOneAndSongInformationWithoutATuneAndForOne) {
    EXPECT_EQ(SubsongText(255, 255), "256 / 256");
    ResetEngine();
    EXPECT_EQ(SongInformationText(),
              "Start Address: $0000\nEnd Address: $0000\n\nInit Address: $1000\n"
              "Play Address: $1003\n\nSong Size: 0 bytes (0 blocks)");
    tuneInfo.loadAddress = 0xFF00;
    tuneInfo.dataSize = 0x101;
    tuneInfo.playAddress = 0xC01F;
    EXPECT_EQ(SongInformationText(),
              "Start Address: $FF00\nEnd Address: $10001\n\nInit Address: $1000\n"
              "Play Address: $C01F\n\nSong Size: 257 bytes (2 blocks)");
}

}  // namespace
}  // namespace chipbox
