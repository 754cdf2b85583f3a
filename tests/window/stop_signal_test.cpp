// SPDX-License-Identifier: GPL-2.0-or-later
// SIGTERM, SIGINT and SIGHUP end the window as closing it does, also from
// inside a modal window's own event loop. Each case runs in a process of its
// own (a death test), since it ends every event loop of that process.
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "ui/window/chipbox_app.h"
#include "ui/window/file_browse_dialog.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CChipboxDlg;

constexpr unsigned HANG_SECONDS = 10;  // a window the signal does not end is killed

// What is open when the signal comes, opened from inside the running window.
struct OpenWhenSignalled {
    const char* name;
    std::function<void(CChipboxDlg&)> open;
};

// Plays a tune, opens `what`, and from inside its loop sends `signal`; the
// process ends with 0 when the window's loop ended, playback stopped and the
// settings were written once.
[[noreturn]] void EndBySignal(const OpenWhenSignalled& what, int signal) {
    alarm(HANG_SECONDS);
    TestAudioDevice device;
    UseAudioDevice(device);
    RecordingSettings settings;
    settings.start.lastTune = TunePath("minimal");
    window::QtMessageBoxes boxes;  // real boxes with event loops of their own
    int status = -1;
    {
        CChipboxDlg dialog(settings, boxes);
        dialog.SetCommandLinePath(TunePath("minimal"));
        QTimer::singleShot(0, &dialog, [&] {
            QTimer::singleShot(200, [signal] { raise(signal); });
            what.open(dialog);
        });
        status = window::RunMainWindow(dialog, [] {});
    }
    // Without the exit handlers: a leak checker's report on libraries'
    // caches would change the status.
    std::_Exit(status == 0 && !playerState.playing && settings.written.size() == 1 ? 0 : 1);
}

const OpenWhenSignalled OPEN[] = {
    {"nothing", [](CChipboxDlg&) {}},
    {"song information box", [](CChipboxDlg& dlg) { dlg.ShowSongInformation(); }},
    {"About box", [](CChipboxDlg& dlg) { dlg.ShowAbout(); }},
    {"font chooser of the browser",
     [](CChipboxDlg& dlg) {
         dlg.OpenFileBrowser();
         dlg.fileBrowser()->fontButton()->click();
     }},
};

class StopSignalTest : public testing::TestWithParam<int> {};

TEST_P(StopSignalTest, EndsTheWindowAsClosingItDoesWhateverIsOpen) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const OpenWhenSignalled& what : OPEN)
        EXPECT_EXIT(EndBySignal(what, GetParam()), testing::ExitedWithCode(0), "") << what.name;
}

INSTANTIATE_TEST_SUITE_P(TermIntAndHup, StopSignalTest, testing::Values(SIGTERM, SIGINT, SIGHUP));

}  // namespace
}  // namespace chipbox::test
