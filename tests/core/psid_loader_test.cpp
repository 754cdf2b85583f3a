// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/psid_loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/c64_memory.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "test_support.h"

namespace chipbox {
namespace {

// One valid PSID file, which each test changes where it matters.
class PsidLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngine();
        file_.assign(0x76, 0);
        std::copy_n("PSID", 4, file_.begin());
        SetWord(4, 2);
        SetWord(6, 0x76);     // data offset
        SetWord(8, 0x1000);   // load address
        SetWord(10, 0x1000);  // init
        SetWord(12, 0x1003);  // play
        SetWord(14, 3);       // songs
        SetWord(16, 2);       // start song
        SetText(22, "Name");
        SetText(54, "Author");
        SetText(86, "Released");
        data_ = {0x60, 0x00, 0x00, 0x60};  // RTS at init and at play
    }

    void SetWord(std::size_t offset, std::uint16_t value) {
        file_[offset] = static_cast<std::uint8_t>(value >> 8);
        file_[offset + 1] = static_cast<std::uint8_t>(value);
    }

    void SetText(std::size_t offset, const std::string& text) {
        std::fill_n(file_.begin() + offset, 32, 0);
        std::copy(text.begin(), text.end(), file_.begin() + offset);
    }

    // Loads the file, cut to its first `length` bytes when given.
    std::uint16_t Load(std::size_t length = SIZE_MAX) {
        std::vector<std::uint8_t> bytes = file_;
        bytes.insert(bytes.end(), data_.begin(), data_.end());
        bytes.resize(std::min(length, bytes.size()));
        StartEngine();
        return LoadPsidFile(bytes, name_, author_, released_);
    }

    std::vector<std::uint8_t> file_;
    std::vector<std::uint8_t> data_;
    std::string name_, author_, released_;
};

// Only the low byte of the data offset counts; texts stop at a zero byte, and
// a full field does not run into the next. CIA timing comes from the speed
// bits of songs 1 to 8 alone.
TEST_F(PsidLoaderTest, ReadsTheHeaderPlacesTheDataAndTakesTheImage) {
    SetWord(6, 0x0176);
    file_[18] = file_[19] = file_[20] = 0xFF;
    SetText(22, std::string(32, 'N'));
    SetText(54, "A\xE9Z");  // Latin-1 e acute, kept as one byte
    EXPECT_EQ(Load(), 0x1000);
    EXPECT_EQ(tuneInfo.loadAddress, 0x1000);
    EXPECT_EQ(tuneInfo.initAddress, 0x1000);
    EXPECT_EQ(tuneInfo.playAddress, 0x1003);
    EXPECT_EQ(tuneInfo.lastSong, 2);
    EXPECT_EQ(tuneInfo.currentSong, 1);
    EXPECT_FALSE(tuneInfo.ciaTiming);
    EXPECT_EQ(tuneInfo.dataSize, 4);
    EXPECT_EQ(name_, std::string(32, 'N'));
    EXPECT_EQ(author_, "A\xE9Z");
    EXPECT_EQ(released_, "Released");
    EXPECT_EQ(tuneInfo.name, name_);
    EXPECT_EQ(ReadMemory(0x1000), 0x60);
    EXPECT_EQ(ReadMemory(0x1003), 0x60);
    EXPECT_EQ(ReadMemory(0x1004), 0x00);
    EXPECT_EQ(tuneImage.bytes, c64Memory.bytes);
    file_[21] = 0x80;
    Load();
    EXPECT_TRUE(tuneInfo.ciaTiming);
}

// Data past the top of memory wrap to zero. A load address of 0 takes it from
// the first two data bytes; data longer than memory then overwrite their own
// beginning, and their size wraps.
TEST_F(PsidLoaderTest, DataWrapAroundMemory) {
    SetWord(8, 0xFF00);
    data_.assign(256, 0xAA);
    data_.resize(512, 0xBB);
    data_.back() = 0xCC;
    Load();
    EXPECT_EQ(tuneInfo.dataSize, 512);
    EXPECT_EQ(ReadMemory(0xFF00), 0xAA);
    EXPECT_EQ(ReadMemory(0xFFFF), 0xAA);
    EXPECT_EQ(ReadMemory(0x0000), 0xBB);
    EXPECT_EQ(ReadMemory(0x00FF), 0xCC);
    EXPECT_EQ(ReadMemory(0x0100), 0x00);

    SetWord(8, 0x0000);
    data_.assign(65536 + 2 + 3, 0x11);
    data_[0] = 0x00;  // load address $1000, from the data
    data_[1] = 0x10;
    data_[65536 + 2] = 0x22;  // lands on $1000 again
    EXPECT_EQ(Load(), 0x1000);
    EXPECT_EQ(tuneInfo.dataSize, 3);
    EXPECT_EQ(ReadMemory(0x1000), 0x22);
    EXPECT_EQ(ReadMemory(0x1003), 0x11);
}

// Song count and start song are judged on their whole words: no songs counts
// as one, and a start song of 0 or past the last song starts at the first.
TEST_F(PsidLoaderTest, SongNumbersFromTheHeaderWords) {
    struct Row {
        std::uint16_t songs, start;
        int lastSong, currentSong;
    };
    // clang-format off
    const Row rows[] = {{3, 2, 2, 1}, {1, 1, 0, 0}, {0x0100, 0x0100, 255, 255}, {0, 0, 0, 0},
                        {0, 1, 0, 0}, {2, 0, 1, 0}, {2, 5, 1, 0}, {0x0102, 0x0102, 255, 0},
                        {0x0102, 0x00FF, 255, 254}};
    // clang-format on
    for (const Row& row : rows) {
        SetWord(14, row.songs);
        SetWord(16, row.start);
        Load();
        EXPECT_EQ(tuneInfo.lastSong, row.lastSong) << row.songs << "/" << row.start;
        EXPECT_EQ(tuneInfo.currentSong, row.currentSong) << row.songs << "/" << row.start;
    }
}

TEST_F(PsidLoaderTest, MissingBytesOfATruncatedFileReadAsFF) {
    EXPECT_EQ(Load(13), 0x1000);  // ends inside the play address
    EXPECT_EQ(tuneInfo.playAddress, 0x10FF);
    EXPECT_EQ(tuneInfo.lastSong, 255);  // a song count of $FFFF: the most there can be
    EXPECT_EQ(tuneInfo.currentSong, 0);
    EXPECT_TRUE(tuneInfo.ciaTiming);
    EXPECT_EQ(tuneInfo.dataSize, 0);
    EXPECT_EQ(name_, "");
    EXPECT_EQ(ReadMemory(0x1000), 0);

    Load(24);  // a text ends at the end of the file
    EXPECT_EQ(name_, "Na");

    SetWord(8, 0);  // a load address from missing data bytes
    data_.clear();
    EXPECT_EQ(Load(), 0xFFFF);
    EXPECT_EQ(tuneInfo.dataSize, 0);
}

// With play address 0, init runs once at loading (after the image is taken)
// and the IRQ vector becomes the play address, even after a cut-off init.
TEST_F(PsidLoaderTest, PlayAddressZeroRunsInitAndTakesTheIrqVector) {
    SetWord(12, 0);
    Load();  // init is an RTS alone: the vector stays empty
    EXPECT_EQ(tuneInfo.playAddress, 0);
    // LDA #$34 / STA $0314 / LDA #$12 / STA $0315 / RTS
    data_ = {0xA9, 0x34, 0x8D, 0x14, 0x03, 0xA9, 0x12, 0x8D, 0x15, 0x03, 0x60};
    Load();
    EXPECT_EQ(tuneInfo.playAddress, 0x1234);
    EXPECT_EQ(tuneImage.bytes[0x0314], 0);
    data_.back() = 0x4C;  // a JMP to itself instead of the RTS
    data_.insert(data_.end(), {0x0A, 0x10});
    Load();
    EXPECT_EQ(tuneInfo.playAddress, 0x1234);
}

}  // namespace
}  // namespace chipbox
