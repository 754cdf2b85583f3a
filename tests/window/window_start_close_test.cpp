// SPDX-License-Identifier: GPL-2.0-or-later
// The window's start and close: tunes from the command line, the last tune
// and a drop, files that do not load, the start settings; at closing,
// playback ends first, then the settings are written.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "core/c64_memory.h"
#include "playback/machine_playback.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CChipboxDlg;
namespace fs = std::filesystem;

// The title, the tune's three texts, the subsong and the
// Play/Pause button.
QStringList Texts(const CChipboxDlg& dlg) {
    return {dlg.windowTitle(),
            Named<QLabel>(dlg, "nameField")->text(),
            Named<QLabel>(dlg, "authorField")->text(),
            Named<QLabel>(dlg, "releasedField")->text(),
            Named<QLabel>(dlg, "subsongField")->text(),
            Named<QPushButton>(dlg, "playPauseButton")->text()};
}

TEST_F(WindowTest, CommandLineTuneIsShownAndPlaysAndWinsOverTheLastTune) {
    settings.start.lastTune = TunePath("subsongs");
    CChipboxDlg& dlg = OpenWindow(TunePath("minimal"));
    EXPECT_EQ(Texts(dlg), Utf8({"minimal.sid - Chipbox v0.965", "Minimal", "Chipbox tests",
                                "2026 Chipbox", "1 / 1", "&Pause"}));
    EXPECT_EQ(currentTunePath, TunePath("minimal"));
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(device->open);
    EXPECT_TRUE(messages.shown.empty());
}

// An RSID plays on the real machine; the settings choose its video standard
// and ROM images, and an image that cannot be used is told and left out.
TEST_F(WindowTest, AnRsidTunePlaysOnTheRealMachineWithTheSettingsChoices) {
    settings.start.videoStandard = "NTSC";
    settings.start.kernalRom = "/nonexistent/kernal.rom";
    CChipboxDlg& dlg = OpenWindow(TunePath("rsid_cia_player"));
    EXPECT_EQ(Texts(dlg), Utf8({"rsid_cia_player.sid - Chipbox v0.965", "CIA player",
                                "Chipbox tests", "2026 Chipbox", "1 / 1", "&Pause"}));
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(MachinePlays());
    EXPECT_EQ(MachineVideoStandard(), machine::VideoStandard::Ntsc);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("/nonexistent/kernal.rom: No such file or directory, so no KERNAL "
                             "ROM image"));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("ROM images"));
}

// The path is recorded all the same; the tune before plays on.
TEST_F(WindowTest, FileThatDoesNotLoadIsReportedAndChangesNothingShown) {
    CChipboxDlg& dlg = OpenWindow(TunePath("minimal"));
    const QStringList before = Texts(dlg);
    const std::string missing = "/nonexistent/folder/l\xc3\xb6st.sid";  // UTF-8 bytes
    dlg.ReceiveHandOver(missing);
    Settle();
    EXPECT_EQ(
        messages.shown,
        (std::vector<ShownMessage>{{&dlg,
                                    QString::fromUtf8("/nonexistent/folder/löst.sid\n"
                                                      "could not be loaded..."),
                                    QStringLiteral("Warning"), window::MessageIcon::Exclamation}}));
    EXPECT_EQ(Texts(dlg), before);
    EXPECT_EQ(currentTunePath, missing);
}

// Sends a drag of `urls` onto the window and drops it; true when the window
// took the drag.
bool DropUrls(CChipboxDlg& dlg, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint where = dlg.rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &drop);
    return true;
}

// The last tune is loaded without playing; a drop plays its first local file.
// The tune's texts are Latin-1.
TEST_F(WindowTest, LastTuneWaitsAndADropPlaysItsFirstLocalFile) {
    CChipboxDlg& dlg = WindowWith("subsongs");
    EXPECT_EQ(Texts(dlg), Utf8({"subsongs.sid - Chipbox v0.965", "Subsongs", "Chipbox tests",
                                "2026 Chipbox", "2 / 3", "&Play"}));
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(device->open);

    std::string tune = ReadFile(TunePath("minimal"));
    tune.replace(22, 12, "M\344dchen & \265", 12);  // with its closing zero
    const std::string umlaut = WriteTempFile("umlaut.sid", {tune.begin(), tune.end()});
    const QUrl remote(QStringLiteral("https://example.org/remote.sid"));
    EXPECT_FALSE(DropUrls(dlg, {remote}));
    EXPECT_FALSE(DropUrls(dlg, {}));
    auto local = [](const std::string& path) {
        return QUrl::fromLocalFile(QString::fromLocal8Bit(path));
    };
    ASSERT_TRUE(DropUrls(dlg, {remote, local(umlaut), local(TunePath("subsongs"))}));
    Settle();
    EXPECT_EQ(Texts(dlg), Utf8({"umlaut.sid - Chipbox v0.965", "Mädchen & µ", "Chipbox tests",
                                "2026 Chipbox", "1 / 1", "&Pause"}));
    EXPECT_EQ(dlg.tuneName(), QString::fromUtf8("Mädchen & µ"));
    EXPECT_EQ(currentTunePath, umlaut);
    EXPECT_TRUE(playerState.playing);
}

// Only a regular file is read: a FIFO named like a tune gets the load message
// at once, as the last tune, handed over or dropped.
TEST_F(WindowTest, AFifoIsRefusedAtOnceAsLastTuneHandOverOrDrop) {
    const UnwrittenFifo fifo(WriteTempFile("pipe", {}) + ".sid");
    settings.start.lastTune = fifo.path();
    CChipboxDlg& dlg = OpenWindow();
    dlg.ReceiveHandOver(fifo.path());
    Settle();
    ASSERT_TRUE(DropUrls(dlg, {QUrl::fromLocalFile(QString::fromStdString(fifo.path()))}));
    Settle();
    const ShownMessage refused{&dlg,
                               QString::fromStdString(fifo.path() + "\ncould not be loaded..."),
                               QStringLiteral("Warning"), window::MessageIcon::Exclamation};
    EXPECT_EQ(messages.shown, std::vector<ShownMessage>(3, refused));
    EXPECT_FALSE(fifo.released());
    EXPECT_FALSE(playerState.playing);
}

// Runs the program with `arguments` and no display at all; its status and
// what it printed on stdout and stderr.
struct ProgramRun {
    int status;
    QString out, err;
};
ProgramRun RunWithoutDisplay(const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(CHIPBOX_PROGRAM), arguments);
    EXPECT_TRUE(program.waitForFinished(20000));
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError())};
}

// As every program answers them, on the terminal and without a display; any
// other "--" argument is an unknown option, not a file to load.
TEST(ProgramOptions, HelpAndVersionAnswerOnTheTerminalAndOtherOptionsAreRefused) {
    const ProgramRun help = RunWithoutDisplay({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: chipbox [TUNE.sid]\n")))
        << help.out.toStdString();
    EXPECT_TRUE(help.err.isEmpty()) << help.err.toStdString();
    const ProgramRun version = RunWithoutDisplay({QStringLiteral("--version")});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("Chipbox v0.965\n"));
    const ProgramRun unknown = RunWithoutDisplay({QStringLiteral("--hlep")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("unknown option --hlep")))
        << unknown.err.toStdString();
    EXPECT_TRUE(unknown.out.isEmpty());
}

// A negative x leaves the window where it was, a folder that is gone the
// working folder.
class StartPlaceTest : public WindowTest, public testing::WithParamInterface<bool> {};

TEST_P(StartPlaceTest, StartSettingsMoveTheWindowAndChangeTheFolderWhenTheyCan) {
    const bool usable = GetParam();
    const std::string folder = fs::path(TunePath("minimal")).parent_path().string();
    settings.start.playerX = usable ? 40 : -5;
    settings.start.playerY = 30;
    settings.start.directory = usable ? folder : "/nonexistent/folder";
    Window().move(100, 110);
    CChipboxDlg& dlg = OpenWindow();
    EXPECT_EQ(dlg.pos(), usable ? QPoint(40, 30) : QPoint(100, 110));
    EXPECT_EQ(fs::current_path(), usable ? fs::path(folder) : startDirectory);
    EXPECT_EQ(settings.reads, 1);
}

INSTANTIATE_TEST_SUITE_P(UsableOrNot, StartPlaceTest, testing::Bool());

constexpr std::uint16_t FRAME_COUNTER = 0x0380;  // the minimal tune counts its frames here

// Closed by the close box while playing, or by Escape while paused.
class CloseTest : public WindowTest, public testing::WithParamInterface<bool> {};

// Ending playback runs the tune's init once more, which clears its frame
// counter. Closing again, a command or a hand-over afterwards change nothing.
TEST_P(CloseTest, PlaybackEndsBeforeTheSettingsAreWrittenOnce) {
    bool playingAtWrite = true;
    int framesAtWrite = -1;
    settings.onWrite = [&] {
        playingAtWrite = playerState.playing;
        framesAtWrite = c64Memory.bytes[FRAME_COUNTER];
    };
    CChipboxDlg& dlg = OpenWindow(TunePath("minimal"));
    FinishBuffers(2);
    ASSERT_GT(c64Memory.bytes[FRAME_COUNTER], 0);
    QSignalSpy finished(&dlg, &QDialog::finished);
    dlg.move(50, 60);
    if (GetParam()) {
        Click(Named<QPushButton>(dlg, "playPauseButton"));
        ASSERT_TRUE(playerState.paused);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    } else {
        dlg.close();
    }
    ASSERT_EQ(settings.written.size(), 1u);
    EXPECT_FALSE(playingAtWrite);
    EXPECT_EQ(framesAtWrite, 0);
    const ExitSettings& exit = settings.written[0];
    EXPECT_EQ(exit.lastTune, TunePath("minimal"));
    EXPECT_EQ(exit.directory, fs::current_path().string());
    EXPECT_EQ(QPoint(exit.playerX, exit.playerY), dlg.frameGeometry().topLeft());
    EXPECT_FALSE(exit.hardSidSupport);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(finished.size(), 1);

    dlg.reject();
    dlg.PlayOrPause();
    dlg.ReceiveHandOver(TunePath("subsongs"));
    Settle();
    EXPECT_EQ(settings.written.size(), 1u);
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(currentTunePath, TunePath("minimal"));
}

INSTANTIATE_TEST_SUITE_P(CloseBoxOrEscapeWhilePaused, CloseTest, testing::Bool());

}  // namespace
}  // namespace chipbox::test
