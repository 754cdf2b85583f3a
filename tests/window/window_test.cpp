// SPDX-License-Identifier: GPL-2.0-or-later
// The main window driven as a user drives it: its start from the command line,
// the last tune, a drop or a second start of the program; its controls and
// menus, and the boxes they open; at closing, playback ends first, then the
// settings are written.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>

#include "core/c64_memory.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "sid/sid_state.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "ui/window/about_dlg.h"
#include "ui/window/command_line.h"
#include "ui/window/dialog_units.h"
#include "ui/window/exit_status.h"
#include "ui/window/file_browse_dialog.h"
#include "ui/window/instance_channel.h"
#include "ui/window/mixer.h"
#include "ui/window/tooltip_ctrl.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CChipboxDlg;
using window::CMixer;
using ControlsTest = WindowTest;

// A menu's items: a separator as "-", a disabled item in parentheses.
QStringList Items(const QList<QAction*>& actions) {
    QStringList items;
    for (const QAction* action : actions) {
        const QString text = action->isSeparator() ? QStringLiteral("-") : action->text();
        items << (action->isEnabled() ? text : u'(' + text + u')');
    }
    return items;
}

// From a pause, Next ends the pause and plays the new song; at the ends Next
// and Previous change nothing. The bar shows the play calls of the previous
// fill while sound plays, at least 1, else 0.
TEST_F(ControlsTest, ButtonsSetTheSongTheButtonTextTheBarAndTheState) {
    CChipboxDlg& dlg = WindowWith("subsongs");  // at the second of three
    QPushButton *play = dlg.playPauseButton(), *stop = dlg.stopButton();
    QPushButton *next = dlg.nextButton(), *previous = dlg.previousButton();
    const struct {
        QPushButton* clicked;
        const char *subsong, *text;
        bool playing, paused;
    } steps[] = {
        {play, "2 / 3", "&Pause", true, false},     {play, "2 / 3", "&Play", true, true},
        {play, "2 / 3", "&Pause", true, false},     {play, "2 / 3", "&Play", true, true},
        {next, "3 / 3", "&Pause", true, false},     {next, "3 / 3", "&Pause", true, false},
        {previous, "2 / 3", "&Pause", true, false}, {previous, "1 / 3", "&Pause", true, false},
        {previous, "1 / 3", "&Pause", true, false}, {stop, "1 / 3", "&Play", false, false},
        {stop, "1 / 3", "&Play", false, false}};
    for (const auto& step : steps) {
        const auto row = &step - steps;
        Click(step.clicked);
        Settle();  // the queued Play
        const bool sounding = step.playing && !step.paused;
        if (sounding) FinishBuffers(2);  // fails while the device is paused
        EXPECT_EQ(dlg.subsongField()->text(), QString::fromUtf8(step.subsong)) << row;
        EXPECT_EQ(dlg.playPauseButton()->text(), QString::fromUtf8(step.text)) << row;
        EXPECT_EQ(playerState.playing, step.playing) << row;
        EXPECT_EQ(playerState.paused, step.paused) << row;
        EXPECT_EQ(dlg.cpuBar()->value(), sounding ? 1 : 0) << row;  // its play call does little
    }
    dlg.ReceiveHandOver(TunePath("minimal"));  // more work per play call
    Settle();
    FinishBuffers(2);
    EXPECT_GT(dlg.cpuBar()->value(), 1);
}

// The speed items sit at the right edge, after the pop-ups; no mark shows the
// speed in force.
TEST_F(ControlsTest, MenusHoldTheirItemsInOrderAndTheSpeedItemsSetTheSpeed) {
    CChipboxDlg& dlg = WindowWith("minimal");
    const QList<QAction*> bar = dlg.menuBar()->actions();
    ASSERT_EQ(Items(bar), Utf8({"(&File)", "&View"}));
    EXPECT_EQ(Items(bar[0]->menu()->actions()), Utf8({"(&Open Sid File)"}));
    EXPECT_EQ(Items(bar[1]->menu()->actions()), Utf8({"&Mixer", "-", "Song &Information"}));
    const QList<QAction*> right = dlg.speedBar()->actions();
    ASSERT_EQ(Items(right), Utf8({"  1x  ", "  2x  ", "  4x  ", "&Info"}));
    ASSERT_NE(right[3]->menu(), nullptr);
    EXPECT_EQ(Items(right[3]->menu()->actions()), Utf8({"Inf&o über Chipbox..."}));
    EXPECT_EQ(Items(dlg.contextMenu()->actions()), Utf8({"Inf&o über Chipbox..."}));

    for (const auto& [item, speed] :
         {std::pair{"  2x  ", 2}, std::pair{"  4x  ", 4}, std::pair{"  1x  ", 1}}) {
        ChooseFromBar(dlg.speedBar(), QString::fromUtf8(item));
        EXPECT_EQ(playbackSpeed, speed) << item;
    }
    for (QAction* action : right) EXPECT_FALSE(action->isCheckable());
    EXPECT_EQ(dlg.menuBar()->cornerWidget(Qt::TopRightCorner), dlg.speedBar());
    EXPECT_EQ(dlg.speedBar()->geometry().right(), dlg.menuBar()->width() - 1);
    EXPECT_GT(dlg.speedBar()->geometry().left(), dlg.menuBar()->actionGeometry(bar.last()).right());
}

// Only the card box and the bar have tooltips.
TEST_F(ControlsTest, ControlsHaveTheirTextsTooltipsAndPlacesInDialogUnits) {
    CChipboxDlg& dlg = OpenWindow();
    const window::DialogBaseUnits base = window::BaseUnitsOf(window::DialogFont());
    auto place = [base](int x, int y, int w, int h) {
        return window::MapDialogRect(QRect(x, y, w, h), base);
    };
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Chipbox v0.965"));
    EXPECT_EQ(dlg.client()->size(), place(0, 0, 182, 75).size());
    EXPECT_EQ(dlg.size(),
              QSize(dlg.client()->width(), dlg.client()->height() + dlg.menuBar()->height()));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());  // fixed size
    const struct {
        QWidget* control;
        const char *text, *toolTip;
        QRect place;
    } controls[] = {
        {dlg.openButton(), "&Open", "", place(10, 50, 45, 13)},
        {dlg.playPauseButton(), "&Play", "", place(73, 50, 40, 13)},
        {dlg.stopButton(), "&Stop", "", place(132, 50, 40, 13)},
        {dlg.nextButton(), "&Next", "", place(136, 9, 35, 11)},
        {dlg.previousButton(), "Pre&vious", "", place(136, 31, 35, 11)},
        {dlg.hardSidBox(), "&Hardsid Support", "Native HardSID soundcard support",
         place(110, 64, 65, 10)},
        {dlg.nameField(), "Chipbox", "", place(40, 10, 80, 9)},
        {dlg.subsongField(), "1 of 1", "", place(138, 20, 30, 10)},
        {dlg.cpuBar(), "", "C64 CPU utilization", place(7, 66, 99, 6)},
    };
    for (const auto& expected : controls) {
        EXPECT_EQ(expected.control->geometry(), expected.place) << expected.text;
        const auto* button = qobject_cast<QAbstractButton*>(expected.control);
        const auto* label = qobject_cast<QLabel*>(expected.control);
        const QString text = button ? button->text() : label ? label->text() : QString();
        EXPECT_EQ(text, QString::fromUtf8(expected.text));
        EXPECT_EQ(dlg.toolTips().ToolText(expected.control), QString::fromUtf8(expected.toolTip));
    }
    EXPECT_EQ(dlg.nameField()->textFormat(), Qt::PlainText);  // an ampersand shows as it is
    EXPECT_EQ(dlg.cpuBar()->minimum(), 0);
    EXPECT_EQ(dlg.cpuBar()->maximum(), 100);
    QStringList groups;
    for (const QGroupBox* group : dlg.client()->findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, Utf8({"Info", "Subsong"}));
    // The tooltip shows where the pointer rests.
    const QPoint inside = dlg.cpuBar()->rect().center();
    QHelpEvent help(QEvent::ToolTip, inside, dlg.cpuBar()->mapToGlobal(inside));
    QCoreApplication::sendEvent(dlg.cpuBar(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("C64 CPU utilization"));
    QToolTip::hideText();
}

// As in a dialog: Tab goes through the controls in their order, Enter presses
// only the focused button and never closes, a button's mnemonic presses it
// even where a menu title shares it.
TEST_F(ControlsTest, KeysWorkTheControlsAsInADialog) {
    CChipboxDlg& dlg = WindowWith("subsongs");
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    ASSERT_EQ(dlg.focusWidget(), dlg.openButton());
    const QWidget* order[] = {dlg.playPauseButton(), dlg.hardSidBox(),     dlg.stopButton(),
                              dlg.nextButton(),      dlg.previousButton(), dlg.openButton()};
    for (const QWidget* next : order) {
        QTest::keyClick(dlg.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(dlg.focusWidget(), next);
    }

    dlg.hardSidBox()->setFocus();
    QTest::keyClick(dlg.hardSidBox(), Qt::Key_Return);
    Settle();
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(dlg.hardSidBox()->isChecked());
    dlg.playPauseButton()->setFocus();
    QTest::keyClick(dlg.playPauseButton(), Qt::Key_Enter);
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(settings.written.empty());

    // A button pressed by its mnemonic shows itself pressed for a moment.
    auto press = [&dlg](Qt::Key key, const char* subsong) {
        QTest::keyClick(&dlg, key, Qt::AltModifier);
        return QTest::qWaitFor(
            [&dlg, subsong] { return dlg.subsongField()->text() == QString::fromUtf8(subsong); },
            1000);
    };
    EXPECT_TRUE(press(Qt::Key_N, "3 / 3"));
    EXPECT_TRUE(press(Qt::Key_V, "2 / 3"));  // "Pre&vious", also "&View"
    EXPECT_TRUE(press(Qt::Key_V, "1 / 3"));
    EXPECT_FALSE(dlg.menuBar()->actions()[1]->menu()->isVisible());
    QTest::keyClick(&dlg, Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([] { return playerState.paused.load(); }, 1000));
}

TEST_F(ControlsTest, SoundDeviceFailureTellsWithoutOwnerAndAsksToQuit) {
    CChipboxDlg& dlg = WindowWith("minimal");
    QSignalSpy quit(&dlg, &CChipboxDlg::quitRequested);
    device->failOpen = true;
    Click(dlg.playPauseButton());
    EXPECT_EQ(
        messages.shown,
        (std::vector<ShownMessage>{{nullptr, QStringLiteral("Unable to use wave-mapper!"),
                                    QStringLiteral("Error"), window::MessageIcon::Exclamation}}));
    ASSERT_EQ(quit.size(), 1);
    EXPECT_EQ(quit[0][0].toInt(), window::EXIT_NO_SOUND_DEVICE);
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Play"));
}

// Without a tune the start values; with one where it sits, as its header
// and size say.
TEST_F(ControlsTest, SongInformationShowsWhereTheTuneSits) {
    CChipboxDlg& dlg = OpenWindow();
    auto shown = [&dlg, this] {
        messages.shown.clear();
        ChooseFromBar(dlg.menuBar(), QStringLiteral("&View"), QStringLiteral("Song &Information"));
        return messages.shown;
    };
    auto information = [&dlg](const char* text) {
        return std::vector<ShownMessage>{{&dlg, QString::fromUtf8(text),
                                          QStringLiteral("Song Information"),
                                          window::MessageIcon::Information}};
    };
    EXPECT_EQ(shown(), information("Start Address: $0000\nEnd Address: $0000\n\nInit Address: "
                                   "$1000\nPlay Address: $1003\n\nSong Size: 0 bytes (0 blocks)"));
    dlg.ReceiveHandOver(TunePath("minimal"));
    EXPECT_EQ(shown(), information("Start Address: $1000\nEnd Address: $1033\n\nInit Address: "
                                   "$1000\nPlay Address: $102C\n\nSong Size: 51 bytes (1 blocks)"));
}

// Opens the About box with `open`; checks it once it is up and closes it
// with its OK button.
void ExpectAboutBox(const std::function<void()>& open, const QWidget* owner) {
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* about = qobject_cast<window::CAboutDlg*>(QApplication::activeModalWidget());
        if (!about) return;
        poll.stop();
        seen = true;
        EXPECT_EQ(about->windowTitle(), QString::fromUtf8("Info über Chipbox"));
        EXPECT_EQ(about->parentWidget(), owner);
        QStringList texts;
        for (const QLabel* label : about->findChildren<QLabel*>()) texts << label->text();
        for (const char* text :
             {"Chipbox v0.965", window::ABOUT_AUTHORSHIP_TEXT, window::ABOUT_CREDIT_TEXT})
            EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(about->okButton()->isDefault());
        QTest::mouseClick(about->okButton(), Qt::LeftButton);
    });
    poll.start(10);
    open();
    EXPECT_TRUE(seen);
}

TEST_F(ControlsTest, AboutBoxOpensFromTheInfoMenuAndFromTheContextMenu) {
    CChipboxDlg& dlg = OpenWindow();
    ExpectAboutBox(
        [&dlg] {
            ChooseFromBar(dlg.speedBar(), QStringLiteral("&Info"),
                          QString::fromUtf8("Inf&o über Chipbox..."));
        },
        &dlg);
    ExpectAboutBox(
        [&dlg] {
            const QPoint where = dlg.client()->geometry().center();
            QContextMenuEvent event(QContextMenuEvent::Mouse, where, dlg.mapToGlobal(where));
            QCoreApplication::sendEvent(&dlg, &event);
            QMenu* menu = dlg.contextMenu();
            ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
            QTest::mouseClick(menu, Qt::LeftButton, {},
                              menu->actionGeometry(menu->actions().constFirst()).center());
        },
        &dlg);
    EXPECT_TRUE(dlg.isVisible());
}

// The mixer, opened with View › Mixer while a tune plays.
class MixerTest : public WindowTest {
protected:
    // The minimal tune plays with voice 1's gate open and the others' closed.
    CMixer& OpenMixer() {
        if (!window_) {
            OpenWindow(TunePath("minimal"));
            FinishBuffers(2);
        }
        ChooseFromBar(window_->menuBar(), QStringLiteral("&View"), QStringLiteral("&Mixer"));
        EXPECT_NE(window_->mixer(), nullptr);
        return *window_->mixer();
    }
    static bool GateOpen(int voice) {
        constexpr int CONTROL_REGISTER[3] = {4, 11, 18};
        return (registerImage.values[CONTROL_REGISTER[voice]] & control::GATE) != 0;
    }
};

// Each box mutes its own voice and releases it at once; unmuting gives back
// the gate the voice had.
TEST_F(MixerTest, EachMuteBoxMutesItsVoiceAndUnmutingRestoresTheGate) {
    CMixer& mixer = OpenMixer();
    ASSERT_TRUE(GateOpen(0));
    for (int voice = 0; voice < 3; ++voice) {
        const bool gateWasOpen = GateOpen(voice);
        QTest::mouseClick(mixer.muteBox(voice), Qt::LeftButton);
        for (int other = 0; other < 3; ++other)
            EXPECT_EQ(mixerSettings.voiceMuted[other], other == voice ? 1 : 0) << voice;
        EXPECT_FALSE(GateOpen(voice));
        QTest::mouseClick(mixer.muteBox(voice), Qt::LeftButton);
        EXPECT_EQ(mixerSettings.voiceMuted[voice], 0);
        EXPECT_EQ(GateOpen(voice), gateWasOpen) << voice;
    }
}

// Position 1 at the top is the full level; the down keys move the thumb down.
TEST_F(MixerTest, DigiSliderRunsFromFullLevelAtTheTopToAFifteenthAtTheBottom) {
    CMixer& mixer = OpenMixer();
    const struct {
        Qt::Key key;
        int presses, position;
        double divisor;
    } steps[] = {
        {Qt::Key_End, 1, 15, 15.0}, {Qt::Key_Home, 1, 1, 1.0}, {Qt::Key_Down, 7, 8, 1.875}};
    for (const auto& step : steps) {
        for (int i = 0; i < step.presses; ++i) QTest::keyClick(mixer.digiSlider(), step.key);
        EXPECT_EQ(mixer.digiSlider()->value(), step.position);
        EXPECT_EQ(mixerSettings.digiDivisor, step.divisor) << step.position;
    }
    // A click above the thumb moves it up, toward the full level.
    QTest::mouseClick(mixer.digiSlider(), Qt::LeftButton, {},
                      QPoint(mixer.digiSlider()->width() / 2, 1));
    EXPECT_LT(mixer.digiSlider()->value(), 8);
    EXPECT_LT(mixerSettings.digiDivisor, 1.875);
}

// Closing (Escape, Enter) keeps mutes and level; a new mixer shows the mutes,
// restores the full level and opens where the last one was moved to.
TEST_F(MixerTest, ReopenedMixerKeepsMutesAndPlaceAndResetsTheDigiLevel) {
    CMixer* mixer = &OpenMixer();
    EXPECT_FALSE(mixer->overallSlider()->isEnabled());
    QTest::mouseClick(mixer->muteBox(0), Qt::LeftButton);  // its gate is open
    QTest::keyClick(mixer->digiSlider(), Qt::Key_End);
    mixer->move(40, 50);
    Settle();
    const QPoint outer = mixer->frameGeometry().topLeft();
    EXPECT_EQ(QPoint(uiSettings.mixerX, uiSettings.mixerY), outer);
    for (const Qt::Key close : {Qt::Key_Escape, Qt::Key_Return}) {
        QTest::keyClick(mixer->muteBox(1), close);
        EXPECT_EQ(window_->mixer(), nullptr);
        EXPECT_EQ(mixerSettings.digiDivisor, 15.0);
        Settle();
        mixer = &OpenMixer();
        EXPECT_EQ(&OpenMixer(), mixer);  // while open, only focused
        EXPECT_EQ(mixer->digiSlider()->value(), 1);
        EXPECT_EQ(mixerSettings.digiDivisor, 1.0);
        EXPECT_TRUE(mixer->muteBox(0)->isChecked());
        EXPECT_FALSE(mixer->muteBox(1)->isChecked());
        EXPECT_EQ(mixerSettings.voiceMuted[0], 1);
        // Whether a place asked for before showing includes the frame is the
        // window system's affair: X11 puts the frame there, the offscreen
        // platform a tool window's client area.
        EXPECT_TRUE(mixer->frameGeometry().topLeft() == outer ||
                    mixer->geometry().topLeft() == outer);
        QTest::keyClick(mixer->digiSlider(), Qt::Key_End);
    }
    // The gate saved at the first mute outlived both reopenings.
    QTest::mouseClick(mixer->muteBox(0), Qt::LeftButton);
    EXPECT_TRUE(GateOpen(0));
    // A negative x is no stored place.
    QTest::keyClick(mixer, Qt::Key_Escape);
    uiSettings.mixerX = -20;
    Settle();
    EXPECT_NE(OpenMixer().frameGeometry().left(), -20);
}

// The file browser, opened with the Open button in a temporary tree of tunes,
// directories and letter-case variants.
namespace fs = std::filesystem;
using window::CFileBrowseDialog;

const std::string LONG_NAME = std::string(251, 'z') + ".sid";  // the longest a name can be
const std::string LATIN1_NAME = "\xe9t\xe9.sid";               // bytes that are no UTF-8

QString Shown(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

class BrowserTest : public WindowTest {
protected:
    BrowserTest() : root(FreshFolder("tunes")) {
        for (const char* dir : {"beta", "Alpha", "a", "a-b", "gamma.sid", "beta/inner"})
            fs::create_directories(root / dir);
        for (const std::string& name :
             {std::string("A.sid"), std::string("a.sid"), std::string("c.sid"), LONG_NAME})
            fs::copy_file(TunePath("minimal"), root / name);
        fs::copy_file(TunePath("subsongs"), root / "b.SID");
        fs::copy_file(TunePath("subsongs"), root / LATIN1_NAME);
        std::ofstream(root / "notes.txt") << '\x01';
        std::ofstream(root / "Bad.sid") << "PS";  // no tune
        fs::current_path(root);
    }

    CFileBrowseDialog& OpenBrowser() {
        if (!window_) OpenWindow();
        Click(window_->openButton());
        EXPECT_NE(window_->fileBrowser(), nullptr);
        return *window_->fileBrowser();
    }
    QListWidget& List() { return *window_->fileBrowser()->fileList(); }
    // Each entry as its tag, a blank and its text.
    QStringList Entries() {
        QStringList entries;
        for (int row = 0; row < List().count(); ++row)
            entries << QString::number(List().item(row)->data(Qt::UserRole).toInt()) + u' ' +
                           List().item(row)->text();
        return entries;
    }
    QString Selected() { return List().currentItem() ? List().currentItem()->text() : QString(); }
    void Select(const QString& text) {
        List().setCurrentItem(List().findItems(text, Qt::MatchExactly).value(0));
    }
    // As the window system delivers a double click: a click, then the second
    // press as a double click.
    void DoubleClick(const QString& text) {
        Select(text);
        Settle();  // the list lays its items out late
        const QPoint where = List().visualItemRect(List().currentItem()).center();
        QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, where);
        QTest::mouseDClick(List().viewport(), Qt::LeftButton, {}, where);
        Settle();
    }
    void Key(Qt::Key key) {
        QTest::keyClick(&List(), key);
        Settle();
    }
    fs::path root;
};

TEST(PlaceCandidates, RootHomeThenVolumesMountedDirectlyInTheUsersFolders) {
    const std::string table =
        "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 /mnt/deep/inside ext4 rw 0 0\n"
        "/dev/sdc1 /mnt/data ext4 rw 0 0\n/dev/sdd1 /run/media/ann/DISK vfat rw 0 0\n"
        "/dev/sde1 /media/ann/USB\\040Stick vfat rw 0 0\n/dev/sdf1 /media/bob/B vfat rw 0 0\nbad\n";
    EXPECT_EQ(window::PlaceCandidates(table, "/home/ann/", "ann"),
              (std::vector<std::string>{"/", "/home/ann", "/media/ann/USB Stick",
                                        "/run/media/ann/DISK", "/mnt/data"}));
    EXPECT_EQ(window::PlaceCandidates(table, "/", ""),
              (std::vector<std::string>{"/", "/mnt/data"}));
}

// Directories sort with their brackets ("[a-b]" before "[a]"), letter case
// ignored; names differing only in case keep one order; then the places.
TEST_F(BrowserTest, ListsDirectoriesThenTunesThenPlacesWithTheirTags) {
    CFileBrowseDialog& browser = OpenBrowser();
    EXPECT_EQ(browser.windowTitle(), QString::fromStdString(root.string()));
    const QStringList expected =
        Utf8({"2 [..]", "2 [a-b]", "2 [a]", "2 [Alpha]", "2 [beta]", "2 [gamma.sid]", "1 A.sid",
              "1 a.sid", "1 b.SID", "1 Bad.sid", "1 c.sid"}) +
        QStringList{QStringLiteral("1 ") + Shown(LONG_NAME),
                    QStringLiteral("1 ") + Shown(LATIN1_NAME), QStringLiteral("2 [/]")};
    const QStringList entries = Entries();
    EXPECT_EQ(entries.mid(0, expected.size()), expected);
    for (const QString& place : entries.mid(expected.size()))
        EXPECT_TRUE(place.startsWith(QStringLiteral("2 [/"))) << place.toStdString();
    EXPECT_EQ(List().currentRow(), 0);
}

// Down by double click and Open, up by Backspace and Enter on [..]: the cursor
// lands on entry 0 going down and on the directory just left going up. In the
// root, which has no [..], Backspace activates whatever comes first.
TEST_F(BrowserTest, GoesDownAndUpWithTheCursorOnTheDirectoryLeft) {
    CFileBrowseDialog& browser = OpenBrowser();
    DoubleClick(QStringLiteral("[beta]"));
    EXPECT_EQ(fs::current_path(), root / "beta");
    EXPECT_EQ(browser.windowTitle(), QString::fromStdString((root / "beta").string()));
    EXPECT_EQ(Selected(), QStringLiteral("[..]"));
    Select(QStringLiteral("[inner]"));  // Backspace goes up from wherever the cursor is
    Key(Qt::Key_Backspace);
    EXPECT_EQ(fs::current_path(), root);
    EXPECT_EQ(Selected(), QStringLiteral("[beta]"));

    Select(QStringLiteral("[Alpha]"));
    Click(browser.openButton());
    EXPECT_EQ(fs::current_path(), root / "Alpha");
    EXPECT_EQ(List().currentRow(), 0);
    Key(Qt::Key_Return);
    EXPECT_EQ(fs::current_path(), root);
    EXPECT_EQ(Selected(), QStringLiteral("[Alpha]"));

    // A directory removed under the browser: the list still leads out of it.
    DoubleClick(QStringLiteral("[beta]"));
    fs::remove_all(root / "beta");
    Key(Qt::Key_Backspace);
    DoubleClick(QStringLiteral("[/]"));
    ASSERT_EQ(fs::current_path(), fs::path("/"));
    const QString first = List().item(0)->text();
    ASSERT_NE(first, QStringLiteral("[..]"));
    Key(Qt::Key_Backspace);
    EXPECT_TRUE(
        fs::equivalent(fs::current_path(), "/" + first.mid(1, first.size() - 2).toStdString()));
}

// Raw file names reach loading byte for byte; the browser stays as it was,
// also when loading reports a file that is no tune.
TEST_F(BrowserTest, ActivatingAFilePlaysItAndLeavesTheBrowserAsItWas) {
    CFileBrowseDialog& browser = OpenBrowser();
    Select(Shown(LATIN1_NAME));
    const QStringList before = Entries();
    Click(browser.openButton());
    Settle();
    EXPECT_EQ(currentTunePath, (root / LATIN1_NAME).string());
    EXPECT_EQ(uiSettings.lastChosenFile, LATIN1_NAME);
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(window_->fileBrowser(), &browser);
    EXPECT_EQ(Entries(), before);
    EXPECT_EQ(Selected(), Shown(LATIN1_NAME));

    DoubleClick(QStringLiteral("Bad.sid"));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(window_->fileBrowser(), &browser);
    EXPECT_EQ(Selected(), QStringLiteral("Bad.sid"));
}

// Closing keeps the outer rectangle and the next Open restores it; the last
// chosen name is found again only in its exact letter case.
TEST_F(BrowserTest, ReopeningRestoresTheRectangleAndTheLastChosenName) {
    QRect outer;
    OpenWindow();
    for (const auto& [lastChosen, selected] :
         {std::pair{"b.SID", "b.SID"}, std::pair{"B.sid", "[..]"}}) {
        uiSettings.lastChosenFile = lastChosen;
        CFileBrowseDialog& browser = OpenBrowser();
        EXPECT_EQ(Selected(), QString::fromUtf8(selected)) << lastChosen;
        EXPECT_EQ(&OpenBrowser(), &browser);  // a second Open only focuses it
        browser.setGeometry(30, 40, 400, 300);
        outer = browser.frameGeometry();
        Click(browser.cancelButton());
        EXPECT_EQ(window_->fileBrowser(), nullptr);
        EXPECT_EQ(QRect(uiSettings.browserX, uiSettings.browserY, uiSettings.browserWidth,
                        uiSettings.browserHeight),
                  outer);
        Settle();
    }
    EXPECT_EQ(OpenBrowser().frameGeometry(), outer);
}

// The template's places hold until the first size change; then the list
// fills all but the buttons' strip, which a narrow window leaves no list.
TEST_F(BrowserTest, LayoutFollowsTheClientSize) {
    CFileBrowseDialog& browser = OpenBrowser();
    const window::DialogBaseUnits base = window::BaseUnitsOf(browser.font());
    EXPECT_EQ(browser.openButton()->geometry(), window::MapDialogRect({225, 5, 50, 14}, base));
    for (const QSize client : {QSize(400, 300), QSize(60, 100)}) {
        browser.resize(client);
        Settle();
        const int w = client.width(), h = client.height();
        EXPECT_EQ(List().geometry(), QRect(8, 8, std::max(0, w - 95), h - 16));
        EXPECT_EQ(browser.openButton()->geometry(), QRect(w - 80, 8, 75, 24));
        EXPECT_EQ(browser.cancelButton()->geometry(), QRect(w - 80, 36, 75, 24));
        EXPECT_EQ(browser.fontButton()->geometry(), QRect(w - 80, 70, 75, 24));
    }
}

// The chosen font goes to the list only, and to the settings for next time.
TEST_F(BrowserTest, FontButtonSetsTheListFontAndRemembersIt) {
    CFileBrowseDialog& browser = OpenBrowser();
    const QFont buttonFont = browser.openButton()->font();
    QFont chosen = browser.font();
    chosen.setPixelSize(23);
    QTimer::singleShot(0, [&chosen] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setCurrentFont(chosen);
        dialog->accept();
    });
    Click(browser.fontButton());
    EXPECT_EQ(uiSettings.browserFontHeight, 23);
    EXPECT_EQ(uiSettings.browserFontName, List().font().family().toStdString());
    EXPECT_EQ(QFontInfo(List().font()).pixelSize(), 23);
    EXPECT_EQ(browser.openButton()->font(), buttonFont);
}

// Start and close. The title, the tune's three texts, the subsong and the
// Play/Pause button.
QStringList Texts(const CChipboxDlg& dlg) {
    return {dlg.windowTitle(),           dlg.nameField()->text(),    dlg.authorField()->text(),
            dlg.releasedField()->text(), dlg.subsongField()->text(), dlg.playPauseButton()->text()};
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
        Click(dlg.playPauseButton());
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
    dlg.OnCommand(window::IDC_PLAY_PAUSE);
    dlg.ReceiveHandOver(TunePath("subsongs"));
    Settle();
    EXPECT_EQ(settings.written.size(), 1u);
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(currentTunePath, TunePath("minimal"));
}

INSTANTIATE_TEST_SUITE_P(CloseBoxOrEscapeWhilePaused, CloseTest, testing::Bool());

// The single instance: the hand-over message, the running instance's server,
// and a real second start of the program.
using window::HAND_OVER_LIMIT;
using window::HandOverReader;
using Status = HandOverReader::Status;

QByteArray Length(quint32 length) {
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes.append(static_cast<char>(length >> shift));
    return bytes;
}

// Malformed messages are refused end to end, by the running window's server.
TEST(HandOverMessage, IsLengthPathAndZeroAndCarriesPathsPastTheOld255Characters) {
    const std::string path = "/music/" + std::string(1000, 'x') + ".sid";
    const QByteArray message = window::EncodeHandOver(path);
    EXPECT_EQ(message, Length(static_cast<quint32>(path.size() + 1)) +
                           QByteArray::fromStdString(path) + QByteArray(1, '\0'));
    HandOverReader reader;  // the message arriving byte by byte
    for (qsizetype i = 0; i + 1 < message.size(); ++i)
        ASSERT_EQ(reader.Feed(message.mid(i, 1)), Status::Incomplete) << i;
    EXPECT_EQ(reader.Feed(message.right(1)), Status::Complete);
    EXPECT_EQ(reader.path(), path);
    // The longest path the limit allows, with its zero, is sent and taken.
    const QByteArray longest = window::EncodeHandOver(std::string(HAND_OVER_LIMIT - 1, 'p'));
    EXPECT_EQ(HandOverReader().Feed(longest), Status::Complete);
    EXPECT_TRUE(window::EncodeHandOver(std::string(HAND_OVER_LIMIT, 'p')).isEmpty());
}

TEST(CommandLinePath, EnclosingDoubleQuotesAloneAreDroppedAndRelativePathsMadeAbsolute) {
    EXPECT_EQ(window::CutCommandLinePath("\"/music/a b.sid\""), "/music/a b.sid");
    EXPECT_EQ(window::CutCommandLinePath("/music/a b.sid"), "/music/a b.sid");
    EXPECT_EQ(window::CutCommandLinePath("'a.sid'"), "'a.sid'");
    EXPECT_EQ(window::CutCommandLinePath("\"a.sid"), "\"a.sid");
    EXPECT_EQ(window::CutCommandLinePath("\""), "\"");
    EXPECT_EQ(window::CutCommandLinePath("\"\""), "");
    EXPECT_EQ(window::CutCommandLinePath(""), "");
    // A relative path is made absolute against the folder of the start.
    EXPECT_EQ(window::AbsoluteTunePath("tunes/a.sid", "/home/user"), "/home/user/tunes/a.sid");
    EXPECT_EQ(window::AbsoluteTunePath("a.sid", "/"), "/a.sid");
    EXPECT_EQ(window::AbsoluteTunePath("/music/a.sid", "/home/user"), "/music/a.sid");
    EXPECT_EQ(window::AbsoluteTunePath("", "/home/user"), "");
    EXPECT_EQ(window::AbsoluteTunePath("a.sid", ""), "a.sid");
}

// A folder only this user may enter, as XDG_RUNTIME_DIR is.
class RuntimeFolder {
public:
    RuntimeFolder() : saved_(qgetenv("XDG_RUNTIME_DIR")) {
        chmod(QFile::encodeName(folder_.path()).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder_.path()));
    }
    ~RuntimeFolder() { qputenv("XDG_RUNTIME_DIR", saved_); }
    QString path() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
    QByteArray saved_;
};

TEST(InstanceSocket, LivesInThePrivateRuntimeFolder) {
    RuntimeFolder runtime;
    EXPECT_EQ(window::InstanceSocketPath(), runtime.path() + QStringLiteral("/chipbox.instance"));
    // A runtime folder others may enter is not used.
    chmod(QFile::encodeName(runtime.path()).constData(), 0755);
    const QString fallback = window::InstanceSocketPath();
    ASSERT_FALSE(fallback.isEmpty());
    EXPECT_FALSE(fallback.startsWith(runtime.path()));
    struct stat folder {};
    ASSERT_EQ(stat(QFile::encodeName(QFileInfo(fallback).path()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(folder.st_uid, geteuid());
}

TEST(InstanceSocket, StaleSocketOfAnEndedInstanceDoesNotBlockTheNextStart) {
    RuntimeFolder runtime;
    const QString path = window::InstanceSocketPath();
    // What a crashed instance leaves: a socket file nobody listens on.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                 sizeof address.sun_path - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
    ASSERT_TRUE(QFileInfo::exists(path));

    EXPECT_EQ(window::HandOver(path, "/music/a.sid"), window::HandOverResult::NoInstance);
    window::InstanceServer server;
    EXPECT_TRUE(server.Listen(path));
}

class HandOverTest : public WindowTest {
protected:
    HandOverTest() {
        socketPath = window::InstanceSocketPath();
        EXPECT_TRUE(server.Listen(socketPath));
    }
    // The window as the running instance, taking hand-overs.
    window::CChipboxDlg& RunningWindow() {
        window::CChipboxDlg& dlg = OpenWindow();
        server.Start([&dlg](const std::string& path) { dlg.ReceiveHandOver(path); });
        return dlg;
    }
    // Runs `work` on another thread, as another process would, while this
    // thread's event loop serves it.
    template <typename Work>
    auto OnOtherThread(Work work) {
        auto result = std::async(std::launch::async, work);
        EXPECT_TRUE(QTest::qWaitFor(
            [&result] {
                return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            },
            20000));
        return result.get();
    }

    // Runs the program itself as the second start.
    int RunSecondStart(const QStringList& arguments, const QString& folder) {
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(environment);
        second.setWorkingDirectory(folder);
        second.start(QStringLiteral(CHIPBOX_PROGRAM), arguments);
        EXPECT_TRUE(second.waitForStarted());
        EXPECT_TRUE(
            QTest::qWaitFor([&second] { return second.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(second.readAllStandardError(), QByteArray());
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    RuntimeFolder runtime;
    QString socketPath;
    window::InstanceServer server;
};

// Each is dropped without an answer; a good message afterwards is loaded and
// played before its sender hears back.
TEST_F(HandOverTest, MalformedMessagesAreIgnoredAndTheirConnectionClosed) {
    window::CChipboxDlg& dlg = RunningWindow();
    const QByteArray bad[] = {
        Length(0),
        Length(HAND_OVER_LIMIT + 1) + QByteArray(100, 'x'),
        Length(4) + QByteArray("a.si"),
        Length(6) + QByteArray("a\0.sid", 6),
        Length(3) + QByteArray("ab\0", 3) + QByteArray("more"),
    };
    for (const QByteArray& message : bad) {
        // The raw bytes, then wait for the server to close without an answer.
        const QByteArray answer = OnOtherThread([this, message] {
            QLocalSocket socket;
            socket.connectToServer(socketPath);
            if (!socket.waitForConnected(2000)) return QByteArray("not connected");
            socket.write(message);
            socket.waitForBytesWritten(2000);
            QByteArray received;
            while (socket.waitForReadyRead(5000)) received += socket.readAll();
            if (socket.state() != QLocalSocket::UnconnectedState) return QByteArray("still open");
            return received;
        });
        EXPECT_TRUE(answer.isEmpty()) << answer.toStdString();
    }
    Settle();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(currentTunePath.empty());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Chipbox v0.965"));

    EXPECT_EQ(OnOtherThread([this] { return window::HandOver(socketPath, TunePath("minimal")); }),
              window::HandOverResult::Handled);
    EXPECT_EQ(dlg.nameField()->text(), QStringLiteral("Minimal"));
    Settle();
    EXPECT_TRUE(playerState.playing);
}

// The second start ends with 0 once the running window has handled it: with
// no file the window is restored; a relative file is taken from the folder
// the second start ran in, even one that does not load.
TEST_F(HandOverTest, SecondStartHandsItsFileOverAbsoluteAndEndsOnceItIsHandled) {
    window::CChipboxDlg& dlg = RunningWindow();
    dlg.showMinimized();
    Settle();
    ASSERT_TRUE(dlg.isMinimized());
    const std::filesystem::path tune = TunePath("subsongs");
    const QString folder = QString::fromStdString(tune.parent_path().string());
    EXPECT_EQ(RunSecondStart({}, folder), 0);
    EXPECT_FALSE(dlg.isMinimized());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(currentTunePath.empty());

    EXPECT_EQ(RunSecondStart({QStringLiteral("subsongs.sid")}, folder), 0);
    EXPECT_EQ(currentTunePath, tune.string());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("subsongs.sid - Chipbox v0.965"));
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(messages.shown.empty());

    EXPECT_EQ(RunSecondStart({QStringLiteral("lost.sid")}, folder), 0);
    EXPECT_EQ(currentTunePath, (tune.parent_path() / "lost.sid").string());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Warning"));
}

}  // namespace
}  // namespace chipbox::test
