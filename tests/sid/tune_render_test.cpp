// The test tunes rendered through the SID after their init routine, checked
// for properties that a fault in the synthesis would break.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/c64_memory.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "sid/digi_registers.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"
#include "test_support.h"

namespace chipbox {
namespace {

class TuneRenderTest : public ::testing::Test {
protected:
    void SetUp() override { test::ResetMachine(); }

    std::vector<std::int16_t> Render(std::uint32_t count) {
        std::vector<std::int16_t> samples(count);
        SidRender(samples.data(), count, c64Memory.bytes);
        return samples;
    }

    // Counts rises from below -threshold to above +threshold, so the output
    // stage's small ringing around a level does not count.
    static int Rises(const std::vector<std::int16_t>& samples, int threshold = 1000) {
        int rises = 0;
        bool low = false;
        for (std::int16_t sample : samples) {
            if (sample < -threshold) low = true;
            if (low && sample > threshold) {
                ++rises;
                low = false;
            }
        }
        return rises;
    }
};

TEST_F(TuneRenderTest, Frequency4096RepeatsEvery736RenderedSamples) {
    test::StartTuneAsPlaybackDoes("minimal");
    Render(20000);                                            // past the attack
    const std::vector<std::int16_t> samples = Render(73636);  // 100 periods of 736.36
    EXPECT_NEAR(Rises(samples), 100, 1);
}

TEST_F(TuneRenderTest, MutedVoiceContributesNothing) {
    test::StartTuneAsPlaybackDoes("minimal");
    SetVoiceMute(0, true);
    Render(40000);  // the other voices' start-up pulse dies away
    const std::vector<std::int16_t> samples = Render(20000);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](std::int16_t s) { return s == 0; }));
    SetVoiceMute(0, false);
    const std::vector<std::int16_t> unmuted = Render(20000);
    EXPECT_GT(*std::max_element(unmuted.begin(), unmuted.end()), 1000);
}

TEST_F(TuneRenderTest, VolumeZeroSilencesVoicesButNotDigiSamplesWhichAreNotInverted) {
    test::StartTuneAsPlaybackDoes("digi");
    const std::vector<std::int16_t> samples = Render(20000);
    const std::vector<std::int16_t> digiValues = {0, 7168, -8192};
    for (std::int16_t sample : samples)
        ASSERT_NE(std::find(digiValues.begin(), digiValues.end(), sample), digiValues.end())
            << sample;
    const auto firstSound =
        std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; });
    ASSERT_NE(firstSound, samples.end());
    EXPECT_EQ(*firstSound, 7168);  // nybble $F: positive, as the tune meant it
    EXPECT_NE(std::find(samples.begin(), samples.end(), -8192), samples.end());
}

TEST_F(TuneRenderTest, OutputStageInvertsTheVoiceMix) {
    test::StartTuneAsPlaybackDoes("digi");
    digiRegisters.sampleActive = 0;
    SidWrite(24, 0x0F);
    SidWrite(4, 0x01);  // the gated voice without waveform: a positive constant
    const std::vector<std::int16_t> samples = Render(30000);
    EXPECT_LT(samples.back(), -5000);
}

}  // namespace
}  // namespace chipbox
