#include "platform/files/TemporaryFolder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace inkvale {

namespace {

/// The characters mkdtemp() puts after the prefix.
constexpr qsizetype kRandomLength = 6;
/// The file in every such folder that marks it as this program's: no folder of anyone else's
/// holds it.
constexpr char kMark[] = ".inkvale-temporary-folder";
/// A folder younger than this may still be waiting for its maker's lock.
constexpr time_t kYoungestAbandonedSeconds = 60;

/// Removes the regular files in the folder open as `fd`; false when anything else is in it.
bool removeFilesIn(int fd) {
    const int listing = ::dup(fd);
    DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
    if (dir == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return false;
    }
    bool onlyFiles = true;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        struct stat info {};
        if (::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlinkat(fd, entry->d_name, 0);
        } else {
            onlyFiles = false;
        }
    }
    ::closedir(dir);
    return onlyFiles;
}

} // namespace

TemporaryFolder::TemporaryFolder(const QString& prefix) {
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + prefix) +
                         QByteArray(kRandomLength, 'X');
    if (::mkdtemp(pattern.data()) == nullptr) {
        return;
    }
    m_lock = ::open(pattern.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (m_lock >= 0 && ::flock(m_lock, LOCK_SH) != 0) {
        ::close(m_lock);
        m_lock = -1;
    }
    const int mark =
        m_lock < 0
            ? -1
            : ::openat(m_lock, kMark, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (mark < 0) {
        if (m_lock >= 0) {
            ::close(m_lock);
            m_lock = -1;
        }
        ::rmdir(pattern.constData());
        return;
    }
    ::close(mark);
    m_path = QFile::decodeName(pattern);
}

TemporaryFolder::~TemporaryFolder() {
    if (m_lock < 0) {
        return;
    }
    removeFilesIn(m_lock);
    ::rmdir(QFile::encodeName(m_path).constData());
    ::close(m_lock);
}

QString TemporaryFolder::filePath(const QString& name) const {
    return m_path + QLatin1Char('/') + name;
}

void removeAbandonedFolders(const QString& prefix) {
    const QByteArray temporary = QFile::encodeName(QDir::tempPath());
    const QByteArray start = QFile::encodeName(prefix);
    DIR* dir = ::opendir(temporary.constData());
    if (dir == nullptr) {
        return;
    }
    const int parent = ::dirfd(dir);
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        struct stat info {};
        if (!name.startsWith(start) || name.size() != start.size() + kRandomLength ||
            ::fstatat(parent, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
            now - info.st_mtime < kYoungestAbandonedSeconds) {
            continue;
        }
        const int folder =
            ::openat(parent, entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (folder < 0) {
            continue;
        }
        // Only a folder with our mark; a process that still lives holds its folder, so that
        // the lock is not to be had.
        struct stat mark {};
        if (::fstatat(folder, kMark, &mark, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(mark.st_mode) &&
            ::flock(folder, LOCK_EX | LOCK_NB) == 0 && removeFilesIn(folder)) {
            ::unlinkat(parent, entry->d_name, AT_REMOVEDIR);
        }
        ::close(folder);
    }
    ::closedir(dir);
}

} // namespace inkvale
