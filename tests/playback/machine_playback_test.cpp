// SPDX-License-Identifier: GPL-2.0-or-later
// Tunes on the real machine through the engine: RSID players whose writes
// must reach the audio at their cycles, PSID tunes under our driver when the
// complete machine is chosen, speeds, mutes, the CPU bar, and hostile tunes
// that cannot buy more emulation than a second of machine per second.
#include <algorithm>
#include <cstdlib>

#include "core/machine_model.h"
#include "playback/machine_playback.h"
#include "playback/offline_render.h"
#include "playback/player_texts.h"
#include "playback_fixture.h"
#include "sid/sid_write.h"

namespace chipbox {
namespace {

constexpr std::uint64_t PAL_CLOCK = 985248;

class MachinePlaybackTest : public test::PlaybackTest {
protected:
    std::vector<std::int16_t> Render(const std::string& tune, double seconds) {
        Load(tune);
        std::vector<std::int16_t> samples;
        RenderSong(static_cast<std::uint64_t>(seconds * OUTPUT_RATE),
                   [&](const std::int16_t* part, std::size_t count) {
                       samples.insert(samples.end(), part, part + count);
                       return true;
                   });
        return samples;
    }

    std::uint8_t MachineRam(std::uint16_t address) const {
        return PlayingMachine()->bus().ram()[address];
    }
};

// Where the output steps between its two levels (the players toggle the
// volume of a constant voice), found with hysteresis after it has settled.
std::vector<std::size_t> Steps(const std::vector<std::int16_t>& samples) {
    const std::size_t settled = OUTPUT_RATE / 10;
    const auto [low, high] = std::minmax_element(samples.begin() + settled, samples.end());
    const int middle = (*low + *high) / 2, margin = (*high - *low) / 4;
    std::vector<std::size_t> steps;
    bool up = samples[settled] > middle;
    for (std::size_t i = settled; i < samples.size(); ++i) {
        if (up && samples[i] < middle - margin) {
            up = false;
            steps.push_back(i);
        } else if (!up && samples[i] > middle + margin) {
            up = true;
            steps.push_back(i);
        }
    }
    return steps;
}

// The steps as far apart on average as the cycles between the writes make
// at the output rate; each one give or take the sample it falls in and the
// 43 cycles a bad line may hold the handler back (two samples).
void ExpectStepsEvery(const std::vector<std::size_t>& steps, double samplesApart) {
    ASSERT_GT(steps.size(), 10u);
    for (std::size_t i = 1; i < steps.size(); ++i) {
        const double apart = static_cast<double>(steps[i] - steps[i - 1]);
        EXPECT_NEAR(apart, samplesApart, 3.0) << "step " << i;
    }
    const double average =
        static_cast<double>(steps.back() - steps.front()) / static_cast<double>(steps.size() - 1);
    EXPECT_NEAR(average, samplesApart, 0.05);
}

TEST_F(MachinePlaybackTest, ACiaPlayersWritesLandAtTheirCycles) {
    ExpectStepsEvery(Steps(Render("rsid_cia_player", 2)), 8192.0 * OUTPUT_RATE / PAL_CLOCK);
    EXPECT_TRUE(tuneInfo.rsid);
}

// Two play calls a frame, half a frame apart: 156 lines of 63 cycles.
TEST_F(MachinePlaybackTest, ARasterPlayersTwoCallsAFrameLandAtTheirCycles) {
    ExpectStepsEvery(Steps(Render("rsid_raster_player", 2)), 156.0 * 63 * OUTPUT_RATE / PAL_CLOCK);
}

// An NMI every 123 cycles writes the volume 8,010 times a second, and each
// write makes its own step in the sound.
TEST_F(MachinePlaybackTest, AnNmiSamplePlayerIsHeardAtItsRate) {
    const std::vector<std::size_t> steps = Steps(Render("rsid_nmi_digi", 1));
    const double seconds = 0.9;  // after settling
    EXPECT_NEAR(static_cast<double>(steps.size()), seconds * PAL_CLOCK / 123, 20);
}

// At 2x the machine runs twice as many cycles against the sound.
TEST_F(MachinePlaybackTest, DoubleSpeedRunsTheMachineTwiceAsFast) {
    SetPlaybackSpeed(2);
    ExpectStepsEvery(Steps(Render("rsid_cia_player", 2)), 8192.0 * OUTPUT_RATE / PAL_CLOCK / 2);
}

// The same samples however they are asked for.
TEST_F(MachinePlaybackTest, TheSoundDoesNotDependOnHowItIsAskedFor) {
    std::vector<std::vector<std::int16_t>> renders;
    for (const std::int32_t part : {7056, 1000, 333}) {
        Restart();  // the output stages as at program start
        Load("rsid_nmi_digi");
        StartRendering();
        std::vector<std::int16_t> out(30000), buffer(4 * 7056), render(4 * 7056);
        for (std::int32_t done = 0; done < 30000; done += part) {
            const std::int32_t n = std::min(part, 30000 - done);
            RenderSamples(buffer.data(), n, render.data());
            std::copy_n(buffer.begin(), n, out.begin() + done);
        }
        StopPlayback();
        renders.push_back(out);
    }
    for (int r = 1; r < 3; ++r) {
        const auto mismatch =
            std::mismatch(renders[0].begin(), renders[0].end(), renders[r].begin());
        EXPECT_EQ(mismatch.first, renders[0].end())
            << "render " << r << " differs from sample " << (mismatch.first - renders[0].begin());
    }
}

// A muted voice is silent on the real machine too.
// The player toggles the volume as it plays voice 1; on the 8580 the volume
// register alone hardly sounds, so with the voice muted what is left is
// that faint toggling.
TEST_F(MachinePlaybackTest, AMutedVoiceIsSilent) {
    SetSidChoice(SidChoice::Mos8580);
    const auto loudest = [](const std::vector<std::int16_t>& samples) {
        int peak = 0;
        for (auto s = samples.begin() + OUTPUT_RATE / 2; s != samples.end(); ++s)
            peak = std::max(peak, std::abs(int(*s)));
        return peak;
    };
    const int playing = loudest(Render("rsid_cia_player", 1));
    SetVoiceMute(0, true);
    const int muted = loudest(Render("rsid_cia_player", 1));
    SetVoiceMute(0, false);
    SetSidChoice(SidChoice::FromTune);
    EXPECT_GT(playing, 3000);
    EXPECT_LT(muted * 8, playing);
}

// The header's model bits pick the chip: the 8580 only when they name it
// alone; the user's choice overrides them for the songs started after it.
TEST_F(MachinePlaybackTest, TheChipIsTheOneTheHeaderNamesUnlessOneIsChosen) {
    const std::string file = test::ReadFile(test::TunePath("rsid_cia_player"));
    constexpr std::size_t FLAGS_LOW = 0x77;  // the flags word is big-endian at $76
    const auto chipFor = [&](std::uint8_t modelBits) {
        std::vector<std::uint8_t> bytes(file.begin(), file.end());
        bytes[FLAGS_LOW] = static_cast<std::uint8_t>((bytes[FLAGS_LOW] & 0xCF) | modelBits << 4);
        EXPECT_EQ(LoadMachineTune(bytes), machine::HeaderProblem::None);
        return MachineSidModel();
    };
    EXPECT_EQ(chipFor(0), sidchip::ChipModel::Mos6581) << "none named";
    EXPECT_EQ(chipFor(1), sidchip::ChipModel::Mos6581);
    EXPECT_EQ(chipFor(2), sidchip::ChipModel::Mos8580);
    EXPECT_EQ(chipFor(3), sidchip::ChipModel::Mos6581) << "both named";
    SetSidChoice(SidChoice::Mos8580);
    EXPECT_EQ(chipFor(1), sidchip::ChipModel::Mos8580);
    StartMachineSong(0);
    EXPECT_EQ(PlayingMachine()->sid().model(), sidchip::ChipModel::Mos8580);
    EXPECT_TRUE(MachineText().ends_with("with the 8580 SID")) << MachineText();
    SetSidChoice(SidChoice::Mos6581);
    EXPECT_EQ(chipFor(2), sidchip::ChipModel::Mos6581);
    SetSidChoice(SidChoice::FromTune);
}

// Under the complete machine our driver calls a PSID's init with its song
// and its play routine once a frame (VBI) or at CIA 1 timer A's rate.
TEST_F(MachinePlaybackTest, PsidTunesPlayUnderTheDriverOnTheCompleteMachine) {
    SetMachineModel(MachineModel::Complete);
    const auto frames = [](std::uint64_t cycles) {
        return static_cast<double>(MachineMicros()) * PAL_CLOCK / 1e6 / cycles;
    };
    Render("minimal", 1);
    EXPECT_NEAR(MachineRam(0x0380), frames(312 * 63), 1);  // PAL frames
    Render("cia_timed", 1);
    EXPECT_NEAR(MachineRam(0x0380), frames(0x4CC8 + 1), 1);
    Render("subsongs", 1);
    EXPECT_EQ(MachineRam(0x0380), 1);  // the second song, as A = 1
    EXPECT_NEAR(MachineRam(0x0381), frames(312 * 63), 1);
    // The complete machine's undocumented opcodes, on the real processor.
    Render("undocumented_selftest", 0.1);
    EXPECT_EQ(MachineRam(0x0380), 0xAA) << "check " << int(MachineRam(0x0381));
}

// The bar shows the share of the machine's cycles spent outside idle loops:
// a player that waits for its interrupts shows little, one that never
// stops shows all.
TEST_F(MachinePlaybackTest, TheCpuBarShowsTheTunesShareOfTheMachine) {
    for (const auto& [tune, low, high] :
         {std::tuple{"rsid_cia_player", 1, 10}, std::tuple{"hostile_raster_storm", 90, 100}}) {
        Play(tune);
        view.calls.clear();
        test::FillOneBuffer();
        test::FillOneBuffer();
        ASSERT_FALSE(view.calls.empty());
        const int bar = std::stoi(view.calls.back().substr(4));
        EXPECT_GE(bar, low) << tune;
        EXPECT_LE(bar, high) << tune;
        StopPlayback();
    }
}

// Hostile tunes get the machine's cycles for each second of sound and no
// more, and the render ends.
TEST_F(MachinePlaybackTest, HostileTunesRunExactlyTheMachinesClock) {
    for (const char* tune :
         {"hostile_nmi_storm", "hostile_raster_storm", "hostile_endless_irq", "hostile_jam"}) {
        SCOPED_TRACE(tune);
        const std::vector<std::int16_t> samples = Render(tune, 1);
        EXPECT_EQ(samples.size(), OUTPUT_RATE);
        // RenderSong fills whole stream buffers: seven of 7,056 samples.
        const double seconds = 7.0 * STREAM_BUFFER_SAMPLES / OUTPUT_RATE;
        EXPECT_NEAR(static_cast<double>(MachineMicros()), seconds * 1e6, 10);
    }
}

// The card plays the default model's way only: an RSID gets a message.
TEST_F(MachinePlaybackTest, AnRsidWithTheCardTickedGetsAMessageInsteadOfSilence) {
    Load("rsid_cia_player");
    SetOutput(Output::HardSid);
    StartPlayback();
    EXPECT_FALSE(playerState.playing);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back(), RSID_ON_HARDSID_TEXT);
    SetOutput(Output::Software);
}

// An RSID that is a BASIC program needs both ROM images.
TEST_F(MachinePlaybackTest, ABasicProgramWithoutRomImagesIsRefusedWithItsReason) {
    std::string bytes = test::ReadFile(test::TunePath("rsid_cia_player"));
    bytes[0x77] |= 0x02;  // the BASIC flag
    const std::string path =
        test::WriteTempFile("basic.sid", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_EQ(LoadTune(path, false).problem, TuneFileProblem::NeedsBasic);
    EXPECT_EQ(view.messages.back(), path + "\n" + BASIC_PROGRAM_TEXT);
    SetRomImages({std::vector<std::uint8_t>(machine::KERNAL_SIZE),
                  std::vector<std::uint8_t>(machine::BASIC_SIZE),
                  {}});
    EXPECT_TRUE(LoadTune(path, false).loaded());
}

}  // namespace
}  // namespace chipbox
