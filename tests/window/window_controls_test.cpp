// SPDX-License-Identifier: GPL-2.0-or-later
// The window's controls and menus, and the boxes they open, driven as a user
// drives them.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <functional>

#include "playback/machine_playback.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "sid/sid_state.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "ui/window/about_dlg.h"
#include "ui/window/dialog_units.h"
#include "ui/window/exit_status.h"
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
    QPushButton *play = Named<QPushButton>(dlg, "playPauseButton"),
                *stop = Named<QPushButton>(dlg, "stopButton");
    QPushButton *next = Named<QPushButton>(dlg, "nextButton"),
                *previous = Named<QPushButton>(dlg, "previousButton");
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
        EXPECT_EQ(Named<QLabel>(dlg, "subsongField")->text(), QString::fromUtf8(step.subsong))
            << row;
        EXPECT_EQ(Named<QPushButton>(dlg, "playPauseButton")->text(), QString::fromUtf8(step.text))
            << row;
        EXPECT_EQ(playerState.playing, step.playing) << row;
        EXPECT_EQ(playerState.paused, step.paused) << row;
        // Its play call does little.
        EXPECT_EQ(Named<QProgressBar>(dlg, "cpuBar")->value(), sounding ? 1 : 0) << row;
    }
    dlg.ReceiveHandOver(TunePath("minimal"));  // more work per play call
    Settle();
    FinishBuffers(2);
    EXPECT_GT(Named<QProgressBar>(dlg, "cpuBar")->value(), 1);
}

// The speed items sit at the right edge, after the pop-ups; no mark shows the
// speed in force.
TEST_F(ControlsTest, MenusHoldTheirItemsInOrderAndTheSpeedItemsSetTheSpeed) {
    CChipboxDlg& dlg = WindowWith("minimal");
    const QList<QAction*> bar = Named<QMenuBar>(dlg, "menuBar")->actions();
    ASSERT_EQ(Items(bar), Utf8({"(&File)", "&View"}));
    EXPECT_EQ(Items(bar[0]->menu()->actions()), Utf8({"(&Open Sid File)"}));
    EXPECT_EQ(Items(bar[1]->menu()->actions()),
              Utf8({"&Mixer", "-", "Song &Information", "-", "&Complete Machine", "-", "P&laylist",
                    "S&cope"}));
    const QList<QAction*> right = Named<QMenuBar>(dlg, "speedBar")->actions();
    ASSERT_EQ(Items(right), Utf8({"  1x  ", "  2x  ", "  4x  ", "&Info"}));
    ASSERT_NE(right[3]->menu(), nullptr);
    EXPECT_EQ(Items(right[3]->menu()->actions()), Utf8({"Inf&o über Chipbox..."}));
    EXPECT_EQ(Items(Named<QMenu>(dlg, "contextMenu")->actions()), Utf8({"Inf&o über Chipbox..."}));

    for (const auto& [item, speed] :
         {std::pair{"  2x  ", 2}, std::pair{"  4x  ", 4}, std::pair{"  1x  ", 1}}) {
        ChooseFromBar(Named<QMenuBar>(dlg, "speedBar"), QString::fromUtf8(item));
        EXPECT_EQ(playbackSpeed, speed) << item;
    }
    for (QAction* action : right) EXPECT_FALSE(action->isCheckable());
    EXPECT_EQ(Named<QMenuBar>(dlg, "menuBar")->cornerWidget(Qt::TopRightCorner),
              Named<QMenuBar>(dlg, "speedBar"));
    EXPECT_EQ(Named<QMenuBar>(dlg, "speedBar")->geometry().right(),
              Named<QMenuBar>(dlg, "menuBar")->width() - 1);
    EXPECT_GT(Named<QMenuBar>(dlg, "speedBar")->geometry().left(),
              Named<QMenuBar>(dlg, "menuBar")->actionGeometry(bar.last()).right());
}

// Only the card box and the bar have tooltips.
TEST_F(ControlsTest, ControlsHaveTheirTextsTooltipsAndPlacesInDialogUnits) {
    CChipboxDlg& dlg = OpenWindow();
    const window::DialogBaseUnits base = window::BaseUnitsOf(window::DialogFont());
    auto place = [base](int x, int y, int w, int h) {
        return window::MapDialogRect(QRect(x, y, w, h), base);
    };
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Chipbox v0.965"));
    EXPECT_EQ(Named<QWidget>(dlg, "client")->size(), place(0, 0, 182, 75).size());
    EXPECT_EQ(dlg.size(), QSize(Named<QWidget>(dlg, "client")->width(),
                                Named<QWidget>(dlg, "client")->height() +
                                    Named<QMenuBar>(dlg, "menuBar")->height()));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());  // fixed size
    const struct {
        QWidget* control;
        const char *text, *toolTip;
        QRect place;
    } controls[] = {
        {Named<QPushButton>(dlg, "openButton"), "&Open", "", place(10, 50, 45, 13)},
        {Named<QPushButton>(dlg, "playPauseButton"), "&Play", "", place(73, 50, 40, 13)},
        {Named<QPushButton>(dlg, "stopButton"), "&Stop", "", place(132, 50, 40, 13)},
        {Named<QPushButton>(dlg, "nextButton"), "&Next", "", place(136, 9, 35, 11)},
        {Named<QPushButton>(dlg, "previousButton"), "Pre&vious", "", place(136, 31, 35, 11)},
        {Named<QCheckBox>(dlg, "hardSidBox"), "&Hardsid Support",
         "Native HardSID soundcard support", place(110, 64, 65, 10)},
        {Named<QLabel>(dlg, "nameField"), "Chipbox", "", place(40, 10, 80, 9)},
        {Named<QLabel>(dlg, "subsongField"), "1 of 1", "", place(138, 20, 30, 10)},
        {Named<QProgressBar>(dlg, "cpuBar"), "", "C64 CPU utilization", place(7, 66, 99, 6)},
    };
    for (const auto& expected : controls) {
        EXPECT_EQ(expected.control->geometry(), expected.place) << expected.text;
        const auto* button = qobject_cast<QAbstractButton*>(expected.control);
        const auto* label = qobject_cast<QLabel*>(expected.control);
        const QString text = button ? button->text() : label ? label->text() : QString();
        EXPECT_EQ(text, QString::fromUtf8(expected.text));
        EXPECT_EQ((*Named<window::CMyToolTipCtrl>(dlg, "toolTips")).ToolText(expected.control),
                  QString::fromUtf8(expected.toolTip));
    }
    EXPECT_EQ(Named<QLabel>(dlg, "nameField")->textFormat(),
              Qt::PlainText);  // an ampersand shows as it is
    EXPECT_EQ(Named<QProgressBar>(dlg, "cpuBar")->minimum(), 0);
    EXPECT_EQ(Named<QProgressBar>(dlg, "cpuBar")->maximum(), 100);
    QStringList groups;
    for (const QGroupBox* group : Named<QWidget>(dlg, "client")->findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, Utf8({"Info", "Subsong"}));
    // The tooltip shows where the pointer rests.
    const QPoint inside = Named<QProgressBar>(dlg, "cpuBar")->rect().center();
    QHelpEvent help(QEvent::ToolTip, inside,
                    Named<QProgressBar>(dlg, "cpuBar")->mapToGlobal(inside));
    QCoreApplication::sendEvent(Named<QProgressBar>(dlg, "cpuBar"), &help);
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
    ASSERT_EQ(dlg.focusWidget(), Named<QPushButton>(dlg, "openButton"));
    const QWidget* order[] = {
        Named<QPushButton>(dlg, "playPauseButton"), Named<QCheckBox>(dlg, "hardSidBox"),
        Named<QPushButton>(dlg, "stopButton"),      Named<QPushButton>(dlg, "nextButton"),
        Named<QPushButton>(dlg, "previousButton"),  Named<QPushButton>(dlg, "openButton")};
    for (const QWidget* next : order) {
        QTest::keyClick(dlg.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(dlg.focusWidget(), next);
    }

    Named<QCheckBox>(dlg, "hardSidBox")->setFocus();
    QTest::keyClick(Named<QCheckBox>(dlg, "hardSidBox"), Qt::Key_Return);
    Settle();
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(Named<QCheckBox>(dlg, "hardSidBox")->isChecked());
    Named<QPushButton>(dlg, "playPauseButton")->setFocus();
    QTest::keyClick(Named<QPushButton>(dlg, "playPauseButton"), Qt::Key_Enter);
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(settings.written.empty());

    // A button pressed by its mnemonic shows itself pressed for a moment.
    auto press = [&dlg](Qt::Key key, const char* subsong) {
        QTest::keyClick(&dlg, key, Qt::AltModifier);
        return QTest::qWaitFor(
            [&dlg, subsong] {
                return Named<QLabel>(dlg, "subsongField")->text() == QString::fromUtf8(subsong);
            },
            1000);
    };
    EXPECT_TRUE(press(Qt::Key_N, "3 / 3"));
    EXPECT_TRUE(press(Qt::Key_V, "2 / 3"));  // "Pre&vious", also "&View"
    EXPECT_TRUE(press(Qt::Key_V, "1 / 3"));
    EXPECT_FALSE(Named<QMenuBar>(dlg, "menuBar")->actions()[1]->menu()->isVisible());
    QTest::keyClick(&dlg, Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([] { return playerState.paused.load(); }, 1000));
}

// The box keeps its one line; the sound system's reason is its detailed text.
TEST_F(ControlsTest, SoundDeviceFailureTellsWhyWithoutOwnerAndAsksToQuit) {
    CChipboxDlg& dlg = WindowWith("minimal");
    QSignalSpy quit(&dlg, &CChipboxDlg::quitRequested);
    device->failOpen = true;
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{nullptr, QStringLiteral("Unable to use wave-mapper!"),
                                          QStringLiteral("Error"), window::MessageIcon::Exclamation,
                                          QStringLiteral("no test device")}}));
    ASSERT_EQ(quit.size(), 1);
    EXPECT_EQ(quit[0][0].toInt(), window::EXIT_NO_SOUND_DEVICE);
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(Named<QPushButton>(dlg, "playPauseButton")->text(), QStringLiteral("&Play"));
}

// Without a tune the start values; with one where it sits, as its header
// and size say.
TEST_F(ControlsTest, SongInformationShowsWhereTheTuneSits) {
    CChipboxDlg& dlg = OpenWindow();
    auto shown = [&dlg, this] {
        messages.shown.clear();
        ChooseFromBar(Named<QMenuBar>(dlg, "menuBar"), QStringLiteral("&View"),
                      QStringLiteral("Song &Information"));
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
            ChooseFromBar(Named<QMenuBar>(dlg, "speedBar"), QStringLiteral("&Info"),
                          QString::fromUtf8("Inf&o über Chipbox..."));
        },
        &dlg);
    ExpectAboutBox(
        [&dlg] {
            const QPoint where = Named<QWidget>(dlg, "client")->geometry().center();
            QContextMenuEvent event(QContextMenuEvent::Mouse, where, dlg.mapToGlobal(where));
            QCoreApplication::sendEvent(&dlg, &event);
            QMenu* menu = Named<QMenu>(dlg, "contextMenu");
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
        ChooseFromBar(Named<QMenuBar>(*window_, "menuBar"), QStringLiteral("&View"),
                      QStringLiteral("&Mixer"));
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

// The status line names the design's device, and the chip while the real
// machine plays: the one the settings choose here.
TEST_F(MixerTest, TheStatusLineNamesTheChipTheRealMachinePlays) {
    settings.start.sidModel = "8580";
    OpenWindow(TunePath("rsid_cia_player"));
    EXPECT_EQ(OpenMixer().statusLine()->text(), QStringLiteral("MOS8580 SID Device"));
}

// A tune for three SIDs adds a mute for each further chip below the voices,
// and the window grows by their rows; a one-chip tune keeps the size.
TEST_F(MixerTest, FurtherChipsGetAMuteEachOnlyWhenTheTuneHasThem) {
    OpenWindow(TunePath("rsid_cia_player"));
    CMixer& mixer = OpenMixer();
    const QSize oneChip = mixer.size();
    EXPECT_TRUE(mixer.chipMuteBox(0)->isHidden());
    ASSERT_TRUE(chipbox::LoadTune(TunePath("three_sids"), false).loaded());
    QTest::qWait(600);  // the mixer looks at the chips twice a second
    ASSERT_FALSE(mixer.chipMuteBox(0)->isHidden());
    ASSERT_FALSE(mixer.chipMuteBox(1)->isHidden());
    EXPECT_EQ(mixer.chipMuteBox(0)->text(), QStringLiteral("Mute SID 2 (MOS8580 at $D420)"));
    EXPECT_EQ(mixer.chipMuteBox(1)->text(), QStringLiteral("Mute SID 3 (MOS6581 at $DE00)"));
    EXPECT_GT(mixer.height(), oneChip.height());
    EXPECT_EQ(mixer.width(), oneChip.width());
    mixer.chipMuteBox(1)->click();
    for (int voice = 6; voice < 9; ++voice) EXPECT_TRUE(FurtherVoiceMuted(voice)) << voice;
    EXPECT_FALSE(FurtherVoiceMuted(3));
    mixer.chipMuteBox(1)->click();
    EXPECT_FALSE(FurtherVoiceMuted(6));
    EXPECT_GE(mixer.statusLine()->geometry().top(), mixer.chipMuteBox(1)->geometry().bottom());
}

TEST_F(MixerTest, AMixerOpenedWhileATuneForThreeSidsPlaysShowsBothChipMutes) {
    OpenWindow(TunePath("rsid_cia_player"));
    const int oneChip = OpenMixer().height();
    OpenMixer().reject();
    ASSERT_TRUE(chipbox::LoadTune(TunePath("three_sids"), false).loaded());
    CMixer& mixer = OpenMixer();
    EXPECT_FALSE(mixer.chipMuteBox(1)->isHidden());
    EXPECT_GT(mixer.height(), oneChip);
    EXPECT_LE(mixer.statusLine()->geometry().bottom(), mixer.height());
}

TEST_F(MixerTest, TheStatusLineNamesTheDesignsDeviceForTheDefaultModel) {
    EXPECT_EQ(OpenMixer().statusLine()->text(), QString::fromUtf8(window::MIXER_STATUS_TEXT));
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

}  // namespace
}  // namespace chipbox::test
