// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/wav_file_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "test_support.h"

namespace chipbox {
namespace {

int Little(const std::string& bytes, std::size_t at, int count) {
    int value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The canonical header with the final sizes first, then the samples in file
// order, cut at the count; nothing reaches the target before Commit.
TEST(WavFileWriterTest, WritesTheHeaderThenTheSamplesCutAtTheCount) {
    const std::string path = test::WriteTempFile("out.wav", {'o', 'l', 'd'});
    WavFileWriter file(path, 3, 44100);
    ASSERT_TRUE(file.Create());
    const std::vector<std::int16_t> samples{1, -2, 0x1234, 99};
    ASSERT_TRUE(file.Write(samples.data(), 2));
    EXPECT_FALSE(file.complete());
    EXPECT_FALSE(file.Commit());  // not complete: the target stays
    EXPECT_EQ(test::ReadFile(path), "old");

    WavFileWriter whole(path, 3, 44100);
    ASSERT_TRUE(whole.Create());
    ASSERT_TRUE(whole.Write(samples.data(), samples.size()));
    EXPECT_TRUE(whole.complete());
    EXPECT_EQ(whole.samplesWritten(), 3u);
    ASSERT_TRUE(whole.Commit());
    const std::string bytes = test::ReadFile(path);
    ASSERT_EQ(bytes.size(), 44u + 6);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Little(bytes, 4, 4), 36 + 6);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Little(bytes, 20, 2), 1);  // PCM
    EXPECT_EQ(Little(bytes, 22, 2), 1);  // mono
    EXPECT_EQ(Little(bytes, 24, 4), 44100);
    EXPECT_EQ(Little(bytes, 28, 4), 88200);
    EXPECT_EQ(Little(bytes, 34, 2), 16);
    EXPECT_EQ(Little(bytes, 40, 4), 6);
    EXPECT_EQ(bytes.substr(44), std::string("\x01\x00\xFE\xFF\x34\x12", 6));
}

}  // namespace
}  // namespace chipbox
