// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop's media controls on a private session bus (the tests run under
// dbus-run-session): the commands reach the engine, the desktop hears the
// state and the tune, and the real program can be played and quit this way.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "playback/player_engine.h"
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

    // Waits with the event loop running, so a service in this process answers.
    QDBusMessage Call(const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(SERVICE, PATH, interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = bus_.asyncCall(call);
        EXPECT_TRUE(QTest::qWaitFor([&pending] { return pending.isFinished(); }, 10000));
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
        return QStringList{dlg.subsongField()->text(), dlg.playPauseButton()->text(),
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
    Click(dlg.playPauseButton());
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

// The program as a user starts it: a relative path, a desktop that quits it,
// and the settings file it leaves.
TEST(MprisProgram, ProgramPlaysItsTuneAndWritesItsSettingsWhenQuit) {
    Desktop desktop;
    ASSERT_TRUE(desktop.connected());
    QTemporaryDir home;
    const std::filesystem::path tune = TunePath("subsongs");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QString::fromStdString(tune.parent_path().string()));
    program.start(QStringLiteral(CHIPBOX_PROGRAM), {QStringLiteral("subsongs.sid")});
    ASSERT_TRUE(program.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&desktop] { return desktop.ServiceThere(); }, 20000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&desktop] {
            return desktop.Property("PlaybackStatus").toString() == QStringLiteral("Playing");
        },
        10000));
    EXPECT_EQ(desktop.Title(), QStringLiteral("Subsongs"));
    desktop.Call(ROOT, QStringLiteral("Quit"));
    ASSERT_TRUE(
        QTest::qWaitFor([&program] { return program.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    const std::string text = ReadFile((home.path() + QStringLiteral("/chipbox.INI")).toStdString());
    EXPECT_NE(text.find("LastTune=" + tune.string()), std::string::npos) << text;
}

}  // namespace
}  // namespace chipbox::test

#include "mpris_test.moc"
