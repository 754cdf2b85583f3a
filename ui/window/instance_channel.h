// SPDX-License-Identifier: GPL-2.0-or-later
// One running instance per user: the first start listens on a local socket
// private to the user; a later start hands its tune path over through it,
// waits until the running instance has handled it, and ends.
//
// The message: the length of what follows as 4 bytes, most significant first,
// then the path and a terminating zero byte. An empty path (the length is 1)
// asks the running window to come to the front. The running instance answers
// a handled message with one byte, HAND_OVER_HANDLED, and closes. A message
// that is malformed (length 0, a zero byte inside the path, no terminating
// zero), longer than HAND_OVER_LIMIT, or not complete within
// HAND_OVER_READ_TIMEOUT_MS is ignored and its connection closed.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "ui/window/hand_over_message.h"

class QLocalSocket;
class QLockFile;

namespace chipbox::window {

// Where the running instance listens: "chipbox.instance" in $XDG_RUNTIME_DIR
// (the user's own folder), or without one in a folder "chipbox-UID" of the
// temporary directory that only the user may enter. Empty when no such place
// can be had: every start then runs on its own.
QString InstanceSocketPath();

enum class HandOverResult {
    NoInstance,  // nothing listens there (or only a stale socket remains)
    Handled,     // the running instance has handled the path
    Refused,     // it closed the connection without handling the message
};

// Connects to the running instance at `socketPath`, sends `path` and waits,
// however long it takes, until the instance has handled it or gone away.
HandOverResult HandOver(const QString& socketPath, const std::string& path);

// The running instance's side. Messages wait until Start; each is handled by
// the handler, which returns once the path is dealt with (it may show a
// message box first), and only then is the sender answered.
class InstanceServer final : public QObject {
    Q_OBJECT
public:
    explicit InstanceServer(QObject* parent = nullptr);
    ~InstanceServer() override;

    // Listens at `socketPath`. A socket left there by an instance that ended
    // without closing it is removed first. False when nothing can listen
    // there; the program then runs without taking hand-overs.
    bool Listen(const QString& socketPath);
    bool listening() const { return server_.isListening(); }

    void Start(std::function<void(const std::string&)> handler);

private:
    void AcceptPending();
    void Serve(QLocalSocket* socket);

    QLocalServer server_;
    std::function<void(const std::string&)> handler_;
};

// Holds the decision "am I the first?" for one start at a time, so that two
// starts at the same moment do not both become the running instance. Unlocks
// when destroyed; a lock left by a crashed start is taken over.
class InstanceDecisionLock {
public:
    explicit InstanceDecisionLock(const QString& socketPath);
    ~InstanceDecisionLock();
    InstanceDecisionLock(const InstanceDecisionLock&) = delete;
    InstanceDecisionLock& operator=(const InstanceDecisionLock&) = delete;
    void Unlock();

private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace chipbox::window
