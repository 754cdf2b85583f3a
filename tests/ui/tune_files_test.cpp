// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/tune_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "test_support.h"

namespace chipbox {
namespace {

// One order for the browser and the terminal player: letter case ignored,
// brackets and all; names equal but for letter case always in the same order.
TEST(TuneFilesTest, BrowserOrderIgnoresLetterCaseAndBreaksTiesByBytes) {
    std::vector<std::string> names{"b.SID", "Bad.sid",       "a.sid",  "A.sid", "[a]",  "[a-b]",
                                   "[..]",  "\xe9t\xe9.sid", "zz.sid", "c.sid", "a.SID"};
    std::sort(names.begin(), names.end(), BrowserOrder);
    EXPECT_EQ(names,
              (std::vector<std::string>{"[..]", "[a-b]", "[a]", "A.sid", "a.SID", "a.sid", "b.SID",
                                        "Bad.sid", "c.sid", "zz.sid", "\xe9t\xe9.sid"}));
    EXPECT_FALSE(BrowserOrder("a.sid", "a.sid"));
    EXPECT_TRUE(IsTuneName("x.SiD"));
    EXPECT_TRUE(IsTuneName(".sid"));
    EXPECT_FALSE(IsTuneName("sid"));
    EXPECT_FALSE(IsTuneName("x.sidx"));
}

TEST(TuneFilesTest, SameFileFollowsLinksAndNeedsBothToExist) {
    const std::filesystem::path folder = test::FreshFolder("same");
    std::ofstream(folder / "tune.sid") << "PSID";
    std::ofstream(folder / "other.sid") << "PSID";
    std::filesystem::create_symlink("tune.sid", folder / "link.sid");
    const auto at = [&](const char* name) { return (folder / name).string(); };
    EXPECT_TRUE(IsSameFile(at("tune.sid"), at("link.sid")));
    EXPECT_FALSE(IsSameFile(at("tune.sid"), at("other.sid")));
    EXPECT_FALSE(IsSameFile(at("missing.sid"), at("missing.sid")));
}

}  // namespace
}  // namespace chipbox
