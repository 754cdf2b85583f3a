// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/stil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace chipbox {

// Failures then show the fields themselves.
void PrintTo(const StilField& field, std::ostream* out) {
    *out << field.name << "=\"" << field.text << '"';
}

namespace {

using namespace std::string_literals;
using Fields = std::vector<StilField>;

// An invented list in the collection's layout: section headers, a folder's
// comment, tunes with and without subsong blocks.
constexpr std::string_view LIST =
    "### Made-up list for tests ###\n"
    "  TITLE: Stray title before any entry\n"
    "\n"
    "### Quill_Ada ###\n"
    "/MUSICIANS/Q/Quill_Ada/\n"
    "COMMENT: Ada wrote most of her tunes on a borrowed\n"
    "         machine in one winter.\n"
    "\n"
    "/MUSICIANS/Q/Quill_Ada/Lantern.sid\n"
    "  TITLE: Night Lantern (invented song)\n"
    " ARTIST: Nobody Known\n"
    "COMMENT: The bass line\n"
    "           wanders   \n"
    "         on purpose.\n"
    "\n"
    "/MUSICIANS/Q/Quill_Ada/Tidewater.sid\n"
    "COMMENT: Four songs, two of them described here.\n"
    "(#3)\n"
    "  TITLE: Low Tide\n"
    "COMMENT: Slower than the others.\n"
    "(#1)\n"
    "   NAME: Opening theme\n"
    " AUTHOR: Ada Quill\n";

StilIndex Parsed(std::string_view text) {
    StilIndex index;
    EXPECT_TRUE(index.Parse(text));
    return index;
}

Fields TuneFields(const StilIndex& index, std::string_view path) {
    const StilEntry* entry = index.Find(path);
    return entry ? entry->tune : Fields{};
}

std::vector<int> SongNumbers(const StilEntry& entry) {
    std::vector<int> numbers;
    for (const auto& block : entry.songs) numbers.push_back(block.first);
    return numbers;
}

std::string CrLf(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

std::filesystem::path FreshFolder(const std::string& name) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("chipbox_stil_" + name + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(StilIndexTest, TuneWithOnlyTuneWideFieldsJoinsContinuationLines) {
    const StilIndex index = Parsed(LIST);
    const StilEntry* lantern = index.Find("/MUSICIANS/Q/Quill_Ada/Lantern.sid");
    ASSERT_NE(lantern, nullptr);
    EXPECT_EQ(lantern->tune, (Fields{{"TITLE", "Night Lantern (invented song)"},
                                     {"ARTIST", "Nobody Known"},
                                     {"COMMENT", "The bass line wanders on purpose."}}));
    EXPECT_TRUE(lantern->songs.empty());
    EXPECT_EQ(index.size(), 2u);
}

TEST(StilIndexTest, SubsongBlocksKeepFileOrderAndStayOffTheTuneFields) {
    const StilIndex index = Parsed(LIST);
    const StilEntry* tidewater = index.Find("/MUSICIANS/Q/Quill_Ada/Tidewater.sid");
    ASSERT_NE(tidewater, nullptr);
    EXPECT_EQ(tidewater->tune, (Fields{{"COMMENT", "Four songs, two of them described here."}}));
    ASSERT_EQ(SongNumbers(*tidewater), (std::vector<int>{3, 1}));
    EXPECT_EQ(tidewater->songs[0].second,
              (Fields{{"TITLE", "Low Tide"}, {"COMMENT", "Slower than the others."}}));
    EXPECT_EQ(tidewater->songs[1].second,
              (Fields{{"NAME", "Opening theme"}, {"AUTHOR", "Ada Quill"}}));
}

TEST(StilIndexTest, FieldsForListsTuneFieldsThenTheSongsOwn) {
    const StilIndex index = Parsed(LIST);
    const std::string_view path = "/MUSICIANS/Q/Quill_Ada/Tidewater.sid";
    EXPECT_EQ(index.FieldsFor(path, 3),
              (Fields{{"COMMENT", "Four songs, two of them described here."},
                      {"TITLE", "Low Tide"},
                      {"COMMENT", "Slower than the others."}}));
    // Songs without a block of their own, and numbers no song has, get the
    // tune's fields alone.
    for (const int song : {2, 0, -1, 999})
        EXPECT_EQ(index.FieldsFor(path, song), TuneFields(index, path)) << song;
    EXPECT_TRUE(index.FieldsFor("/MUSICIANS/Q/Quill_Ada/Absent.sid", 1).empty());
}

TEST(StilIndexTest, FolderCommentsAreNoTuneEntries) {
    const StilIndex index = Parsed(std::string(LIST) +
                                   "\n/GAMES/M-R/\n"
                                   "   NAME: A folder with a name and no comment\n");
    const std::string* comment = index.FolderComment("/MUSICIANS/Q/Quill_Ada/");
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(*comment, "Ada wrote most of her tunes on a borrowed machine in one winter.");
    EXPECT_EQ(index.Find("/MUSICIANS/Q/Quill_Ada/"), nullptr);
    EXPECT_EQ(index.FolderComment("/MUSICIANS/Q/Quill_Ada"), nullptr);
    EXPECT_EQ(index.FolderComment("/MUSICIANS/Q/Quill_Ada/Lantern.sid"), nullptr);
    EXPECT_EQ(index.FolderComment("/GAMES/M-R/"), nullptr);
    EXPECT_EQ(index.size(), 2u);
}

TEST(StilIndexTest, PathsMatchExactlyAndCaseSensitively) {
    const StilIndex index = Parsed(LIST);
    for (const std::string_view path :
         {"/MUSICIANS/Q/Quill_Ada/lantern.sid", "MUSICIANS/Q/Quill_Ada/Lantern.sid",
          "/MUSICIANS/Q/Quill_Ada/Lantern.sid ", "/MUSICIANS/Q/Quill_Ada/Lantern", "", "/"})
        EXPECT_EQ(index.Find(path), nullptr) << path;
    EXPECT_NE(index.Find("/MUSICIANS/Q/Quill_Ada/Lantern.sid"), nullptr);
}

TEST(StilIndexTest, CrLfLineEndsReadAsPlainOnes) {
    const StilIndex plain = Parsed(LIST);
    const StilIndex crlf = Parsed(CrLf(LIST));
    for (const std::string_view path :
         {"/MUSICIANS/Q/Quill_Ada/Lantern.sid", "/MUSICIANS/Q/Quill_Ada/Tidewater.sid"})
        for (const int song : {1, 2, 3}) EXPECT_EQ(crlf.FieldsFor(path, song), plain.FieldsFor(path, song));
    ASSERT_NE(crlf.FolderComment("/MUSICIANS/Q/Quill_Ada/"), nullptr);
    EXPECT_EQ(*crlf.FolderComment("/MUSICIANS/Q/Quill_Ada/"),
              *plain.FolderComment("/MUSICIANS/Q/Quill_Ada/"));
    EXPECT_EQ(crlf.size(), 2u);
}

TEST(StilIndexTest, RemarksAreSkippedAndIndentedTextIsNeverAPathOrMarker) {
    const StilIndex index = Parsed(
        "/DEMOS/X/Remarks.sid\n"
        "# a remark inside the entry\n"
        "COMMENT: First line,\n"
        "# another remark\n"
        "         second line;\n"
        "         /DEMOS/X/Other.sid is its twin,\n"
        "         (#2) sounds best, # marks nothing.\n"
        "  TITLE: Remarks\n");
    EXPECT_EQ(TuneFields(index, "/DEMOS/X/Remarks.sid"),
              (Fields{{"COMMENT",
                       "First line, second line; /DEMOS/X/Other.sid is its twin, (#2) sounds "
                       "best, # marks nothing."},
                      {"TITLE", "Remarks"}}));
    EXPECT_EQ(index.Find("/DEMOS/X/Other.sid"), nullptr);
    EXPECT_EQ(index.size(), 1u);
}

TEST(StilIndexTest, MalformedSubsongMarkersDropTheirBlock) {
    const StilIndex index = Parsed(
        "(#1)\n"
        "  TITLE: Marker before any entry\n"
        "\n"
        "/DEMOS/X/Markers.sid\n"
        "  TITLE: Whole tune\n"
        "(#0)\n"
        "  TITLE: Zero\n"
        "(#257)\n"
        "  TITLE: Too high\n"
        "(#2a)\n"
        "  TITLE: Not a number\n"
        "(#)\n"
        "  TITLE: Empty\n"
        "(#4\n"
        "  TITLE: Unclosed\n"
        "(#-3)\n"
        "  TITLE: Negative\n"
        "(#256)\n"
        "  TITLE: Last possible\n"
        "(#99999999999999999999)\n"
        "  TITLE: Overflowing\n");
    const StilEntry* entry = index.Find("/DEMOS/X/Markers.sid");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->tune, (Fields{{"TITLE", "Whole tune"}}));
    ASSERT_EQ(SongNumbers(*entry), (std::vector<int>{256}));
    EXPECT_EQ(entry->songs[0].second, (Fields{{"TITLE", "Last possible"}}));
    EXPECT_EQ(index.size(), 1u);
}

TEST(StilIndexTest, FieldsOutsideAnEntryAndLinesThatFitNowhereAreDropped) {
    const StilIndex index = Parsed(
        "COMMENT: Before the first entry\n"
        "         and its continuation.\n"
        "/DEMOS/X/Loose.sid\n"
        "         continuation with no field open\n"
        "COMMENT: Kept\n"
        "YEAR: 1987 is no field this list has\n"
        "         so this does not continue the comment\n"
        "TITLE:NoBlankAfterTheColon\n"
        "  TITLE: Kept too\n"
        "\n"
        " ARTIST: After the entry ended\n"
        "\n"
        "/DEMOS/X/Empty.sid\n");
    EXPECT_EQ(TuneFields(index, "/DEMOS/X/Loose.sid"),
              (Fields{{"COMMENT", "Kept"}, {"TITLE", "Kept too"}}));
    ASSERT_NE(index.Find("/DEMOS/X/Empty.sid"), nullptr);
    EXPECT_TRUE(TuneFields(index, "/DEMOS/X/Empty.sid").empty());
    EXPECT_EQ(index.size(), 2u);
}

TEST(StilIndexTest, RepeatedPathMergesIntoTheEarlierEntry) {
    const StilIndex index = Parsed(
        "/DEMOS/X/Twice.sid\n"
        "  TITLE: First\n"
        "(#2)\n"
        "   NAME: Two\n"
        "\n"
        "/DEMOS/X/Twice.sid\n"
        "COMMENT: Second\n"
        "(#1)\n"
        "   NAME: One\n"
        "(#2)\n"
        " AUTHOR: Two's author\n");
    const StilEntry* entry = index.Find("/DEMOS/X/Twice.sid");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->tune, (Fields{{"TITLE", "First"}, {"COMMENT", "Second"}}));
    EXPECT_EQ(SongNumbers(*entry), (std::vector<int>{2, 1}));
    EXPECT_EQ(index.FieldsFor("/DEMOS/X/Twice.sid", 2),
              (Fields{{"TITLE", "First"},
                      {"COMMENT", "Second"},
                      {"NAME", "Two"},
                      {"AUTHOR", "Two's author"}}));
    EXPECT_EQ(index.size(), 1u);
}

TEST(StilIndexTest, ParseReplacesAndSurvivesBinaryJunk) {
    StilIndex index;
    ASSERT_TRUE(index.Parse(LIST));
    std::string junk;
    unsigned state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        junk.push_back(static_cast<char>(state >> 16));
    }
    junk += "\n/DEMOS/X/Bad\0Name.sid\n  TITLE: Hidden\n"s;
    junk += "\n/DEMOS/X/AfterJunk.sid\n  TITLE: Still read\n";
    EXPECT_TRUE(index.Parse(junk));
    EXPECT_EQ(index.Find("/MUSICIANS/Q/Quill_Ada/Lantern.sid"), nullptr);
    EXPECT_EQ(index.FolderComment("/MUSICIANS/Q/Quill_Ada/"), nullptr);
    EXPECT_EQ(index.Find("/DEMOS/X/Bad\0Name.sid"s), nullptr);
    EXPECT_EQ(TuneFields(index, "/DEMOS/X/AfterJunk.sid"), (Fields{{"TITLE", "Still read"}}));
}

TEST(StilIndexTest, LoadReadsAFileAndRefusesMissingFoldersAndHugeOnes) {
    const std::filesystem::path folder = FreshFolder("load");
    const std::filesystem::path file = folder / "STIL.txt";
    std::ofstream(file, std::ios::binary) << CrLf(LIST);
    StilIndex index;
    ASSERT_TRUE(index.Load(file.string()));
    EXPECT_EQ(index.size(), 2u);
    EXPECT_EQ(index.FieldsFor("/MUSICIANS/Q/Quill_Ada/Tidewater.sid", 1).size(), 3u);

    EXPECT_FALSE(index.Load((folder / "missing.txt").string()));
    EXPECT_EQ(index.size(), 0u);
    EXPECT_EQ(index.FolderComment("/MUSICIANS/Q/Quill_Ada/"), nullptr);
    EXPECT_FALSE(index.Load(folder.string()));

    const std::filesystem::path huge = folder / "huge.txt";
    std::ofstream(huge, std::ios::binary) << LIST;
    std::filesystem::resize_file(huge, (64u << 20) + 1);
    EXPECT_FALSE(index.Load(huge.string()));
    std::filesystem::resize_file(huge, 64u << 20);
    EXPECT_TRUE(index.Load(huge.string()));
    EXPECT_EQ(index.size(), 2u);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace chipbox
