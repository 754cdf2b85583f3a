// SPDX-License-Identifier: GPL-2.0-or-later
// The mixer, opened with View › Mixer while a tune plays, driven by clicks and
// keys.
#include <QCheckBox>
#include <QMenuBar>
#include <QSlider>
#include <QTest>

#include "sid/sid_state.h"
#include "test_support.h"
#include "ui/window/mixer.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CMixer;

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

}  // namespace
}  // namespace chipbox::test
