#pragma once

#include "platform/files/Failure.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace inkvale {

/// Opens `path` for reading only when it is a regular file (a symbolic link is followed). A
/// FIFO, a device or a socket is refused before it is opened (Cause::NotARegularFile), a folder
/// with EISDIR; and the open itself never waits, so that even a special file put in the file's
/// place between the look and the open cannot hold the caller: it is refused after the open.
/// The descriptor then reads as usual (waiting for data); the caller closes it.
[[nodiscard]] Result<int> openRegularFile(const QString& path);

/// Whether a FIFO, a device or a socket stands at `path` (a symbolic link is followed): no file
/// of anyone's, and nothing to open.
[[nodiscard]] bool isSpecialFile(const QString& path);

/// Reads a whole file on a thread of its own, so that a file that stops answering (on a
/// network mount that has gone away) never holds the thread that asked. The outcome reaches
/// `done` on the thread of the object that owns the read, from its event loop, unless the read
/// was given up (the object destroyed) first. A read that never returns keeps its own thread,
/// which cannot be interrupted, and nothing else.
class BackgroundFileRead final {
public:
    using Reader = std::function<Result<QByteArray>()>;
    using Done = std::function<void(const Result<QByteArray>&)>;

    /// Starts `read` at once; `done` follows on `owner`'s thread while this object lives.
    /// Destroying this object gives the read up; it must go before `owner` does (a member or a
    /// child's member of `owner`).
    BackgroundFileRead(QObject* owner, Reader read, Done done);
    ~BackgroundFileRead();
    BackgroundFileRead(const BackgroundFileRead&) = delete;
    BackgroundFileRead& operator=(const BackgroundFileRead&) = delete;

    /// Whether the outcome is in.
    [[nodiscard]] bool finished() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace inkvale
