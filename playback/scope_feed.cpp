// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/scope_feed.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <type_traits>

namespace chipbox {

namespace {

static_assert(std::is_trivially_copyable_v<ScopeFrame>);

constexpr std::size_t FRAME_SLOTS = 64;  // 1.28 s of play calls at 50 Hz
constexpr std::size_t FRAME_WORDS = (sizeof(ScopeFrame) + 7) / 8;
constexpr double OUTPUT_RATE = 44100.0;

// One published frame, stored word by word; `sequence` is odd while it is
// written, and a reader who saw it change reads again or gives up.
struct FrameSlot {
    std::atomic<std::uint64_t> sequence{0};
    std::array<std::atomic<std::uint64_t>, FRAME_WORDS> words{};
};

struct Feed {
    std::array<FrameSlot, FRAME_SLOTS> slots{};
    std::atomic<std::uint64_t> published{0};  // frames published since the stream began
    // Each frame's channels, at most two.
    std::array<std::array<std::atomic<std::int16_t>, 2>, SCOPE_SAMPLE_FRAMES> samples{};
    std::atomic<std::int64_t> samplesEnd{0};  // frames of samples published
    std::atomic<int> channels{1};
    // The heard position: the buffer playing, where it began and when.
    std::atomic<std::int64_t> bufferFrame{-1};
    std::atomic<std::int64_t> bufferFrames{0};
    std::atomic<std::int64_t> bufferStartNanos{0};
    std::atomic<bool> paused{false};
    std::atomic<std::int64_t> pausedFrame{0};
};

Feed feed;

std::int64_t NowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Store(FrameSlot& slot, const ScopeFrame& frame) {
    std::array<std::uint64_t, FRAME_WORDS> words{};
    std::memcpy(words.data(), &frame, sizeof frame);
    const std::uint64_t sequence = slot.sequence.load(std::memory_order_relaxed);
    slot.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (std::size_t i = 0; i < FRAME_WORDS; ++i)
        slot.words[i].store(words[i], std::memory_order_relaxed);
    slot.sequence.store(sequence + 2, std::memory_order_release);
}

std::optional<ScopeFrame> Load(const FrameSlot& slot) {
    const std::uint64_t before = slot.sequence.load(std::memory_order_acquire);
    if (before % 2 != 0) return std::nullopt;
    std::array<std::uint64_t, FRAME_WORDS> words{};
    for (std::size_t i = 0; i < FRAME_WORDS; ++i)
        words[i] = slot.words[i].load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot.sequence.load(std::memory_order_relaxed) != before) return std::nullopt;
    ScopeFrame frame;
    std::memcpy(static_cast<void*>(&frame), words.data(), sizeof frame);
    return frame;
}

}  // namespace

void BeginScopeStream(int channels) {
    feed.channels.store(std::max(channels, 1), std::memory_order_relaxed);
    feed.bufferFrame.store(-1, std::memory_order_relaxed);
    feed.paused.store(false, std::memory_order_relaxed);
    feed.samplesEnd.store(0, std::memory_order_relaxed);
    feed.published.store(0, std::memory_order_release);
}

void PublishScopeFrame(const ScopeFrame& frame) {
    const std::uint64_t index = feed.published.load(std::memory_order_relaxed);
    Store(feed.slots[index % FRAME_SLOTS], frame);
    feed.published.store(index + 1, std::memory_order_release);
}

void PublishScopeSamples(const std::int16_t* samples, std::int64_t frames) {
    const int channels = feed.channels.load(std::memory_order_relaxed);
    std::int64_t end = feed.samplesEnd.load(std::memory_order_relaxed);
    for (std::int64_t i = 0; i < frames; ++i, ++end) {
        auto& slot = feed.samples[static_cast<std::size_t>(end % SCOPE_SAMPLE_FRAMES)];
        for (int c = 0; c < 2; ++c)
            slot[static_cast<std::size_t>(c)].store(samples[i * channels + std::min(c, channels - 1)],
                                                    std::memory_order_relaxed);
    }
    feed.samplesEnd.store(end, std::memory_order_release);
}

void NoteBufferStarted(std::int64_t frame, std::int64_t bufferFrames) {
    feed.bufferFrames.store(bufferFrames, std::memory_order_relaxed);
    feed.bufferStartNanos.store(NowNanos(), std::memory_order_relaxed);
    feed.bufferFrame.store(frame, std::memory_order_release);
}

void NoteScopePaused(bool paused) {
    if (paused) {
        if (const std::optional<std::int64_t> heard = HeardFrame())
            feed.pausedFrame.store(*heard, std::memory_order_relaxed);
        feed.paused.store(true, std::memory_order_release);
        return;
    }
    // Playing resumes where it stood: the buffer's clock starts again there.
    const std::int64_t frame = feed.pausedFrame.load(std::memory_order_relaxed);
    const std::int64_t begun = feed.bufferFrame.load(std::memory_order_relaxed);
    const auto ahead = static_cast<std::int64_t>(static_cast<double>(frame - begun) * 1e9 / OUTPUT_RATE);
    feed.bufferStartNanos.store(NowNanos() - ahead, std::memory_order_relaxed);
    feed.paused.store(false, std::memory_order_release);
}

std::optional<std::int64_t> HeardFrame() {
    const std::int64_t begun = feed.bufferFrame.load(std::memory_order_acquire);
    if (begun < 0) return std::nullopt;
    if (feed.paused.load(std::memory_order_acquire))
        return feed.pausedFrame.load(std::memory_order_relaxed);
    const std::int64_t elapsed = NowNanos() - feed.bufferStartNanos.load(std::memory_order_relaxed);
    const auto into = static_cast<std::int64_t>(static_cast<double>(elapsed) * OUTPUT_RATE / 1e9);
    return begun + std::clamp<std::int64_t>(into, 0, feed.bufferFrames.load(std::memory_order_relaxed));
}

std::optional<ScopeFrame> ScopeFrameAt(std::int64_t frame) {
    const std::uint64_t published = feed.published.load(std::memory_order_acquire);
    const std::uint64_t oldest = published > FRAME_SLOTS ? published - FRAME_SLOTS : 0;
    for (std::uint64_t index = published; index > oldest; --index) {
        const std::optional<ScopeFrame> found = Load(feed.slots[(index - 1) % FRAME_SLOTS]);
        if (found && found->frame <= frame) return found;
    }
    return std::nullopt;
}

std::vector<std::int16_t> ScopeSamplesBefore(std::int64_t end, std::int64_t count, int channel) {
    const std::int64_t kept = feed.samplesEnd.load(std::memory_order_acquire);
    end = std::min(end, kept);
    // The producer may be writing the oldest slots meanwhile; more than a
    // buffer's worth of margin keeps the traces clear of them.
    constexpr std::int64_t MARGIN = 8192;
    const std::int64_t oldest = std::max<std::int64_t>(0, kept - (SCOPE_SAMPLE_FRAMES - MARGIN));
    const std::int64_t begin = std::max(end - count, oldest);
    std::vector<std::int16_t> samples;
    for (std::int64_t i = begin; i < end; ++i) {
        const auto& slot = feed.samples[static_cast<std::size_t>(i % SCOPE_SAMPLE_FRAMES)];
        const int left = slot[0].load(std::memory_order_relaxed);
        const int right = slot[1].load(std::memory_order_relaxed);
        samples.push_back(static_cast<std::int16_t>(channel == 0   ? left
                                                    : channel == 1 ? right
                                                                   : (left + right) / 2));
    }
    return samples;
}

int ScopeChannels() { return feed.channels.load(std::memory_order_relaxed); }

std::optional<std::int64_t> HeardSongMicros() {
    const std::optional<std::int64_t> heard = HeardFrame();
    if (!heard) return std::nullopt;
    const std::optional<ScopeFrame> frame = ScopeFrameAt(*heard);
    if (!frame) return std::nullopt;
    return frame->songMicros;
}

}  // namespace chipbox
