// SPDX-License-Identifier: GPL-2.0-or-later
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "core/routine_call.h"
#include "platform/sdl_audio_device.h"
#include "platform/wav_file_device.h"
#include "playback_fixture.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"

namespace chipbox {
namespace {

using test::PlaybackTest;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class OutputDevicesTest : public PlaybackTest {
protected:
    // Renders the tune into a WAV file as chipbox-cli -o does.
    std::vector<std::uint8_t> RenderToWav(const std::string& tune, std::uint64_t samples) {
        ResetMachine();
        const std::string path = test::WriteTempFile("out.wav", {});
        WavFileDevice wav(path, samples, OUTPUT_RATE);
        EXPECT_TRUE(wav.Create());
        UseAudioDevice(wav);
        EXPECT_TRUE(chipbox::LoadTune(test::TunePath(tune), false).loaded());
        StartPlayback();
        while (!wav.complete()) {
            const auto event = queue.Next(std::chrono::milliseconds(0));
            if (!event) break;
            cli::DispatchPlayerEvent(*event);
        }
        StopPlayback();
        Pump();
        EXPECT_TRUE(wav.Commit());
        UseAudioDevice(device);
        return ReadFile(path);
    }

    void ResetMachine() {
        test::ResetMachine();
        ResetPlayer();
    }
};

TEST_F(OutputDevicesTest, WavRenderingIsIdenticalOnEveryRunAndEqualsFillBuffer) {
    const std::uint64_t samples = 3 * STREAM_BUFFER_SAMPLES + 100;  // the last buffer is cut
    const std::vector<std::uint8_t> first = RenderToWav("minimal", samples);
    EXPECT_EQ(RenderToWav("minimal", samples), first);
    ASSERT_EQ(first.size(), 44 + 2 * samples);
    EXPECT_EQ(std::string(first.begin(), first.begin() + 4), "RIFF");
    EXPECT_EQ(first[22], 1);  // mono
    EXPECT_EQ(first[24] | first[25] << 8 | first[26] << 16, 44100);
    EXPECT_EQ(first[40] | first[41] << 8 | first[42] << 16, static_cast<int>(2 * samples));

    // The same start, with FillBuffer called directly.
    ResetMachine();
    test::StartTuneAsPlaybackDoes("minimal");
    std::vector<std::int16_t> direct(4 * STREAM_BUFFER_SAMPLES), render(RENDER_BUFFER_SAMPLES);
    for (int i = 0; i < 4; ++i) FillBuffer(&direct[i * STREAM_BUFFER_SAMPLES], render.data());
    for (std::uint64_t i = 0; i < samples; ++i) {
        const auto sample = static_cast<std::int16_t>(first[44 + 2 * i] | first[45 + 2 * i] << 8);
        ASSERT_EQ(sample, direct[i]) << i;
    }
}

TEST_F(OutputDevicesTest, SdlDummyDevicePlaysForAMomentAndStopsCleanly) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlAudioDevice sdl;
    UseAudioDevice(sdl);
    Load("minimal");
    StartPlayback();
    int buffersDone = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (buffersDone < 4 && std::chrono::steady_clock::now() < until) {
        const auto event = queue.Next(std::chrono::milliseconds(50));
        if (!event) continue;
        buffersDone += event->stream.kind == StreamEventKind::BufferDone;
        cli::DispatchPlayerEvent(*event);
    }
    EXPECT_GE(buffersDone, 4);
    StopPlayback();
    Pump();
    EXPECT_FALSE(audioStream.open);
    EXPECT_FALSE(audioStream.blocks);
    UseAudioDevice(device);
}

}  // namespace
}  // namespace chipbox
