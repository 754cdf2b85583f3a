// SPDX-License-Identifier: GPL-2.0-or-later
// The HardSID box with a card library present: one that binds, and one that
// lacks its write entry. Each suite runs with LD_LIBRARY_PATH naming the
// folder of its stand-in library (see CMakeLists.txt).
#include <dlfcn.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include "playback/hardsid_binding.h"
#include "playback/player_engine.h"
#include "sid/hardsid_link.h"
#include "test_audio_device.h"
#include "test_support.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

// A counter of the stand-in library; 0 while the player has not loaded it.
// The library stays loaded from one test to the next, so tests compare.
int CardCounter(const char* name) {
    void* library = dlopen(HARDSID_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    if (!library) return 0;
    const int* counter = static_cast<const int*>(dlsym(library, name));
    const int value = counter ? *counter : -1;
    dlclose(library);
    return value;
}

using BoundCard = WindowTest;

TEST_F(BoundCard, TickingBindsOnceAndSwitchesOutputToTheCard) {
    settings.start.lastTune = TunePath("minimal");
    window::CChipboxDlg& dlg = OpenWindow();
    const int inits = CardCounter("fakeCardInits");
    QTest::mouseClick(dlg.hardSidBox(), Qt::LeftButton);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(dlg.hardSidBox()->isChecked());
    EXPECT_TRUE(hardSidMode);
    EXPECT_TRUE(HardSidBound());
    EXPECT_EQ(CardCounter("fakeCardInits"), inits + 1);

    // Playing on the card opens no stream; the writes go to the card.
    const int writes = CardCounter("fakeCardWrites");
    QTest::mouseClick(dlg.playPauseButton(), Qt::LeftButton);
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(dlg.playPauseButton()->text(), QStringLiteral("&Pause"));
    EXPECT_FALSE(device->open);
    EXPECT_GT(CardCounter("fakeCardWrites"), writes);

    // Unticking stops; ticking again does not bind a second time.
    QTest::mouseClick(dlg.hardSidBox(), Qt::LeftButton);
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(hardSidMode);
    QTest::mouseClick(dlg.hardSidBox(), Qt::LeftButton);
    EXPECT_TRUE(hardSidMode);
    EXPECT_EQ(CardCounter("fakeCardInits"), inits + 1);

    dlg.close();
    ASSERT_EQ(settings.written.size(), 1u);
    EXPECT_TRUE(settings.written[0].hardSidSupport);
}

TEST_F(BoundCard, StoredChoiceTicksTheBoxAtStart) {
    settings.start.hardSidSupport = true;
    const int inits = CardCounter("fakeCardInits");
    window::CChipboxDlg& dlg = OpenWindow();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(dlg.hardSidBox()->isChecked());
    EXPECT_TRUE(hardSidMode);
    EXPECT_EQ(CardCounter("fakeCardInits"), inits + 1);
}

using CorruptCard = WindowTest;

TEST_F(CorruptCard, LibraryWithoutWriteEntryIsReportedWithTheProgramsName) {
    window::CChipboxDlg& dlg = OpenWindow();
    QTest::mouseClick(dlg.hardSidBox(), Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Error: HARDSID.DLL is corrupt!"));
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Chipbox v0.965"));
    EXPECT_EQ(messages.shown[0].icon, window::MessageIcon::Exclamation);
    EXPECT_EQ(messages.shown[0].owner, &dlg);
    EXPECT_FALSE(dlg.hardSidBox()->isChecked());
    EXPECT_FALSE(hardSidMode);
    // A failed bind is tried again at the next tick.
    QTest::mouseClick(dlg.hardSidBox(), Qt::LeftButton);
    EXPECT_EQ(messages.shown.size(), 2u);
}

}  // namespace
}  // namespace chipbox::test
