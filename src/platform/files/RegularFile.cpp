#include "platform/files/RegularFile.h"

#include <QFile>
#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace inkvale {

namespace {

Result<int> refused(mode_t mode) {
    if (S_ISDIR(mode)) {
        return {-1, Outcome::ofSystemError(EISDIR, Access::Read)};
    }
    return {-1, Outcome::failed(Cause::NotARegularFile, {}, Access::Read)};
}

} // namespace

Result<int> openRegularFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        return {-1, Outcome::ofSystemError(errno, Access::Read)};
    }
    if (!S_ISREG(info.st_mode)) {
        return refused(info.st_mode);
    }
    // Without waiting: a FIFO swapped in meanwhile would otherwise wait for a writer, for ever.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return {-1, Outcome::ofSystemError(errno, Access::Read)};
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        const int error = errno;
        ::close(fd);
        return {-1, Outcome::ofSystemError(error, Access::Read)};
    }
    if (!S_ISREG(opened.st_mode)) {
        ::close(fd);
        return refused(opened.st_mode);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return {fd, {}};
}

bool isSpecialFile(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode) &&
           !S_ISDIR(info.st_mode);
}

struct BackgroundFileRead::Shared {
    std::mutex lock;
    QObject* owner = nullptr; ///< outlives the read object, which gives up before it goes
    bool givenUp = false;     ///< under `lock`

    std::atomic<bool> finished = false;
    Done done;
};

BackgroundFileRead::BackgroundFileRead(QObject* owner, Reader read, Done done)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->owner = owner;
    m_shared->done = std::move(done);
    std::thread([shared = m_shared, read = std::move(read)] {
        Result<QByteArray> result = read();
        const std::lock_guard<std::mutex> hold(shared->lock);
        // The owner cannot go while the lock is held: it gives the read up first (below).
        if (shared->givenUp) {
            return;
        }
        QMetaObject::invokeMethod(
            shared->owner,
            [shared, result = std::move(result)] {
                // On the owner's thread, where giving up happens too.
                if (!shared->givenUp) {
                    shared->finished = true;
                    shared->done(result);
                }
            },
            Qt::QueuedConnection);
    }).detach();
}

BackgroundFileRead::~BackgroundFileRead() {
    const std::lock_guard<std::mutex> hold(m_shared->lock);
    m_shared->givenUp = true;
}

bool BackgroundFileRead::finished() const {
    return m_shared->finished;
}

} // namespace inkvale
