#pragma once

#include "platform/files/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace inkvale::test {

/// What a user may name as the file to write, each of its kind, and what the one rule for
/// such names must make of it: written (through a link, onto the file it points at), or
/// refused with a cause, the file and whatever the name stands for left as they were.
/// The answers are those for the user the test runs as: root may write a read-only file.
struct NamedTarget {
    QString path;    ///< the name the user gives; empty when the kind cannot be made here
    QString skipped; ///< why it cannot, when it cannot
    QString content; ///< the regular file whose bytes tell what was written; empty for none
    Cause refusal = Cause::None; ///< Cause::None: the write goes through
};

/// The bytes every target that holds a file starts with.
inline constexpr char kOldBytes[] = "old";

/// Makes the targets in a folder of the test's own.
class NamedTargets final {
public:
    /// The kinds make() knows.
    [[nodiscard]] static QStringList kinds() {
        return {QStringLiteral("regular file"),
                QStringLiteral("symbolic link in the user's own folder"),
                QStringLiteral("another user's symbolic link in a sticky folder"),
                QStringLiteral("hard link"),
                QStringLiteral("read-only file"),
                QStringLiteral("FIFO"),
                QStringLiteral("character device"),
                QStringLiteral("folder")};
    }

    explicit NamedTargets(QString folder)
        : m_folder(std::move(folder)) {}

    /// Makes a target of `kind` named `name` in the folder (or, for the sticky folder, in a
    /// sub-folder "shared" of it).
    [[nodiscard]] NamedTarget make(const QString& kind, const QString& name) const {
        const QDir folder(m_folder);
        const QString path = folder.filePath(name);
        if (kind == QLatin1String("regular file")) {
            return writeOld(path) ? NamedTarget{path, {}, path, Cause::None} : NamedTarget{};
        }
        if (kind == QLatin1String("symbolic link in the user's own folder")) {
            const QString real = folder.filePath(QStringLiteral("real-") + name);
            return writeOld(real) && QFile::link(real, path) ? NamedTarget{path, {}, real}
                                                             : NamedTarget{};
        }
        if (kind == QLatin1String("another user's symbolic link in a sticky folder")) {
            // As in /tmp: a folder of root's that everyone may write, with the sticky bit; in
            // it, nobody's link to a file only root may read and write.
            if (::geteuid() != 0) {
                return {{}, QStringLiteral("needs root to give a link another owner"), {}};
            }
            const QString shared = folder.filePath(QStringLiteral("shared"));
            const QString secret = folder.filePath(QStringLiteral("secret"));
            const QString link = shared + QLatin1Char('/') + name;
            if (!folder.mkdir(QStringLiteral("shared")) ||
                ::chmod(QFile::encodeName(shared).constData(), 01777) != 0 || !writeOld(secret) ||
                ::chmod(QFile::encodeName(secret).constData(), 0600) != 0 ||
                !QFile::link(secret, link) ||
                ::lchown(QFile::encodeName(link).constData(), kNobody, kNobody) != 0) {
                return {};
            }
            return {link, {}, secret, Cause::UntrustedLink};
        }
        if (kind == QLatin1String("hard link")) {
            const QString other = folder.filePath(QStringLiteral("other-") + name);
            return writeOld(other) && ::link(QFile::encodeName(other).constData(),
                                             QFile::encodeName(path).constData()) == 0
                       ? NamedTarget{path, {}, other, Cause::HardLinked}
                       : NamedTarget{};
        }
        if (kind == QLatin1String("read-only file")) {
            if (!writeOld(path) || ::chmod(QFile::encodeName(path).constData(), 0444) != 0) {
                return {};
            }
            // Root may write any file, as `cp` would.
            return {path, {}, path, ::geteuid() == 0 ? Cause::None : Cause::NoPermission};
        }
        if (kind == QLatin1String("FIFO")) {
            return ::mkfifo(QFile::encodeName(path).constData(), 0666) == 0
                       ? NamedTarget{path, {}, {}, Cause::NotARegularFile}
                       : NamedTarget{};
        }
        if (kind == QLatin1String("character device")) {
            // Root makes a null device of its own, so that a fault replaces no device of the
            // system's; anyone else names /dev/null, which they could not replace anyway.
            if (::geteuid() != 0) {
                return {QStringLiteral("/dev/null"), {}, {}, Cause::NotARegularFile};
            }
            return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, ::makedev(1, 3)) ==
                           0
                       ? NamedTarget{path, {}, {}, Cause::NotARegularFile}
                       : NamedTarget{{}, QStringLiteral("this system lets no device be made"), {}};
        }
        if (kind == QLatin1String("folder")) {
            return folder.mkdir(name) ? NamedTarget{path, {}, {}, Cause::IsFolder} : NamedTarget{};
        }
        return {};
    }

    /// Whether `target` still stands as it was made: the special file of its kind, the file
    /// with its old bytes.
    [[nodiscard]] static bool untouched(const QString& kind, const NamedTarget& target) {
        struct stat info {};
        if (::lstat(QFile::encodeName(target.path).constData(), &info) != 0) {
            return false;
        }
        if (kind == QLatin1String("FIFO")) {
            return S_ISFIFO(info.st_mode);
        }
        if (kind == QLatin1String("character device")) {
            return S_ISCHR(info.st_mode);
        }
        if (kind == QLatin1String("folder")) {
            return S_ISDIR(info.st_mode);
        }
        if (kind.contains(QLatin1String("symbolic link")) && !S_ISLNK(info.st_mode)) {
            return false;
        }
        return bytesOf(target.content) == kOldBytes;
    }

    [[nodiscard]] static QByteArray bytesOf(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    static constexpr uid_t kNobody = 65534;

    static bool writeOld(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(kOldBytes) == 3;
    }

    QString m_folder;
};

} // namespace inkvale::test
