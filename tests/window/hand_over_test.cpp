// SPDX-License-Identifier: GPL-2.0-or-later
// The single instance: the hand-over message, the running instance's server,
// and a real second start of the program.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <future>

#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "test_support.h"
#include "ui/window/command_line.h"
#include "ui/window/instance_channel.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

using window::HandOverReader;
using Status = HandOverReader::Status;

QByteArray Length(quint32 length) {
    QByteArray bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes.append(static_cast<char>(length >> shift));
    return bytes;
}

Status Read(const QByteArray& message) {
    HandOverReader reader;
    return reader.Feed(message);
}

TEST(HandOverMessage, CarriesTheWholePathEvenPastTheOld255Characters) {
    const std::string path = "/music/" + std::string(1000, 'x') + ".sid";
    const QByteArray message = window::EncodeHandOver(path);
    ASSERT_EQ(message.size(), 4 + static_cast<qsizetype>(path.size()) + 1);
    EXPECT_EQ(message.left(4), Length(static_cast<quint32>(path.size() + 1)));
    HandOverReader reader;
    // Arriving byte by byte.
    for (qsizetype i = 0; i + 1 < message.size(); ++i)
        EXPECT_EQ(reader.Feed(message.mid(i, 1)), Status::Incomplete);
    EXPECT_EQ(reader.Feed(message.right(1)), Status::Complete);
    EXPECT_EQ(reader.path(), path);
}

TEST(HandOverMessage, EmptyPathAsksForTheWindow) {
    HandOverReader reader;
    EXPECT_EQ(reader.Feed(window::EncodeHandOver("")), Status::Complete);
    EXPECT_EQ(reader.path(), "");
}

TEST(HandOverMessage, MalformedMessagesAreRecognised) {
    EXPECT_EQ(Read(Length(0)), Status::Malformed);
    EXPECT_EQ(Read(Length(window::HAND_OVER_LIMIT + 1)), Status::Malformed);
    EXPECT_EQ(Read(Length(0xFFFFFFFF)), Status::Malformed);
    EXPECT_EQ(Read(Length(4) + QByteArray("a.si")), Status::Malformed);  // no terminator
    EXPECT_EQ(Read(Length(4) + QByteArray("a\0b\0", 4)), Status::Malformed);
    EXPECT_EQ(Read(Length(2) + QByteArray("a\0b", 3)), Status::Malformed);  // bytes past it
    EXPECT_EQ(Read(Length(6) + QByteArray("a.s", 3)), Status::Incomplete);
    const QByteArray longest = Length(window::HAND_OVER_LIMIT) +
                               QByteArray(window::HAND_OVER_LIMIT - 1, 'p') + QByteArray(1, '\0');
    EXPECT_EQ(Read(longest), Status::Complete);
}

TEST(HandOverMessage, PathTooLongForTheLimitIsNotSent) {
    EXPECT_TRUE(window::EncodeHandOver(std::string(window::HAND_OVER_LIMIT, 'p')).isEmpty());
    EXPECT_FALSE(window::EncodeHandOver(std::string(window::HAND_OVER_LIMIT - 1, 'p')).isEmpty());
}

TEST(CommandLinePath, EnclosingDoubleQuotesAloneAreDropped) {
    EXPECT_EQ(window::CutCommandLinePath("\"/music/a b.sid\""), "/music/a b.sid");
    EXPECT_EQ(window::CutCommandLinePath("/music/a b.sid"), "/music/a b.sid");
    EXPECT_EQ(window::CutCommandLinePath("'a.sid'"), "'a.sid'");
    EXPECT_EQ(window::CutCommandLinePath("\"a.sid"), "\"a.sid");
    EXPECT_EQ(window::CutCommandLinePath("\""), "\"");
    EXPECT_EQ(window::CutCommandLinePath("\"\""), "");
    EXPECT_EQ(window::CutCommandLinePath(""), "");
}

TEST(CommandLinePath, RelativePathIsMadeAbsoluteAgainstTheStartFolder) {
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
    // Runs `work` on another thread, as another process would, while this
    // thread's event loop serves it.
    template <typename Work>
    auto OnOtherThread(Work work) {
        auto result = std::async(std::launch::async, work);
        EXPECT_TRUE(QTest::qWaitFor(
            [&result] {
                return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            },
            20000));
        return result.get();
    }

    RuntimeFolder runtime;
    QString socketPath;
    window::InstanceServer server;
};

TEST_F(HandOverTest, HandedOverTuneIsLoadedAndPlayedBeforeTheSenderHearsBack) {
    window::CChipboxDlg& dlg = RunningWindow();
    const std::string path = TunePath("subsongs");
    const auto result = OnOtherThread([this, path] { return window::HandOver(socketPath, path); });
    EXPECT_EQ(result, window::HandOverResult::Handled);
    EXPECT_EQ(currentTunePath, path);
    EXPECT_EQ(dlg.nameField()->text(), QStringLiteral("Subsongs"));
    Settle();
    EXPECT_TRUE(playerState.playing);
}

TEST_F(HandOverTest, FailedLoadStillAnswersAfterItsMessage) {
    RunningWindow();
    const auto result = OnOtherThread(
        [this] { return window::HandOver(socketPath, "/nonexistent/folder/lost.sid"); });
    EXPECT_EQ(result, window::HandOverResult::Handled);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Warning"));
}

TEST_F(HandOverTest, MalformedMessagesAreIgnoredAndTheirConnectionClosed) {
    window::CChipboxDlg& dlg = RunningWindow();
    const QByteArray bad[] = {
        Length(0),
        Length(window::HAND_OVER_LIMIT + 1) + QByteArray(100, 'x'),
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
    // The server still takes a good message afterwards.
    EXPECT_EQ(OnOtherThread([this] { return window::HandOver(socketPath, TunePath("minimal")); }),
              window::HandOverResult::Handled);
    EXPECT_EQ(dlg.nameField()->text(), QStringLiteral("Minimal"));
}

// The program itself as the second start.
class SecondStartTest : public HandOverTest {
protected:
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
};

TEST_F(SecondStartTest, RelativePathIsHandedOverAbsoluteAndPlayed) {
    window::CChipboxDlg& dlg = RunningWindow();
    const std::filesystem::path tune = TunePath("subsongs");
    const QString folder = QString::fromStdString(tune.parent_path().string());
    EXPECT_EQ(RunSecondStart({QStringLiteral("subsongs.sid")}, folder), 0);
    EXPECT_EQ(currentTunePath, tune.string());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("subsongs.sid - Chipbox v0.965"));
    Settle();
    EXPECT_TRUE(playerState.playing);
}

TEST_F(SecondStartTest, StartWithoutFileRestoresTheRunningWindow) {
    window::CChipboxDlg& dlg = RunningWindow();
    dlg.showMinimized();
    Settle();
    ASSERT_TRUE(dlg.isMinimized());
    EXPECT_EQ(RunSecondStart({}, QDir::tempPath()), 0);
    EXPECT_FALSE(dlg.isMinimized());
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(currentTunePath.empty());
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace chipbox::test
