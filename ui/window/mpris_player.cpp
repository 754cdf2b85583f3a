// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/mpris_player.h"

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>
#include <QStringList>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "playback/scope_feed.h"
#include "playback/tune_loading.h"
#include "ui/window/chipbox_dlg.h"
#include "ui/window/playlist_window.h"

namespace chipbox::window {

namespace {

const QString PLAYER_INTERFACE = QStringLiteral("org.mpris.MediaPlayer2.Player");

// The path of a file URI on this machine: its host is empty or "localhost".
std::optional<std::string> LocalPath(QUrl url) {
    if (!url.isValid() || url.scheme() != QStringLiteral("file") || url.path().isEmpty())
        return std::nullopt;
    if (!url.host().isEmpty() &&
        url.host().compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    url.setHost(QString());
    return QFile::encodeName(url.toLocalFile()).toStdString();
}
const QString NO_TRACK = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// RequestName's flag and answer, as the bus defines them.
constexpr uint DO_NOT_QUEUE = 4;
constexpr uint PRIMARY_OWNER = 1;

// The interface every player has: who it is and what it can do as a program.
class MediaPlayer2Adaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit MediaPlayer2Adaptor(MprisPlayer* player)
        : QDBusAbstractAdaptor(player), player_(player) {}
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Chipbox"); }
    QString desktopEntry() const { return QStringLiteral("chipbox"); }
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const { return {QStringLiteral("audio/prs.sid")}; }

public slots:
    void Raise() { player_->Raise(); }
    void Quit() { player_->Quit(); }

private:
    MprisPlayer* player_;
};

// The player's controls. The rate is the playback speed, 1, 2 or 4; a tune
// has no volume of its own here.
class PlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ minimumRate)
    Q_PROPERTY(double MaximumRate READ maximumRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canControl)
    Q_PROPERTY(bool CanPause READ canControl)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    explicit PlayerAdaptor(MprisPlayer* player) : QDBusAbstractAdaptor(player), player_(player) {}
    QString playbackStatus() const { return player_->PlaybackStatus(); }
    double rate() const { return playbackSpeed.load(); }
    void setRate(double rate) { player_->SetRate(rate); }
    double minimumRate() const { return 1.0; }
    double maximumRate() const { return 4.0; }
    QVariantMap metadata() const { return player_->Metadata(); }
    double volume() const { return 1.0; }
    qlonglong position() const { return player_->Position(); }
    bool canGoNext() const { return player_->CanGoNext(); }
    bool canGoPrevious() const { return player_->CanGoPrevious(); }
    bool canSeek() const { return player_->CanSeek(); }
    bool canControl() const { return true; }

public slots:
    void Next() { player_->Next(); }
    void Previous() { player_->Previous(); }
    void Pause() { player_->Pause(); }
    void PlayPause() { player_->PlayPause(); }
    void Stop() { player_->Stop(); }
    void Play() { player_->Play(); }
    void Seek(qlonglong offset) { player_->Seek(offset); }
    void SetPosition(const QDBusObjectPath& track, qlonglong position) {
        player_->SetPosition(track.path(), position);
    }
    void OpenUri(const QString& uri) { player_->OpenUri(uri); }

signals:
    void Seeked(qlonglong position);

private:
    MprisPlayer* player_;
};

}  // namespace

MprisPlayer::MprisPlayer(CChipboxDlg& window) : QObject(&window), window_(window) {
    new MediaPlayer2Adaptor(this);
    new PlayerAdaptor(this);
    connect(&window_, &CChipboxDlg::tuneChanged, this, [this] {
        ++tunesLoaded_;
        tuneUrl_ =
            QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(currentTunePath)))
                .toString();
    });
    // Queued: a command changes the state after it has set the window's
    // texts, and the desktop should hear the state it ends in.
    connect(&window_, &CChipboxDlg::shownStateChanged, this, &MprisPlayer::AnnounceChanges,
            Qt::QueuedConnection);
    connect(&window_, &CChipboxDlg::tuneChanged, this, &MprisPlayer::AnnounceChanges,
            Qt::QueuedConnection);
    connect(&window_, &CChipboxDlg::seeked, this, &MprisPlayer::AnnounceSeek);
}

MprisPlayer::MprisPlayer(CChipboxDlg& window, QDBusConnection bus) : MprisPlayer(window) {
    Attach(std::move(bus));
}

void MprisPlayer::ConnectInBackground() {
    connecting_ = std::thread([this] {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QMetaObject::invokeMethod(
            this, [this, bus] { Attach(bus); }, Qt::QueuedConnection);
    });
}

// Exporting the object is local; the name is asked for without waiting for
// the answer.
void MprisPlayer::Attach(QDBusConnection bus) {
    bus_ = std::move(bus);
    if (!bus_.isConnected()) return;
    const QString path = QString::fromLatin1(MPRIS_OBJECT_PATH);
    if (!bus_.registerObject(path, this, QDBusConnection::ExportAdaptors)) return;
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << QString::fromLatin1(MPRIS_SERVICE) << DO_NOT_QUEUE;
    auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(request), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this, [this, answer, path] {
        answer->deleteLater();
        const QDBusPendingReply<uint> reply = *answer;
        if (reply.isError() || reply.value() != PRIMARY_OWNER) {
            bus_.unregisterObject(path);
            return;
        }
        registered_ = true;
        announcedStatus_ = PlaybackStatus();
        announcedMetadata_ = Metadata();
        emit registeredChanged();
    });
}

MprisPlayer::~MprisPlayer() {
    if (connecting_.joinable()) connecting_.join();
    if (!registered_) return;
    bus_.unregisterService(QString::fromLatin1(MPRIS_SERVICE));
    bus_.unregisterObject(QString::fromLatin1(MPRIS_OBJECT_PATH));
}

QString MprisPlayer::PlaybackStatus() const {
    if (!playerState.playing) return QStringLiteral("Stopped");
    return playerState.paused ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

QVariantMap MprisPlayer::Metadata() const {
    QVariantMap metadata;
    if (tunesLoaded_ == 0) {
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(NO_TRACK)));
        return metadata;
    }
    // Each subsong of each load is a track of its own.
    metadata.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(TrackId())));
    if (const std::optional<std::uint32_t> length = window_.KnownSongLength())
        metadata.insert(QStringLiteral("mpris:length"), qlonglong{*length} * 1000);
    metadata.insert(QStringLiteral("xesam:title"), window_.tuneName());
    metadata.insert(QStringLiteral("xesam:artist"), QStringList{window_.tuneAuthor()});
    metadata.insert(QStringLiteral("xesam:trackNumber"), tuneInfo.currentSong + 1);
    metadata.insert(QStringLiteral("xesam:url"), tuneUrl_);
    return metadata;
}

void MprisPlayer::Play() {
    if (!playerState.playing || playerState.paused) window_.PlayOrPause();
}

void MprisPlayer::Pause() {
    if (playerState.playing && !playerState.paused) window_.PlayOrPause();
}

void MprisPlayer::PlayPause() { window_.PlayOrPause(); }
void MprisPlayer::Stop() { window_.Stop(); }
void MprisPlayer::Next() { window_.NextTuneOrSong(); }
void MprisPlayer::Previous() { window_.PreviousTuneOrSong(); }

QString MprisPlayer::TrackId() const {
    return QStringLiteral("/org/chipbox/tune%1/song%2")
        .arg(tunesLoaded_)
        .arg(tuneInfo.currentSong + 1);
}

bool MprisPlayer::PlaylistRuns() const {
    return window_.playlist() != nullptr && window_.playlist()->Runs();
}

bool MprisPlayer::CanGoNext() const {
    return PlaylistRuns() || tuneInfo.currentSong < tuneInfo.lastSong;
}

bool MprisPlayer::CanGoPrevious() const { return PlaylistRuns() || tuneInfo.currentSong > 0; }

bool MprisPlayer::CanSeek() const {
    return playerState.playing && CurrentOutput() == Output::Software;
}

qlonglong MprisPlayer::Position() const {
    if (!playerState.playing) return 0;
    return HeardSongMicros().value_or(0);
}

// Past the song's end is the next song's start, as the desktop expects.
void MprisPlayer::Seek(qlonglong offset) {
    if (!CanSeek()) return;
    const qlonglong target = std::max<qlonglong>(Position() + offset, 0);
    const std::optional<std::uint32_t> length = window_.KnownSongLength();
    if (length && target >= qlonglong{*length} * 1000) {
        Next();
        return;
    }
    window_.SeekTo(target);
}

// Only for the track playing, and within it.
void MprisPlayer::SetPosition(const QString& track, qlonglong position) {
    if (!CanSeek() || track != TrackId() || position < 0) return;
    const std::optional<std::uint32_t> length = window_.KnownSongLength();
    if (length && position > qlonglong{*length} * 1000) return;
    window_.SeekTo(position);
}

void MprisPlayer::SetRate(double rate) {
    if (!(rate > 0)) return;
    const int speed = rate < 1.5 ? 1 : rate < 3.0 ? 2 : 4;
    window_.SetSpeed(speed);
    if (!registered_) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(MPRIS_OBJECT_PATH), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << PLAYER_INTERFACE << QVariantMap{{QStringLiteral("Rate"), double(speed)}}
           << QStringList();
    bus_.send(signal);
}

void MprisPlayer::AnnounceSeek(qlonglong micros) {
    if (!registered_) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(MPRIS_OBJECT_PATH),
                                                     PLAYER_INTERFACE, QStringLiteral("Seeked"));
    signal << micros;
    bus_.send(signal);
}
void MprisPlayer::Raise() { window_.BringToFront(); }
void MprisPlayer::Quit() { window_.reject(); }

void MprisPlayer::OpenUri(const QString& uri) {
    const std::optional<std::string> path = LocalPath(QUrl(uri));
    if (!path) {
        // The D-Bus context is this object's: the adaptors hand calls on to it.
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs,
                           QStringLiteral("Chipbox opens only local files: %1").arg(uri));
        return;
    }
    window_.ReceiveHandOver(*path);
}

void MprisPlayer::AnnounceChanges() {
    if (!registered_) return;
    QVariantMap changed;
    const QString status = PlaybackStatus();
    if (status != announcedStatus_) changed.insert(QStringLiteral("PlaybackStatus"), status);
    const QVariantMap metadata = Metadata();
    if (metadata != announcedMetadata_) changed.insert(QStringLiteral("Metadata"), metadata);
    if (changed.isEmpty()) return;
    announcedStatus_ = status;
    announcedMetadata_ = metadata;
    changed.insert(QStringLiteral("CanGoNext"), CanGoNext());
    changed.insert(QStringLiteral("CanGoPrevious"), CanGoPrevious());
    changed.insert(QStringLiteral("CanSeek"), CanSeek());
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(MPRIS_OBJECT_PATH), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << PLAYER_INTERFACE << changed << QStringList();
    bus_.send(signal);
}

}  // namespace chipbox::window

#include "mpris_player.moc"
