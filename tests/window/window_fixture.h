// SPDX-License-Identifier: GPL-2.0-or-later
// A main window on the offscreen platform, connected to the step-by-step test
// device, with message boxes and settings that record what they are given;
// and the mouse's ways into its controls and menus.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <atomic>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ui/common/ui_settings.h"
#include "ui/window/chipbox_dlg.h"
#include "ui/window/message_boxes.h"

class QAbstractButton;
class QMenuBar;
class QWidget;

// Texts in test failures as they read.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace chipbox::test {

class TestAudioDevice;

struct ShownMessage {
    QWidget* owner;
    QString text;
    QString caption;
    window::MessageIcon icon;
    QString detail = {};
    bool operator==(const ShownMessage&) const = default;
};
void PrintTo(const ShownMessage& message, std::ostream* out);

class RecordingMessages final : public window::MessageBoxes {
public:
    void Show(QWidget* owner, const QString& text, const QString& caption, window::MessageIcon icon,
              const QString& detail) override {
        shown.push_back({owner, text, caption, icon, detail});
        if (whileShown) whileShown();
    }
    // Runs while a box is "open", as a real box's event loop would run
    // whatever arrives meanwhile.
    std::function<void()> whileShown;
    std::vector<ShownMessage> shown;
};

// Start values as a test sets them; what is written at exit, with a hook that
// sees the engine at that moment.
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
    CollectorSettings ReadCollector() override { return collectorStart; }
    bool WriteCollector(const CollectorSettings& now) override {
        collectorWritten.push_back(now);
        return true;
    }
    bool WriteCompleteMachine(bool on) override {
        completeMachineWritten.push_back(on);
        return true;
    }
    std::string PlaylistFilePath() override { return playlistPath; }
    StartSettings start;
    int reads = 0;
    std::vector<ExitSettings> written;
    std::function<void()> onWrite;
    CollectorSettings collectorStart;
    std::vector<CollectorSettings> collectorWritten;
    std::vector<bool> completeMachineWritten;
    std::string playlistPath;  // empty: the list is kept nowhere
};

// A FIFO named like a tune that nobody writes. Should a reading wait on it,
// a writer comes after a few seconds and releases it, so that the fault fails
// the test instead of hanging it.
class UnwrittenFifo {
public:
    explicit UnwrittenFifo(std::string path);
    ~UnwrittenFifo();
    const std::string& path() const { return path_; }
    // A reading waited for a writer.
    bool released() const { return released_; }

private:
    std::string path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> released_{false};
    std::thread watchdog_;
};

// The resident memory of this process, in KiB.
long ResidentKilobytes();

// How much resident memory a storm of requests may add. AddressSanitizer
// keeps freed memory aside for a while, so under it memory cannot tell.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr long STORM_MEMORY_KILOBYTES = 1L << 30;
#else
inline constexpr long STORM_MEMORY_KILOBYTES = 4 * 1024;
#endif

// The child of `parent` with the object name `name` (a control or action of
// the window: "playPauseButton", "playPauseAction", "nameField", ...); null,
// and a test failure, when there is none.
template <class T>
T* Named(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) ADD_FAILURE() << "no " << name;
    return child;
}

QStringList Utf8(std::initializer_list<const char*> texts);
void Click(QAbstractButton* button);
// Clicks a menu bar item with the mouse where it is drawn; given `item`, then
// clicks that item of the pop-up the first one opened.
void ChooseFromBar(QMenuBar* bar, const QString& title, const QString& item = {});

class WindowTest : public testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // The window, built but not yet initialised.
    window::CChipboxDlg& Window();
    // Built, initialised (with `commandLine` as the start's path) and shown.
    window::CChipboxDlg& OpenWindow(const std::string& commandLine = {});
    // Opened with the test tune `tune` as the last tune: loaded, not playing.
    window::CChipboxDlg& WindowWith(const std::string& tune);

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
