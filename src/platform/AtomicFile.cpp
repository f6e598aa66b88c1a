#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace inkvale {

namespace {

WriteResult failed(int systemError) {
    return {classifyWriteError(systemError), systemError,
            QString::fromLocal8Bit(std::strerror(systemError))};
}

/// Past the file-size limit the system stops the process with SIGXFSZ unless it is ignored;
/// ignored, the write fails with EFBIG and the failure is reported like any other.
void ignoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

/// Writes all of `bytes` to `fd`, resuming after interruptions and short writes.
int writeAll(int fd, QByteArrayView bytes) {
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        data += written;
        left -= written;
    }
    return 0;
}

/// Creates a fresh file beside `target` that nobody else can have opened; -1 with errno set
/// when the folder does not let us.
int createTemporaryBeside(const QByteArray& target, QByteArray& temporaryPath) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : target.left(slash + 1);
    const QByteArray name = slash < 0 ? target : target.mid(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + '.' + name + '.' +
                        QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
        // 0666 so that the umask decides, as for any new file.
        const int fd = ::open(temporaryPath.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

/// Makes a rename or link in `folder` itself durable.
void syncFolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArrayLiteral(".") : path.left(std::max<qsizetype>(slash, 1));
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

WriteFailure classifyWriteError(int systemError) {
    switch (systemError) {
    case 0:
        return WriteFailure::None;
    case EACCES:
    case EPERM:
        return WriteFailure::NoPermission;
    case ENOSPC:
    case EDQUOT:
        return WriteFailure::NoSpace;
    case EROFS:
        return WriteFailure::ReadOnlyFileSystem;
    case EFBIG:
        return WriteFailure::FileTooLarge;
    case ENOENT:
    case ENOTDIR:
        return WriteFailure::FolderMissing;
    case EEXIST:
        return WriteFailure::NameTaken;
    default:
        return WriteFailure::Other;
    }
}

WriteResult writeFileAtomically(const QString& path, QByteArrayView bytes, WriteMode mode) {
    ignoreFileSizeSignal();
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary;
    const int fd = createTemporaryBeside(target, temporary);
    if (fd < 0) {
        return failed(errno);
    }
    const auto abandon = [&temporary](int systemError) {
        ::unlink(temporary.constData());
        return failed(systemError);
    };

    if (mode != WriteMode::ClaimNewName) {
        // A replaced file keeps its permissions, as it would when written in place.
        struct stat existing {};
        if (::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            ::fchmod(fd, existing.st_mode & 07777);
        }
    }
    int error = writeAll(fd, bytes);
    if (error == 0 && mode != WriteMode::ReplaceQuickly && ::fdatasync(fd) != 0) {
        error = errno;
    }
    // close() reports what a network or quota file system only finds at the end.
    if (::close(fd) != 0 && error == 0 && errno != EINTR) {
        error = errno;
    }
    if (error != 0) {
        return abandon(error);
    }

    if (mode == WriteMode::ClaimNewName) {
        // The check and the claim are one step: the rename fails when the name exists.
        if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL && errno != ENOSYS) {
                return abandon(errno);
            }
            // A file system without that rename: link() fails on an existing name too.
            if (::link(temporary.constData(), target.constData()) != 0) {
                return abandon(errno);
            }
            ::unlink(temporary.constData());
        }
    } else if (::rename(temporary.constData(), target.constData()) != 0) {
        return abandon(errno);
    }
    if (mode != WriteMode::ReplaceQuickly) {
        syncFolderOf(target);
    }
    return {};
}

} // namespace inkvale
