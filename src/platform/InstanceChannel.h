#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace inkvale {

/// A meeting point for the running copies of the program that share one name: the first to
/// claim it owns it and hears from every later one; a later one hands it a message and is done.
/// It lives in the user's runtime folder as a lock file and a local socket, both removed when the
/// owner ends; a lock left behind by an owner that died is taken over.
class InstanceChannel final : public QObject {
    Q_OBJECT

public:
    /// What claiming the channel came to.
    enum class Claim {
        Owner,       ///< this process owns the channel and hears later starts
        Told,        ///< another process owns it and has been handed the message
        Unreachable, ///< no channel could be made or reached: this process is on its own
    };

    /// The channel called `name` in `folder` (the user's runtime folder when empty).
    explicit InstanceChannel(const QString& name, const QString& folder = {},
                             QObject* parent = nullptr);
    ~InstanceChannel() override;

    /// Claims the channel; when another process owns it, hands it `message` instead.
    Claim claim(const QByteArray& message);

signals:
    /// A later start handed the owner its message.
    void messageReceived(const QByteArray& message);

private:
    void acceptConnections();
    bool tell(const QByteArray& message);

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace inkvale
