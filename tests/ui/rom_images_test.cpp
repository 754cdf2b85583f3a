// SPDX-License-Identifier: GPL-2.0-or-later
// ROM images as the user names them: taken at their exact sizes, left out
// with a reason otherwise.
#include <gtest/gtest.h>

#include "test_support.h"
#include "ui/common/rom_images.h"

namespace chipbox {
namespace {

TEST(RomImagesTest, ImagesOfTheirSizesAreTakenAndOthersToldAndLeftOut) {
    const std::string kernal = test::WriteTempFile("kernal", std::vector<std::uint8_t>(8192, 0x4C));
    const std::string shortBasic = test::WriteTempFile("basic", std::vector<std::uint8_t>(8191));
    const std::string characters = test::WriteTempFile("chars", std::vector<std::uint8_t>(4096, 7));
    const ReadRoms roms = ReadRomImages({kernal, shortBasic, characters});
    EXPECT_EQ(roms.images.kernal, std::vector<std::uint8_t>(8192, 0x4C));
    EXPECT_TRUE(roms.images.basic.empty());
    EXPECT_EQ(roms.images.characters.size(), 4096u);
    EXPECT_EQ(roms.problems,
              std::vector<std::string>{shortBasic + ": not a BASIC ROM image, which has 8192 bytes"});

    const ReadRoms missing = ReadRomImages({"/nonexistent/k", "/tmp", ""});
    EXPECT_TRUE(missing.images.kernal.empty() && missing.images.basic.empty());
    EXPECT_EQ(missing.problems,
              (std::vector<std::string>{"/nonexistent/k: No such file or directory, so no KERNAL "
                                        "ROM image",
                                        "/tmp: not a file, so no BASIC ROM image"}));
    EXPECT_TRUE(ReadRomImages({}).problems.empty());
}

}  // namespace
}  // namespace chipbox
