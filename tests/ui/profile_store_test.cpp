// SPDX-License-Identifier: GPL-2.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <random>

#include "test_support.h"
#include "ui/common/profile_store.h"
#include "ui/common/ui_settings.h"

namespace chipbox {
namespace {

namespace fs = std::filesystem;

using test::ReadFile;

// Each test gets an empty folder of its own.
class ProfileStoreTest : public testing::Test {
protected:
    ~ProfileStoreTest() override { fs::remove_all(folder_); }
    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }
    std::string WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream(PathOf(name), std::ios::binary) << text;
        return PathOf(name);
    }
    const fs::path folder_ = test::FreshFolder("settings");
};

// The first write creates the folder and keeps the write order; a later one
// edits the file, keeping keys it only reads.
TEST_F(ProfileStoreTest, ExitWriteCreatesTheFileOrEditsItKeepingForeignKeys) {
    ExitSettings exit;
    exit.directory = "/music/C64";
    exit.lastChosenFile = "Tune.sid";
    exit.playerX = 640;
    IniSettingsStore created(PathOf("new/sub/chipbox.INI"));
    EXPECT_EQ(created.ReadStart(), StartSettings{});  // no file yet: the defaults
    ASSERT_TRUE(created.WriteExit(exit));
    EXPECT_EQ(ReadFile(created.path()),
              "[FileBrowser]\nHeight=200\nWidth=200\nx=-1\ny=-1\nDirectory=/music/C64\n"
              "Last_SID=Tune.sid\nFontHeight=0\nFontName=\n\n"
              "[Mixer]\nx=-1\ny=-1\n\n"
              "[PlayerWindow]\nx=640\ny=-1\nLastTune=\nHardSID_Support=0\n");

    IniSettingsStore edited(WriteFile("chipbox.INI",
                                      "[PlayerWindow]\nCompleteMachine=1\nHardSID_Support=1\n"
                                      "KernalRom=/roms/k\nVideoStandard=NTSC\n\n"
                                      "[Mixer]\ny=7\n"));
    EXPECT_TRUE(edited.ReadStart().completeMachine);
    EXPECT_EQ(edited.ReadStart().kernalRom, "/roms/k");
    EXPECT_EQ(edited.ReadStart().videoStandard, "NTSC");
    EXPECT_EQ(edited.ReadStart().basicRom, "");
    ASSERT_TRUE(edited.WriteExit(ExitSettings{}));
    EXPECT_EQ(ReadFile(edited.path()),
              "[PlayerWindow]\nCompleteMachine=1\nHardSID_Support=0\nKernalRom=/roms/k\n"
              "VideoStandard=NTSC\nx=-1\ny=-1\nLastTune=\n\n"
              "[Mixer]\ny=-1\nx=-1\n\n"
              "[FileBrowser]\nHeight=200\nWidth=200\nx=-1\ny=-1\nDirectory=\nLast_SID=\n"
              "FontHeight=0\nFontName=\n");
}

// The window's own values, and the rest from the shared UiSettings.
TEST_F(ProfileStoreTest, ExitValuesComeBackAtStartThroughUiSettings) {
    ExitSettings window;
    window.hardSidSupport = true;
    window.playerX = INT_MIN;
    window.playerY = INT_MAX;
    window.lastTune = "/" + std::string(100000, 'x') + ".sid";
    window.directory = "/home/u/My Tunes ";  // the blank at the end is part of the name
    uiSettings = {-300, 40, 640, 480, 12, -5, "a=b ; c [d] #e", 13, "DejaVu Sans"};
    ExitSettings exit = window;
    FillExitSettings(uiSettings, exit);
    IniSettingsStore store(PathOf("chipbox.INI"));
    ASSERT_TRUE(store.WriteExit(exit));
    const StartSettings start = store.ReadStart();
    EXPECT_EQ(start, exit);
    ResetUiSettings();
    KeepStartSettings(start, uiSettings);
    ExitSettings again = window;
    FillExitSettings(uiSettings, again);
    EXPECT_EQ(again, exit);
}

TEST_F(ProfileStoreTest, HandWrittenCrlfFileChangesOnlyWhereWritten) {
    const std::string path = WriteFile("chipbox.INI",
                                       "; my settings\r\n[PlayerWindow]\r\n  x = 10 \r\n# mine\r\n"
                                       "CompleteMachine=1\r\n\r\n[Other]\r\nkey=value\r\n");
    CProfileStore store(path);
    EXPECT_EQ(store.ReadInt("PlayerWindow", "x", 0), 10);
    EXPECT_EQ(store.ReadString("Other", "key"), "value");
    EXPECT_TRUE(store.WriteInt("PlayerWindow", "x", -20));
    EXPECT_TRUE(store.WriteInt("PlayerWindow", "y", 5));
    EXPECT_TRUE(store.WriteString("Mixer", "x", "1"));
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadFile(path),
              "; my settings\r\n[PlayerWindow]\r\n  x = -20\r\n# mine\r\nCompleteMachine=1\r\n"
              "y=5\r\n\r\n[Other]\r\nkey=value\r\n\r\n[Mixer]\r\nx=1\r\n");
}

TEST_F(ProfileStoreTest, ReadsFindAndWritesPlaceKeysByTheirSection) {
    struct Case {
        const char* before;
        const char* readBefore;  // S/k before the write
        const char* after;       // once S/k is written as "v"
    };
    for (const Case& c : std::vector<Case>{
             {"", "-", "[S]\nk=v\n"},
             {"[S]", "-", "[S]\nk=v\n"},
             {"[S]\na=1\n; about T\n\n[T]\n", "-", "[S]\na=1\nk=v\n; about T\n\n[T]\n"},
             {"[T]\nb=2", "-", "[T]\nb=2\n\n[S]\nk=v\n"},
             {"k=1\n", "-", "k=1\n\n[S]\nk=v\n"},
             {"[S\nk=1\n", "-", "[S\nk=1\n\n[S]\nk=v\n"},
             {"[ s ]\n  K =  old  \n", "old  ", "[ s ]\n  K =  v\n"},
             {"[S]\nk=1\n[s]\nk=2\n", "1", "[S]\nk=v\n[s]\nk=2\n"},
             {"[S]\nkk=1\nk x=2\n", "-", "[S]\nkk=1\nk x=2\nk=v\n"},
             {"[S]\nk=a=b\n", "a=b", "[S]\nk=v\n"},
         }) {
        SCOPED_TRACE(c.before);
        CProfileStore store(WriteFile("chipbox.INI", c.before));
        EXPECT_EQ(store.ReadString("S", "k", "-"), c.readBefore);
        EXPECT_TRUE(store.WriteString("S", "k", "v"));
        EXPECT_EQ(store.text(), c.after);
    }
}

TEST_F(ProfileStoreTest, IntegersReadAsWrittenOrAsTheDefault) {
    // clang-format off
    const std::vector<std::pair<std::string, int>> cases = {
        {" 42 ", 42}, {"\t-7\t", -7}, {"+7", 7}, {"-2147483648", INT_MIN}, {"2147483647", INT_MAX},
        {"12abc", 123}, {"", 123}, {"x", 123}, {"1.5", 123}, {"0x10", 123}, {"2147483648", 123},
        {"-2147483649", 123}, {"- 5", 123}, {"+-5", 123}, {"99999999999999999999", 123}};
    // clang-format on
    const auto key = [](std::size_t i) { return std::string("k").append(std::to_string(i)); };
    std::string text = "[N]\n";
    for (std::size_t i = 0; i < cases.size(); ++i)
        text.append(key(i)).append("=").append(cases[i].first).append("\n");
    const CProfileStore store(WriteFile("chipbox.INI", text));
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(store.ReadInt("N", key(i), 123), cases[i].second) << '"' << cases[i].first << '"';
}

TEST_F(ProfileStoreTest, WritesThatCannotBeStoredAreRefused) {
    struct Case {
        std::string section, key, value;
    };
    // clang-format off
    const Case cases[] = {
        {"", "k", "v"}, {" S", "k", "v"}, {"S]", "k", "v"}, {"S\n", "k", "v"}, {"S", "", "v"},
        {"S", "k=1", "v"}, {"S", ";k", "v"}, {"S", "[k", "v"}, {"S", "k ", "v"},
        {"S", "k", "a\nb"}, {"S", "k", "a\r"}};
    // clang-format on
    CProfileStore store(WriteFile("chipbox.INI", "[S]\nk=old\n"));
    for (const Case& c : cases) {
        EXPECT_FALSE(store.WriteString(c.section, c.key, c.value)) << c.section << '/' << c.key;
        EXPECT_EQ(store.text(), "[S]\nk=old\n");
    }
}

// Megabytes of other programs' sections, or one long line, are read whole
// and kept whole when the window writes its values.
TEST_F(ProfileStoreTest, LargeFilesAreReadWholeAndKeptWhole) {
    std::string lines = "[PlayerWindow]\nx=5\n\n[Big]\n";
    for (int i = 0; lines.size() < 8'500'000; ++i) lines += "key" + std::to_string(i) + "=v\n";
    const std::string many = WriteFile("many.INI", lines + "[Tail]\nlast=1\n");
    const std::string longLine =
        WriteFile("long.INI", "[FileBrowser]\nDirectory=" + std::string(2'000'000, 'd') + "\n");
    for (const std::string& path : {many, longLine}) {
        const std::string before = ReadFile(path);
        IniSettingsStore store(path);
        const StartSettings start = store.ReadStart();
        ASSERT_TRUE(store.WriteExit(start)) << path;
        // Everything past the first section (or all of a file of one section)
        // is there as it was, in one piece.
        const std::size_t second = before.find("\n[", 1);
        const std::string rest = before.substr(second == std::string::npos ? 0 : second);
        EXPECT_NE(ReadFile(path).find(rest), std::string::npos) << path;
        EXPECT_EQ(IniSettingsStore(path).ReadStart(), start) << path;
    }
    EXPECT_EQ(CProfileStore(many).ReadInt("Tail", "last", 0), 1);
}

// Past the limit the file is read so far and never replaced: this run's
// values are not written, and stderr says so once. The file then grows
// (sparsely) to 1 TiB, which a full read would not survive.
TEST_F(ProfileStoreTest, AFileLargerThanTheLimitIsLeftAsItIs) {
    const std::string path =
        WriteFile("chipbox.INI", "[FileBrowser]\nHeight=5\nDirectory=" +
                                     std::string(PROFILE_READ_LIMIT, 'a') + "\n[Mixer]\nx=7\n");
    const CProfileStore store(path);
    EXPECT_TRUE(store.tooLarge());
    EXPECT_EQ(store.ReadInt("FileBrowser", "Height", 0), 5);
    EXPECT_EQ(store.ReadString("FileBrowser", "Directory", "cut"), "cut");
    EXPECT_EQ(store.ReadInt("Mixer", "x", -1), -1);
    EXPECT_EQ(store.text(), "[FileBrowser]\nHeight=5\n");

    fs::resize_file(path, std::uintmax_t{1} << 40);
    const auto modified = fs::last_write_time(path);
    IniSettingsStore settings(path);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(settings.WriteExit(ExitSettings{}));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fs::file_size(path), std::uintmax_t{1} << 40);
    EXPECT_EQ(fs::last_write_time(path), modified);
    EXPECT_NE(said.find(path + " is larger than 16 MiB"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1);
}

TEST_F(ProfileStoreTest, FifoIsNeitherWaitedOnNorReplaced) {
    const std::string path = PathOf("chipbox.INI");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    auto reading =
        std::async(std::launch::async, [&path] { return std::make_unique<CProfileStore>(path); });
    // Should the store wait for a writer, one comes after a while, so that the
    // fault fails the test instead of hanging it.
    const bool waited = reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
    if (waited) close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
    EXPECT_FALSE(waited);
    const std::unique_ptr<CProfileStore> store = reading.get();
    EXPECT_EQ(store->ReadInt("Mixer", "x", -1), -1);
    EXPECT_TRUE(store->WriteInt("Mixer", "x", 3));
    EXPECT_FALSE(store->Save());
    EXPECT_TRUE(fs::is_fifo(path));
}

TEST_F(ProfileStoreTest, BinaryFileIsReadAndKeptByteForByte) {
    std::string garbage("\0\x01\n[Mixer]\n\0x=9\nx=3\n", 20);
    std::mt19937 random(64);
    for (int i = 0; i < 65536; ++i) garbage += static_cast<char>(random());
    const std::string path = WriteFile("chipbox.INI", garbage);
    CProfileStore store(path);
    EXPECT_EQ(ReadStartSettings(store).mixerX, 3);
    EXPECT_TRUE(store.WriteInt("Binary", "k", 1));
    ASSERT_TRUE(store.Save());
    EXPECT_TRUE(ReadFile(path).starts_with(garbage));  // not printed: 64 KiB of noise
    EXPECT_EQ(CProfileStore(path).ReadInt("Binary", "k", 0), 1);
}

TEST_F(ProfileStoreTest, FailedSaveLeavesTheOldFile) {
    const std::string path = WriteFile("chipbox.INI", "[S]\nk=old\n");
    CProfileStore store(path);
    ASSERT_TRUE(store.WriteString("S", "k", std::string(4096, 'n')));
    // A file size limit fails the write as a full disk would, for root too.
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    rlimit small = unlimited;
    small.rlim_cur = 1024;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = store.Save();
    setrlimit(RLIMIT_FSIZE, &unlimited);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(path), "[S]\nk=old\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);

    // A folder that is a regular file cannot be created, for root either.
    CProfileStore nested(PathOf("chipbox.INI/sub/chipbox.INI"));
    EXPECT_TRUE(nested.WriteInt("S", "k", 1));
    EXPECT_FALSE(nested.Save());
    EXPECT_EQ(ReadFile(path), "[S]\nk=old\n");
}

TEST_F(ProfileStoreTest, SymlinkedFileStaysALink) {
    const std::string real = WriteFile("real.INI", "[S]\nk=1\n");
    const std::string link = PathOf("chipbox.INI");
    fs::create_symlink(real, link);
    CProfileStore store(link);
    EXPECT_EQ(store.ReadInt("S", "k", 0), 1);
    EXPECT_TRUE(store.WriteInt("S", "k", 2));
    ASSERT_TRUE(store.Save());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "[S]\nk=2\n");
}

// Sets an environment variable, or unsets it for nullptr.
void SetVariable(const char* name, const char* value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

TEST(SettingsFilePathTest, FollowsTheConfigurationFolder) {
    const std::string working = (fs::current_path() / "chipbox.INI").string();
    const char* names[] = {"XDG_CONFIG_HOME", "HOME"};
    std::optional<std::string> saved[2];  // as they were, for the tests after
    for (int i = 0; i < 2; ++i)
        if (const char* value = std::getenv(names[i])) saved[i] = value;
    struct Case {
        const char *configHome, *home, *executable;
        std::string expected;
    };
    for (const Case& c : std::vector<Case>{
             {"/cfg", "/home/u", "/usr/bin/chipbox", "/cfg/chipbox.INI"},
             {nullptr, "/home/u", "chipbox", "/home/u/.config/chipbox.INI"},
             {"", "/home/u", "./Chipbox.exe", "/home/u/.config/Chipbox.INI"},
             {"cfg", "/home/u", "chipbox", "/home/u/.config/chipbox.INI"},
             {"/cfg", nullptr, "", "/cfg/chipbox.INI"},
             {nullptr, nullptr, "/opt/chipbox", working},
             {nullptr, "", "chipbox", working},
         }) {
        SetVariable(names[0], c.configHome);
        SetVariable(names[1], c.home);
        EXPECT_EQ(SettingsFilePath(c.executable), c.expected) << c.executable;
    }
    for (int i = 0; i < 2; ++i) SetVariable(names[i], saved[i] ? saved[i]->c_str() : nullptr);
}

}  // namespace
}  // namespace chipbox

namespace chipbox {
namespace {

// The collector's windows write their sections only when something of
// them changed; the complete machine's key is written alone, at once.
TEST(CollectorSettingsTest, SectionsAreWrittenOnlyWhenChangedAndReadBack) {
    const std::filesystem::path folder = test::FreshFolder("collector");
    const std::string path = (folder / "chipbox.INI").string();
    const std::string design = "[PlayerWindow]\nx=5\n; the user's own line\n";
    std::ofstream(path, std::ios::binary) << design;
    IniSettingsStore store(path);
    CollectorSettings settings = store.ReadCollector();
    EXPECT_EQ(settings, CollectorSettings{});
    ASSERT_TRUE(store.WriteCollector(settings));
    EXPECT_EQ(test::ReadFile(path), design) << "nothing changed, nothing written";

    settings.scope = {10, 20, 300, 200};
    ASSERT_TRUE(store.WriteCollector(settings));
    EXPECT_EQ(test::ReadFile(path), design + "\n[Scope]\nx=10\ny=20\nWidth=300\nHeight=200\n");

    settings.repeat = true;
    settings.defaultLengthMillis = 90'000;
    settings.songLengthsFile = "/hvsc/DOCUMENTS/Songlengths.md5";
    ASSERT_TRUE(store.WriteCollector(settings));
    const CollectorSettings read = IniSettingsStore(path).ReadCollector();
    EXPECT_EQ(read, settings);
    EXPECT_NE(test::ReadFile(path).find("[Playlist]\nx=-1\ny=-1\nWidth=0\nHeight=0\nAllSubsongs=1\n"
                                        "DefaultLength=1:30\nRepeat=1\nShuffle=0\n"),
              std::string::npos);

    ASSERT_TRUE(store.WriteCompleteMachine(true));
    EXPECT_TRUE(IniSettingsStore(path).ReadStart().completeMachine);
    EXPECT_EQ(test::ReadFile(path).find("[PlayerWindow]\nx=5\nCompleteMachine=1\n; the user's own"),
              0u);
    ASSERT_TRUE(store.WriteCompleteMachine(false));
    EXPECT_FALSE(IniSettingsStore(path).ReadStart().completeMachine);
    EXPECT_EQ(store.PlaylistFilePath(), (folder / "chipbox.m3u").string());
}

// A length that is no time keeps the default.
TEST(CollectorSettingsTest, BrokenValuesGiveTheDefaults) {
    const std::filesystem::path folder = test::FreshFolder("collector_broken");
    const std::string path = (folder / "chipbox.INI").string();
    std::ofstream(path, std::ios::binary)
        << "[Playlist]\nDefaultLength=soon\nRepeat=yes\nx=abc\n[Scope]\nWidth=-5\n";
    const CollectorSettings read = IniSettingsStore(path).ReadCollector();
    EXPECT_EQ(read.defaultLengthMillis, DEFAULT_SONG_MILLIS);
    EXPECT_FALSE(read.repeat);
    EXPECT_EQ(read.playlist.x, -1);
}

}  // namespace
}  // namespace chipbox
