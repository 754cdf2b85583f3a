// SPDX-License-Identifier: GPL-2.0-or-later
// Loading tunes into the window: from the command line, the last tune, a
// drop; files that load and files that do not.
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <fstream>
#include <iterator>

#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "sid/hardsid_link.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::MessageIcon;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

QString Text(const QLabel* label) { return label->text(); }

// The window as it is before any tune, so a test can see nothing changed.
struct Shown {
    QString title, name, author, released, subsong, button;
    bool operator==(const Shown&) const = default;
};

Shown WhatIsShown(const window::CChipboxDlg& dlg) {
    return {dlg.windowTitle(),         Text(dlg.nameField()),    Text(dlg.authorField()),
            Text(dlg.releasedField()), Text(dlg.subsongField()), dlg.playPauseButton()->text()};
}

// Sends a drag of `urls` onto the window and drops it; true when the window
// took the drag.
bool DropUrls(window::CChipboxDlg& dlg, const QList<QUrl>& urls) {
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

TEST_F(WindowTest, CommandLineTuneIsShownAndPlays) {
    const std::string path = TunePath("minimal");
    window::CChipboxDlg& dlg = OpenWindow(path);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("minimal.sid - Chipbox v0.965"));
    EXPECT_EQ(Text(dlg.nameField()), QStringLiteral("Minimal"));
    EXPECT_EQ(Text(dlg.authorField()), QStringLiteral("Chipbox tests"));
    EXPECT_EQ(Text(dlg.releasedField()), QStringLiteral("2026 Chipbox"));
    EXPECT_EQ(Text(dlg.subsongField()), QStringLiteral("1 / 1"));
    EXPECT_EQ(currentTunePath, path);
    // The Play command was queued and has run.
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Pause"));
    EXPECT_TRUE(device->open);
    EXPECT_EQ(device->queued.size(), 2u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WindowTest, LastTuneIsLoadedWithoutPlaying) {
    settings.start.lastTune = TunePath("subsongs");
    window::CChipboxDlg& dlg = OpenWindow();
    EXPECT_EQ(Text(dlg.nameField()), QStringLiteral("Subsongs"));
    EXPECT_EQ(Text(dlg.subsongField()), QStringLiteral("2 / 3"));
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Play"));
    EXPECT_FALSE(device->open);
}

TEST_F(WindowTest, CommandLineTuneWinsOverLastTune) {
    settings.start.lastTune = TunePath("subsongs");
    window::CChipboxDlg& dlg = OpenWindow(TunePath("minimal"));
    EXPECT_EQ(Text(dlg.nameField()), QStringLiteral("Minimal"));
    EXPECT_EQ(currentTunePath, TunePath("minimal"));
    EXPECT_TRUE(playerState.playing);
}

TEST_F(WindowTest, MissingFileWarnsAndChangesNothingButTheRecordedPath) {
    window::CChipboxDlg& dlg = OpenWindow(TunePath("minimal"));
    const Shown before = WhatIsShown(dlg);
    const std::string missing = "/nonexistent/folder/lost.sid";
    dlg.ReceiveHandOver(missing);
    Settle();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("/nonexistent/folder/lost.sid\ncould not be loaded..."));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Warning"));
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages.shown[0].owner, &dlg);
    EXPECT_EQ(WhatIsShown(dlg), before);
    EXPECT_TRUE(playerState.playing);  // the tune before plays on
    EXPECT_TRUE(device->open);
    EXPECT_EQ(currentTunePath, missing);
}

TEST_F(WindowTest, FileThatIsNoPsidTuneIsRefusedWithItsOwnMessage) {
    window::CChipboxDlg& dlg = OpenWindow();
    const Shown before = WhatIsShown(dlg);
    const std::string notes = WriteTempFile("notes.txt", {'R', 'S', 'I', 'D', 0, 2, 0, 0x7c});
    dlg.ReceiveHandOver(notes);
    Settle();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QString::fromLocal8Bit(notes) + QStringLiteral("\nis not a valid PSID File!"));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("?! Load Error"));
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(WhatIsShown(dlg), before);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Chipbox v0.965"));
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(currentTunePath, notes);
}

TEST_F(WindowTest, TuneTextsAreShownAsLatin1) {
    std::vector<std::uint8_t> tune = ReadFile(TunePath("minimal"));
    const std::uint8_t name[] = {'M', 0xE4, 'd', 'c', 'h', 'e', 'n', ' ', '&', ' ', 0xB5, 0};
    std::copy(std::begin(name), std::end(name), tune.begin() + 22);
    window::CChipboxDlg& dlg = OpenWindow(WriteTempFile("umlaut.sid", tune));
    EXPECT_EQ(Text(dlg.nameField()), QString::fromUtf8("Mädchen & µ"));
    EXPECT_EQ(dlg.tuneName(), QString::fromUtf8("Mädchen & µ"));
}

TEST_F(WindowTest, DropPlaysTheFirstLocalFileOnly) {
    window::CChipboxDlg& dlg = OpenWindow();
    const QList<QUrl> urls{QUrl(QStringLiteral("https://example.org/remote.sid")),
                           QUrl::fromLocalFile(QString::fromLocal8Bit(TunePath("subsongs"))),
                           QUrl::fromLocalFile(QString::fromLocal8Bit(TunePath("minimal")))};
    ASSERT_TRUE(DropUrls(dlg, urls));
    Settle();
    EXPECT_EQ(Text(dlg.nameField()), QStringLiteral("Subsongs"));
    EXPECT_EQ(currentTunePath, TunePath("subsongs"));
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Pause"));
}

TEST_F(WindowTest, DragWithoutLocalFilesIsRefused) {
    window::CChipboxDlg& dlg = OpenWindow();
    EXPECT_FALSE(DropUrls(dlg, {QUrl(QStringLiteral("https://example.org/remote.sid"))}));
    EXPECT_FALSE(DropUrls(dlg, {}));
    Settle();
    EXPECT_TRUE(currentTunePath.empty());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Chipbox v0.965"));
}

TEST_F(WindowTest, StartSettingsMoveTheWindowAndChangeTheFolder) {
    const std::string folder = std::filesystem::path(TunePath("minimal")).parent_path().string();
    settings.start.playerX = 40;
    settings.start.playerY = 30;
    settings.start.directory = folder;
    window::CChipboxDlg& dlg = OpenWindow();
    EXPECT_EQ(dlg.pos(), QPoint(40, 30));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(folder));
    EXPECT_EQ(settings.reads, 1);
}

TEST_F(WindowTest, NegativeXLeavesTheWindowAndAMissingFolderTheDirectory) {
    settings.start.playerX = -5;
    settings.start.playerY = 30;
    settings.start.directory = "/nonexistent/folder";
    Window().move(100, 110);
    window::CChipboxDlg& dlg = OpenWindow();
    EXPECT_EQ(dlg.pos(), QPoint(100, 110));
    EXPECT_EQ(std::filesystem::current_path(), startDirectory);
}

TEST_F(WindowTest, HardSidSettingWithoutCardLibraryWarnsAndTurnsItOff) {
    settings.start.hardSidSupport = true;
    window::CChipboxDlg& dlg = OpenWindow();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Fatal Error"));
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Error: HardSID.DLL not found.\n\nThis feature only works if "
                             "you\nhave a hardsid soundcard!"));
    EXPECT_FALSE(dlg.hardSidBox()->isChecked());
    EXPECT_FALSE(hardSidMode);
}

}  // namespace
}  // namespace chipbox::test
