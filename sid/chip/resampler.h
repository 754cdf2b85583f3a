// SPDX-License-Identifier: GPL-2.0-or-later
// Brings the chip's output, one float per machine cycle, down to the output
// rate of 44,100 Hz without letting anything above 22.05 kHz fold back into
// the audible band.
//
// Response: flat from 0 to 18 kHz (ripple well under 0.01 dB); every input
// frequency from 22.05 kHz up to half the input rate comes out at least
// 90 dB down by design. 18 to 22.05 kHz is the transition band.
//
// Why stages: one filter running at the output instants would need its
// sharp 4 kHz transition expressed at the machine clock, thousands of taps
// per output. Instead an integer decimation by 2 * M brings the signal to an
// intermediate rate F1 between 60 and 120 kHz, and a fractional stage takes
// it from F1 to 44.1 kHz:
//   1. A decimator by M = floor(inputHz / 120 kHz), at least 1 (8 for PAL
//      and NTSC, 32 for a player running PAL four times fast). It only has
//      to keep 0-18 kHz flat and remove what would fold onto 0-22.05 kHz at
//      2 * F1: a wide transition, 72 taps at PAL, one dot product per M
//      inputs.
//   2. A decimator by 2 to F1, removing what would fold onto 0-22.05 kHz at
//      F1: 40 taps at 2 * F1.
//   3. The fractional resampler from F1 to 44.1 kHz: a windowed sinc with
//      the sharp 18-22.05 kHz transition, 96 taps at F1. Its kernel is
//      tabled at 256 phases per F1 sample and interpolated linearly between
//      the two neighbouring phases, so each output costs two dot products
//      (made in one pass over the samples);
//      the interpolation error of a kernel this smooth lies near -100 dB,
//      below the stopband floor.
// Splitting the integer part keeps F1, and with it the fractional stage's
// length, low at about 20 multiply-adds per input sample in all; the first
// decimator's cost per input hardly depends on M.
//
// The window: Kaiser, beta for 92 dB, lengths from Kaiser's estimate
// N = (A - 7.95) / (14.36 * transition / rate) + 1, rounded up to a multiple
// of the vector lanes (8 for the decimators, 16 for the fractional stage).
// Coefficients are computed in double and stored as float; every phase of
// the fractional stage is scaled to unit DC gain, so no phase modulates the
// level.
//
// Timing: each output instant is fixed by integer arithmetic on the input
// count. The input rate is held in fixed point to 2^-33 Hz (exact for every
// whole-Hz rate and every double above 524,288 Hz), so after C inputs at a
// steady rate exactly floor(C * 44100 / inputHz) outputs have been made,
// however the input was chunked, and the same input gives the same output
// bits. The content is delayed by 1.1 ms at every rate, so a rate change
// does not move the sound in time; the first outputs are the zero state
// filtered.
//
// Rates outside 120 kHz .. 20 MHz are clamped into that range.
//
// Threads: one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace chipbox::sidchip {

constexpr int OUTPUT_HZ = 44'100;

// The content delay at every rate, above the longest the filters need, so
// that a rate change does not move the sound in time.
constexpr double RESAMPLER_DELAY_SECONDS = 1.1e-3;

// Outputs kept for Take; past this many untaken, the oldest are dropped so
// that the newest are heard. About three seconds.
constexpr std::size_t RESAMPLER_QUEUE_SAMPLES = std::size_t{1} << 17;

class Resampler {
public:
    explicit Resampler(double inputHz);

    // Redesigns the filters for the new rate. The recent input is moved onto
    // the new rate's time grid and played through the new filters, so they
    // hold what they would have held had the new rate always been in force;
    // the position between outputs, the count and the queued outputs carry
    // over. The sound goes on without a jump or a burst.
    void SetInputRate(double inputHz);

    void Reset();  // zero state, counts from 0
    void Push(const float* samples, std::size_t count);
    std::size_t Available() const { return queued_; }
    std::size_t Take(float* out, std::size_t maxCount);

private:
    struct Design {
        double inputHz = 0;
        std::uint64_t period = 0;           // one output period in input-time units
        std::uint64_t inputsPerOutput = 0;  // whole inputs in a period
        std::uint64_t periodRemainder = 0;  // and what is left over
        double intermediatePerUnit = 0;     // F1 periods per input-time unit
        int decimation = 1;                 // of the first stage; the second halves
        int decimatorTaps = 0;
        int halverTaps = 0;
        int resamplerTaps = 0;
        double extraDelay = 0;  // in F1 samples, making up the constant content delay
        std::size_t intermediateKeep = 0;
        std::size_t inputKeep = 0;
        std::vector<float> decimator;
        std::vector<float> halver;
        std::vector<float> phases;  // (PHASES + 1) rows, each oldest sample first
    };

    // A history with room to append before it is moved back to its start;
    // the newest sample is at `end` - 1.
    struct History {
        std::vector<float> samples;
        std::size_t end = 0;

        void MoveBack(std::size_t keep);  // the newest `keep` to the start
        // The newest `keep` samples moved onto a grid `ratio` (old rate over
        // new) times as fine, with `slack` free samples after them.
        void Regrid(double ratio, std::size_t keep, std::size_t slack);
    };

    static Design MakeDesign(double inputHz);
    void Adopt(Design design);
    void Replay();
    std::size_t InputsToOutput() const;
    void PushBlock(std::size_t block);
    void PlanOutput(std::size_t sinceIntermediate, std::size_t intermediateEnd);
    void MakePlannedOutputs();
    void QueueOutput(float value);

    Design design_;
    History input_;         // at the input rate
    History decimated_;     // at 2 * F1
    History intermediate_;  // at F1

    std::uint64_t sinceOutput_ = 0;  // input-time units since the last output
    int sinceDecimation_ = 0;        // inputs since the first stage's last sample
    int halfDone_ = 0;               // first-stage samples since the last F1 sample: 0 or 1
    std::size_t inputsToOutput_ = 1;

    // An output due in the block being pushed: its F1 window, its phase's
    // row (the next row follows it) and where it lies between the two.
    struct PlannedOutput {
        const float* window;
        const float* row;
        float fraction;
    };
    std::vector<PlannedOutput> planned_;

    std::vector<float> queue_;
    std::size_t queueHead_ = 0;
    std::size_t queued_ = 0;
};

}  // namespace chipbox::sidchip
