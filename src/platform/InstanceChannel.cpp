#include "platform/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace inkvale {

namespace {

/// How long a later start keeps trying to reach the owner, which may be between taking the lock
/// and listening.
constexpr int kReachOwnerMs = 3000;
constexpr int kRetryPauseMs = 50;

} // namespace

InstanceChannel::InstanceChannel(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent) {
    const QString base = folder.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                             : folder;
    if (!base.isEmpty()) {
        const QDir dir(base);
        m_lockPath = dir.filePath(name + QStringLiteral(".lock"));
        m_socketPath = dir.filePath(name + QStringLiteral(".socket"));
    }
}

InstanceChannel::~InstanceChannel() {
    if (m_server != nullptr) {
        m_server->close();
    }
}

InstanceChannel::Claim InstanceChannel::claim(const QByteArray& message) {
    if (m_lockPath.isEmpty()) {
        return Claim::Unreachable;
    }
    auto lock = std::make_unique<QLockFile>(m_lockPath);
    // The owner holds the lock for as long as it runs, however long that is: only a lock whose
    // process has gone is stale.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        // A socket file left by an owner that died would keep the server from listening.
        QLocalServer::removeServer(m_socketPath);
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server->listen(m_socketPath)) {
            return Claim::Unreachable;
        }
        connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::acceptConnections);
        return Claim::Owner;
    }
    if (lock->error() != QLockFile::LockFailedError) {
        return Claim::Unreachable; // no runtime folder to meet in
    }
    return tell(message) ? Claim::Told : Claim::Unreachable;
}

bool InstanceChannel::tell(const QByteArray& message) {
    const QDeadlineTimer deadline(kReachOwnerMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(kRetryPauseMs);
    }
    socket.write(message + '\n');
    const bool written = socket.waitForBytesWritten(kReachOwnerMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(kReachOwnerMs);
    }
    return written;
}

void InstanceChannel::acceptConnections() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto readLine = [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            const QByteArray line = socket->readLine().chopped(1);
            socket->disconnectFromServer();
            emit messageReceived(line);
        };
        connect(socket, &QLocalSocket::readyRead, this, readLine);
        // The message may have arrived with the connection.
        readLine();
    }
}

} // namespace inkvale
