// SPDX-License-Identifier: GPL-2.0-or-later
// The mixer, opened with View › Mixer while a tune plays, driven by clicks and
// keys.
#include <QCheckBox>
#include <QSlider>
#include <QTest>

#include "sid/sid_state.h"
#include "test_support.h"
#include "ui/window/mixer.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CMixer;

constexpr int CONTROL_REGISTER[3] = {4, 11, 18};

class MixerTest : public WindowTest {
protected:
    // The minimal tune plays with voice 1's gate open and the others' closed.
    CMixer& OpenMixer() {
        if (!window_) {
            OpenWindow(TunePath("minimal"));
            FinishBuffers(2);
        }
        window_->OnCommand(window::ID_VIEW_MIXER);
        EXPECT_NE(window_->mixer(), nullptr);
        return *window_->mixer();
    }
    static bool GateOpen(int voice) {
        return (registerImage.values[CONTROL_REGISTER[voice]] & control::GATE) != 0;
    }
};

// Muting releases the voice at once; unmuting opens the gate again only if it
// was open when the voice was muted.
TEST_F(MixerTest, MuteAndUnmuteDuringPlaybackSaveAndRestoreTheGate) {
    CMixer& mixer = OpenMixer();
    for (const int voice : {0, 1}) {
        const bool gateWasOpen = voice == 0;
        ASSERT_EQ(GateOpen(voice), gateWasOpen);
        QTest::mouseClick(mixer.muteBox(voice), Qt::LeftButton);
        EXPECT_EQ(mixerSettings.voiceMuted[voice], 1);
        EXPECT_FALSE(GateOpen(voice));
        EXPECT_EQ(sidState.voices[voice].envelopePhase, Release);
        FinishBuffers(1);
        QTest::mouseClick(mixer.muteBox(voice), Qt::LeftButton);
        EXPECT_EQ(mixerSettings.voiceMuted[voice], 0);
        EXPECT_EQ(GateOpen(voice), gateWasOpen);
        EXPECT_EQ(sidState.voices[voice].envelopePhase, gateWasOpen ? Attack : Release);
    }
}

// Position 1 at the top is the full level; the down keys move the thumb down.
TEST_F(MixerTest, DigiSliderPositionSetsDivisorAndOffset) {
    CMixer& mixer = OpenMixer();
    const struct {
        Qt::Key key;
        int presses, position;
        double divisor;
        int offset;
    } steps[] = {{Qt::Key_End, 1, 15, 15.0, 14},
                 {Qt::Key_Home, 1, 1, 1.0, 0},
                 {Qt::Key_Down, 7, 8, 1.875, 7}};
    for (const auto& step : steps) {
        for (int i = 0; i < step.presses; ++i) QTest::keyClick(mixer.digiSlider(), step.key);
        EXPECT_EQ(mixer.digiSlider()->value(), step.position);
        EXPECT_EQ(mixerSettings.digiDivisor, step.divisor) << step.position;
        EXPECT_EQ(mixerSettings.digiOffset, step.offset) << step.position;
    }
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
        EXPECT_EQ(mixerSettings.digiOffset, 0);
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
