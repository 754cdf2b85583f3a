// SPDX-License-Identifier: GPL-2.0-or-later
// Sound through a real sound server: a PulseAudio of the test's own plays
// into a null sink whose monitor is recorded, while chipbox-cli and the window
// play the demo tune. The recording must hold the WAV render of the same ten
// seconds sample for sample, with no gap: a buffer refilled late shows as the
// silence the device played meanwhile. The window is tried alone, while its
// browser lists a folder of 20,000 files, and while the browser's font
// chooser is open, and while its playlist reads a thousand tunes: its thread refills the sound buffers, so whatever holds
// it longer than a buffer's 160 ms is a dropout.
//
// The window runs on an X server of the test's own, without a session bus,
// and is driven with xdotool's keys.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "child_process.h"
#include "recording.h"
#include "test_support.h"

namespace chipbox::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int RATE = 44100;
constexpr std::size_t SECONDS_COMPARED = 10;
constexpr std::size_t COMPARED = SECONDS_COMPARED * RATE;
constexpr const char* SINK = "chipbox_test";
constexpr int BROWSER_FILES = 20000;
constexpr int PLAYLIST_TUNES = 1000;

using Environment = std::map<std::string, std::string>;

std::size_t FileSize(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

// A PulseAudio server with a null sink of 16-bit mono at 44,100 Hz, private
// to the test. The sink does no rewinds: its monitor then records exactly
// what the sink played, also at the start of a stream.
class SoundServer {
public:
    explicit SoundServer(const fs::path& folder) : runtime_(folder / "run") {
        fs::create_directories(runtime_);
        fs::permissions(runtime_, fs::perms::owner_all);
        environment_ = {{"XDG_RUNTIME_DIR", runtime_.string()},
                        {"HOME", folder.string()},
                        {"PULSE_SINK", SINK}};
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1",
                                     "--disallow-exit", "--use-pid-file=no",
                                     "--load=module-native-protocol-unix",
                                     std::string("--load=module-null-sink sink_name=") + SINK +
                                         " rate=44100 channels=1 format=s16le norewinds=1"},
            environment_, (folder / "pulseaudio.log").string());
        for (int attempt = 0; attempt < 200 && !ready_; ++attempt) {
            ready_ = RunToEnd({"pactl", "info"}, environment_, seconds(5)) == 0;
            if (!ready_) std::this_thread::sleep_for(milliseconds(50));
        }
    }
    ~SoundServer() {
        server_->Signal(SIGTERM);
        server_->Wait(seconds(5));
    }
    bool ready() const { return ready_; }
    const Environment& environment() const { return environment_; }

private:
    fs::path runtime_;
    Environment environment_;
    std::unique_ptr<ChildProcess> server_;
    bool ready_ = false;
};

// Xvfb on the first free display, which it names once it listens.
class XServer {
public:
    XServer() {
        int ends[2];
        if (pipe(ends) != 0) return;
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(ends[1]), "-screen", "0",
                                     "1024x768x24", "-nolisten", "tcp"},
            Environment{});
        close(ends[1]);
        pollfd named{ends[0], POLLIN, 0};
        char number[16] = {};
        if (poll(&named, 1, 20000) > 0 && read(ends[0], number, sizeof number - 1) > 0)
            display_ = ":" + std::string(number, strcspn(number, "\n"));
        close(ends[0]);
    }
    ~XServer() {
        if (server_) server_->Signal(SIGTERM);
    }
    const std::string& display() const { return display_; }

private:
    std::unique_ptr<ChildProcess> server_;
    std::string display_;
};

class SoundServerTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ =
            new fs::path(fs::temp_directory_path() / ("chipbox-sound-" + std::to_string(getpid())));
        fs::remove_all(*folder_);
        fs::create_directories(*folder_);
        server_ = new SoundServer(*folder_);
        x_ = new XServer;
        render_ = new std::vector<std::int16_t>;
        const fs::path wav = *folder_ / "render.wav";
        if (RunToEnd({CHIPBOX_CLI, "-o", wav.string(), "--seconds",
                      std::to_string(SECONDS_COMPARED), CHIPBOX_DEMO_TUNE},
                     {}, seconds(60)) == 0)
            *render_ = ReadWavSamples(wav.string());
    }
    static void TearDownTestSuite() {
        delete x_;
        delete server_;
        delete render_;
        fs::remove_all(*folder_);
        delete folder_;
    }

    void SetUp() override {
        ASSERT_TRUE(server_->ready()) << "see " << (*folder_ / "pulseaudio.log");
        ASSERT_EQ(render_->size(), COMPARED);
    }

    // Records the sink's monitor while `play` runs; what it recorded.
    template <typename Play>
    std::vector<std::int16_t> Record(const std::string& name, Play play) {
        const fs::path file = *folder_ / (name + ".raw");
        ChildProcess recorder(
            {"parec", "--latency-msec=20", "-d", std::string(SINK) + ".monitor", "--format=s16le",
             "--rate=44100", "--channels=1", "--raw", file.string()},
            server_->environment());
        // Until it delivers, a stream's start could go unrecorded.
        for (int i = 0; i < 1000 && FileSize(file) < RATE / 5; ++i)
            std::this_thread::sleep_for(milliseconds(10));
        EXPECT_GE(FileSize(file), std::size_t{RATE / 5}) << "the recorder did not start";
        play(file);
        recorder.Signal(SIGINT);
        recorder.Wait(seconds(5));
        return ReadRawSamples(file.string());
    }

    // Waits until the recording at `file` holds the whole render, or gives up.
    void WaitForTheRender(const fs::path& file) {
        const auto deadline = std::chrono::steady_clock::now() + seconds(40);
        while (std::chrono::steady_clock::now() < deadline) {
            const RecordingMatch match = MatchRecording(*render_, ReadRawSamples(file.string()));
            if (match.found && FileSize(file) / 2 >= match.start + COMPARED + RATE / 10) return;
            std::this_thread::sleep_for(milliseconds(250));
        }
    }

    Environment WindowEnvironment() const {
        Environment environment = server_->environment();
        environment["DISPLAY"] = x_->display();
        environment["QT_QPA_PLATFORM"] = "";
        environment["DBUS_SESSION_BUS_ADDRESS"] = "";  // as on a desktop without one
        environment["XDG_CONFIG_HOME"] = (*folder_ / "config").string();
        environment["SDL_AUDIODRIVER"] = "pulseaudio";
        return environment;
    }

    // The id of the window named `name` once it is shown, or "".
    std::string FindWindow(const std::string& name) const {
        const fs::path found = *folder_ / "window-id";
        if (RunToEnd({"timeout", "20", "xdotool", "search", "--sync", "--name", name},
                     {{"DISPLAY", x_->display()}}, seconds(30), found.string()) != 0)
            return {};
        std::ifstream file(found);
        std::string id;
        file >> id;
        return id;
    }

    void Keys(const std::string& window, const std::string& keys) const {
        EXPECT_EQ(
            RunToEnd({"xdotool", "windowfocus", "--sync", window, "key", "--clearmodifiers", keys},
                     {{"DISPLAY", x_->display()}}, seconds(20)),
            0)
            << keys;
    }

    // Plays the demo in the window; `act` runs once the window is shown. The
    // window is then ended by SIGTERM, which must end it however it stands.
    std::vector<std::int16_t> PlayInTheWindow(const std::string& name,
                                              const std::function<void(const std::string&)>& act) {
        fs::create_directories(*folder_ / "config");
        std::ofstream(*folder_ / "config" / "chipbox.INI")
            << "[FileBrowser]\nDirectory=" << (*folder_ / "many").string() << "\n";
        return Record(name, [&](const fs::path& file) {
            ChildProcess window({CHIPBOX_PROGRAM, CHIPBOX_DEMO_TUNE}, WindowEnvironment(),
                                (*folder_ / (name + ".log")).string());
            const std::string shown = FindWindow("demo.sid - Chipbox");
            ASSERT_FALSE(shown.empty()) << "the window did not show";
            act(shown);
            WaitForTheRender(file);
            window.Signal(SIGTERM);
            EXPECT_EQ(window.Wait(seconds(10)), std::optional<int>(0));
        });
    }

    static fs::path* folder_;
    static SoundServer* server_;
    static XServer* x_;
    static std::vector<std::int16_t>* render_;
};

fs::path* SoundServerTest::folder_ = nullptr;
SoundServer* SoundServerTest::server_ = nullptr;
XServer* SoundServerTest::x_ = nullptr;
std::vector<std::int16_t>* SoundServerTest::render_ = nullptr;

testing::AssertionResult HoldsTheRender(const std::vector<std::int16_t>& render,
                                        const std::vector<std::int16_t>& recording) {
    const RecordingMatch match = MatchRecording(render, recording);
    if (match.found && match.sameSamples == render.size()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << match.Describe(render.size());
}

TEST_F(SoundServerTest, TheTerminalPlayersStreamIsTheRender) {
    const auto recording = Record("cli", [&](const fs::path&) {
        EXPECT_EQ(
            RunToEnd(
                {CHIPBOX_CLI, "--seconds", std::to_string(SECONDS_COMPARED), CHIPBOX_DEMO_TUNE},
                [&] {
                    Environment environment = server_->environment();
                    environment["SDL_AUDIODRIVER"] = "pulseaudio";
                    return environment;
                }(),
                seconds(60)),
            0);
    });
    EXPECT_TRUE(HoldsTheRender(*render_, recording));
}

TEST_F(SoundServerTest, TheWindowsStreamIsTheRender) {
    EXPECT_TRUE(HoldsTheRender(*render_, PlayInTheWindow("window", [](const std::string&) {})));
}

TEST_F(SoundServerTest, TheWindowsStreamIsTheRenderWhileTheBrowserListsTwentyThousandFiles) {
    const fs::path many = *folder_ / "many";
    fs::create_directories(many);
    for (int i = 0; i < BROWSER_FILES; ++i)
        std::ofstream(many / ("tune" + std::to_string(100000 + i) + ".sid")) << "PSID";
    const auto recording = PlayInTheWindow("browser", [&](const std::string& window) {
        std::this_thread::sleep_for(seconds(2));
        Keys(window, "Return");  // Open has the focus
        EXPECT_FALSE(FindWindow("^" + many.string() + "$").empty()) << "no browser";
    });
    EXPECT_TRUE(HoldsTheRender(*render_, recording));
}

TEST_F(SoundServerTest, TheWindowsStreamIsTheRenderWhileTheFontChooserIsOpen) {
    const fs::path many = *folder_ / "many";
    fs::create_directories(many);
    const auto recording = PlayInTheWindow("font", [&](const std::string& window) {
        Keys(window, "Return");
        const std::string browser = FindWindow("^" + many.string() + "$");
        ASSERT_FALSE(browser.empty()) << "no browser";
        std::this_thread::sleep_for(seconds(2));
        Keys(browser, "alt+f");
        EXPECT_FALSE(FindWindow("Select Font").empty()) << "no font chooser";
    });
    EXPECT_TRUE(HoldsTheRender(*render_, recording));
}

// The playlist kept from the last run names a thousand tunes: the window
// reads their headers at start, on a thread of its own, while it plays.
TEST_F(SoundServerTest, TheWindowsStreamIsTheRenderWhileThePlaylistReadsAThousandTunes) {
    const fs::path tunes = *folder_ / "thousand";
    fs::create_directories(tunes);
    fs::create_directories(*folder_ / "config");
    std::ofstream list(*folder_ / "config" / "chipbox.m3u");
    list << "#EXTM3U\n";
    for (int i = 0; i < PLAYLIST_TUNES; ++i) {
        const fs::path tune = tunes / ("tune" + std::to_string(1000 + i) + ".sid");
        fs::copy_file(CHIPBOX_DEMO_TUNE, tune, fs::copy_options::overwrite_existing);
        list << tune.string() << "\n";
    }
    list.close();
    const auto recording = PlayInTheWindow("playlist", [](const std::string&) {});
    EXPECT_TRUE(HoldsTheRender(*render_, recording));
    fs::remove(*folder_ / "config" / "chipbox.m3u");
}

}  // namespace
}  // namespace chipbox::test
