// SPDX-License-Identifier: GPL-2.0-or-later
// Rendering into the formats a music library keeps, several songs at once,
// and the progress a long list shows.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli_run.h"
#include "test_support.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;
using namespace test;

struct Decoded {
    bool opened = false;
    int rate = 0, channels = 0;
    std::vector<short> samples;
    std::string title, artist, date, copyright, album, track;
};

std::string Field(SNDFILE* file, int field) {
    const char* text = sf_get_string(file, field);
    return text ? text : "";
}

Decoded Decode(const fs::path& path) {
    Decoded decoded;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return decoded;
    decoded.opened = true;
    decoded.rate = info.samplerate;
    decoded.channels = info.channels;
    decoded.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    decoded.samples.resize(static_cast<std::size_t>(
        sf_read_short(file, decoded.samples.data(), static_cast<sf_count_t>(decoded.samples.size()))));
    decoded.title = Field(file, SF_STR_TITLE);
    decoded.artist = Field(file, SF_STR_ARTIST);
    decoded.date = Field(file, SF_STR_DATE);
    decoded.copyright = Field(file, SF_STR_COPYRIGHT);
    decoded.album = Field(file, SF_STR_ALBUM);
    decoded.track = Field(file, SF_STR_TRACKNUMBER);
    sf_close(file);
    return decoded;
}

std::string Bytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

double Rms(const std::vector<short>& samples) {
    double sum = 0;
    for (const short sample : samples) sum += double(sample) * sample;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

// The tune `subsongs` copied into a folder of the collection's kind, whose
// name becomes the album.
std::string CollectionTune(const fs::path& top) {
    return Copy("subsongs", top / "Chipbox_Tests" / "subsongs.sid");
}

TEST(CliRenderTest, FlacHoldsExactlyTheWavSamplesWithTheTunesTags) {
    const fs::path folder = FreshFolder("flac");
    const std::string tune = CollectionTune(folder);
    ExpectRuns("-o " + Quoted((folder / "a.wav").string()) + " --song 2 --seconds 1 " + tune);
    ExpectRuns("-o " + Quoted((folder / "a.flac").string()) + " --song 2 --seconds 1 " + tune);
    const Decoded wav = Decode(folder / "a.wav"), flac = Decode(folder / "a.flac");
    ASSERT_TRUE(wav.opened && flac.opened);
    EXPECT_EQ(Bytes(folder / "a.flac").substr(0, 4), "fLaC");
    EXPECT_EQ(flac.rate, 44100);
    EXPECT_EQ(flac.samples.size(), 44100u);
    EXPECT_GT(Rms(flac.samples), 100.0);
    EXPECT_TRUE(flac.samples == wav.samples);
    EXPECT_EQ(flac.title, "Subsongs #2");
    EXPECT_EQ(flac.artist, "Chipbox tests");
    EXPECT_EQ(flac.copyright, "2026 Chipbox");
    EXPECT_EQ(flac.date, "2026");
    EXPECT_EQ(flac.album, "Chipbox_Tests");
    EXPECT_EQ(flac.track, "2");
}

TEST(CliRenderTest, StereoTunesKeepTheirTwoChannelsInFlac) {
    const fs::path folder = FreshFolder("flac-stereo");
    const std::string tune = TunePath("three_sids");
    ExpectRuns("-o " + Quoted((folder / "s.wav").string()) + " --song 4 --seconds 0.5 " + tune);
    ExpectRuns("-o " + Quoted((folder / "s.FLAC").string()) + " --song 4 --seconds 0.5 " + tune);
    const Decoded wav = Decode(folder / "s.wav"), flac = Decode(folder / "s.FLAC");
    EXPECT_EQ(flac.channels, 2);
    EXPECT_EQ(flac.samples.size(), 44100u);
    EXPECT_TRUE(flac.samples == wav.samples);
}

TEST(CliRenderTest, OpusAndVorbisDecodeToTheSongsLengthWithItsTags) {
    const fs::path folder = FreshFolder("lossy");
    const std::string tune = CollectionTune(folder);
    for (const char* name : {"a.opus", "a.ogg"}) {
        SCOPED_TRACE(name);
        ExpectRuns("-o " + Quoted((folder / name).string()) + " --song 1 --seconds 2 " + tune);
        const Decoded decoded = Decode(folder / name);
        ASSERT_TRUE(decoded.opened);
        EXPECT_EQ(Bytes(folder / name).substr(0, 4), "OggS");
        const double seconds = double(decoded.samples.size()) / decoded.rate;
        EXPECT_NEAR(seconds, 2.0, 0.01);
        EXPECT_GT(Rms(decoded.samples), 100.0);
        EXPECT_EQ(decoded.title, "Subsongs #1");
        EXPECT_EQ(decoded.artist, "Chipbox tests");
        EXPECT_EQ(decoded.album, "Chipbox_Tests");
        EXPECT_EQ(decoded.track, "1");
    }
    EXPECT_EQ(Decode(folder / "a.opus").rate, 48000);  // Opus decodes at its own rate
    EXPECT_EQ(Decode(folder / "a.ogg").rate, 44100);
}

TEST(CliRenderTest, FormatPicksTheFormatWhereTheNameDoesNot) {
    const fs::path folder = FreshFolder("format");
    const std::string tune = TunePath("subsongs");
    ExpectRuns("--format flac --all-songs --seconds 0.2 -o " + Quoted((folder / "out").string() + "/") +
               " " + tune);
    EXPECT_EQ(Bytes(folder / "out" / "subsongs-3.flac").substr(0, 4), "fLaC");
    ExpectRuns("--format ogg --seconds 0.2 -o " + Quoted((folder / "plain").string()) + " " + tune);
    EXPECT_EQ(Bytes(folder / "plain").substr(0, 4), "OggS");
    // The name's own extension wins; a name without one is WAV as before.
    ExpectRuns("--format ogg --seconds 0.2 -o " + Quoted((folder / "x.flac").string()) + " " + tune);
    EXPECT_EQ(Bytes(folder / "x.flac").substr(0, 4), "fLaC");
    ExpectRuns("--seconds 0.2 -o " + Quoted((folder / "noname").string()) + " " + tune);
    EXPECT_EQ(Bytes(folder / "noname").substr(0, 4), "RIFF");
    const auto piped = RunCli("--format flac -o - " + tune);
    EXPECT_EQ(piped.status, 2);
    EXPECT_TRUE(Holds(piped.output, "-o - writes WAV only"));
    EXPECT_EQ(RunCli("--format mp3 -o x " + tune).status, 2);
}

// A full disk leaves the old file and no temporary one, in every format.
TEST(CliRenderTest, AFailedFlacWriteLeavesTheOldTarget) {
    const fs::path folder = FreshFolder("flac-full");
    const fs::path target = folder / "out.flac";
    std::ofstream(target) << "old";
    const auto run = RunCli("-o " + Quoted(target.string()) + " --seconds 30 " + TunePath("minimal"),
                            "ulimit -f 16;");
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(Holds(run.output, "could not write " + target.string() + ": File too large"));
    EXPECT_EQ(Bytes(target), "old");
    EXPECT_EQ(EntriesIn(folder), 1u);
}

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The list: a digi sample, a song that plays none, and the sample again, so
// that the last song starts from what the first left in the decoder; then a
// tune for several SIDs on the real machine and subsongs.
std::string ListOfTestTunes(const fs::path& folder) {
    return Copy("digi", folder / "a" / "digi.sid") + " " + TunePath("minimal") + " " +
           Copy("digi", folder / "b" / "digi.sid") + " " + TunePath("three_sids") + " " +
           TunePath("subsongs");
}

TEST(CliRenderTest, ParallelRendersWriteTheSameFilesAsOneProcess) {
    const fs::path folder = FreshFolder("parallel");
    const std::string tunes = ListOfTestTunes(folder);
    for (const char* jobs : {"1", "2", "3"})
        ExpectRuns("-j " + std::string(jobs) + " --all-songs --seconds 2.5 -o " +
                   Quoted((folder / jobs).string() + "/") + " " + tunes);
    const std::vector<std::string> names = FilesIn(folder / "1");
    EXPECT_EQ(names.size(), 1u + 1 + 1 + 4 + 3);
    for (const char* jobs : {"2", "3"}) {
        SCOPED_TRACE(jobs);
        ASSERT_EQ(FilesIn(folder / jobs), names);
        for (const std::string& name : names)
            EXPECT_TRUE(Bytes(folder / "1" / name) == Bytes(folder / jobs / name)) << name;
    }
}

// Each process renders one song here. The last starts from what the digi
// sample two songs before left in the decoder, which the song just before it
// does not set: its process cannot know it, and its song is rendered again.
TEST(CliRenderTest, ASongStartsFromWhatTheSongsBeforeItLeftInTheEngine) {
    const fs::path folder = FreshFolder("carried");
    const std::string tunes = Copy("digi", folder / "a" / "digi.sid") + " " + TunePath("minimal") +
                              " " + Copy("digi", folder / "b" / "digi.sid");
    for (const char* jobs : {"1", "3"})
        ExpectRuns("-j " + std::string(jobs) + " --seconds 2.5 -o " +
                   Quoted((folder / jobs).string() + "/") + " " + tunes);
    ExpectRuns("--seconds 2.5 -o " + Quoted((folder / "alone.wav").string()) + " " +
               (folder / "b" / "digi.sid").string());
    EXPECT_FALSE(Bytes(folder / "1" / "digi-2.wav") == Bytes(folder / "alone.wav"));
    for (const char* name : {"digi.wav", "minimal.wav", "digi-2.wav"})
        EXPECT_TRUE(Bytes(folder / "1" / name) == Bytes(folder / "3" / name)) << name;
}

TEST(CliRenderTest, OneFailedSongDoesNotStopTheOthers) {
    const fs::path folder = FreshFolder("one-fails");
    const std::string tunes = TunePath("minimal") + " " + TunePath("subsongs");
    for (const char* jobs : {"1", "2"}) {
        SCOPED_TRACE(jobs);
        const fs::path out = folder / jobs;
        fs::create_directories(out / "minimal-1.wav");  // no file can take its place
        const auto run = RunCli("-j " + std::string(jobs) + " --all-songs --seconds 0.3 -o " +
                                Quoted(out.string() + "/") + " " + tunes);
        EXPECT_EQ(run.status, 4);
        EXPECT_TRUE(Holds(run.output, "minimal-1.wav: Is a directory"));
        for (const char* name : {"subsongs-1.wav", "subsongs-2.wav", "subsongs-3.wav"})
            EXPECT_TRUE(fs::is_regular_file(out / name)) << name;
    }
}

TEST(CliRenderTest, AListShowsItsProgressLineOnlyOnATerminal) {
    const fs::path folder = FreshFolder("progress");
    const std::vector<std::string> list = {"--all-songs", "--seconds", "20", "-j", "2", "-o",
                                           (folder / "t").string() + "/", TunePath("subsongs")};
    std::vector<std::string> command = {CHIPBOX_CLI};
    command.insert(command.end(), list.begin(), list.end());
    TerminalSession terminal("dummy", command);
    EXPECT_EQ(terminal.WaitForExit(), 0);
    EXPECT_TRUE(Holds(terminal.output, "/3 songs, "));
    EXPECT_TRUE(Holds(terminal.output, " of 1:00"));
    EXPECT_TRUE(Holds(terminal.output, "100% " + (folder / "t" / "subsongs-3.wav").string()));

    command.push_back("--quiet");
    TerminalSession quiet("dummy", command);
    EXPECT_EQ(quiet.WaitForExit(), 0);
    EXPECT_EQ(quiet.output.find("songs, "), std::string::npos) << quiet.output;
    EXPECT_EQ(quiet.output.find("100%"), std::string::npos) << quiet.output;

    std::string arguments;
    for (const std::string& argument : list) arguments += Quoted(argument) + " ";
    const auto piped = RunCli(arguments);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.output.find("songs, "), std::string::npos) << piped.output;
    EXPECT_TRUE(Holds(piped.output, "100% " + (folder / "t" / "subsongs-1.wav").string()));
}

}  // namespace
}  // namespace chipbox
