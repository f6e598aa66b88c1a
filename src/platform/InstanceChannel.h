#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;
class QWidget;

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

/// Brings `window` to the front and gives it the keyboard: restores it when minimised, raises it
/// above the other windows and asks the window system to activate it. A window system that
/// refuses focus to a program the user is not working in will usually mark it as asking for
/// attention instead.
void bringWindowForward(QWidget& window);

/// The id under which a launcher shows this start as busy (empty when none does). Read it
/// before the application object exists: the window system's plugin takes it out of the
/// environment.
[[nodiscard]] QByteArray launchFeedbackId();

/// Tells the desktop that the start shown as busy under `id` has ended without a window of its
/// own, so that the launcher stops showing it as busy.
void endLaunchFeedback(const QByteArray& id);

} // namespace inkvale
