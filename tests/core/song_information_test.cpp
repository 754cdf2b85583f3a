#include <gtest/gtest.h>

#include "core/song_information.h"
#include "core/tune_info.h"
#include "test_support.h"

namespace chipbox {
namespace {

class SongInformationTest : public ::testing::Test {
protected:
    void SetUp() override { test::ResetMachine(); }
};

TEST_F(SongInformationTest, ShowsTheStartValuesWithNoTuneLoaded) {
    EXPECT_EQ(SongInformationText(),
              "Start Address: $0000\nEnd Address: $0000\n\nInit Address: $1000\n"
              "Play Address: $1003\n\nSong Size: 0 bytes (0 blocks)");
}

TEST_F(SongInformationTest, CountsBlocksOf256BytesRoundedUp) {
    tuneInfo.loadAddress = 0x1000;
    tuneInfo.dataSize = 4000;
    EXPECT_NE(SongInformationText().find("End Address: $1FA0"), std::string::npos);
    EXPECT_NE(SongInformationText().find("4000 bytes (16 blocks)"), std::string::npos);
    tuneInfo.dataSize = 256;
    EXPECT_NE(SongInformationText().find("(1 blocks)"), std::string::npos);
    tuneInfo.dataSize = 257;
    EXPECT_NE(SongInformationText().find("(2 blocks)"), std::string::npos);
}

TEST_F(SongInformationTest, EndAddressAtTheTopOfMemoryHasFiveDigits) {
    tuneInfo.loadAddress = 0xFF00;
    tuneInfo.dataSize = 0x100;
    EXPECT_NE(SongInformationText().find("End Address: $10000"), std::string::npos);
}

}  // namespace
}  // namespace chipbox
