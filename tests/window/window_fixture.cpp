// SPDX-License-Identifier: GPL-2.0-or-later
// The window tests' fixture, the mouse's ways into menus, and their main.
#include "window_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <chrono>
#include <fstream>

#include "playback/audio_stream.h"
#include "playback/hardsid_binding.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_audio_device.h"
#include "test_support.h"

namespace chipbox::test {

void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << "{owner " << message.owner << ", \"" << message.text.toStdString() << "\", \""
         << message.caption.toStdString() << "\", icon " << static_cast<int>(message.icon)
         << ", detail \"" << message.detail.toStdString() << "\"}";
}

UnwrittenFifo::UnwrittenFifo(std::string path) : path_(std::move(path)) {
    std::filesystem::remove(path_);
    EXPECT_EQ(mkfifo(path_.c_str(), 0600), 0) << path_;
    // A correct reading opens and closes the FIFO at once; only one that is
    // still there after the grace time is waiting.
    watchdog_ = std::thread([this] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!stop_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (!stop_) {
            const int writer = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
                released_ = true;
                close(writer);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

UnwrittenFifo::~UnwrittenFifo() {
    stop_ = true;
    watchdog_.join();
    std::filesystem::remove(path_);
}

long ResidentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

QStringList Utf8(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts) list << QString::fromUtf8(text);
    return list;
}

void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

namespace {

QAction* ActionNamed(const QList<QAction*>& actions, const QString& text) {
    for (QAction* action : actions)
        if (action->text() == text) return action;
    return nullptr;
}

}  // namespace

void ChooseFromBar(QMenuBar* bar, const QString& title, const QString& item) {
    QAction* titleAction = ActionNamed(bar->actions(), title);
    ASSERT_NE(titleAction, nullptr) << title.toStdString();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(titleAction).center());
    if (item.isEmpty()) return;
    QMenu* menu = titleAction->menu();
    ASSERT_NE(menu, nullptr) << title.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    QAction* action = ActionNamed(menu->actions(), item);
    ASSERT_NE(action, nullptr) << item.toStdString();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

WindowTest::WindowTest()
    : device(std::make_unique<TestAudioDevice>()), startDirectory(std::filesystem::current_path()) {
    ResetEngine();
    ResetUiSettings();
    UseAudioDevice(*device);
}

WindowTest::~WindowTest() {
    window_.reset();
    Settle();
    CloseSoundOutput();  // before the device goes
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

window::CChipboxDlg& WindowTest::WindowWith(const std::string& tune) {
    settings.start.lastTune = TunePath(tune);
    return OpenWindow();
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

// A QApplication on the offscreen platform (no test needs a display), then
// GoogleTest.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
