// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "sid/chip/vector_lanes.h"

namespace chipbox::sidchip {
namespace {

constexpr double MIN_INPUT_HZ = 120'000.0;
constexpr double MAX_INPUT_HZ = 20'000'000.0;
constexpr double MIN_INTERMEDIATE_HZ = 60'000.0;  // F1

constexpr double PASSBAND_EDGE_HZ = 18'000.0;
constexpr double STOPBAND_EDGE_HZ = OUTPUT_HZ / 2.0;
constexpr double STOPBAND_DB = 92.0;
constexpr double KAISER_BETA = 0.1102 * (STOPBAND_DB - 8.7);

constexpr int PHASES = 256;
constexpr int LANES = 16;     // independent sums in the fractional stage's dot product
constexpr int TAP_BLOCK = 8;  // filter lengths are whole multiples of this

// Time in units of 2^-33 of a second times inputHz * 44100: one input sample
// is 44100 << 33 of them, one output period inputHz << 33.
constexpr int TIME_FRACTION_BITS = 33;
constexpr std::uint64_t INPUT_STEP = std::uint64_t{OUTPUT_HZ} << TIME_FRACTION_BITS;

// Room for this many new samples before a history is moved back to its start,
// and the most inputs taken in one block, which must fit in it.
constexpr std::size_t HISTORY_SLACK = 4096;
constexpr std::size_t BLOCK = 4000;

double ClampRate(double inputHz) {
    if (!(inputHz >= MIN_INPUT_HZ)) return MIN_INPUT_HZ;  // also NaN
    return std::min(inputHz, MAX_INPUT_HZ);
}

double BesselI0(double x) {
    const double quarterSquare = x * x / 4.0;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < 500; ++k) {
        term *= quarterSquare / (static_cast<double>(k) * k);
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

// The window at `r` in -1..1 from its centre.
double Kaiser(double r) {
    if (r < -1.0 || r > 1.0) return 0.0;
    return BesselI0(KAISER_BETA * std::sqrt(1.0 - r * r)) / BesselI0(KAISER_BETA);
}

double Sinc(double x) {
    if (x == 0.0) return 1.0;
    const double angle = std::numbers::pi * x;
    return std::sin(angle) / angle;
}

int RoundUpToBlock(int taps, int block = TAP_BLOCK) { return (taps + block - 1) / block * block; }

// Kaiser's estimate of the window length for the stopband and a transition
// of `transitionHz` at `rateHz`.
int WindowLength(double transitionHz, double rateHz) {
    const double length = (STOPBAND_DB - 7.95) / (14.36 * transitionHz / rateHz);
    return static_cast<int>(std::ceil(length)) + 1;
}

// A windowed-sinc low-pass with unit DC gain, cutoff in cycles per sample.
std::vector<float> LowPass(int taps, double cutoff) {
    std::vector<double> h(static_cast<std::size_t>(taps));
    const double centre = (taps - 1) / 2.0;
    double sum = 0.0;
    for (int i = 0; i < taps; ++i) {
        const double t = i - centre;
        h[i] = 2.0 * cutoff * Sinc(2.0 * cutoff * t) * Kaiser(t / centre);
        sum += h[i];
    }
    std::vector<float> coefficients(h.size());
    for (std::size_t i = 0; i < h.size(); ++i) coefficients[i] = static_cast<float>(h[i] / sum);
    return coefficients;
}

// Rows for the fractional offsets p / PHASES, p = 0..PHASES: row p weighs
// the F1 sample i steps before the newest with g(i + p / PHASES), where g is
// the windowed sinc spanning `taps - 1` samples; stored oldest first.
std::vector<float> ResamplerPhases(int taps, double cutoff) {
    const double half = (taps - 1) / 2.0;
    std::vector<float> rows(static_cast<std::size_t>(taps) * (PHASES + 1));
    std::vector<double> row(static_cast<std::size_t>(taps));
    for (int p = 0; p <= PHASES; ++p) {
        double sum = 0.0;
        for (int i = 0; i < taps; ++i) {
            const double t = i + static_cast<double>(p) / PHASES - half;
            row[i] = 2.0 * cutoff * Sinc(2.0 * cutoff * t) * Kaiser(t / half);
            sum += row[i];
        }
        float* out = &rows[static_cast<std::size_t>(p) * taps];
        for (int i = 0; i < taps; ++i) out[taps - 1 - i] = static_cast<float>(row[i] / sum);
    }
    return rows;
}

// Sixteen lanes, 0-7 in `low` and 8-15 in `high`, added in halves: 8 pairs,
// 4, 2, 1.
CHIPBOX_INLINE_INTO_CLONES float SumLanes(const EightFloats& low, const EightFloats& high) {
    const EightFloats eight = low + high;
    const FourFloats four = __builtin_shufflevector(eight, eight, 0, 1, 2, 3) +
                            __builtin_shufflevector(eight, eight, 4, 5, 6, 7);
    return (four[0] + four[2]) + (four[1] + four[3]);
}

// The window weighed by two neighbouring rows of phases in one pass, in
// sixteen lanes (two vectors of eight); each lane's two sums are
// interpolated at `fraction` before the lanes are added.
CHIPBOX_VECTOR_CLONES float InterpolatedDot(const float* window, const float* row,
                                            const float* nextRow, int taps, float fraction) {
    EightFloats here[2] = {}, next[2] = {}, samples, weights, nextWeights;
    for (int i = 0; i < taps; i += LANES) {
        for (int half = 0; half < 2; ++half) {
            const int at = i + 8 * half;
            LoadLanes(samples, window + at);
            LoadLanes(weights, row + at);
            LoadLanes(nextWeights, nextRow + at);
            here[half] += samples * weights;
            next[half] += samples * nextWeights;
        }
    }
    const EightFloats low = here[0] + fraction * (next[0] - here[0]);
    const EightFloats high = here[1] + fraction * (next[1] - here[1]);
    return SumLanes(low, high);
}

// The decimators' dot product, one output at a time or four at once with
// the same coefficients: each output sums tap i in lane i % 8 and adds the
// lanes in the same order either way, so batching never changes a bit.
constexpr int DECIMATOR_LANES = 8;

float AddDecimatorLanes(const float (&lanes)[DECIMATOR_LANES]) {
    return ((lanes[0] + lanes[4]) + (lanes[1] + lanes[5])) +
           ((lanes[2] + lanes[6]) + (lanes[3] + lanes[7]));
}

CHIPBOX_VECTOR_CLONES float DecimatorDot(const float* a, const float* h, int taps) {
    float lanes[DECIMATOR_LANES] = {};
    for (int i = 0; i < taps; i += DECIMATOR_LANES) {
        for (int l = 0; l < DECIMATOR_LANES; ++l) lanes[l] += a[i + l] * h[i + l];
    }
    return AddDecimatorLanes(lanes);
}

// Four outputs whose windows start `stride` samples apart.
CHIPBOX_VECTOR_CLONES void DecimatorDots(const float* a, std::size_t stride, const float* h, int taps, float* out) {
    float lanes[4][DECIMATOR_LANES] = {};
    for (int i = 0; i < taps; i += DECIMATOR_LANES) {
        for (int j = 0; j < 4; ++j) {
            for (int l = 0; l < DECIMATOR_LANES; ++l)
                lanes[j][l] += a[j * stride + i + l] * h[i + l];
        }
    }
    for (int j = 0; j < 4; ++j) out[j] = AddDecimatorLanes(lanes[j]);
}

// `count` outputs of the filter `h` whose windows end at `firstEnd`,
// `firstEnd` + `stride`, ... in `samples`, written to `out` in order.
void DecimateInto(const float* samples, std::size_t firstEnd, std::size_t stride,
                  const std::vector<float>& h, std::size_t count, float* out) {
    const int taps = static_cast<int>(h.size());
    const float* first = samples + firstEnd - h.size();
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4)
        DecimatorDots(first + k * stride, stride, h.data(), taps, out + k);
    for (; k < count; ++k) out[k] = DecimatorDot(first + k * stride, h.data(), taps);
}

// The newest `keep` samples of a history moved onto a grid `ratio` times
// finer (old rate over new), anchored at the newest sample, by four-point
// Lagrange interpolation; past either end the end sample stands in. The
// newest lands at index `keep` - 1.
std::vector<float> RegridHistory(const std::vector<float>& old, std::size_t oldEnd, double ratio,
                                 std::size_t keep, std::size_t size) {
    std::vector<float> fresh(size, 0.0f);
    if (oldEnd == 0) return fresh;
    const std::size_t oldest = oldEnd - 1;
    const auto back = [&](std::size_t steps) -> double {
        return old[oldest - std::min(steps, oldest)];
    };
    for (std::size_t at = 0; at < keep; ++at) {
        const double position = static_cast<double>(at) * ratio;
        const auto whole = static_cast<std::size_t>(position);
        const double f = position - static_cast<double>(whole);
        const double newer = whole == 0 ? back(0) : back(whole - 1);
        const double value = -f * (f - 1) * (f - 2) / 6 * newer +
                             (f + 1) * (f - 1) * (f - 2) / 2 * back(whole) -
                             (f + 1) * f * (f - 2) / 2 * back(whole + 1) +
                             (f + 1) * f * (f - 1) / 6 * back(whole + 2);
        fresh[keep - 1 - at] = static_cast<float>(value);
    }
    return fresh;
}

// The low-pass of a decimator from `rateHz` to `outHz`: flat to the
// passband edge, stopping from where content would fold onto 0-22.05 kHz.
std::vector<float> DecimatorFor(double rateHz, double outHz, int& taps) {
    const double stopHz = outHz - STOPBAND_EDGE_HZ;
    taps = RoundUpToBlock(WindowLength(stopHz - PASSBAND_EDGE_HZ, rateHz));
    return LowPass(taps, (PASSBAND_EDGE_HZ + stopHz) / 2.0 / rateHz);
}

}  // namespace

void Resampler::History::MoveBack(std::size_t keep) {
    std::copy(samples.begin() + static_cast<std::ptrdiff_t>(end - keep),
              samples.begin() + static_cast<std::ptrdiff_t>(end), samples.begin());
    end = keep;
}

void Resampler::History::Regrid(double ratio, std::size_t keep, std::size_t slack) {
    samples = RegridHistory(samples, end, ratio, keep, keep + slack);
    end = keep;
}

Resampler::Resampler(double inputHz) : queue_(RESAMPLER_QUEUE_SAMPLES, 0.0f) {
    // The most outputs one block can have, at the lowest input rate.
    planned_.reserve(static_cast<std::size_t>(BLOCK * OUTPUT_HZ / MIN_INPUT_HZ) + 2);
    Adopt(MakeDesign(ClampRate(inputHz)));
}

Resampler::Design Resampler::MakeDesign(double inputHz) {
    Design design;
    design.inputHz = inputHz;
    design.period =
        static_cast<std::uint64_t>(std::llround(std::ldexp(inputHz, TIME_FRACTION_BITS)));
    design.inputsPerOutput = design.period / INPUT_STEP;
    design.periodRemainder = design.period % INPUT_STEP;
    design.decimation = std::max(1, static_cast<int>(inputHz / (2.0 * MIN_INTERMEDIATE_HZ)));
    design.intermediatePerUnit = 1.0 / (2.0 * design.decimation * static_cast<double>(INPUT_STEP));
    const double decimatedHz = inputHz / design.decimation;
    const double intermediateHz = decimatedHz / 2.0;

    if (design.decimation == 1) {
        design.decimatorTaps = TAP_BLOCK;
        design.decimator.assign(TAP_BLOCK, 0.0f);
        design.decimator.back() = 1.0f;
    } else {
        design.decimator = DecimatorFor(inputHz, decimatedHz, design.decimatorTaps);
    }
    design.halver = DecimatorFor(decimatedHz, intermediateHz, design.halverTaps);

    const int window = WindowLength(STOPBAND_EDGE_HZ - PASSBAND_EDGE_HZ, intermediateHz);
    design.resamplerTaps = RoundUpToBlock(window + 1, LANES);
    const double cutoffHz = (PASSBAND_EDGE_HZ + STOPBAND_EDGE_HZ) / 2.0;
    design.phases = ResamplerPhases(design.resamplerTaps, cutoffHz / intermediateHz);

    const double decimatorDelay =
        design.decimation > 1 ? (design.decimatorTaps - 1) / 2.0 / inputHz : 0.0;
    const double filterDelay = decimatorDelay + (design.halverTaps - 1) / 2.0 / decimatedHz +
                               (design.resamplerTaps - 1) / 2.0 / intermediateHz;
    design.extraDelay = std::max(0.0, (RESAMPLER_DELAY_SECONDS - filterDelay) * intermediateHz);
    design.intermediateKeep = static_cast<std::size_t>(design.resamplerTaps) + 2 +
                              static_cast<std::size_t>(design.extraDelay);
    // Enough input to rebuild both decimated histories, with a margin for
    // a longer design after a rate change.
    const std::size_t replayed = design.halverTaps + 2 * design.intermediateKeep + 2;
    design.inputKeep =
        static_cast<std::size_t>(design.decimatorTaps) + design.decimation * replayed * 5 / 4;
    return design;
}

// Keeps the sound going across a rate change: the input history is moved
// onto the new rate's grid and played through the new filters to rebuild
// the decimated histories, as if the new rate had always held; the output
// clock keeps its place in time.
void Resampler::Adopt(Design design) {
    const double ratio = design_.period > 0 ? design_.inputHz / design.inputHz : 1.0;
    if (design_.period > 0) {
        const long double scaled = static_cast<long double>(sinceOutput_) * design.period /
                                   static_cast<long double>(design_.period);
        sinceOutput_ = std::min(static_cast<std::uint64_t>(scaled), design.period - 1);
        sinceDecimation_ = std::min(sinceDecimation_ * design.decimation / design_.decimation,
                                    design.decimation - 1);
    }
    design_ = std::move(design);
    // Slack for four times the kept input keeps the moving back cheap.
    input_.Regrid(ratio, design_.inputKeep, std::max(HISTORY_SLACK, 4 * design_.inputKeep));
    Replay();
    inputsToOutput_ = InputsToOutput();
}

void Resampler::Replay() {
    const auto factor = static_cast<std::size_t>(design_.decimation);
    const auto taps1 = static_cast<std::size_t>(design_.decimatorTaps);
    const auto taps2 = static_cast<std::size_t>(design_.halverTaps);
    const std::size_t keep = design_.intermediateKeep;
    const std::size_t count = taps2 + static_cast<std::size_t>(halfDone_) + 2 * (keep - 1);

    // decimated[count - 1] is the newest first-stage sample, made
    // sinceDecimation_ inputs ago.
    std::vector<float> decimated(count, 0.0f);
    std::size_t end = input_.end - static_cast<std::size_t>(sinceDecimation_);
    for (std::size_t k = 0; k < count && end >= taps1; ++k, end -= factor) {
        decimated[count - 1 - k] = DecimatorDot(&input_.samples[end - taps1],
                                                design_.decimator.data(), design_.decimatorTaps);
        if (end < factor) break;
    }
    decimated_.samples.assign(taps2 + HISTORY_SLACK, 0.0f);
    std::copy(decimated.end() - static_cast<std::ptrdiff_t>(taps2), decimated.end(),
              decimated_.samples.begin());
    decimated_.end = taps2;

    intermediate_.samples.assign(keep + HISTORY_SLACK, 0.0f);
    for (std::size_t j = 0; j < keep; ++j) {
        const std::size_t windowEnd = count - static_cast<std::size_t>(halfDone_) - 2 * j;
        intermediate_.samples[keep - 1 - j] =
            DecimatorDot(&decimated[windowEnd - taps2], design_.halver.data(), design_.halverTaps);
    }
    intermediate_.end = keep;
}

void Resampler::SetInputRate(double inputHz) {
    const double rate = ClampRate(inputHz);
    if (rate == design_.inputHz) return;
    Adopt(MakeDesign(rate));
}

void Resampler::Reset() {
    for (History* history : {&input_, &decimated_, &intermediate_}) {
        std::fill(history->samples.begin(), history->samples.end(), 0.0f);
    }
    input_.end = design_.inputKeep;
    decimated_.end = static_cast<std::size_t>(design_.halverTaps);
    intermediate_.end = design_.intermediateKeep;
    sinceOutput_ = 0;
    sinceDecimation_ = 0;
    halfDone_ = 0;
    inputsToOutput_ = InputsToOutput();
    queueHead_ = 0;
    queued_ = 0;
}

std::size_t Resampler::InputsToOutput() const {
    return (design_.period - sinceOutput_ + INPUT_STEP - 1) / INPUT_STEP;
}

void Resampler::Push(const float* samples, std::size_t count) {
    while (count > 0) {
        if (input_.end == input_.samples.size()) input_.MoveBack(design_.inputKeep);
        const std::size_t block = std::min({count, input_.samples.size() - input_.end, BLOCK});
        std::copy(samples, samples + block,
                  input_.samples.begin() + static_cast<std::ptrdiff_t>(input_.end));
        PushBlock(block);
        input_.end += block;
        samples += block;
        count -= block;
    }
}

// The block's decimated samples are made first, four at a time; then each
// output due in the block is made from the state as of its own input, so
// the result does not depend on where blocks begin.
void Resampler::PushBlock(std::size_t block) {
    const auto factor = static_cast<std::size_t>(design_.decimation);
    if (decimated_.end + block / factor + 2 > decimated_.samples.size()) {
        decimated_.MoveBack(static_cast<std::size_t>(design_.halverTaps));
    }
    if (intermediate_.end + block / (2 * factor) + 2 > intermediate_.samples.size()) {
        intermediate_.MoveBack(design_.intermediateKeep);
    }

    // The first-stage samples fall after `firstDue`, `firstDue` + M, ...
    // inputs of the block; every second one completes an F1 sample.
    const std::size_t firstDue = factor - static_cast<std::size_t>(sinceDecimation_);
    const std::size_t decimations = block >= firstDue ? 1 + (block - firstDue) / factor : 0;
    const auto halfBefore = static_cast<std::size_t>(halfDone_);
    const std::size_t firstPair = 1 - halfBefore;
    const std::size_t halvings =
        decimations > firstPair ? 1 + (decimations - 1 - firstPair) / 2 : 0;
    const std::size_t decimatedStart = decimated_.end;
    const std::size_t intermediateStart = intermediate_.end;
    DecimateInto(input_.samples.data(), input_.end + firstDue, factor, design_.decimator,
                 decimations, &decimated_.samples[decimatedStart]);
    decimated_.end += decimations;
    DecimateInto(decimated_.samples.data(), decimatedStart + firstPair + 1, 2, design_.halver,
                 halvings, &intermediate_.samples[intermediateStart]);
    intermediate_.end += halvings;

    std::size_t done = 0;
    // The first-stage samples made by `done` inputs, and the input count of
    // the next: counted on as `done` grows rather than divided out.
    std::size_t before = 0, nextDue = firstDue;
    while (block - done >= inputsToOutput_) {
        done += inputsToOutput_;
        sinceOutput_ = sinceOutput_ + inputsToOutput_ * INPUT_STEP - design_.period;
        for (; nextDue <= done; nextDue += factor) ++before;
        const std::size_t since = before > 0 ? done - (nextDue - factor)
                                             : static_cast<std::size_t>(sinceDecimation_) + done;
        PlanOutput(since + (halfBefore + before) % 2 * factor,
                   intermediateStart + (halfBefore + before) / 2);
        // Now less than one input's worth: the division is known.
        inputsToOutput_ =
            design_.inputsPerOutput + (sinceOutput_ < design_.periodRemainder ? 1 : 0);
    }
    MakePlannedOutputs();
    sinceOutput_ += (block - done) * INPUT_STEP;
    inputsToOutput_ -= block - done;
    sinceDecimation_ = static_cast<int>(
        decimations > 0 ? block - firstDue - (decimations - 1) * factor : sinceDecimation_ + block);
    halfDone_ = static_cast<int>((halfBefore + decimations) % 2);
}

// The output instant lies `sinceOutput_` units before the newest input,
// which came `sinceIntermediate` inputs after the newest F1 sample, at
// `intermediateEnd` - 1; the kernel is read that far, less the extra delay,
// from the F1 sample it starts at.
// Cloned so that processors with a rounding instruction floor without a
// call.
CHIPBOX_VECTOR_CLONES void Resampler::PlanOutput(std::size_t sinceIntermediate,
                                                 std::size_t intermediateEnd) {
    const std::int64_t offset = static_cast<std::int64_t>(sinceIntermediate * INPUT_STEP) -
                                static_cast<std::int64_t>(sinceOutput_);
    const double afterNewest =
        static_cast<double>(offset) * design_.intermediatePerUnit - design_.extraDelay;
    const double whole = std::floor(afterNewest);
    const std::size_t end = intermediateEnd - static_cast<std::size_t>(-whole);
    const double position = (afterNewest - whole) * PHASES;
    const int phase = std::clamp(static_cast<int>(position), 0, PHASES - 1);
    const int taps = design_.resamplerTaps;
    planned_.push_back({&intermediate_.samples[end - taps],
                        &design_.phases[static_cast<std::size_t>(phase) * taps],
                        static_cast<float>(position - phase)});
}

// The block's outputs made one after another with nothing in between, so
// that the processor fetches the next rows while it sums the last.
void Resampler::MakePlannedOutputs() {
    const int taps = design_.resamplerTaps;
    for (const PlannedOutput& output : planned_)
        QueueOutput(
            InterpolatedDot(output.window, output.row, output.row + taps, taps, output.fraction));
    planned_.clear();
}

void Resampler::QueueOutput(float value) {
    constexpr std::size_t mask = RESAMPLER_QUEUE_SAMPLES - 1;
    queue_[(queueHead_ + queued_) & mask] = value;
    if (queued_ == RESAMPLER_QUEUE_SAMPLES) {
        queueHead_ = (queueHead_ + 1) & mask;
    } else {
        ++queued_;
    }
}

std::size_t Resampler::Take(float* out, std::size_t maxCount) {
    const std::size_t count = std::min(maxCount, queued_);
    const std::size_t first = std::min(count, RESAMPLER_QUEUE_SAMPLES - queueHead_);
    const auto head = queue_.begin() + static_cast<std::ptrdiff_t>(queueHead_);
    std::copy(head, head + static_cast<std::ptrdiff_t>(first), out);
    std::copy(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count - first),
              out + first);
    queueHead_ = (queueHead_ + count) & (RESAMPLER_QUEUE_SAMPLES - 1);
    queued_ -= count;
    return count;
}

}  // namespace chipbox::sidchip
