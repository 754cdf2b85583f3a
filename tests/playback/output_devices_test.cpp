// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/wav_file_device.h"
#include "playback_fixture.h"
#include "sid/sid_render.h"

namespace chipbox {
namespace {

using test::PlaybackTest;

// The WAV file holds exactly the samples the stream's buffers get, the last
// buffer cut at the length asked for.
TEST_F(PlaybackTest, WavFileHoldsWhatFillBufferGives) {
    const std::uint64_t samples = 3 * STREAM_BUFFER_SAMPLES + 100;
    const std::string path = test::WriteTempFile("out.wav", {});
    WavFileDevice wav(path, samples, OUTPUT_RATE);
    ASSERT_TRUE(wav.Create());
    UseAudioDevice(wav);
    Load("minimal");
    StartPlayback();
    while (!wav.complete()) {
        const auto event = queue.Next(std::chrono::milliseconds(0));
        if (!event) break;
        cli::DispatchPlayerEvent(*event);
    }
    StopPlayback();
    Pump();
    ASSERT_TRUE(wav.Commit());
    UseAudioDevice(device);
    const std::string text = test::ReadFile(path);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    ASSERT_EQ(bytes.size(), 44 + 2 * samples);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[22], 1);  // mono
    EXPECT_EQ(bytes[24] | bytes[25] << 8 | bytes[26] << 16, 44100);
    EXPECT_EQ(bytes[40] | bytes[41] << 8 | bytes[42] << 16, static_cast<int>(2 * samples));

    test::ResetMachine();
    ResetPlayer();
    test::StartTuneAsPlaybackDoes("minimal");
    std::vector<std::int16_t> direct(4 * STREAM_BUFFER_SAMPLES), render(RENDER_BUFFER_SAMPLES);
    for (int i = 0; i < 4; ++i) FillBuffer(&direct[i * STREAM_BUFFER_SAMPLES], render.data());
    for (std::uint64_t i = 0; i < samples; ++i)
        ASSERT_EQ(static_cast<std::int16_t>(bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8), direct[i])
            << i;
}

}  // namespace
}  // namespace chipbox
