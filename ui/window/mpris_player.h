// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop's media keys and player controls: an MPRIS 2 player on the
// session bus, "org.mpris.MediaPlayer2.chipbox". Its commands are the
// window's own (Play/Pause, Stop, Next and Previous: the playlist's tunes
// while it runs, else the subsongs; the speed as its rate); its metadata
// carries the tune's name as title, its author as artist and the song's
// length when a song length file knows it. Seeking renders the song up to
// the place asked for without sound.
//
// Without a session bus, or when the name is taken, the player runs without
// it and says nothing. The window's thread never waits for the bus: the
// program reaches it on a thread of its own and asks for the name without
// waiting for the answer, so that a bus that is slow to start or to answer
// cannot hold up the refills of the sound buffers.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <string>
#include <thread>

namespace chipbox::window {

class CChipboxDlg;

inline constexpr const char* MPRIS_SERVICE = "org.mpris.MediaPlayer2.chipbox";
inline constexpr const char* MPRIS_OBJECT_PATH = "/org/mpris/MediaPlayer2";

class MprisPlayer final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    // Not on any bus yet.
    explicit MprisPlayer(CChipboxDlg& window);
    // On `bus`, once the bus has given it the name.
    MprisPlayer(CChipboxDlg& window, QDBusConnection bus);
    ~MprisPlayer() override;  // waits for a connection still being made

    // Reaches the session bus on a thread of its own and goes on it from the
    // window's thread.
    void ConnectInBackground();

    // The service is on the bus.
    bool registered() const { return registered_; }

    // What the desktop sees.
    QString PlaybackStatus() const;  // "Playing", "Paused" or "Stopped"
    QVariantMap Metadata() const;

    // The commands, as the desktop gives them.
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Raise();
    void Quit();
    // Where the song heard stands, in microseconds, and the moves to another
    // place of it: the song is rendered there silently (see SeekTo).
    qlonglong Position() const;
    void Seek(qlonglong offset);
    void SetPosition(const QString& track, qlonglong position);
    // 1, 2 or 4: the nearest speed.
    void SetRate(double rate);
    bool CanSeek() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    // A file the desktop asks to play: loaded and played like a file handed
    // over by a second start. Only a file of this machine can be: a URI of
    // another host or scheme is refused to the caller, and the user sees
    // nothing.
    void OpenUri(const QString& uri);

signals:
    void registeredChanged();

private:
    void Attach(QDBusConnection bus);
    // Tells the desktop what changed since it last heard.
    void AnnounceChanges();
    void AnnounceSeek(qlonglong micros);
    QString TrackId() const;
    bool PlaylistRuns() const;

    CChipboxDlg& window_;
    QDBusConnection bus_{QString()};
    std::thread connecting_;
    bool registered_ = false;
    QString announcedStatus_;
    QVariantMap announcedMetadata_;
    int tunesLoaded_ = 0;  // loads in this run; each gives its tracks new ids
    QString tuneUrl_;
};

}  // namespace chipbox::window
