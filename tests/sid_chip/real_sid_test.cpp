// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/real_sid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace chipbox::sidchip {
namespace {

struct TimedWrite {
    std::uint32_t gap;  // cycles before it
    std::uint8_t reg, value;
};

std::vector<std::int16_t> TakeAll(RealSid& sid) {
    std::vector<std::int16_t> out(sid.Available());
    out.resize(sid.Take(out.data(), out.size()));
    return out;
}

// Plays the writes, clocking by runs or cycle by cycle, and keeps the
// samples and what voice 3's registers read before each write.
struct Played {
    std::vector<std::int16_t> samples;
    std::vector<std::uint8_t> reads;
};
Played Play(ChipModel model, const std::vector<TimedWrite>& writes, bool eachCycle,
            bool voice3Muted = false) {
    RealSid sid(model, PAL_CLOCK_HZ);
    sid.SetVoiceMuted(2, voice3Muted);
    Played played;
    for (const TimedWrite& write : writes) {
        if (eachCycle)
            sid.ClockEachCycle(write.gap);
        else
            sid.Clock(write.gap);
        played.reads.push_back(sid.ReadOscillator3());
        played.reads.push_back(sid.ReadEnvelope3());
        sid.Write(write.reg, write.value);
        const auto samples = TakeAll(sid);
        played.samples.insert(played.samples.end(), samples.begin(), samples.end());
    }
    return played;
}

// Random writes to every register, at random distances, biased towards
// what music does: gates, envelopes with short rates, the filter.
std::vector<TimedWrite> RandomWrites(unsigned seed, int count) {
    std::mt19937 random(seed);
    std::vector<TimedWrite> writes;
    for (int i = 0; i < count; ++i) {
        const auto gap =
            static_cast<std::uint32_t>(random() % 4 == 0 ? random() % 40'000 : random() % 300);
        const auto reg = static_cast<std::uint8_t>(random() % 25);
        auto value = static_cast<std::uint8_t>(random());
        if (reg % 7 == 4 && reg < 21)
            value &= 0xF7 | (random() % 8 == 0 ? 0x08 : 0);  // test bit rarely
        writes.push_back({gap, reg, value});
    }
    return writes;
}

TEST(RealSidTest, ClockingByRunsGivesTheSamplesAndReadsOfClockingEachCycle) {
    for (ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            // Muted, voice 3's envelope still runs on, as ENV3 reads.
            const bool voice3Muted = seed == 3;
            const auto writes = RandomWrites(seed, 800);
            const Played runs = Play(model, writes, false, voice3Muted);
            const Played cycles = Play(model, writes, true, voice3Muted);
            ASSERT_GT(runs.samples.size(), 10'000u);
            EXPECT_EQ(runs.samples, cycles.samples) << "seed " << seed;
            EXPECT_EQ(runs.reads, cycles.reads) << "seed " << seed;
        }
    }
}

// The runs that take paths of their own: all three voices syncing each
// other in a ring, a voice held by the test bit with every waveform, ring
// modulation and the noise's write-back ($FF, as tunes use it to silence a
// voice), and noise alone, while the voices before them run.
TEST(RealSidTest, SyncInARingAndAHeldVoiceClockByRunsAsEachCycle) {
    std::vector<TimedWrite> writes;
    const auto voice = [&](int v, std::uint8_t frequencyHigh, std::uint8_t control) {
        const auto base = static_cast<std::uint8_t>(7 * v);
        writes.push_back({0, base, 0x35});
        writes.push_back({0, static_cast<std::uint8_t>(base + 1), frequencyHigh});
        writes.push_back({0, static_cast<std::uint8_t>(base + 3), 0x08});
        writes.push_back({0, static_cast<std::uint8_t>(base + 5), 0x09});
        writes.push_back({0, static_cast<std::uint8_t>(base + 6), 0xF0});
        writes.push_back({0, static_cast<std::uint8_t>(base + 4), control});
    };
    writes.push_back({0, 0x18, 0x0F});
    for (int v = 0; v < 3; ++v)
        voice(v, static_cast<std::uint8_t>(0x11 + 0x23 * v), v == 1 ? 0x63 : 0x33);  // a ring of syncs
    writes.push_back({30'000, 0x04, 0xFF});  // voice 1 held, its ring source still running
    writes.push_back({30'000, 0x0B, 0x81});  // voice 2 noise alone
    writes.push_back({30'000, 0x12, 0x43});
    writes.push_back({30'000, 0x04, 0x61});
    writes.push_back({30'000, 0x18, 0x0F});
    for (ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        const Played runs = Play(model, writes, false);
        const Played cycles = Play(model, writes, true);
        ASSERT_GT(runs.samples.size(), 5'000u);
        EXPECT_EQ(runs.samples, cycles.samples);
        EXPECT_EQ(runs.reads, cycles.reads);
    }
}

double Rms(const std::vector<std::int16_t>& samples, std::size_t from) {
    double sum = 0;
    for (std::size_t i = from; i < samples.size(); ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(samples.size() - from));
}

// A four-bit sample played through the volume register alone at 8 kHz,
// every voice silent: the 6581 plays it, the 8580 hardly.
std::vector<std::int16_t> VolumeSample(ChipModel model) {
    RealSid sid(model, PAL_CLOCK_HZ);
    std::vector<std::int16_t> out;
    for (int i = 0; i < 8000; ++i) {
        sid.Write(0x18, static_cast<std::uint8_t>(static_cast<int>(7.5 + 7.5 * std::sin(i * 0.2))));
        sid.Clock(123);
        const auto samples = TakeAll(sid);
        out.insert(out.end(), samples.begin(), samples.end());
    }
    return out;
}

TEST(RealSidTest, AVolumeRegisterSampleSoundsOnThe6581AndHardlyOnThe8580) {
    const double loud = Rms(VolumeSample(ChipModel::Mos6581), 4410);
    const double faint = Rms(VolumeSample(ChipModel::Mos8580), 4410);
    EXPECT_GT(loud, 1000.0);
    EXPECT_LT(faint * 10, loud);
}

void FullSawtooth(RealSid& sid, int voice) {
    const auto base = static_cast<std::uint8_t>(7 * voice);
    sid.Write(base + 1, 0x10 + static_cast<std::uint8_t>(3 * voice));  // a few hundred Hz
    sid.Write(base + 5, 0x00);                                         // instant attack
    sid.Write(base + 6, 0xF0);                                         // full sustain
    sid.Write(base + 4, 0x21);
}

std::vector<std::int16_t> Seconds(RealSid& sid, double seconds) {
    std::vector<std::int16_t> out;
    for (int i = 0; i < int(seconds * 100); ++i) {
        sid.Clock(static_cast<std::uint32_t>(PAL_CLOCK_HZ / 100));
        const auto samples = TakeAll(sid);
        out.insert(out.end(), samples.begin(), samples.end());
    }
    return out;
}

TEST(RealSidTest, OneFullSawtoothPeaksNearMinus12DbfsOnThe8580) {
    RealSid sid(ChipModel::Mos8580, PAL_CLOCK_HZ);
    sid.Write(0x18, 0x0F);
    FullSawtooth(sid, 0);
    const auto out = Seconds(sid, 1.0);
    int peak = 0;
    for (std::size_t i = 22050; i < out.size(); ++i) peak = std::max(peak, std::abs(int(out[i])));
    const double dbfs = 20 * std::log10(peak / 32768.0);
    EXPECT_GT(dbfs, -13.5);
    EXPECT_LT(dbfs, -11.5);
    std::printf("one full sawtooth peaks at %.1f dBFS\n", dbfs);
}

int Peak(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (std::int16_t s : samples) peak = std::max(peak, std::abs(int(s)));
    return peak;
}

// Three voices at full level fit below the soft ceiling's knee, so plain
// music is never bent; through the full resonance they reach into it and
// are rounded off there instead of clipped.
TEST(RealSidTest, ThreeFullVoicesFitAndTheFullResonanceIsRoundedOffNotClipped) {
    const int knee = static_cast<int>(SOFT_CEILING_KNEE * 32767);
    for (ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        RealSid plain(model, PAL_CLOCK_HZ);
        plain.Write(0x18, 0x0F);
        for (int voice = 0; voice < 3; ++voice) FullSawtooth(plain, voice);
        Seconds(plain, 0.3);  // the board's coupling settles on the chip's DC
        EXPECT_LT(Peak(Seconds(plain, 0.5)), knee) << int(model);
        int loudest = 0;
        for (std::uint8_t cutoff : {0x00, 0x10, 0x30, 0x60, 0xA0, 0xFF}) {
            for (std::uint8_t mode : {0x1F, 0x2F, 0x4F, 0x7F}) {
                RealSid sid(model, PAL_CLOCK_HZ);
                sid.Write(0x16, cutoff);
                sid.Write(0x17, 0xF7);
                sid.Write(0x18, mode);
                for (int voice = 0; voice < 3; ++voice) FullSawtooth(sid, voice);
                loudest = std::max(loudest, Peak(Seconds(sid, 0.3)));
                EXPECT_EQ(sid.ClippedSamples(), 0u)
                    << int(model) << " " << int(cutoff) << " " << int(mode);
            }
        }
        EXPECT_GT(loudest, knee) << "the resonance reaches past the knee";
    }
}

TEST(RealSidTest, Voice3ReadsItsOscillatorAndEnvelope) {
    RealSid sid(ChipModel::Mos8580, PAL_CLOCK_HZ);
    sid.Write(0x0F, 0x01);  // voice 3 at $0100 a cycle: its top byte moves every 256 cycles
    sid.Write(0x13, 0x00);  // attack at the fastest rate
    sid.Write(0x14, 0xF0);
    sid.Write(0x12, 0x21);
    sid.Clock(256 * 0x40);
    EXPECT_EQ(sid.ReadOscillator3(), 0x40);
    EXPECT_EQ(sid.ReadEnvelope3(), 0xFF) << "attack 0 reaches the top in a few thousand cycles";
    sid.Write(0x12, 0x20);
    sid.Write(0x14, 0xF0);  // release at the fastest rate
    sid.Clock(100'000);
    EXPECT_EQ(sid.ReadEnvelope3(), 0);
}

}  // namespace
}  // namespace chipbox::sidchip
