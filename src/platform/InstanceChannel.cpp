#include "platform/InstanceChannel.h"

#include "platform/log/LogCategories.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace inkvale {

namespace {

/// How long a later start keeps trying to reach the owner, which may be between taking the lock
/// and listening.
constexpr int kReachOwnerMs = 3000;
constexpr int kRetryPauseMs = 50;

/// The longest path a local socket can be bound to, less what Qt adds while it binds a socket
/// with access options (a temporary folder beside it, renamed into place).
constexpr qsizetype kLongestSocketPath = qsizetype(sizeof(sockaddr_un::sun_path)) - 1 - 16;

/// Removes whatever is at `path`: a file, a FIFO, a socket, a link, or a folder and all in it.
void removeEntry(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat entry {};
    if (::lstat(native.constData(), &entry) != 0) {
        return;
    }
    if (S_ISDIR(entry.st_mode)) {
        QDir(path).removeRecursively();
    } else {
        ::unlink(native.constData());
    }
}

/// A folder of the user's own for sockets whose runtime folder is too deep for an address:
/// /tmp/inkvale-<uid>, made private; empty when it is not the user's alone.
QString privateShortFolder() {
    const QString folder = QStringLiteral("/tmp/inkvale-%1").arg(::geteuid());
    const QByteArray native = QFile::encodeName(folder);
    ::mkdir(native.constData(), 0700);
    struct stat made {};
    if (::lstat(native.constData(), &made) != 0 || !S_ISDIR(made.st_mode) ||
        made.st_uid != ::geteuid() || (made.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

} // namespace

InstanceChannel::InstanceChannel(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent) {
    const QString base = folder.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                             : folder;
    if (base.isEmpty()) {
        return;
    }
    const QDir dir(base);
    m_lockPath = dir.filePath(name + QStringLiteral(".lock"));
    m_socketPath = dir.filePath(name + QStringLiteral(".socket"));
    if (QFile::encodeName(m_socketPath).size() > kLongestSocketPath) {
        // Named after the lock, so that every start that meets at this lock meets here too.
        const QByteArray digest =
            QCryptographicHash::hash(QFile::encodeName(m_lockPath), QCryptographicHash::Sha256);
        m_socketPath = QStringLiteral("/tmp/inkvale-%1/%2.socket")
                           .arg(::geteuid())
                           .arg(QString::fromLatin1(digest.toHex().left(32)));
    }
}

InstanceChannel::~InstanceChannel() {
    // The peers go first, while the list they leave still exists; closing removes the socket.
    delete m_server;
    if (m_lockFd >= 0) {
        // Removed while still held; a start that opened it meanwhile sees it is gone.
        ::unlink(QFile::encodeName(m_lockPath).constData());
        ::close(m_lockFd);
    }
}

InstanceChannel::Claim InstanceChannel::claim(const QByteArray& message) {
    if (m_lockPath.isEmpty()) {
        qCWarning(log::instance,
                  "no runtime folder, so this copy cannot tell whether another runs");
        return Claim::Unreachable;
    }
    if (takeLock()) {
        if (!listen()) {
            return Claim::Unreachable;
        }
        qCInfo(log::instance, "listening at %s", qPrintable(m_socketPath));
        return Claim::Owner;
    }
    if (!m_lockHeldElsewhere) {
        qCWarning(log::instance, "cannot lock %s: %s", qPrintable(m_lockPath),
                  qPrintable(qt_error_string(errno)));
        return Claim::Unreachable;
    }
    if (tell(message)) {
        qCInfo(log::instance, "handed the start over to the running copy at %s",
               qPrintable(m_socketPath));
        return Claim::Told;
    }
    qCWarning(log::instance, "the running copy does not answer at %s", qPrintable(m_socketPath));
    return Claim::Unreachable;
}

bool InstanceChannel::takeLock() {
    const QByteArray path = QFile::encodeName(m_lockPath);
    // A few rounds: another start may take over the same name meanwhile.
    for (int round = 0; round < 5; ++round) {
        struct stat named {};
        if (::lstat(path.constData(), &named) == 0 && !S_ISREG(named.st_mode)) {
            // A folder, FIFO or link is no lock anybody holds.
            removeEntry(m_lockPath);
        }
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == ELOOP || errno == EISDIR) {
                continue;
            }
            return false;
        }
        // Held by the process, not by what the file says: it goes with the process however
        // that ends, and an empty or unreadable file is no obstacle.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            m_lockHeldElsewhere = error == EWOULDBLOCK;
            errno = error;
            return false;
        }
        // The file locked must still be the one the name leads to: an owner that ended
        // removes its lock, and a start taking over a folder or FIFO replaces it.
        struct stat held {};
        if (::fstat(fd, &held) == 0 && ::lstat(path.constData(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            m_lockFd = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

bool InstanceChannel::listen() {
    const QString socketFolder = QFileInfo(m_socketPath).path();
    if (socketFolder.startsWith(QStringLiteral("/tmp/inkvale-")) &&
        privateShortFolder().isEmpty()) {
        qCWarning(log::instance, "%s is not private to this user", qPrintable(socketFolder));
        return false;
    }
    // Only the owner listens: whatever lies at the socket's name (an owner that died left its
    // socket; anything else is in the way) is taken over.
    removeEntry(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        qCWarning(log::instance, "cannot listen at %s: %s", qPrintable(m_socketPath),
                  qPrintable(m_server->errorString()));
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::acceptConnections);
    return true;
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
    socket.write(message.left(kLongestMessage) + '\n');
    const bool written = socket.waitForBytesWritten(kReachOwnerMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(kReachOwnerMs);
    }
    return written;
}

void InstanceChannel::acceptConnections() {
    while (QLocalSocket* peer = m_server->nextPendingConnection()) {
        // Room for one message and its line break: a longer one is never held.
        peer->setReadBufferSize(kLongestMessage + 1);
        m_peers.append(peer);
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QObject::destroyed, this, [this, peer] { m_peers.removeOne(peer); });
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] { hear(peer); });
        // A peer that never sends, or never ends its line, is let go.
        QTimer::singleShot(kPeerDeadlineMs, peer, [this, peer] {
            m_peers.removeOne(peer);
            peer->abort();
            peer->deleteLater();
        });
        if (m_peers.size() > kMostPeers) {
            // Silent peers must not keep the next start out: the one waiting longest goes.
            QLocalSocket* oldest = m_peers.takeFirst();
            oldest->abort();
            oldest->deleteLater();
        }
        // The message may have arrived with the connection.
        hear(peer);
    }
}

void InstanceChannel::hear(QLocalSocket* peer) {
    if (!m_peers.contains(peer)) {
        return;
    }
    if (!peer->canReadLine()) {
        if (peer->bytesAvailable() > kLongestMessage) {
            m_peers.removeOne(peer);
            peer->abort();
            peer->deleteLater();
        }
        return;
    }
    const QByteArray line = peer->readLine().chopped(1);
    m_peers.removeOne(peer);
    peer->disconnectFromServer();
    emit messageReceived(line);
}

} // namespace inkvale
