// SPDX-License-Identifier: GPL-2.0-or-later
// Closing the window: playback ends first, then the settings are written.
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <sstream>

#include "core/c64_memory.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "ui/window/chipbox_dlg.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CChipboxDlg;

constexpr std::uint16_t FRAME_COUNTER = 0x0380;  // the minimal tune counts its frames here

// What the engine looked like when the settings were written.
struct AtWrite {
    bool playing = true;
    bool streamOpen = true;
    std::uint8_t frames = 0xFF;
};

class ShutdownTest : public WindowTest {
protected:
    ShutdownTest() {
        settings.onWrite = [this] {
            atWrite.playing = playerState.playing;
            atWrite.streamOpen = audioStream.open;
            atWrite.frames = c64Memory.bytes[FRAME_COUNTER];
        };
    }
    CChipboxDlg& PlayingWindow() {
        CChipboxDlg& dlg = OpenWindow(TunePath("minimal"));
        FinishBuffers(2);
        EXPECT_GT(c64Memory.bytes[FRAME_COUNTER], 0);
        return dlg;
    }
    AtWrite atWrite;
};

TEST_F(ShutdownTest, CloseBoxEndsPlaybackBeforeTheSettingsAreWritten) {
    CChipboxDlg& dlg = PlayingWindow();
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.move(50, 60);
    dlg.close();
    ASSERT_EQ(settings.written.size(), 1u);
    EXPECT_FALSE(atWrite.playing);
    EXPECT_FALSE(atWrite.streamOpen);
    // The init routine ran once more, which clears the frame counter.
    EXPECT_EQ(atWrite.frames, 0);
    const ExitSettings& exit = settings.written[0];
    EXPECT_EQ(exit.lastTune, TunePath("minimal"));
    EXPECT_EQ(exit.directory, std::filesystem::current_path().string());
    EXPECT_EQ(exit.playerX, dlg.frameGeometry().x());
    EXPECT_EQ(exit.playerY, dlg.frameGeometry().y());
    EXPECT_FALSE(exit.hardSidSupport);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(finished.size(), 1);
}

TEST_F(ShutdownTest, EscapeWhilePausedRunsTheSameShutdown) {
    CChipboxDlg& dlg = PlayingWindow();
    QTest::mouseClick(dlg.playPauseButton(), Qt::LeftButton);
    ASSERT_TRUE(playerState.paused);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    ASSERT_EQ(settings.written.size(), 1u);
    EXPECT_FALSE(atWrite.playing);
    EXPECT_FALSE(atWrite.streamOpen);
    EXPECT_EQ(atWrite.frames, 0);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(ShutdownTest, SettingsAreWrittenOnceAndCommandsAfterwardsAreIgnored) {
    CChipboxDlg& dlg = PlayingWindow();
    dlg.reject();
    dlg.reject();
    dlg.OnCommand(window::IDC_PLAY_PAUSE);
    dlg.ReceiveHandOver(TunePath("subsongs"));
    Settle();
    EXPECT_EQ(settings.written.size(), 1u);
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(currentTunePath, TunePath("minimal"));
}

TEST_F(ShutdownTest, StartAndExitGoThroughTheSettingsFile) {
    const std::string ini = WriteTempFile("chipbox.INI", {});
    {
        std::ofstream file(ini);
        file << "[PlayerWindow]\nx=25\ny=35\nLastTune=" << TunePath("subsongs") << "\n";
    }
    IniSettingsStore store(ini);
    {
        CChipboxDlg dlg(store, messages);
        dlg.OnInitDialog();
        dlg.show();
        Settle();
        EXPECT_EQ(dlg.pos(), QPoint(25, 35));
        EXPECT_EQ(currentTunePath, TunePath("subsongs"));
        EXPECT_FALSE(playerState.playing);
        dlg.move(70, 80);
        dlg.close();
    }
    std::ifstream file(ini);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("LastTune=" + TunePath("subsongs") + "\n"), std::string::npos);
    EXPECT_NE(text.str().find("x=70\ny=80\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("HardSID_Support=0\n"), std::string::npos);
    EXPECT_NE(text.str().find("Directory=" + std::filesystem::current_path().string() + "\n"),
              std::string::npos);
}

}  // namespace
}  // namespace chipbox::test
