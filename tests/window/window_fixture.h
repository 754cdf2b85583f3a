// SPDX-License-Identifier: GPL-2.0-or-later
// A main window on the offscreen platform, connected to the step-by-step test
// device, with message boxes and settings that record what they are given.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/common/ui_settings.h"
#include "ui/window/chipbox_dlg.h"
#include "ui/window/message_boxes.h"

class QWidget;

namespace chipbox::test {

class TestAudioDevice;

struct ShownMessage {
    QWidget* owner;
    QString text;
    QString caption;
    window::MessageIcon icon;
};

class RecordingMessages final : public window::MessageBoxes {
public:
    void Show(QWidget* owner, const QString& text, const QString& caption,
              window::MessageIcon icon) override {
        shown.push_back({owner, text, caption, icon});
    }
    std::vector<ShownMessage> shown;
};

// Start values as a test sets them; what is written at exit, and what the
// engine's state was at that moment.
class RecordingSettings final : public SettingsStore {
public:
    StartSettings ReadStart() override {
        ++reads;
        return start;
    }
    bool WriteExit(const ExitSettings& exit) override {
        written.push_back(exit);
        if (onWrite) onWrite();
        return true;
    }
    StartSettings start;
    int reads = 0;
    std::vector<ExitSettings> written;
    std::function<void()> onWrite;
};

class WindowTest : public testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // The window, built but not yet initialised.
    window::CChipboxDlg& Window();
    // Built, initialised (with `commandLine` as the start's path) and shown.
    window::CChipboxDlg& OpenWindow(const std::string& commandLine = {});

    // Lets the window handle everything posted to it so far, and what that
    // posted in turn.
    static void Settle();

    // Plays `count` buffers on the device and lets the window refill them.
    void FinishBuffers(int count);

    std::unique_ptr<TestAudioDevice> device;
    RecordingMessages messages;
    RecordingSettings settings;
    std::unique_ptr<window::CChipboxDlg> window_;
    std::filesystem::path startDirectory;
};

}  // namespace chipbox::test
