// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop's media controls on a private session bus (the tests run under
// dbus-run-session): the commands reach the engine, the desktop hears the
// state and the tune, and the real program can be played and quit this way.
#include <signal.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <fstream>

#include "playback/player_engine.h"
#include "ui/common/song_lengths.h"
#include "ui/window/collection_documents.h"
#include "ui/window/playlist_window.h"
#include "ui/window/tune_header_reader.h"
#include "test_support.h"
#include "ui/window/mpris_player.h"
#include "window_fixture.h"

namespace chipbox::test {
namespace {

const QString SERVICE = QString::fromLatin1(window::MPRIS_SERVICE);
const QString PATH = QString::fromLatin1(window::MPRIS_OBJECT_PATH);
const QString PLAYER = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString ROOT = QStringLiteral("org.mpris.MediaPlayer2");
const QString PROPERTIES = QStringLiteral("org.freedesktop.DBus.Properties");

// A second connection to the bus: what a desktop's media controls are.
class Desktop {
public:
    Desktop() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, Name())) {}
    ~Desktop() { QDBusConnection::disconnectFromBus(bus_.name()); }

    bool connected() const { return bus_.isConnected(); }

    // Waits with an event loop running, as a box's would, so that a service
    // in this process answers.
    QDBusMessage Call(const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = bus_.asyncCall(call);
        QDBusPendingCallWatcher watcher(pending);
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (!pending.isFinished()) loop.exec();
        EXPECT_TRUE(pending.isFinished());
        QCoreApplication::processEvents();  // what the command posted
        return pending.reply();
    }
    void Command(const char* method) { Call(PLAYER, QString::fromUtf8(method)); }
    QVariant Property(const char* name, const QString& interface = PLAYER) {
        const QDBusMessage reply =
            Call(PROPERTIES, QStringLiteral("Get"), {interface, QString::fromUtf8(name)});
        if (reply.type() != QDBusMessage::ReplyMessage) return {};
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Property("Metadata")); }
    QString Title() { return Metadata().value(QStringLiteral("xesam:title")).toString(); }
    bool ServiceThere() { return bus_.interface()->isServiceRegistered(SERVICE).value(); }
    QDBusConnection& bus() { return bus_; }

private:
    static QString Name() {
        static int count = 0;
        return QStringLiteral("desktop%1").arg(++count);
    }
    QDBusConnection bus_;
};

// Collects the PropertiesChanged signals of the player.
class ChangeListener : public QObject {
    Q_OBJECT
public:
    explicit ChangeListener(QDBusConnection& bus) {
        bus.connect(SERVICE, PATH, PROPERTIES, QStringLiteral("PropertiesChanged"), this,
                    SLOT(OnChanged(QString, QVariantMap, QStringList)));
    }
    QList<QVariantMap> changes;

public slots:
    void OnChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface == PLAYER) changes << changed;
    }
};

class MprisTest : public WindowTest {
protected:
    window::CChipboxDlg& PlayerWith(const std::string& tune) {
        settings.start.lastTune = TunePath(tune);
        window::CChipboxDlg& dlg = Window();
        mpris = std::make_unique<window::MprisPlayer>(dlg, QDBusConnection::sessionBus());
        OpenWindow();
        // The name is asked for without waiting; the answer comes in the loop.
        EXPECT_TRUE(QTest::qWaitFor([this] { return mpris->registered(); }, 10000));
        return dlg;
    }
    void TearDown() override { mpris.reset(); }
    std::unique_ptr<window::MprisPlayer> mpris;
    Desktop desktop;
};

// The player names itself, the tune and its author. Next and Previous are
// offered only where there is a song to go to; Quit runs the window's
// shutdown.
TEST_F(MprisTest, PlayerIsOnTheBusAndItsCommandsWorkLikeTheButtons) {
    ASSERT_TRUE(desktop.connected());
    window::CChipboxDlg& dlg = PlayerWith("subsongs");
    ASSERT_TRUE(mpris->registered());
    EXPECT_TRUE(desktop.ServiceThere());
    EXPECT_EQ(desktop.Property("Identity", ROOT).toString(), QStringLiteral("Chipbox"));
    EXPECT_EQ(desktop.Property("DesktopEntry", ROOT).toString(), QStringLiteral("chipbox"));
    EXPECT_TRUE(desktop.Property("CanControl").toBool());
    const QVariantMap metadata = desktop.Metadata();
    EXPECT_EQ(desktop.Title(), QStringLiteral("Subsongs"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:artist")).toStringList(),
              QStringList{QStringLiteral("Chipbox tests")});
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:trackNumber")).toInt(), 2);
    EXPECT_TRUE(metadata.contains(QStringLiteral("mpris:trackid")));

    EXPECT_EQ(desktop.Property("PlaybackStatus").toString(), QStringLiteral("Stopped"));
    // The subsong and the button, and what the desktop is told: the status and
    // whether Next and Previous lead anywhere.
    auto shown = [&] {
        return QStringList{Named<QLabel>(dlg, "subsongField")->text(),
                           Named<QPushButton>(dlg, "playPauseButton")->text(),
                           desktop.Property("PlaybackStatus").toString(),
                           desktop.Property("CanGoNext").toString(),
                           desktop.Property("CanGoPrevious").toString()};
    };
    const std::pair<const char*, QStringList> steps[] = {
        {"Play", Utf8({"2 / 3", "&Pause", "Playing", "true", "true"})},
        {"Play", Utf8({"2 / 3", "&Pause", "Playing", "true", "true"})},  // no change
        {"Pause", Utf8({"2 / 3", "&Play", "Paused", "true", "true"})},
        {"PlayPause", Utf8({"2 / 3", "&Pause", "Playing", "true", "true"})},
        {"Next", Utf8({"3 / 3", "&Pause", "Playing", "false", "true"})},
        {"Previous", Utf8({"2 / 3", "&Pause", "Playing", "true", "true"})},
        {"Previous", Utf8({"1 / 3", "&Pause", "Playing", "true", "false"})},
        {"Stop", Utf8({"1 / 3", "&Play", "Stopped", "true", "false"})},
        {"Play", Utf8({"1 / 3", "&Pause", "Playing", "true", "false"})},
    };
    for (const auto& [command, expected] : steps) {
        desktop.Command(command);
        EXPECT_EQ(shown(), expected) << command;
    }
    desktop.Call(ROOT, QStringLiteral("Quit"));
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(settings.written.size(), 1u);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(MprisTest, DesktopHearsOfStateAndTuneChanges) {
    window::CChipboxDlg& dlg = PlayerWith("minimal");
    ChangeListener listener(desktop.bus());
    QTest::qWait(100);  // the match rule reaches the bus
    Click(Named<QPushButton>(dlg, "playPauseButton"));
    ASSERT_TRUE(QTest::qWaitFor([&listener] { return !listener.changes.isEmpty(); }, 5000));
    EXPECT_EQ(listener.changes.last().value(QStringLiteral("PlaybackStatus")).toString(),
              QStringLiteral("Playing"));

    listener.changes.clear();
    dlg.ReceiveHandOver(TunePath("subsongs"));
    auto metadata = [&listener] {
        for (const QVariantMap& change : listener.changes)
            if (change.contains(QStringLiteral("Metadata")))
                return qdbus_cast<QVariantMap>(change.value(QStringLiteral("Metadata")));
        return QVariantMap();
    };
    ASSERT_TRUE(QTest::qWaitFor([&metadata] { return !metadata().isEmpty(); }, 5000));
    EXPECT_EQ(metadata().value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("Subsongs"));
}

// Where the song stands, moves within it (forward and back, rendered without
// sound), its length from the song length file, the speed as the rate, and
// past the end the next song.
TEST_F(MprisTest, PositionSeekLengthAndRateWorkOnTheSongPlaying) {
    const std::string bytes = ReadFile(TunePath("subsongs"));
    const std::string lengths = (FreshFolder("mpris_lengths") / "Songlengths.md5").string();
    std::ofstream(lengths) << TuneMd5({reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size()})
                           << "=0:02 0:03 0:01\n";
    settings.collectorStart.songLengthsFile = lengths;
    window::CChipboxDlg& dlg = PlayerWith("subsongs");
    dlg.documents().WaitForReaders();
    Settle();
    EXPECT_EQ(desktop.Metadata().value(QStringLiteral("mpris:length")).toLongLong(), 3'000'000)
        << "the start song, the second";
    EXPECT_FALSE(desktop.Property("CanSeek").toBool()) << "nothing plays";
    EXPECT_EQ(desktop.Property("Position").toLongLong(), 0);
    desktop.Command("Play");
    EXPECT_TRUE(desktop.Property("CanSeek").toBool());
    FinishBuffers(3);
    const auto position = [&] { return desktop.Property("Position").toLongLong(); };
    EXPECT_GE(position(), 400'000);
    EXPECT_LT(position(), 700'000);

    const auto seekAndPlay = [&](const char* method, const QVariantList& arguments) {
        desktop.Call(PLAYER, QString::fromUtf8(method), arguments);
        EXPECT_TRUE(QTest::qWaitFor([] { return !Seeking(); }, 10000));
        Settle();
        FinishBuffers(1);
    };
    seekAndPlay("Seek", {qlonglong{1'500'000}});
    EXPECT_TRUE(playerState.playing);
    EXPECT_GE(position(), 1'900'000);
    EXPECT_LT(position(), 2'400'000);
    const QString track = qdbus_cast<QDBusObjectPath>(
                              desktop.Metadata().value(QStringLiteral("mpris:trackid")))
                              .path();
    seekAndPlay("SetPosition", {QVariant::fromValue(QDBusObjectPath(track)), qlonglong{200'000}});
    EXPECT_GE(position(), 200'000) << "back by starting again";
    EXPECT_LT(position(), 700'000);
    // Another track's position, or one past the end, is not taken.
    desktop.Call(PLAYER, QStringLiteral("SetPosition"),
                 {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/chipbox/other"))),
                  qlonglong{100'000}});
    EXPECT_FALSE(Seeking());

    for (const auto& [rate, speed] : {std::pair{2.0, 2}, std::pair{3.5, 4}, std::pair{0.0, 4},
                                      std::pair{1.0, 1}}) {
        desktop.Call(PROPERTIES, QStringLiteral("Set"),
                     {PLAYER, QStringLiteral("Rate"), QVariant::fromValue(QDBusVariant(rate))});
        EXPECT_EQ(playbackSpeed, speed) << rate;
        EXPECT_EQ(desktop.Property("Rate").toDouble(), speed);
    }
    EXPECT_EQ(desktop.Property("MaximumRate").toDouble(), 4.0);

    // Past the song's end: the next song.
    desktop.Call(PLAYER, QStringLiteral("Seek"), {qlonglong{10'000'000}});
    Settle();
    EXPECT_EQ(Named<QLabel>(dlg, "subsongField")->text(), QStringLiteral("3 / 3"));
    EXPECT_EQ(desktop.Metadata().value(QStringLiteral("mpris:length")).toLongLong(), 1'000'000);
}

// While the playlist runs, Next and Previous go from tune to tune.
TEST_F(MprisTest, NextAndPreviousFollowThePlaylistWhileItRuns) {
    window::CChipboxDlg& dlg = PlayerWith("undocumented_spin");  // one song, not listed
    window::CPlaylist& list = *dlg.playlist();
    list.Add({TunePath("minimal"), TunePath("subsongs")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.size() == 2 && list.reader().idle(); }, 10000));
    EXPECT_FALSE(desktop.Property("CanGoNext").toBool()) << "one song, and the list is not playing";
    list.PlayEntry(0);
    Settle();
    EXPECT_TRUE(desktop.Property("CanGoNext").toBool());
    desktop.Command("Next");
    EXPECT_EQ(Named<QLabel>(dlg, "nameField")->text(), QStringLiteral("Subsongs"));
    desktop.Command("Previous");
    EXPECT_EQ(Named<QLabel>(dlg, "nameField")->text(), QStringLiteral("Minimal"));
}

// A file URI of this machine plays, with the host "localhost" or none; one of
// another host, or another scheme, is refused to the caller and shows nothing.
TEST_F(MprisTest, OpenUriPlaysLocalFilesAndRefusesOthersWithoutABox) {
    window::CChipboxDlg& dlg = PlayerWith("minimal");
    const QString path = QString::fromStdString(TunePath("subsongs"));
    for (const QString& uri :
         {QStringLiteral("file://localhost") + path, QStringLiteral("file://LOCALHOST") + path,
          QUrl::fromLocalFile(path).toString()}) {
        dlg.ReceiveHandOver(TunePath("minimal"));
        const QDBusMessage reply = desktop.Call(PLAYER, QStringLiteral("OpenUri"), {uri});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << uri.toStdString();
        EXPECT_EQ(Named<QLabel>(dlg, "nameField")->text(), QStringLiteral("Subsongs"))
            << uri.toStdString();
    }
    for (const QString& uri : {QStringLiteral("file://elsewhere") + path,
                               QStringLiteral("https://example.org/a.sid"), QString()}) {
        const QDBusMessage reply = desktop.Call(PLAYER, QStringLiteral("OpenUri"), {uri});
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << uri.toStdString();
    }
    EXPECT_TRUE(messages.shown.empty());
}

// A thousand broken files asked for while a box is open: one box, memory
// where it was, the latest loaded once the box closes, the player answering.
TEST_F(MprisTest, AThousandOpenUrisWhileABoxIsOpenLeaveOneBox) {
    constexpr int STORM = 1000;
    window::CChipboxDlg& dlg = PlayerWith("minimal");
    int depth = 0, deepest = 0;
    long grown = 0;
    messages.whileShown = [&] {
        deepest = std::max(deepest, ++depth);
        if (messages.shown.size() == 1) {
            const long before = ResidentKilobytes();
            for (int i = 0; i < STORM; ++i)
                desktop.Call(PLAYER, QStringLiteral("OpenUri"),
                             {QStringLiteral("file:///nonexistent/uri-%1.sid").arg(i)});
            grown = ResidentKilobytes() - before;
        }
        --depth;
    };
    dlg.ReceiveHandOver("/nonexistent/first.sid");
    Settle();
    EXPECT_EQ(deepest, 1);
    EXPECT_LT(grown, STORM_MEMORY_KILOBYTES) << "KiB";
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text,
              QStringLiteral("/nonexistent/uri-%1.sid\ncould not be loaded...").arg(STORM - 1));
    messages.whileShown = nullptr;
    desktop.Command("Play");
    EXPECT_EQ(desktop.Property("PlaybackStatus").toString(), QStringLiteral("Playing"));
}

TEST_F(MprisTest, WithoutABusThePlayerRunsWithoutIt) {
    const QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nobus"));
    window::CChipboxDlg& dlg = Window();
    window::MprisPlayer absent(dlg, none);
    EXPECT_FALSE(absent.registered());
    OpenWindow(TunePath("minimal"));
    EXPECT_TRUE(playerState.playing);
    EXPECT_FALSE(desktop.ServiceThere());
}

// The program as a user starts it, with a home of its own: its settings file
// there, and the offscreen platform and SDL's dummy sound driver.
class Program {
public:
    Program() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home_.path());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        process_.setProcessEnvironment(environment);
    }
    ~Program() {
        process_.kill();
        process_.waitForFinished();
    }
    std::string SettingsPath() const {
        return (home_.path() + QStringLiteral("/chipbox.INI")).toStdString();
    }
    void Start(const QStringList& arguments, const std::string& folder = ".") {
        process_.setWorkingDirectory(QString::fromStdString(folder));
        process_.start(QStringLiteral(CHIPBOX_PROGRAM), arguments);
        ASSERT_TRUE(process_.waitForStarted());
    }
    // The exit status once the program has ended by itself, or -1.
    int WaitForEnd() {
        EXPECT_TRUE(
            QTest::qWaitFor([this] { return process_.state() == QProcess::NotRunning; }, 20000));
        if (process_.state() != QProcess::NotRunning ||
            process_.exitStatus() != QProcess::NormalExit)
            return -1;
        return process_.exitCode();
    }
    qint64 pid() const { return process_.processId(); }
    QString Errors() { return QString::fromUtf8(process_.readAllStandardError()); }

private:
    QTemporaryDir home_;
    QProcess process_;
};

bool WaitForStatus(Desktop& desktop, const char* status) {
    return QTest::qWaitFor(
        [&] { return desktop.Property("PlaybackStatus").toString() == QString::fromUtf8(status); },
        10000);
}

// A relative path, a desktop that quits it, and the settings file it leaves.
TEST(MprisProgram, ProgramPlaysItsTuneAndWritesItsSettingsWhenQuit) {
    Desktop desktop;
    ASSERT_TRUE(desktop.connected());
    Program program;
    const std::filesystem::path tune = TunePath("subsongs");
    program.Start({QStringLiteral("subsongs.sid")}, tune.parent_path().string());
    ASSERT_TRUE(QTest::qWaitFor([&desktop] { return desktop.ServiceThere(); }, 20000));
    EXPECT_TRUE(WaitForStatus(desktop, "Playing"));
    EXPECT_EQ(desktop.Title(), QStringLiteral("Subsongs"));
    desktop.Call(ROOT, QStringLiteral("Quit"));
    EXPECT_EQ(program.WaitForEnd(), 0) << program.Errors().toStdString();
    const std::string text = ReadFile(program.SettingsPath());
    EXPECT_NE(text.find("LastTune=" + tune.string()), std::string::npos) << text;
}

// A stale last tune shows its box while the window starts, before the main
// loop runs: Quit then still means quit, and the window does not come back.
TEST(MprisProgram, QuitWhileTheStartUpBoxIsOpenEndsTheProgram) {
    Desktop desktop;
    ASSERT_TRUE(desktop.connected());
    Program program;
    std::ofstream(program.SettingsPath()) << "[PlayerWindow]\nLastTune=/nonexistent/stale.sid\n";
    program.Start({});
    ASSERT_TRUE(QTest::qWaitFor([&desktop] { return desktop.ServiceThere(); }, 20000));
    desktop.Call(ROOT, QStringLiteral("Quit"));
    EXPECT_EQ(program.WaitForEnd(), 0) << program.Errors().toStdString();
    EXPECT_NE(ReadFile(program.SettingsPath()).find("HardSID_Support=0"), std::string::npos);
}

// kill, Ctrl-C in the terminal and the terminal closing end the window as
// closing it does, while it plays and while the start-up box is open.
class SignalledProgram : public testing::TestWithParam<int> {};

TEST_P(SignalledProgram, EndsAsClosingItDoesAndWritesTheSettings) {
    Desktop desktop;
    ASSERT_TRUE(desktop.connected());
    for (const bool startUpBox : {false, true}) {
        Program program;
        if (startUpBox)
            std::ofstream(program.SettingsPath()) << "[PlayerWindow]\nLastTune=/nonexistent.sid\n";
        program.Start(startUpBox ? QStringList()
                                 : QStringList{QString::fromStdString(TunePath("minimal"))});
        ASSERT_TRUE(QTest::qWaitFor([&desktop] { return desktop.ServiceThere(); }, 20000));
        if (!startUpBox) {
            ASSERT_TRUE(WaitForStatus(desktop, "Playing"));
        }
        kill(static_cast<pid_t>(program.pid()), GetParam());
        EXPECT_EQ(program.WaitForEnd(), 0) << startUpBox << program.Errors().toStdString();
        EXPECT_NE(ReadFile(program.SettingsPath()).find("LastTune=/"), std::string::npos);
        ASSERT_TRUE(QTest::qWaitFor([&desktop] { return !desktop.ServiceThere(); }, 20000));
    }
}

INSTANTIATE_TEST_SUITE_P(TermIntAndHup, SignalledProgram, testing::Values(SIGTERM, SIGINT, SIGHUP));

}  // namespace
}  // namespace chipbox::test

#include "mpris_test.moc"
