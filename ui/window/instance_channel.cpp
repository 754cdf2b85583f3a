// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/instance_channel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>

namespace chipbox::window {

namespace {

constexpr int CONNECT_TIMEOUT_MS = 2000;
constexpr int DECISION_LOCK_TIMEOUT_MS = 5000;

// A folder that is really a folder (not a link to one), belongs to this user
// and is closed to everyone else.
bool IsPrivateFolder(const QString& path) {
    struct stat info {};
    if (lstat(QFile::encodeName(path).constData(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 077) == 0;
}

}  // namespace

QString InstanceSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && IsPrivateFolder(runtime))
        return runtime + QStringLiteral("/chipbox.instance");
    const QString folder =
        QDir::tempPath() + QStringLiteral("/chipbox-%1").arg(static_cast<qulonglong>(geteuid()));
    mkdir(QFile::encodeName(folder).constData(), 0700);  // it may exist already
    if (!IsPrivateFolder(folder)) return {};
    return folder + QStringLiteral("/instance");
}

HandOverResult HandOver(const QString& socketPath, const std::string& path) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(CONNECT_TIMEOUT_MS)) return HandOverResult::NoInstance;
    const QByteArray message = EncodeHandOver(path);
    if (message.isEmpty()) return HandOverResult::Refused;
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(-1)) break;
    // The running instance answers only when it has handled the path, which
    // may mean that a message box waited for its OK.
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(-1)) break;
    const QByteArray reply = socket.read(1);
    return reply.size() == 1 && reply[0] == HAND_OVER_HANDLED ? HandOverResult::Handled
                                                              : HandOverResult::Refused;
}

InstanceServer::InstanceServer(QObject* parent) : QObject(parent) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::AcceptPending);
}

InstanceServer::~InstanceServer() = default;

// Only called once no instance answered at `socketPath`: what is there then
// is a socket nobody listens on any more.
bool InstanceServer::Listen(const QString& socketPath) {
    if (socketPath.isEmpty()) return false;
    if (server_.listen(socketPath)) return true;
    if (server_.serverError() != QAbstractSocket::AddressInUseError) return false;
    QLocalServer::removeServer(socketPath);
    return server_.listen(socketPath);
}

void InstanceServer::Start(std::function<void(const std::string&)> handler) {
    handler_ = std::move(handler);
    AcceptPending();
}

void InstanceServer::AcceptPending() {
    if (!handler_) return;  // they wait in the server until Start
    while (QLocalSocket* socket = server_.nextPendingConnection()) Serve(socket);
}

void InstanceServer::Serve(QLocalSocket* socket) {
    socket->setParent(this);
    socket->setReadBufferSize(HAND_OVER_LENGTH_BYTES + HAND_OVER_LIMIT + 1);
    auto* timeout = new QTimer(socket);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    timeout->start(HAND_OVER_READ_TIMEOUT_MS);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    auto reader = std::make_shared<HandOverReader>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader, timeout] {
        if (reader->status() != HandOverReader::Status::Incomplete) {
            socket->readAll();  // more bytes while the message is being handled
            return;
        }
        const HandOverReader::Status status = reader->Feed(socket->readAll());
        if (status == HandOverReader::Status::Incomplete) return;
        timeout->stop();
        if (status == HandOverReader::Status::Malformed) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        const std::string path = reader->path();
        // Handling may run a message box's event loop, in which the sender can
        // go away and its socket be deleted.
        QPointer<QLocalSocket> alive(socket);
        handler_(path);
        if (!alive) return;
        alive->write(&HAND_OVER_HANDLED, 1);
        alive->disconnectFromServer();
    });
    if (socket->bytesAvailable() > 0) emit socket->readyRead();
}

InstanceDecisionLock::InstanceDecisionLock(const QString& socketPath) {
    if (socketPath.isEmpty()) return;
    lock_ = std::make_unique<QLockFile>(socketPath + QStringLiteral(".lock"));
    // Past the timeout the start goes on without the lock rather than never.
    if (!lock_->tryLock(DECISION_LOCK_TIMEOUT_MS)) lock_.reset();
}

InstanceDecisionLock::~InstanceDecisionLock() { Unlock(); }

void InstanceDecisionLock::Unlock() {
    if (lock_) lock_->unlock();
    lock_.reset();
}

}  // namespace chipbox::window
