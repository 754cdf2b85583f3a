// SPDX-License-Identifier: GPL-2.0-or-later
// The single instance: the hand-over message, the running instance's server,
// and a real second start of the program.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>

#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_support.h"
#include "ui/window/command_line.h"
#include "ui/window/instance_channel.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::HAND_OVER_LIMIT;
using window::HandOverReader;
using Status = HandOverReader::Status;

QByteArray Length(quint32 length) {
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes.append(static_cast<char>(length >> shift));
    return bytes;
}

// Malformed messages are refused end to end, by the running window's server.
TEST(HandOverMessage, IsLengthPathAndZeroAndCarriesPathsPastTheOld255Characters) {
    const std::string path = "/music/" + std::string(1000, 'x') + ".sid";
    const QByteArray message = window::EncodeHandOver(path);
    EXPECT_EQ(message, Length(static_cast<quint32>(path.size() + 1)) +
                           QByteArray::fromStdString(path) + QByteArray(1, '\0'));
    HandOverReader reader;  // the message arriving byte by byte
    for (qsizetype i = 0; i + 1 < message.size(); ++i)
        ASSERT_EQ(reader.Feed(message.mid(i, 1)), Status::Incomplete) << i;
    EXPECT_EQ(reader.Feed(message.right(1)), Status::Complete);
    EXPECT_EQ(reader.path(), path);
    // The longest path the limit allows, with its zero, is sent and taken.
    const QByteArray longest = window::EncodeHandOver(std::string(HAND_OVER_LIMIT - 1, 'p'));
    EXPECT_EQ(HandOverReader().Feed(longest), Status::Complete);
    EXPECT_TRUE(window::EncodeHandOver(std::string(HAND_OVER_LIMIT, 'p')).isEmpty());
}

TEST(CommandLinePath, EnclosingDoubleQuotesAloneAreDroppedAndRelativePathsMadeAbsolute) {
    EXPECT_EQ(window::CutCommandLinePath("\"/music/a b.sid\""), "/music/a b.sid");
    EXPECT_EQ(window::CutCommandLinePath("/music/a b.sid"), "/music/a b.sid");
    EXPECT_EQ(window::CutCommandLinePath("'a.sid'"), "'a.sid'");
    EXPECT_EQ(window::CutCommandLinePath("\"a.sid"), "\"a.sid");
    EXPECT_EQ(window::CutCommandLinePath("\""), "\"");
    EXPECT_EQ(window::CutCommandLinePath("\"\""), "");
    EXPECT_EQ(window::CutCommandLinePath(""), "");
    // A relative path is made absolute against the folder of the start.
    EXPECT_EQ(window::AbsoluteTunePath("tunes/a.sid", "/home/user"), "/home/user/tunes/a.sid");
    EXPECT_EQ(window::AbsoluteTunePath("a.sid", "/"), "/a.sid");
    EXPECT_EQ(window::AbsoluteTunePath("/music/a.sid", "/home/user"), "/music/a.sid");
    EXPECT_EQ(window::AbsoluteTunePath("", "/home/user"), "");
    EXPECT_EQ(window::AbsoluteTunePath("a.sid", ""), "a.sid");
}

// A folder only this user may enter, as XDG_RUNTIME_DIR is.
class RuntimeFolder {
public:
    RuntimeFolder() : saved_(qgetenv("XDG_RUNTIME_DIR")) {
        chmod(QFile::encodeName(folder_.path()).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder_.path()));
    }
    ~RuntimeFolder() { qputenv("XDG_RUNTIME_DIR", saved_); }
    QString path() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
    QByteArray saved_;
};

TEST(InstanceSocket, LivesInThePrivateRuntimeFolder) {
    RuntimeFolder runtime;
    EXPECT_EQ(window::InstanceSocketPath(), runtime.path() + QStringLiteral("/chipbox.instance"));
    // A runtime folder others may enter is not used.
    chmod(QFile::encodeName(runtime.path()).constData(), 0755);
    const QString fallback = window::InstanceSocketPath();
    ASSERT_FALSE(fallback.isEmpty());
    EXPECT_FALSE(fallback.startsWith(runtime.path()));
    struct stat folder {};
    ASSERT_EQ(stat(QFile::encodeName(QFileInfo(fallback).path()).constData(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(folder.st_uid, geteuid());
}

TEST(InstanceSocket, StaleSocketOfAnEndedInstanceDoesNotBlockTheNextStart) {
    RuntimeFolder runtime;
    const QString path = window::InstanceSocketPath();
    // What a crashed instance leaves: a socket file nobody listens on.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(),
                 sizeof address.sun_path - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
    ASSERT_TRUE(QFileInfo::exists(path));

    EXPECT_EQ(window::HandOver(path, "/music/a.sid"), window::HandOverResult::NoInstance);
    window::InstanceServer server;
    EXPECT_TRUE(server.Listen(path));
}

class HandOverTest : public WindowTest {
protected:
    HandOverTest() {
        socketPath = window::InstanceSocketPath();
        EXPECT_TRUE(server.Listen(socketPath));
    }
    // The window as the running instance, taking hand-overs.
    window::CChipboxDlg& RunningWindow() {
        window::CChipboxDlg& dlg = OpenWindow();
        server.Start([&dlg](const std::string& path) { dlg.ReceiveHandOver(path); });
        return dlg;
    }
    // Runs `work` on another thread, as another process would, while an
    // event loop on this thread serves it, as a box's loop would. A window
    // that never answers ends the test program rather than hanging it.
    template <typename Work>
    auto OnOtherThread(Work work) {
        auto result = std::async(std::launch::async, work);
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (result.wait_for(std::chrono::seconds(0)) == std::future_status::ready) loop.quit();
        });
        poll.start(1);
        QTimer::singleShot(std::chrono::seconds(60), &loop, &QEventLoop::quit);
        loop.exec();
        if (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ADD_FAILURE() << "the window did not answer";
            std::_Exit(1);
        }
        return result.get();
    }

    // Runs the program itself as the second start.
    int RunSecondStart(const QStringList& arguments, const QString& folder) {
        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(environment);
        second.setWorkingDirectory(folder);
        second.start(QStringLiteral(CHIPBOX_PROGRAM), arguments);
        EXPECT_TRUE(second.waitForStarted());
        EXPECT_TRUE(
            QTest::qWaitFor([&second] { return second.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(second.readAllStandardError(), QByteArray());
        return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -1;
    }

    RuntimeFolder runtime;
    QString socketPath;
    window::InstanceServer server;
};

// Each is dropped without an answer; a good message afterwards is loaded and
// played before its sender hears back.
TEST_F(HandOverTest, MalformedMessagesAreIgnoredAndTheirConnectionClosed) {
    window::CChipboxDlg& dlg = RunningWindow();
    const QByteArray bad[] = {
        Length(0),
        Length(HAND_OVER_LIMIT + 1) + QByteArray(100, 'x'),
        Length(4) + QByteArray("a.si"),
        Length(6) + QByteArray("a\0.sid", 6),
        Length(3) + QByteArray("ab\0", 3) + QByteArray("more"),
    };
    for (const QByteArray& message : bad) {
        // The raw bytes, then wait for the server to close without an answer.
        const QByteArray answer = OnOtherThread([this, message] {
            QLocalSocket socket;
            socket.connectToServer(socketPath);
            if (!socket.waitForConnected(2000)) return QByteArray("not connected");
            socket.write(message);
            socket.waitForBytesWritten(2000);
            QByteArray received;
            while (socket.waitForReadyRead(5000)) received += socket.readAll();
            if (socket.state() != QLocalSocket::UnconnectedState) return QByteArray("still open");
            return received;
        });
        EXPECT_TRUE(answer.isEmpty()) << answer.toStdString();
    }
    Settle();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(currentTunePath.empty());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Chipbox v0.965"));

    EXPECT_EQ(OnOtherThread([this] { return window::HandOver(socketPath, TunePath("minimal")); }),
              window::HandOverResult::Handled);
    EXPECT_EQ(Named<QLabel>(dlg, "nameField")->text(), QStringLiteral("Minimal"));
    Settle();
    EXPECT_TRUE(playerState.playing);
}

// A script handing over a folder of broken files: a thousand more paths come
// while the first one's box is open. Each is answered at once, no second box
// opens inside the first, memory stays where it was, and only the latest is
// loaded once the box is closed; then the window takes a good tune as ever.
TEST_F(HandOverTest, AStormOfBrokenFilesShowsOneBoxAtATimeAndLoadsTheLatest) {
    constexpr int STORM = 1000;
    window::CChipboxDlg& dlg = RunningWindow();
    int depth = 0, deepest = 0, handled = 0;
    long grown = 0;
    messages.whileShown = [&] {
        deepest = std::max(deepest, ++depth);
        if (messages.shown.size() == 1) {
            const long before = ResidentKilobytes();
            handled = OnOtherThread([this] {
                int answered = 0;
                for (int i = 0; i < STORM; ++i)
                    answered +=
                        window::HandOver(socketPath, "/nonexistent/storm-" + std::to_string(i) +
                                                         ".sid") == window::HandOverResult::Handled;
                return answered;
            });
            grown = ResidentKilobytes() - before;
        }
        --depth;
    };
    dlg.ReceiveHandOver("/nonexistent/first.sid");
    Settle();
    EXPECT_EQ(handled, STORM);
    EXPECT_EQ(deepest, 1);
    EXPECT_LT(grown, STORM_MEMORY_KILOBYTES) << "KiB";
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text,
              QString::fromStdString("/nonexistent/storm-" + std::to_string(STORM - 1) +
                                     ".sid\ncould not be loaded..."));
    messages.whileShown = nullptr;
    EXPECT_EQ(OnOtherThread([this] { return window::HandOver(socketPath, TunePath("minimal")); }),
              window::HandOverResult::Handled);
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(Named<QLabel>(dlg, "nameField")->text(), QStringLiteral("Minimal"));
}

// The second start ends with 0 once the running window has handled it: with
// no file the window is restored; a relative file is taken from the folder
// the second start ran in, even one that does not load.
TEST_F(HandOverTest, SecondStartHandsItsFileOverAbsoluteAndEndsOnceItIsHandled) {
    window::CChipboxDlg& dlg = RunningWindow();
    dlg.showMinimized();
    Settle();
    ASSERT_TRUE(dlg.isMinimized());
    const std::filesystem::path tune = TunePath("subsongs");
    const QString folder = QString::fromStdString(tune.parent_path().string());
    EXPECT_EQ(RunSecondStart({}, folder), 0);
    EXPECT_FALSE(dlg.isMinimized());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(currentTunePath.empty());

    EXPECT_EQ(RunSecondStart({QStringLiteral("subsongs.sid")}, folder), 0);
    EXPECT_EQ(currentTunePath, tune.string());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("subsongs.sid - Chipbox v0.965"));
    Settle();
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(messages.shown.empty());

    EXPECT_EQ(RunSecondStart({QStringLiteral("lost.sid")}, folder), 0);
    EXPECT_EQ(currentTunePath, (tune.parent_path() / "lost.sid").string());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Warning"));
}

}  // namespace
}  // namespace chipbox::test
