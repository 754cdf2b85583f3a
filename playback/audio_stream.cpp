#include "playback/audio_stream.h"

#include "playback/player_engine.h"

namespace chipbox {

AudioStream audioStream;

namespace {

std::unique_ptr<StreamBlocks> AllocateBlocks() {
    auto blocks = std::make_unique<StreamBlocks>();
    blocks->bufferA = std::make_unique<std::int16_t[]>(STREAM_BUFFER_SAMPLES);
    blocks->bufferB = std::make_unique<std::int16_t[]>(STREAM_BUFFER_SAMPLES);
    blocks->renderBuffer = std::make_unique<std::int16_t[]>(RENDER_BUFFER_SAMPLES);
    blocks->headerA = {blocks->bufferA.get(), STREAM_BUFFER_SAMPLES};
    blocks->headerB = {blocks->bufferB.get(), STREAM_BUFFER_SAMPLES};
    return blocks;
}

void FillAndQueue(WaveHeader& header) {
    FillBuffer(header.data, audioStream.blocks->renderBuffer.get());
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

void OpenStream(StreamEventTarget& target) {
    if (audioStream.open) return;
    audioStream.blocks = AllocateBlocks();
    if (!audioStream.device || !audioStream.device->Open(target)) {
        audioStream.blocks.reset();
        ReportAudioOpenFailure();
    }
    audioStream.open = true;
    audioStream.state = StreamState::Opening;
    audioStream.device->Prepare(audioStream.blocks->headerA);
    audioStream.device->Prepare(audioStream.blocks->headerB);
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
    audioStream.device->Reset();
    audioStream.device->Close();
}

void HandleStreamEvent(const StreamEvent& event) {
    if (!audioStream.blocks) return;  // a notification of a stream long gone
    switch (event.kind) {
        case StreamEventKind::Opened:
            if (audioStream.state == StreamState::Closing) break;  // stopped before it opened
            audioStream.state = StreamState::Running;
            FillAndQueue(audioStream.blocks->headerA);
            FillAndQueue(audioStream.blocks->headerB);
            break;
        case StreamEventKind::BufferDone:
            // While closing, the buffer takes the carried samples and stays out.
            FillBuffer(event.header->data, audioStream.blocks->renderBuffer.get());
            if (audioStream.state != StreamState::Closing) audioStream.device->Queue(*event.header);
            break;
        case StreamEventKind::Closed: ReleaseStream(); break;
    }
}

}  // namespace chipbox
