#include "platform/files/AtomicFile.h"

#include "platform/files/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace inkvale {

namespace {

Outcome failed(int systemError) {
    return Outcome::ofSystemError(systemError);
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

/// Copies `source` to `fd`: inside the kernel where it can, in pieces through a small buffer
/// where it cannot (another file system, an old kernel).
int copyRange(int fd, const FileRange& source) {
    const int in = ::open(QFile::encodeName(source.path).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return errno;
    }
    off_t offset = static_cast<off_t>(source.offset);
    qint64 left = source.size;
    int error = 0;
    bool inKernel = true;
    while (left > 0 && inKernel) {
        const ssize_t copied =
            ::copy_file_range(in, &offset, fd, nullptr, static_cast<size_t>(left), 0);
        if (copied > 0) {
            left -= copied;
        } else if (copied == 0) {
            error = EIO; // the source ends before its range does
            break;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                   errno == EBADF) {
            inKernel = false;
        } else {
            error = errno;
            break;
        }
    }
    constexpr qsizetype kPiece = 1 << 20;
    QByteArray buffer;
    while (error == 0 && left > 0) {
        buffer.resize(std::min<qint64>(left, kPiece));
        const ssize_t got = ::pread(in, buffer.data(), static_cast<size_t>(buffer.size()), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            error = got < 0 ? errno : EIO;
            break;
        }
        error = writeAll(fd, QByteArrayView(buffer.constData(), got));
        offset += got;
        left -= got;
    }
    ::close(in);
    return error;
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

/// A lock on the folder of a file: shared by every write in it, so that
/// removeLeftoverTemporaries, which takes it alone, never removes the temporary file of a write
/// under way; the system lets go of it however the process ends.
class FolderLock final {
public:
    /// Waits for `operation` (LOCK_SH or LOCK_EX, perhaps with LOCK_NB) on `path`'s folder.
    FolderLock(const QByteArray& path, int operation) {
        const qsizetype slash = path.lastIndexOf('/');
        const QByteArray folder =
            slash < 0 ? QByteArrayLiteral(".") : path.left(std::max<qsizetype>(slash, 1));
        m_fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        while (m_fd >= 0 && ::flock(m_fd, operation) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
    }
    ~FolderLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    [[nodiscard]] bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

/// The one way every file is written: `fill` writes the content to the temporary file and
/// returns 0 or the system's error number.
Outcome writeThrough(const QString& path, WriteMode mode, const std::function<int(int)>& fill) {
    ignoreFileSizeSignal();
    const QByteArray target = QFile::encodeName(path);
    const FolderLock writing(target, LOCK_SH);
    QByteArray temporary;
    const int fd = createTemporaryBeside(target, temporary);
    if (fd < 0) {
        return failed(errno);
    }
    const auto abandon = [&temporary](int systemError) {
        ::unlink(temporary.constData());
        return failed(systemError);
    };
    const bool durable = mode == WriteMode::ReplaceDurably || mode == WriteMode::ClaimNewName;

    if (mode != WriteMode::ClaimNewName) {
        // A replaced file keeps its permissions, as it would when written in place.
        struct stat existing {};
        if (::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            ::fchmod(fd, existing.st_mode & 07777);
        }
    }
    int error = fill(fd);
    if (error == 0 && durable && ::fdatasync(fd) != 0) {
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
    } else {
        if (mode == WriteMode::RemoveThenReplace && ::unlink(target.constData()) != 0 &&
            errno != ENOENT) {
            return abandon(errno);
        }
        if (::rename(temporary.constData(), target.constData()) != 0) {
            return abandon(errno);
        }
    }
    if (durable) {
        syncFolderOf(target);
    }
    return {};
}

} // namespace

Outcome writeFileAtomically(const QString& path, QByteArrayView bytes, WriteMode mode) {
    return writeThrough(path, mode, [bytes](int fd) { return writeAll(fd, bytes); });
}

Outcome writeFileAtomically(const QString& path, const FileRange& source, WriteMode mode) {
    return writeThrough(path, mode, [&source](int fd) { return copyRange(fd, source); });
}

void removeLeftoverTemporaries(const QString& path) {
    const QByteArray target = QFile::encodeName(path);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArrayLiteral(".") : target.left(slash + 1);
    // The name createTemporaryBeside gives: "." name "." random number in base 36 ".part".
    const QByteArray prefix = '.' + (slash < 0 ? target : target.mid(slash + 1)) + '.';
    const QByteArray suffix = QByteArrayLiteral(".part");
    const auto isOurs = [&prefix, &suffix](const QByteArray& name) {
        if (name.size() <= prefix.size() + suffix.size() || !name.startsWith(prefix) ||
            !name.endsWith(suffix)) {
            return false;
        }
        const QByteArray number =
            name.mid(prefix.size(), name.size() - prefix.size() - suffix.size());
        constexpr qsizetype kLongestNumber = 13; // 2^64 - 1 in base 36
        return !number.isEmpty() && number.size() <= kLongestNumber &&
               std::all_of(number.begin(), number.end(),
                           [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
    };
    // Only while no write is under way in the folder: its temporary file is no leftover.
    const FolderLock alone(target, LOCK_EX | LOCK_NB);
    if (!alone.held()) {
        return;
    }
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return;
    }
    const int folderFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        struct stat info {};
        // A folder or a link with such a name is not a file we made.
        if (isOurs(name) && ::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlinkat(folderFd, entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

Result<QByteArray> readWholeFile(const QString& path, qint64 maxBytes) {
    const auto failedRead = [](int systemError) {
        return Result<QByteArray>{{}, Outcome::ofSystemError(systemError, Access::Read)};
    };
    // A FIFO, a device or a socket is refused unopened: reading one may wait for ever.
    const Result<int> opened = openRegularFile(path);
    if (!opened.ok()) {
        return {{}, opened.outcome};
    }
    const int fd = opened.value;
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return failedRead(error);
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return failedRead(EFBIG);
    }
    Result<QByteArray> result;
    result.value.resize(static_cast<qsizetype>(info.st_size));
    qsizetype done = 0;
    while (true) {
        if (done == result.value.size()) {
            // The file may have grown since it was measured: read on, up to the limit.
            if (done >= maxBytes) {
                char more = 0;
                if (::read(fd, &more, 1) > 0) {
                    ::close(fd);
                    return failedRead(EFBIG);
                }
                break;
            }
            result.value.resize(std::min<qint64>(done + (1 << 16), maxBytes));
        }
        const ssize_t got =
            ::read(fd, result.value.data() + done, static_cast<size_t>(result.value.size() - done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return failedRead(error);
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    ::close(fd);
    result.value.truncate(done);
    return result;
}

} // namespace inkvale
