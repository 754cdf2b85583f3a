// SPDX-License-Identifier: GPL-2.0-or-later
// The HardSID box against the stand-in card library: one that binds, one that
// lacks its write entry, and none at all. Each suite runs with LD_LIBRARY_PATH
// naming the folder of its variant (see CMakeLists.txt).
#include <QCheckBox>
#include <QPushButton>

#include "playback/hardsid_binding.h"
#include "playback/player_engine.h"
#include "sid/hardsid_link.h"
#include "stand_in_card.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::CChipboxDlg;
using window::MessageIcon;

int CardCalls(CardCall::Kind kind) {
    int count = 0;
    for (const CardCall& call : StandInCardCalls()) count += call.kind == kind ? 1 : 0;
    return count;
}

// The library stays loaded from one test to the next: each starts from no calls.
class CardTest : public WindowTest {
protected:
    CardTest() { ClearStandInCard(); }
    void ExpectBoundOnce(const CChipboxDlg& dlg) {
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_TRUE(Named<QCheckBox>(dlg, "hardSidBox")->isChecked());
        EXPECT_TRUE(hardSidMode);
        EXPECT_EQ(CardCalls(CardCall::InitMapper), 1);
    }
    // The box unticked after `count` reports of `message`.
    void ExpectRefused(const CChipboxDlg& dlg, const ShownMessage& message, std::size_t count) {
        EXPECT_EQ(messages.shown, std::vector(count, message));
        EXPECT_FALSE(Named<QCheckBox>(dlg, "hardSidBox")->isChecked());
        EXPECT_FALSE(hardSidMode);
    }
};
using BoundCard = CardTest;
// A failed bind is tried again at the next tick.
using CorruptCard = CardTest;
// The stored choice and a tick alike warn and untick the box; a tick stops
// playback, and the next Play renders in software.
using MissingCard = CardTest;

TEST_F(BoundCard, StoredChoiceTicksTheBoxAndBindsTheCardAtStart) {
    settings.start.hardSidSupport = true;
    ExpectBoundOnce(OpenWindow());
}

TEST_F(BoundCard, TickingBindsOncePlaysOnTheCardAndIsStoredAtClose) {
    CChipboxDlg& dlg = WindowWith("minimal");
    Click(Named<QCheckBox>(dlg, "hardSidBox"));
    ExpectBoundOnce(dlg);

    // Playing on the card opens no stream; the writes go to the card.
    const int writes = CardCalls(CardCall::Write);
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(Named<QPushButton>(dlg, "playPauseButton")->text(), QStringLiteral("&Pause"));
    EXPECT_FALSE(device->open);
    EXPECT_GT(CardCalls(CardCall::Write), writes);

    // Unticking stops; ticking again does not bind a second time.
    Click(Named<QCheckBox>(dlg, "hardSidBox"));
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(hardSidMode);
    Click(Named<QCheckBox>(dlg, "hardSidBox"));
    ExpectBoundOnce(dlg);
    dlg.close();
    ASSERT_EQ(settings.written.size(), 1u);
    EXPECT_TRUE(settings.written[0].hardSidSupport);
}

TEST_F(CorruptCard, LibraryWithoutWriteEntryIsReportedWithTheProgramsName) {
    CChipboxDlg& dlg = OpenWindow();
    const ShownMessage corrupt{&dlg, QStringLiteral("Error: HARDSID.DLL is corrupt!"),
                               QStringLiteral("Chipbox v0.965"), MessageIcon::Exclamation};
    Click(Named<QCheckBox>(dlg, "hardSidBox"));
    ExpectRefused(dlg, corrupt, 1);
    Click(Named<QCheckBox>(dlg, "hardSidBox"));
    ExpectRefused(dlg, corrupt, 2);
}

TEST_F(MissingCard, WithoutTheLibraryTheBoxWarnsAndUnticks) {
    settings.start.hardSidSupport = true;
    CChipboxDlg& dlg = WindowWith("minimal");
    const ShownMessage notFound{&dlg,
                                QStringLiteral("Error: HardSID.DLL not found.\n\nThis feature only "
                                               "works if you\nhave a hardsid soundcard!"),
                                QStringLiteral("Fatal Error"), MessageIcon::Exclamation};
    ExpectRefused(dlg, notFound, 1);
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    Settle();
    ASSERT_TRUE(playerState.playing);
    Click(Named<QCheckBox>(dlg, "hardSidBox"));
    ExpectRefused(dlg, notFound, 2);
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(Named<QPushButton>(dlg, "playPauseButton")->text(), QStringLiteral("&Play"));
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    Settle();
    EXPECT_TRUE(device->open);
}

}  // namespace
}  // namespace chipbox::test
