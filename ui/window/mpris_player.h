// SPDX-License-Identifier: GPL-2.0-or-later
// The desktop's media keys and player controls: an MPRIS 2 player on the
// session bus, "org.mpris.MediaPlayer2.chipbox". Its commands are the
// window's own (Play/Pause, Stop, Next and Previous subsong); its metadata
// carries the tune's name as title and its author as artist.
//
// Without a session bus, or when the name is taken, the player runs without
// it and says nothing.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <string>

namespace chipbox::window {

class CChipboxDlg;

inline constexpr const char* MPRIS_SERVICE = "org.mpris.MediaPlayer2.chipbox";
inline constexpr const char* MPRIS_OBJECT_PATH = "/org/mpris/MediaPlayer2";

class MprisPlayer final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    MprisPlayer(CChipboxDlg& window, QDBusConnection bus);
    ~MprisPlayer() override;

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
    // A file the desktop asks to play: loaded and played like a file handed
    // over by a second start. Only a file of this machine can be: a URI of
    // another host or scheme is refused to the caller, and the user sees
    // nothing.
    void OpenUri(const QString& uri);

private:
    // Tells the desktop what changed since it last heard.
    void AnnounceChanges();

    CChipboxDlg& window_;
    QDBusConnection bus_;
    bool registered_ = false;
    QString announcedStatus_;
    QVariantMap announcedMetadata_;
    int tunesLoaded_ = 0;  // loads in this run; each gives its tracks new ids
    QString tuneUrl_;
};

}  // namespace chipbox::window
