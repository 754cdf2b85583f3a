// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/chip_mix.h"

#include <gtest/gtest.h>

#include <vector>

namespace chipbox::sidchip {
namespace {

// A chip playing a sawtooth on voice 1 at `pitch`, full volume.
void Sound(RealSid& sid, std::uint8_t pitch) {
    sid.Write(0x18, 0x0F);
    sid.Write(0x05, 0x00);
    sid.Write(0x06, 0xF0);
    sid.Write(0x01, pitch);
    sid.Write(0x04, 0x21);
}

std::vector<std::int16_t> TakeAll(ChipMix& mix) {
    std::vector<std::int16_t> out(mix.Available() * static_cast<std::size_t>(mix.channels()));
    out.resize(mix.Take(out.data(), mix.Available()) * static_cast<std::size_t>(mix.channels()));
    return out;
}

std::vector<std::int16_t> Channel(const std::vector<std::int16_t>& frames, int channel, int of) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = static_cast<std::size_t>(channel); i < frames.size(); i += of)
        samples.push_back(frames[i]);
    return samples;
}

// Two chips, the first left and the second right, clocked in different
// stretches: each channel is its chip alone, bit for bit as the chip's own
// output, however the chips were clocked.
TEST(ChipMixTest, TwoChipsAreLeftAndRightEachAsItSoundsAlone) {
    RealSid alone1(ChipModel::Mos6581, PAL_CLOCK_HZ), alone2(ChipModel::Mos8580, PAL_CLOCK_HZ);
    RealSid mixed1(ChipModel::Mos6581, PAL_CLOCK_HZ), mixed2(ChipModel::Mos8580, PAL_CLOCK_HZ);
    ChipMix mix(2, 2, PAL_CLOCK_HZ);
    mixed1.SetBlockSink(&mix.InputOf(0));
    mixed2.SetBlockSink(&mix.InputOf(1));
    for (RealSid* sid : {&alone1, &mixed1}) Sound(*sid, 0x10);
    for (RealSid* sid : {&alone2, &mixed2}) Sound(*sid, 0x23);
    alone1.Clock(200'000);
    alone2.Clock(200'000);
    for (std::uint32_t done = 0; done < 200'000; done += 20'000) mixed1.Clock(20'000);
    for (std::uint32_t done = 0; done < 200'000; done += 25'000) mixed2.Clock(25'000);
    mixed1.HandOver();
    mixed2.HandOver();
    const std::vector<std::int16_t> frames = TakeAll(mix);
    std::vector<std::int16_t> left(alone1.Available()), right(alone2.Available());
    left.resize(alone1.Take(left.data(), left.size()));
    right.resize(alone2.Take(right.data(), right.size()));
    ASSERT_GT(left.size(), 8000u);
    EXPECT_EQ(Channel(frames, 0, 2), left);
    EXPECT_EQ(Channel(frames, 1, 2), right);
}

// The mix goes only as far as the chip furthest behind.
TEST(ChipMixTest, TheMixWaitsForTheChipFurthestBehind) {
    RealSid first(ChipModel::Mos6581, PAL_CLOCK_HZ), second(ChipModel::Mos6581, PAL_CLOCK_HZ);
    ChipMix mix(2, 1, PAL_CLOCK_HZ);
    first.SetBlockSink(&mix.InputOf(0));
    second.SetBlockSink(&mix.InputOf(1));
    first.Clock(100'000);
    first.HandOver();
    EXPECT_EQ(mix.Available(), 0u);
    second.Clock(50'000);
    second.HandOver();
    const std::size_t half = mix.Available();
    EXPECT_NEAR(double(half), 50'000.0 * OUTPUT_HZ / PAL_CLOCK_HZ, 2.0);
    second.Clock(50'000);
    second.HandOver();
    EXPECT_GT(mix.Available(), half + 2000);
}

TEST(ChipMixTest, ChipsBetweenTheOuterOnesAreInTheMiddleAndMonoAveragesTheChannels) {
    EXPECT_EQ(ChipMix::Weight(0, 3, 0, 2), 1.0f);
    EXPECT_EQ(ChipMix::Weight(0, 3, 1, 2), 0.0f);
    EXPECT_EQ(ChipMix::Weight(2, 3, 1, 2), 1.0f);
    EXPECT_NEAR(ChipMix::Weight(1, 3, 0, 2), 0.7071, 1e-4);
    EXPECT_EQ(ChipMix::Weight(1, 3, 0, 2), ChipMix::Weight(1, 3, 1, 2));
    for (int chip = 0; chip < 3; ++chip)
        EXPECT_FLOAT_EQ(ChipMix::Weight(chip, 3, 0, 1),
                        (ChipMix::Weight(chip, 3, 0, 2) + ChipMix::Weight(chip, 3, 1, 2)) / 2);
}

}  // namespace
}  // namespace chipbox::sidchip
