// SPDX-License-Identifier: GPL-2.0-or-later
#include "window_fixture.h"

#include "playback/audio_stream.h"
#include "playback/hardsid_binding.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_audio_device.h"
#include "test_support.h"

namespace chipbox::test {

WindowTest::WindowTest()
    : device(std::make_unique<TestAudioDevice>()), startDirectory(std::filesystem::current_path()) {
    ResetMachine();
    ResetPlayer();
    ResetAudioStream();
    ResetHardSidBinding();
    ResetUiSettings();
    currentTunePath.clear();
    UseAudioDevice(*device);
}

WindowTest::~WindowTest() {
    window_.reset();
    Settle();
    ResetAudioStream();
    std::filesystem::current_path(startDirectory);
}

window::CChipboxDlg& WindowTest::Window() {
    if (!window_) window_ = std::make_unique<window::CChipboxDlg>(settings, messages);
    return *window_;
}

window::CChipboxDlg& WindowTest::OpenWindow(const std::string& commandLine) {
    window::CChipboxDlg& dlg = Window();
    dlg.SetCommandLinePath(commandLine);
    dlg.OnInitDialog();
    dlg.show();
    Settle();
    return dlg;
}

void WindowTest::Settle() {
    constexpr int ROUNDS = 8;  // a load posts Play, whose open posts the first fill
    for (int round = 0; round < ROUNDS; ++round) QCoreApplication::processEvents();
}

void WindowTest::FinishBuffers(int count) {
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(device->FinishNext());
        Settle();
    }
}

}  // namespace chipbox::test
