// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/audio_stream.h"

#include "playback/machine_playback.h"
#include "playback/scope_feed.h"
#include "playback/player_engine.h"
#include "sid/sid_render.h"

namespace chipbox {

AudioStream audioStream;

std::uint32_t StreamChannels() {
    return MachinePlays() ? static_cast<std::uint32_t>(MachineChannels()) : 1;
}

std::uint32_t StreamBufferSamples() { return STREAM_BUFFER_SAMPLES * StreamChannels(); }

namespace {

std::unique_ptr<StreamBlocks> AllocateBlocks() {
    auto blocks = std::make_unique<StreamBlocks>();
    const std::uint32_t samples = StreamBufferSamples();
    blocks->bufferA = std::make_unique<std::int16_t[]>(samples);
    blocks->bufferB = std::make_unique<std::int16_t[]>(samples);
    blocks->renderBuffer = std::make_unique<std::int16_t[]>(RENDER_BUFFER_SAMPLES);
    blocks->headerA = {blocks->bufferA.get(), samples};
    blocks->headerB = {blocks->bufferB.get(), samples};
    return blocks;
}

void Fill(WaveHeader& header) {
    FillBuffer(header.data, header.sampleCount, audioStream.blocks->renderBuffer.get());
}

void FillAndQueue(WaveHeader& header) {
    Fill(header);
    audioStream.device->Queue(header);
}

void ReleaseStream() {
    StreamBlocks& blocks = *audioStream.blocks;
    audioStream.device->Unprepare(blocks.headerA);
    audioStream.device->Unprepare(blocks.headerB);
    audioStream.blocks.reset();
    audioStream.open = false;
    audioStream.state = StreamState::Closed;
    ShowCpuLoad(0);
}

}  // namespace

void UseAudioDevice(AudioDevice& device) { audioStream.device = &device; }

bool OpenStream(StreamEventTarget& target) {
    if (audioStream.open) return true;
    if (!audioStream.device) return false;
    audioStream.blocks = AllocateBlocks();
    ++audioStream.stream;
    audioStream.buffersPlayed = 0;
    if (!audioStream.device->Open(target, OUTPUT_RATE, StreamChannels(), audioStream.stream)) {
        audioStream.blocks.reset();
        return false;
    }
    audioStream.open = true;
    audioStream.state = StreamState::Opening;
    audioStream.device->Prepare(audioStream.blocks->headerA);
    audioStream.device->Prepare(audioStream.blocks->headerB);
    return true;
}

void PauseStream() {
    if (!audioStream.open) return;
    audioStream.device->Pause();
    audioStream.state = StreamState::Held;
}

void RestartStream() {
    if (!audioStream.open) return;
    audioStream.device->Restart();
    audioStream.state = StreamState::Running;
}

void ResetAndCloseStream() {
    if (!audioStream.open) return;
    audioStream.state = StreamState::Closing;
    for (WaveHeader* header : audioStream.device->Reset()) Fill(*header);
    audioStream.device->Close();
    ReleaseStream();
    BeginScopeStream(1);  // nothing is heard any more
}

void HandleStreamEvent(const StreamEvent& event) {
    if (!audioStream.blocks || event.stream != audioStream.stream) return;
    switch (event.kind) {
        case StreamEventKind::Opened:
            if (audioStream.state == StreamState::Opening) audioStream.state = StreamState::Running;
            NoteBufferStarted(0, StreamBufferSamples() / StreamChannels());
            FillAndQueue(audioStream.blocks->headerA);
            FillAndQueue(audioStream.blocks->headerB);
            break;
        case StreamEventKind::BufferDone:
            ++audioStream.buffersPlayed;
            NoteBufferStarted(
                static_cast<std::int64_t>(audioStream.buffersPlayed * StreamBufferSamples() /
                                          StreamChannels()),
                StreamBufferSamples() / StreamChannels());
            FillAndQueue(*event.header);
            break;
    }
}

std::uint64_t BuffersPlayed() { return audioStream.open ? audioStream.buffersPlayed : 0; }

void ResetAudioStream() {
    audioStream.device = nullptr;
    audioStream.open = false;
    audioStream.state = StreamState::Closed;
    audioStream.blocks.reset();
    audioStream.buffersPlayed = 0;
}

}  // namespace chipbox
