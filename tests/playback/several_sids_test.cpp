// SPDX-License-Identifier: GPL-2.0-or-later
// Tunes for two and three SIDs on the real machine: each chip at the place
// its header names with its own model, the chips' voices in their channels,
// the mono mix, the mutes of the further chips, and the places no chip can
// take ignored.
#include <cmath>
#include <cstdlib>

#include "playback/machine_playback.h"
#include "playback/offline_render.h"
#include "playback/player_engine.h"
#include "playback/player_texts.h"
#include "playback_fixture.h"
#include "sid/hardsid_link.h"

namespace chipbox {
namespace {

struct Channels {
    double left = 0, right = 0;
};

class SeveralSidsTest : public test::PlaybackTest {
protected:
    void TearDown() override {
        SetMachineMono(false);
        for (int voice = 3; voice < 9; ++voice) SetFurtherVoiceMuted(voice, false);
    }

    // Song `song` (1-based) of the three-SID tune, `seconds` of its samples.
    std::vector<std::int16_t> Render(int song, double seconds) {
        Load("three_sids");
        SelectSong(song - 1);
        std::vector<std::int16_t> samples;
        const auto count = static_cast<std::uint64_t>(seconds * OUTPUT_RATE) *
                           static_cast<std::uint64_t>(MachineChannels());
        RenderSong(count, [&](const std::int16_t* part, std::size_t n) {
            samples.insert(samples.end(), part, part + n);
            return true;
        });
        return samples;
    }

    // The level of each channel of a stereo render once the thump of the
    // volume writes at its start has died away in the output's high-pass.
    static Channels Levels(const std::vector<std::int16_t>& frames) {
        Channels sum;
        std::size_t count = 0;
        for (std::size_t i = OUTPUT_RATE * 3 / 10 * 2; i + 1 < frames.size(); i += 2, ++count) {
            sum.left += double(frames[i]) * frames[i];
            sum.right += double(frames[i + 1]) * frames[i + 1];
        }
        return {std::sqrt(sum.left / count), std::sqrt(sum.right / count)};
    }
};

TEST_F(SeveralSidsTest, TheHeaderPlacesEachChipWithItsModelAndTheTunePlaysInStereo) {
    Load("three_sids");
    ASSERT_TRUE(MachinePlays());
    const std::vector<MachineSidInfo> sids = MachineSids();
    ASSERT_EQ(sids.size(), 3u);
    EXPECT_EQ(sids[0].address, 0xD400);
    EXPECT_EQ(sids[1].address, 0xD420);
    EXPECT_EQ(sids[2].address, 0xDE00);
    EXPECT_EQ(sids[0].model, sidchip::ChipModel::Mos6581);
    EXPECT_EQ(sids[1].model, sidchip::ChipModel::Mos8580);
    EXPECT_EQ(sids[2].model, sidchip::ChipModel::Mos6581);
    EXPECT_EQ(MachineChannels(), 2);
    EXPECT_EQ(MachineText(),
              "RSID on the real C64 (PAL) with 3 SIDs: the 6581 at $D400, the 8580 at $D420, "
              "the 6581 at $DE00, in stereo");
    SetMachineMono(true);
    EXPECT_EQ(MachineChannels(), 1);
    SetSidChoice(SidChoice::Mos8580);  // the user's choice holds for every chip
    for (const MachineSidInfo& sid : MachineSids()) EXPECT_EQ(sid.model, sidchip::ChipModel::Mos8580);
    SetSidChoice(SidChoice::FromTune);
}

// Song N gates a voice of chip N only: the first is heard left, the third
// right, the second in the middle at -3 dB in both; the silent chips' DC
// does not reach the output.
TEST_F(SeveralSidsTest, EachChipsWritesReachOnlyThatChipAndItsChannels) {
    const Channels first = Levels(Render(1, 0.6));
    const Channels second = Levels(Render(2, 0.6));
    const Channels third = Levels(Render(3, 0.6));
    EXPECT_GT(first.left, 1000);
    EXPECT_LT(first.right, first.left / 100);
    EXPECT_GT(third.right, 1000);
    EXPECT_LT(third.left, third.right / 100);
    EXPECT_GT(second.left, 500);
    EXPECT_NEAR(second.left, second.right, second.left * 0.01);
    for (int chip = 0; chip < 3; ++chip) {
        const machine::C64& c64 = *PlayingMachine();
        EXPECT_EQ(c64.sid(chip).chip().waveform(0).frequency() != 0, chip == 2) << chip;
    }
}

TEST_F(SeveralSidsTest, MonoIsTheMixOfTheTwoChannels) {
    const std::vector<std::int16_t> stereo = Render(4, 0.3);
    SetMachineMono(true);
    const std::vector<std::int16_t> mono = Render(4, 0.3);
    ASSERT_EQ(mono.size() * 2, stereo.size());
    int largest = 0, worst = 0;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const int mix = (stereo[2 * i] + stereo[2 * i + 1]) / 2;
        worst = std::max(worst, std::abs(mono[i] - mix));
        largest = std::max(largest, std::abs(int(mono[i])));
    }
    EXPECT_GT(largest, 1000);
    EXPECT_LE(worst, 1);  // each channel rounds on its own
}

TEST_F(SeveralSidsTest, MutingVoicesOfTheFurtherChipsSilencesOnlyThem) {
    SetFurtherVoiceMuted(6, true);  // the third chip's voice 1
    const Channels third = Levels(Render(3, 0.6));
    const Channels all = Levels(Render(4, 0.6));
    EXPECT_LT(third.right, 50);
    EXPECT_GT(all.left, 1000);  // the first chip, still heard
    SetFurtherVoiceMuted(6, false);
    SetFurtherVoiceMuted(3, true);  // the second chip's voice 1
    const Channels second = Levels(Render(2, 0.6));
    EXPECT_LT(second.left, 50);
    EXPECT_LT(second.right, 50);
}

// $D410 is no multiple of $20 and $D400 is the first chip's own: both are
// ignored with a note, the tune plays on one chip in mono, and its write to
// $D410 lands on the first chip's mirror there.
TEST_F(SeveralSidsTest, PlacesNoChipCanTakeAreIgnoredWithANote) {
    Load("bad_sid_address");
    EXPECT_EQ(MachineSids().size(), 1u);
    EXPECT_EQ(MachineChannels(), 1);
    EXPECT_EQ(MachineTuneHeader().ignoredSidAddresses,
              (std::vector<std::uint16_t>{0xD410, 0xD400}));
    EXPECT_NE(MachineText().find("A SID at $D410 is not a valid place; ignored."),
              std::string::npos)
        << MachineText();
}

TEST_F(SeveralSidsTest, TheSoundOutputOpensInStereoForSeveralChipsOnly) {
    Play("three_sids");
    EXPECT_EQ(device.channels, 2u);
    StopPlayback();
    Pump();
    Play("rsid_cia_player");
    EXPECT_EQ(device.channels, 1u);
    StopPlayback();
    Pump();
}

// The same tune as a PSID plays in the default model, one chip; the text
// says where the others are heard, and that the card plays the first only.
TEST_F(SeveralSidsTest, ATuneForSeveralSidsInTheDefaultModelSaysWhereTheyAreHeard) {
    std::string file = test::ReadFile(test::TunePath("three_sids"));
    file[0] = 'P';
    ASSERT_EQ(LoadMachineTune(std::vector<std::uint8_t>(file.begin(), file.end())),
              machine::HeaderProblem::None);
    ASSERT_FALSE(MachinePlays());
    EXPECT_EQ(MachineText(), "For 3 SIDs: all are heard on the complete machine only.");
    hardSidMode = true;
    EXPECT_EQ(MachineText(), "For 3 SIDs: the HardSID card plays the first only.");
    hardSidMode = false;
}

// With several chips the first keeps the mirrors no other chip takes, the
// expansion port's places no chip takes hold nothing, and one chip alone
// takes the whole window as before.
TEST(SidSocketsTest, TheFirstChipKeepsTheMirrorsTheOthersDoNotTake) {
    machine::C64 c64(machine::VideoStandard::Pal, {}, sidchip::ChipModel::Mos6581,
                     {{0xD420, sidchip::ChipModel::Mos8580}, {0xDE00, sidchip::ChipModel::Mos6581}});
    c64.PowerOn();
    const auto frequencies = [&] {
        std::vector<std::uint32_t> values;
        for (int chip = 0; chip < c64.sidCount(); ++chip)
            values.push_back(c64.sid(chip).chip().waveform(0).frequency());
        return values;
    };
    c64.bus().Write(0xD421, 0x11);  // the second chip
    c64.bus().Write(0xD441, 0x22);  // a mirror of the first
    c64.bus().Write(0xDE01, 0x33);  // the third
    c64.bus().Write(0xDE21, 0x44);  // nobody
    EXPECT_EQ(frequencies(), (std::vector<std::uint32_t>{0x2200, 0x1100, 0x3300}));
    EXPECT_EQ(c64.sid(1).model(), sidchip::ChipModel::Mos8580);
    EXPECT_EQ(c64.sidAddress(2), 0xDE00);
}

// A write that changes no chip clocks none of them; one that changes a chip
// clocks them all up to its cycle together.
TEST(SidSocketsTest, OnlyAWriteThatChangesAChipClocksThemTogether) {
    machine::C64 c64(machine::VideoStandard::Pal, {}, sidchip::ChipModel::Mos6581,
                     {{0xD420, sidchip::ChipModel::Mos8580}});
    c64.PowerOn();
    const auto clockedTo = [&] {
        return std::vector<std::uint64_t>{c64.sid(0).clockedTo(), c64.sid(1).clockedTo()};
    };
    c64.bus().Write(0xD421, 0x11);
    const std::uint64_t changedAt = c64.bus().now() - 1;
    EXPECT_EQ(clockedTo(), (std::vector<std::uint64_t>{changedAt, changedAt}));
    c64.bus().Idle(c64.bus().now() + 5'000);
    c64.bus().Write(0xD421, 0x11);  // the second chip holds it already
    c64.bus().Write(0xD441, 0x00);  // so does the first, through its mirror
    c64.bus().Write(0xDE21, 0x44);  // nobody
    EXPECT_EQ(clockedTo(), (std::vector<std::uint64_t>{changedAt, changedAt}));
    c64.bus().Write(0xD401, 0x22);
    const std::uint64_t secondChangeAt = c64.bus().now() - 1;
    EXPECT_EQ(clockedTo(), (std::vector<std::uint64_t>{secondChangeAt, secondChangeAt}));
    EXPECT_EQ(c64.sid(0).chip().waveform(0).frequency(), 0x2200u);
    EXPECT_EQ(c64.sid(1).chip().waveform(0).frequency(), 0x1100u);
}

}  // namespace
}  // namespace chipbox
