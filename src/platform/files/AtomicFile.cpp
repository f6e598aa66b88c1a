#include "platform/files/AtomicFile.h"

#include "platform/files/RegularFile.h"
#include "platform/log/LogCategories.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

/// The temporary files being written, so that a signal handler can remove them: a fixed table
/// of slots, since a handler may neither allocate nor lock.
class TemporaryFiles final {
public:
    /// Records `path`; the slot to forget it by, or -1 when the table is full or the path too
    /// long (the file is then only left behind by a signal, as before).
    int remember(const QByteArray& path) {
        if (path.size() >= PATH_MAX) {
            return -1;
        }
        for (int i = 0; i < int(m_slots.size()); ++i) {
            bool expected = false;
            if (m_slots[i].taken.compare_exchange_strong(expected, true)) {
                std::memcpy(m_slots[i].path.data(), path.constData(), std::size_t(path.size()));
                m_slots[i].path[std::size_t(path.size())] = '\0';
                m_slots[i].ready.store(true);
                return i;
            }
        }
        return -1;
    }

    void forget(int slot) {
        if (slot >= 0) {
            m_slots[slot].ready.store(false);
            m_slots[slot].taken.store(false);
        }
    }

    /// Called around making a temporary file: between the two, the handler waits before it
    /// removes, so that a file made in that moment is never left behind. False when the
    /// process is ending already: then no file may be made.
    [[nodiscard]] bool beginMaking() {
        m_making.fetch_add(1);
        if (m_ending.load()) {
            m_making.fetch_sub(1);
            return false;
        }
        return true;
    }
    void endMaking() { m_making.fetch_sub(1); }

    /// Removes every file still recorded: async-signal-safe. Other threads run on until the
    /// process ends, so from now on a writer removes the file it has just made itself, and no
    /// writer makes a new one.
    void removeAll() {
        m_ending.store(true);
        // A writer between beginMaking() and endMaking() finishes its open() first; on its own
        // thread the handler cannot wait for it, so the wait is bounded.
        constexpr int kWaitSteps = 200;
        const timespec step{0, 1'000'000};
        for (int i = 0; i < kWaitSteps && m_making.load() > 0; ++i) {
            ::nanosleep(&step, nullptr);
        }
        for (Slot& slot : m_slots) {
            if (slot.ready.load()) {
                ::unlink(slot.path.data());
            }
        }
    }

    /// Whether the process is ending on a signal.
    [[nodiscard]] bool ending() const { return m_ending.load(); }

private:
    struct Slot {
        std::atomic<bool> taken{false};
        std::atomic<bool> ready{false};
        std::array<char, PATH_MAX> path{};
    };
    std::array<Slot, 64> m_slots;
    std::atomic<bool> m_ending{false};
    std::atomic<int> m_making{0};
};

TemporaryFiles& temporaryFiles() {
    static TemporaryFiles files;
    return files;
}

constexpr std::array kCleanedSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void removeTemporariesThenDie(int signalNumber) {
    temporaryFiles().removeAll();
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

/// The longest part of a target's name that its temporary file's name repeats: with the dot
/// before it and the marked tail after it, the temporary name stays within the 255 bytes a
/// name may have wherever the target's own name fits.
constexpr qsizetype kLongestRepeatedName = 200;

/// What a temporary file's name carries after the target's name, before its random number and
/// ".part": no name a person or another program gives a file, so that only our own temporary
/// files are ever taken for leftovers.
constexpr char kTemporaryMarker[] = ".inkvale-tmp-";
/// The random number's digits in base 36, always as many: 2^64 - 1 takes 13.
constexpr qsizetype kRandomDigits = 13;
constexpr char kTemporaryEnd[] = ".part";

/// Whether `name` is one that createTemporaryBeside gives: "." name marker digits ".part".
bool isTemporaryName(QByteArrayView name) {
    const qsizetype marker = qsizetype(sizeof kTemporaryMarker) - 1;
    const qsizetype end = qsizetype(sizeof kTemporaryEnd) - 1;
    const qsizetype tail = marker + kRandomDigits + end;
    if (name.size() < 2 + tail || !name.startsWith('.') || !name.endsWith(kTemporaryEnd) ||
        name.sliced(name.size() - tail, marker) != QByteArrayView(kTemporaryMarker)) {
        return false;
    }
    const QByteArrayView digits = name.sliced(name.size() - end - kRandomDigits, kRandomDigits);
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

/// `name` cut to at most `limit` bytes, at the start of a UTF-8 character.
QByteArray cutName(const QByteArray& name, qsizetype limit) {
    if (name.size() <= limit) {
        return name;
    }
    qsizetype end = limit;
    while (end > 0 && (static_cast<unsigned char>(name.at(end)) & 0xC0) == 0x80) {
        --end;
    }
    return name.left(end);
}

/// Creates a fresh file beside `target` that nobody else can have opened; -1 with errno set
/// when the folder does not let us.
int createTemporaryBeside(const QByteArray& target, QByteArray& temporaryPath, int& slot) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : target.left(slash + 1);
    const QByteArray name =
        cutName(slash < 0 ? target : target.mid(slash + 1), kLongestRepeatedName);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = folder + '.' + name + kTemporaryMarker +
                        QByteArray::number(QRandomGenerator::global()->generate64(), 36)
                            .rightJustified(kRandomDigits, '0') +
                        kTemporaryEnd;
        if (!temporaryFiles().beginMaking()) {
            errno = EINTR; // the process is ending on a signal
            return -1;
        }
        // Known before it exists, so that a signal at any moment finds it.
        slot = temporaryFiles().remember(temporaryPath);
        // 0666 so that the umask decides, as for any new file.
        const int fd = ::open(temporaryPath.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        const bool ending = temporaryFiles().ending();
        temporaryFiles().endMaking();
        if (fd >= 0 && ending) {
            // Made after the signal's handler looked: the process ends now anyway.
            ::unlink(temporaryPath.constData());
            ::close(fd);
            errno = EINTR;
            return -1;
        }
        if (fd >= 0) {
            return fd;
        }
        const int error = errno;
        temporaryFiles().forget(slot);
        slot = -1;
        if (error != EEXIST) {
            errno = error;
            return -1;
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

/// Whether the kernel's protected_symlinks rule lets this process follow the symbolic link
/// described by `link`, which lies in the folder `folder`: not when the folder is sticky and
/// writable by everyone (as /tmp is) and the link belongs neither to the folder's owner nor to
/// this process's user. Applied whatever the system's setting, so that a link another user
/// planted in /tmp never leads a write (root's least of all) to a file of their choice.
bool mayFollowLink(const QByteArray& folder, const struct stat& link) {
    if (link.st_uid == ::geteuid()) {
        return true;
    }
    struct stat parent {};
    if (::stat(folder.isEmpty() ? "/" : folder.constData(), &parent) != 0) {
        return false;
    }
    constexpr mode_t kShared = S_ISVTX | S_IWOTH;
    return (parent.st_mode & kShared) != kShared || parent.st_uid == link.st_uid;
}

/// `path` with every symbolic link on the way resolved as the kernel resolves it, each judged
/// by mayFollowLink() first; the components from the first missing one on are kept as they
/// are, for the write to report. Relative paths are taken from the working folder.
Result<QByteArray> resolveNamedPath(const QByteArray& path) {
    QByteArray resolved;
    if (!path.startsWith('/')) {
        char* here = ::getcwd(nullptr, 0);
        if (here == nullptr) {
            return {{}, failed(errno)};
        }
        resolved = QByteArray(here) == "/" ? QByteArray() : QByteArray(here);
        std::free(here);
    }
    // The components still to walk, the next one last.
    QList<QByteArray> pending = path.split('/');
    std::reverse(pending.begin(), pending.end());
    constexpr int kMostLinks = 40; // as the kernel's MAXSYMLINKS
    int links = 0;
    while (!pending.isEmpty()) {
        const QByteArray component = pending.takeLast();
        if (component.isEmpty() || component == ".") {
            continue;
        }
        if (component == "..") {
            resolved.truncate(std::max<qsizetype>(resolved.lastIndexOf('/'), 0));
            continue;
        }
        const QByteArray next = resolved + '/' + component;
        struct stat info {};
        if (::lstat(next.constData(), &info) != 0) {
            // Missing (or out of reach): the rest is named as it is, for the write to report.
            resolved = next;
            while (!pending.isEmpty()) {
                resolved += '/' + pending.takeLast();
            }
            break;
        }
        if (!S_ISLNK(info.st_mode)) {
            resolved = next;
            continue;
        }
        if (!mayFollowLink(resolved, info)) {
            return {{}, Outcome::failed(Cause::UntrustedLink)};
        }
        if (++links > kMostLinks) {
            return {{}, failed(ELOOP)};
        }
        QByteArray destination(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(next.constData(), destination.data(), PATH_MAX);
        if (length < 0) {
            return {{}, failed(errno)};
        }
        destination.truncate(length);
        if (destination.startsWith('/')) {
            resolved.clear();
        }
        QList<QByteArray> parts = destination.split('/');
        std::reverse(parts.begin(), parts.end());
        pending.append(parts);
    }
    return {resolved.isEmpty() ? QByteArrayLiteral("/") : resolved, {}};
}

/// Where a write of ReplaceNamedFile goes: the file `target` names, reached through symbolic
/// links as far as mayFollowLink() allows; the failure when that file may not be replaced.
Result<QByteArray> namedFileTarget(const QByteArray& target) {
    Result<QByteArray> real = resolveNamedPath(target);
    if (!real.ok()) {
        return real;
    }
    struct stat existing {};
    if (::stat(real.value.constData(), &existing) != 0) {
        return real; // a new file, or a missing folder: the write says which
    }
    if (S_ISDIR(existing.st_mode)) {
        return {{}, Outcome{Cause::IsFolder, Access::Write, EISDIR, {}}};
    }
    if (!S_ISREG(existing.st_mode)) {
        // A FIFO, a device or a socket is somebody's channel: never replaced, and not opened,
        // since opening a FIFO nobody reads waits for ever.
        return {{}, Outcome::failed(Cause::NotARegularFile)};
    }
    // The rename would replace the file through the folder's permission, not the file's.
    if (::faccessat(AT_FDCWD, real.value.constData(), W_OK, AT_EACCESS) != 0) {
        return {{}, failed(errno)};
    }
    if (existing.st_nlink > 1) {
        return {{}, Outcome::failed(Cause::HardLinked)};
    }
    return real;
}

bool replacesNamedFile(WriteMode mode) {
    return mode == WriteMode::ReplaceNamedFile || mode == WriteMode::ReplaceNamedFileDurably;
}

/// The one way every file is written: `fill` writes the content to the temporary file and
/// returns 0 or the system's error number.
Outcome writeThrough(const QString& path, WriteMode mode, const std::function<int(int)>& fill) {
    ignoreFileSizeSignal();
    QByteArray target = QFile::encodeName(path);
    if (replacesNamedFile(mode)) {
        Result<QByteArray> named = namedFileTarget(target);
        if (!named.ok()) {
            return named.outcome;
        }
        target = named.value;
    }
    const FolderLock writing(target, LOCK_SH);
    QByteArray temporary;
    int slot = -1;
    const int fd = createTemporaryBeside(target, temporary, slot);
    if (fd < 0) {
        return failed(errno);
    }
    const auto abandon = [&temporary, slot](int systemError) {
        ::unlink(temporary.constData());
        temporaryFiles().forget(slot);
        return failed(systemError);
    };
    const bool durable = mode == WriteMode::ReplaceDurably || mode == WriteMode::ClaimNewName ||
                         mode == WriteMode::ReplaceNamedFileDurably;

    const bool claim = mode == WriteMode::ClaimNewName || mode == WriteMode::ClaimNewNameQuickly;
    if (!claim) {
        // A replaced file keeps its permissions, as it would when written in place.
        struct stat existing {};
        if (::stat(target.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
            if (replacesNamedFile(mode) &&
                (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
                // And its owner and group, where the system lets us (root, or a group of ours).
                if (::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
                    [[maybe_unused]] const int ignored = ::fchown(fd, uid_t(-1), existing.st_gid);
                }
            }
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

    if (claim) {
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
    temporaryFiles().forget(slot);
    if (durable) {
        syncFolderOf(target);
    }
    return {};
}

Outcome logged(const QString& path, Outcome outcome) {
    if (outcome.ok()) {
        qCDebug(log::files) << "wrote" << path;
    } else {
        qCInfo(log::files) << "could not write" << path << ":" << englishText(outcome);
    }
    return outcome;
}

} // namespace

Outcome writeFileAtomically(const QString& path, QByteArrayView bytes, WriteMode mode) {
    return logged(path, writeThrough(path, mode, [bytes](int fd) { return writeAll(fd, bytes); }));
}

Outcome writeFileAtomically(const QString& path, const FileRange& source, WriteMode mode) {
    return logged(path,
                  writeThrough(path, mode, [&source](int fd) { return copyRange(fd, source); }));
}

Outcome makeFolders(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    for (qsizetype end = native.indexOf('/', 1);; end = native.indexOf('/', end + 1)) {
        const QByteArray folder = end < 0 ? native : native.left(end);
        struct stat info {};
        if (!folder.isEmpty() && ::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST) {
            return failed(errno);
        }
        if (end < 0) {
            return ::stat(native.constData(), &info) != 0 ? failed(errno)
                   : S_ISDIR(info.st_mode)                ? Outcome{}
                                                          : failed(ENOTDIR);
        }
    }
}

Outcome checkNamedFile(const QString& path) {
    return namedFileTarget(QFile::encodeName(path)).outcome;
}

void removeLeftoverTemporaries(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    // Only while no write is under way in the folder: its temporary file is no leftover. The
    // lock is the one every write takes on its folder.
    const FolderLock alone(native + "/.", LOCK_EX | LOCK_NB);
    if (!alone.held()) {
        return;
    }
    DIR* dir = ::opendir(native.constData());
    if (dir == nullptr) {
        return;
    }
    const int folderFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        struct stat info {};
        // Only a regular file of this user's, with no other name: a folder, a link or another
        // user's file with such a name is not one this program made.
        if (isTemporaryName(entry->d_name) &&
            ::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1 &&
            ::unlinkat(folderFd, entry->d_name, 0) == 0) {
            qCInfo(log::files, "removed the leftover temporary %s/%s", native.constData(),
                   entry->d_name);
        }
    }
    ::closedir(dir);
}

void removeTemporaryFilesOnSignals() {
    temporaryFiles(); // made now, not first in a handler
    for (const int signalNumber : kCleanedSignals) {
        struct sigaction current {};
        if (::sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction handler {};
            handler.sa_handler = &removeTemporariesThenDie;
            sigemptyset(&handler.sa_mask);
            ::sigaction(signalNumber, &handler, nullptr);
        }
    }
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
