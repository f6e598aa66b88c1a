// The skin library: a shared library the program loads at start and asks to apply a skin file.
//
// A skin file begins with the four bytes ".SHE" followed by a Qt style sheet in UTF-8.

#include <QApplication>
#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qint64 kLargestSkin = 1 << 20;

enum AttachResult : int {
    Attached = 0,
    NoApplication = 1,
    Unreadable = 2,
    NotASkin = 3,
};

/// Opens `path` into `file` only when it is a regular file; a FIFO, a device or a socket under
/// the skin's name is refused without waiting for it, so it cannot hold the program's start.
bool openRegularFile(const char* path, QFile& file) {
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    file.setFileName(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly);
#endif
}

} // namespace

/// Applies the skin in `skinFile` (a path in the local 8-bit encoding) to the running
/// application. `password` is reserved for protected skins and may be empty. Returns 0 when
/// the skin was applied; any other value leaves the application's look as it was.
extern "C" Q_DECL_EXPORT int SkinH_AttachEx(const char* skinFile, const char* password) {
    Q_UNUSED(password);
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application == nullptr || skinFile == nullptr) {
        return NoApplication;
    }
    QFile file;
    if (!openRegularFile(skinFile, file) || file.size() > kLargestSkin) {
        return Unreadable;
    }
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith(".SHE")) {
        return NotASkin;
    }
    application->setStyleSheet(QString::fromUtf8(bytes.mid(4)));
    return Attached;
}
