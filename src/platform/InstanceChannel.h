#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace inkvale {

/// A meeting point for the running copies of the program that share one name: the first to
/// claim it owns it and hears from every later one; a later one hands it a message and is done.
/// It lives in the user's runtime folder as a lock file and a local socket, both removed when the
/// owner ends. The lock is held by the owner's process itself, so the system lets it go however
/// that process ends; whatever else lies at the lock's or the socket's name (an empty or foreign
/// lock file, a folder, a FIFO) is taken over while no process holds the lock. A runtime folder
/// too long for a socket address gets its socket in a private folder of the user's under /tmp.
/// Messages are lines of at most kLongestMessage bytes; a peer that has not sent one within
/// kPeerDeadlineMs is let go, and so is the oldest peer when kMostPeers wait at once.
class InstanceChannel final : public QObject {
    Q_OBJECT

public:
    /// What claiming the channel came to.
    enum class Claim {
        Owner,       ///< this process owns the channel and hears later starts
        Told,        ///< another process owns it and has been handed the message
        Unreachable, ///< no channel could be made or reached: this process is on its own
    };

    /// The longest message a peer may hand over, its line break not counted.
    static constexpr qint64 kLongestMessage = 4096;
    /// How long the owner waits for a peer's message from the moment it connects.
    static constexpr int kPeerDeadlineMs = 2000;
    /// How many peers the owner listens to at once.
    static constexpr int kMostPeers = 16;

    /// The channel called `name` in `folder` (the user's runtime folder when empty).
    explicit InstanceChannel(const QString& name, const QString& folder = {},
                             QObject* parent = nullptr);
    ~InstanceChannel() override;

    /// Claims the channel; when another process owns it, hands it `message` instead.
    Claim claim(const QByteArray& message);

    /// Where the channel's socket lies (beside its lock, unless that is too long an address).
    [[nodiscard]] QString socketPath() const { return m_socketPath; }

signals:
    /// A later start handed the owner its message.
    void messageReceived(const QByteArray& message);

private:
    /// Takes the lock: true when this process holds it now.
    bool takeLock();
    bool listen();
    void acceptConnections();
    void hear(QLocalSocket* peer);
    bool tell(const QByteArray& message);

    QString m_lockPath;
    QString m_socketPath;
    int m_lockFd = -1;
    bool m_lockHeldElsewhere = false;
    QLocalServer* m_server = nullptr;
    QList<QLocalSocket*> m_peers;
};

} // namespace inkvale
