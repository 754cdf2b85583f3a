// SPDX-License-Identifier: GPL-2.0-or-later
// The window's controls and menu, driven as a user drives them.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "sid/hardsid_link.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "ui/window/dialog_units.h"
#include "ui/window/exit_status.h"
#include "ui/window/tooltip_ctrl.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CChipboxDlg;

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

QAction* ActionNamed(const QList<QAction*>& actions, const QString& text) {
    for (QAction* action : actions)
        if (action->text() == text) return action;
    return nullptr;
}

// Clicks a menu bar item with the mouse, where it is drawn.
void ClickBarItem(QMenuBar* bar, const QString& text) {
    QAction* action = ActionNamed(bar->actions(), text);
    ASSERT_NE(action, nullptr) << text.toStdString();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
}

class ControlsTest : public WindowTest {
protected:
    // A window with `tune` loaded as the last tune: shown, not playing.
    CChipboxDlg& WindowWith(const std::string& tune) {
        settings.start.lastTune = TunePath(tune);
        return OpenWindow();
    }
};

TEST_F(ControlsTest, PlayPauseAndStopSetTheButtonTheBarAndTheStream) {
    CChipboxDlg& dlg = WindowWith("minimal");
    Click(dlg.playPauseButton());
    Settle();
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Pause"));
    EXPECT_TRUE(device->open);
    FinishBuffers(2);
    // The bar shows the play calls of the previous fill: more than none.
    EXPECT_GT(dlg.cpuBar()->value(), 1);
    EXPECT_EQ(device->played.size(), 2u);

    Click(dlg.playPauseButton());  // pause
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Play"));
    EXPECT_EQ(dlg.cpuBar()->value(), 0);
    EXPECT_TRUE(device->paused);
    EXPECT_TRUE(playerState.paused);

    Click(dlg.playPauseButton());  // resume
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Pause"));
    EXPECT_FALSE(device->paused);
    FinishBuffers(1);
    EXPECT_GT(dlg.cpuBar()->value(), 1);

    Click(dlg.stopButton());
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Play"));
    EXPECT_EQ(dlg.cpuBar()->value(), 0);
    EXPECT_FALSE(device->open);
    EXPECT_FALSE(playerState.playing);

    Click(dlg.stopButton());  // stop while stopped changes nothing
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Play"));
    EXPECT_FALSE(playerState.playing);
}

TEST_F(ControlsTest, NextAndPreviousStopAtTheEnds) {
    CChipboxDlg& dlg = WindowWith("subsongs");
    ASSERT_EQ(dlg.subsongField()->text(), QStringLiteral("2 / 3"));
    Click(dlg.nextButton());
    EXPECT_EQ(dlg.subsongField()->text(), QStringLiteral("3 / 3"));
    Click(dlg.nextButton());
    EXPECT_EQ(dlg.subsongField()->text(), QStringLiteral("3 / 3"));
    Click(dlg.previousButton());
    Click(dlg.previousButton());
    EXPECT_EQ(dlg.subsongField()->text(), QStringLiteral("1 / 3"));
    Click(dlg.previousButton());
    EXPECT_EQ(dlg.subsongField()->text(), QStringLiteral("1 / 3"));
    EXPECT_EQ(tuneInfo.currentSong, 0);
    Settle();
    EXPECT_FALSE(playerState.playing);  // stopped stays stopped
}

TEST_F(ControlsTest, NextWhilePausedEndsThePauseAndPlaysTheNewSong) {
    CChipboxDlg& dlg = WindowWith("subsongs");
    Click(dlg.playPauseButton());
    Settle();
    Click(dlg.playPauseButton());
    ASSERT_TRUE(playerState.paused);
    Click(dlg.nextButton());
    Settle();  // the queued Play
    EXPECT_EQ(dlg.subsongField()->text(), QStringLiteral("3 / 3"));
    EXPECT_TRUE(playerState.playing);
    EXPECT_FALSE(playerState.paused);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Pause"));
    EXPECT_TRUE(device->open);
    EXPECT_FALSE(device->paused);
    EXPECT_EQ(device->queued.size(), 2u);
}

TEST_F(ControlsTest, SpeedItemsAtTheRightOfTheBarSetTheSpeed) {
    CChipboxDlg& dlg = WindowWith("minimal");
    ClickBarItem(dlg.speedBar(), QStringLiteral("  2x  "));
    EXPECT_EQ(playbackSpeed, 2);
    ClickBarItem(dlg.speedBar(), QStringLiteral("  4x  "));
    EXPECT_EQ(playbackSpeed, 4);
    ClickBarItem(dlg.speedBar(), QStringLiteral("  1x  "));
    EXPECT_EQ(playbackSpeed, 1);
    // No mark shows the speed in force.
    for (QAction* action : dlg.speedBar()->actions()) EXPECT_FALSE(action->isCheckable());
    // They sit at the right edge, after the pop-ups.
    EXPECT_EQ(dlg.menuBar()->cornerWidget(Qt::TopRightCorner), dlg.speedBar());
    EXPECT_EQ(dlg.speedBar()->geometry().right(), dlg.menuBar()->width() - 1);
    EXPECT_GT(dlg.speedBar()->geometry().left(),
              dlg.menuBar()->actionGeometry(dlg.menuBar()->actions().constLast()).right());
}

TEST_F(ControlsTest, MenuHoldsItsItemsAndTexts) {
    CChipboxDlg& dlg = WindowWith("minimal");
    const QList<QAction*> bar = dlg.menuBar()->actions();
    ASSERT_EQ(bar.size(), 2);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("&File"));
    EXPECT_FALSE(bar[0]->isEnabled());
    ASSERT_EQ(bar[0]->menu()->actions().size(), 1);
    EXPECT_EQ(bar[0]->menu()->actions()[0]->text(), QStringLiteral("&Open Sid File"));
    EXPECT_FALSE(bar[0]->menu()->actions()[0]->isEnabled());
    EXPECT_EQ(bar[1]->text(), QStringLiteral("&View"));
    const QList<QAction*> view = bar[1]->menu()->actions();
    ASSERT_EQ(view.size(), 3);
    EXPECT_EQ(view[0]->text(), QStringLiteral("&Mixer"));
    EXPECT_TRUE(view[1]->isSeparator());
    EXPECT_EQ(view[2]->text(), QStringLiteral("Song &Information"));

    const QList<QAction*> right = dlg.speedBar()->actions();
    ASSERT_EQ(right.size(), 4);
    EXPECT_EQ(right[0]->text(), QStringLiteral("  1x  "));
    EXPECT_EQ(right[1]->text(), QStringLiteral("  2x  "));
    EXPECT_EQ(right[2]->text(), QStringLiteral("  4x  "));
    EXPECT_EQ(right[3]->text(), QStringLiteral("&Info"));
    ASSERT_NE(right[3]->menu(), nullptr);
    ASSERT_EQ(right[3]->menu()->actions().size(), 1);
    EXPECT_EQ(right[3]->menu()->actions()[0]->text(), QString::fromUtf8("Inf&o über Chipbox..."));
    ASSERT_EQ(dlg.contextMenu()->actions().size(), 1);
    EXPECT_EQ(dlg.contextMenu()->actions()[0]->text(), QString::fromUtf8("Inf&o über Chipbox..."));
}

TEST_F(ControlsTest, ControlsHaveTheirTextsAndPlacesInDialogUnits) {
    CChipboxDlg& dlg = Window();
    const window::DialogBaseUnits base = window::BaseUnitsOf(window::DialogFont());
    auto place = [base](int x, int y, int w, int h) {
        return window::MapDialogRect(QRect(x, y, w, h), base);
    };
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Chipbox v0.965"));
    EXPECT_EQ(dlg.client()->size(), place(0, 0, 182, 75).size());
    EXPECT_EQ(dlg.size(),
              QSize(dlg.client()->width(), dlg.client()->height() + dlg.menuBar()->height()));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());  // fixed size

    struct Expected {
        QWidget* control;
        QString text;
        QRect place;
    };
    const Expected controls[] = {
        {dlg.openButton(), QStringLiteral("&Open"), place(10, 50, 45, 13)},
        {dlg.playPauseButton(), QStringLiteral("&Play"), place(73, 50, 40, 13)},
        {dlg.stopButton(), QStringLiteral("&Stop"), place(132, 50, 40, 13)},
        {dlg.nextButton(), QStringLiteral("&Next"), place(136, 9, 35, 11)},
        {dlg.previousButton(), QStringLiteral("Pre&vious"), place(136, 31, 35, 11)},
        {dlg.hardSidBox(), QStringLiteral("&Hardsid Support"), place(110, 64, 65, 10)},
        {dlg.nameField(), QStringLiteral("Chipbox"), place(40, 10, 80, 9)},
        {dlg.subsongField(), QStringLiteral("1 of 1"), place(138, 20, 30, 10)},
        {dlg.cpuBar(), QString(), place(7, 66, 99, 6)},
    };
    for (const Expected& expected : controls) {
        EXPECT_EQ(expected.control->geometry(), expected.place)
            << expected.control->metaObject()->className();
        if (auto* button = qobject_cast<QAbstractButton*>(expected.control)) {
            EXPECT_EQ(button->text(), expected.text);
        }
        if (auto* label = qobject_cast<QLabel*>(expected.control)) {
            EXPECT_EQ(label->text(), expected.text);
        }
    }
    // The fields show an ampersand as it is.
    EXPECT_EQ(dlg.nameField()->textFormat(), Qt::PlainText);
    EXPECT_EQ(dlg.cpuBar()->minimum(), 0);
    EXPECT_EQ(dlg.cpuBar()->maximum(), 100);
    QStringList groups;
    for (const QGroupBox* group : dlg.client()->findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, (QStringList{QStringLiteral("Info"), QStringLiteral("Subsong")}));
}

TEST_F(ControlsTest, TabGoesThroughTheControlsInTheirOrder) {
    CChipboxDlg& dlg = WindowWith("minimal");
    dlg.activateWindow();
    ASSERT_EQ(dlg.focusWidget(), dlg.openButton());
    const QWidget* expected[] = {dlg.playPauseButton(), dlg.hardSidBox(),     dlg.stopButton(),
                                 dlg.nextButton(),      dlg.previousButton(), dlg.openButton()};
    for (const QWidget* next : expected) {
        QTest::keyClick(dlg.focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(dlg.focusWidget(), next);
    }
}

TEST_F(ControlsTest, EnterPressesOnlyTheFocusedButtonAndNeverCloses) {
    CChipboxDlg& dlg = WindowWith("minimal");
    dlg.hardSidBox()->setFocus();
    QTest::keyClick(dlg.hardSidBox(), Qt::Key_Return);
    Settle();
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(dlg.hardSidBox()->isChecked());
    EXPECT_TRUE(settings.written.empty());

    dlg.playPauseButton()->setFocus();
    QTest::keyClick(dlg.playPauseButton(), Qt::Key_Enter);
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(settings.written.empty());
}

TEST_F(ControlsTest, ButtonMnemonicsPressTheirButtonsEvenWhereTheMenuSharesThem) {
    CChipboxDlg& dlg = WindowWith("subsongs");
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
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
    EXPECT_TRUE(QTest::qWaitFor([] { return playerState.playing.load(); }, 1000));
}

TEST_F(ControlsTest, TooltipsExplainTheCardBoxAndTheBar) {
    CChipboxDlg& dlg = WindowWith("minimal");
    EXPECT_EQ(dlg.toolTips().ToolText(dlg.hardSidBox()),
              QStringLiteral("Native HardSID soundcard support"));
    EXPECT_EQ(dlg.toolTips().ToolText(dlg.cpuBar()), QStringLiteral("C64 CPU utilization"));
    EXPECT_TRUE(dlg.toolTips().ToolText(dlg.openButton()).isEmpty());

    const QPoint inside = dlg.cpuBar()->rect().center();
    QHelpEvent help(QEvent::ToolTip, inside, dlg.cpuBar()->mapToGlobal(inside));
    QCoreApplication::sendEvent(dlg.cpuBar(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("C64 CPU utilization"));
    QToolTip::hideText();
}

TEST_F(ControlsTest, TickingTheCardBoxWithoutItsLibraryStopsWarnsAndUnticks) {
    CChipboxDlg& dlg = WindowWith("minimal");
    Click(dlg.playPauseButton());
    Settle();
    ASSERT_TRUE(playerState.playing);
    Click(dlg.hardSidBox());
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Play"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Fatal Error"));
    EXPECT_EQ(messages.shown[0].owner, &dlg);
    EXPECT_FALSE(dlg.hardSidBox()->isChecked());
    EXPECT_FALSE(hardSidMode);
    // Playback is not restarted; the next Play renders in software.
    Click(dlg.playPauseButton());
    Settle();
    EXPECT_TRUE(device->open);
}

TEST_F(ControlsTest, SoundDeviceFailureTellsWithoutOwnerAndAsksToQuit) {
    CChipboxDlg& dlg = WindowWith("minimal");
    QSignalSpy quit(&dlg, &CChipboxDlg::quitRequested);
    device->failOpen = true;
    Click(dlg.playPauseButton());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Unable to use wave-mapper!"));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(messages.shown[0].owner, nullptr);
    EXPECT_EQ(messages.shown[0].icon, window::MessageIcon::Exclamation);
    ASSERT_EQ(quit.size(), 1);
    EXPECT_EQ(quit[0][0].toInt(), window::EXIT_NO_SOUND_DEVICE);
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Play"));
}

}  // namespace
}  // namespace chipbox::test
