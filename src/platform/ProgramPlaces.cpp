#include "platform/ProgramPlaces.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_LINUX
#include <sys/auxv.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace inkvale {

namespace {

Installation installationOf(const QDir& executableFolder) {
    if (QFileInfo(executableFolder.filePath(kSystemInstallMarker.toString())).isFile()) {
        return Installation::System;
    }
    if (QFileInfo(executableFolder.filePath(kUserInstallMarker.toString())).isFile()) {
        return Installation::ForUser;
    }
    return Installation::Portable;
}

/// Whether another user may change what lies in the folder `path` (or in the folder its
/// program folder would go into): it belongs to someone else, everyone may write it, or a group
/// other than the user's own may. A folder that does not exist yet is made by the user.
bool othersMayWrite(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return false;
    }
    return info.st_uid != ::geteuid() || (info.st_mode & S_IWOTH) != 0 ||
           ((info.st_mode & S_IWGRP) != 0 && info.st_gid != ::getegid());
#else
    Q_UNUSED(path);
    return false;
#endif
}

/// `$XDG_STATE_HOME`, when it is an absolute path (the only kind the XDG rules accept) that no
/// other user may write, or ~/.local/state. The program's files, its skin library among them,
/// are written and loaded there: a folder another user may write would let them plant their
/// own.
QString userStateFolder() {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state)) {
        const QString folder = QDir::cleanPath(state);
        if (!othersMayWrite(folder) && !othersMayWrite(folder + QStringLiteral("/inkvale"))) {
            return folder;
        }
    }
    return QDir::homePath() + QStringLiteral("/.local/state");
}

#ifdef Q_OS_LINUX
/// The path of the file mapped at `address` in this process, as the kernel names it (absolute,
/// links resolved); empty when no file is mapped there.
QString fileMappedAt(quintptr address) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Read to its end: the file's size reads as 0, so that a loop on atEnd() would read nothing.
    // Each line: start-end perms offset dev inode [path], the path taking the rest of the line.
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        if (dash <= 0 || space <= dash) {
            continue;
        }
        bool ok = false;
        const quintptr start = line.left(dash).toULongLong(&ok, 16);
        bool okEnd = false;
        const quintptr end = line.mid(dash + 1, space - dash - 1).toULongLong(&okEnd, 16);
        if (!ok || !okEnd || address < start || address >= end) {
            continue;
        }
        const qsizetype slash = line.indexOf('/');
        if (slash < 0) {
            return {};
        }
        QByteArray path = line.mid(slash);
        // The executable's file was replaced or removed since: its folder is still its own.
        const QByteArray deleted = " (deleted)";
        if (path.endsWith(deleted)) {
            path.chop(deleted.size());
        }
        return QFile::decodeName(path);
    }
    return {};
}
#endif

/// The running executable's file. Not /proc/self/exe, nor Qt's application path taken from it:
/// started through the dynamic loader (`ld-linux-x86-64.so.2 ./inkvale`, the way round a noexec
/// mount), that is the loader. The auxiliary vector tells where the program's headers lie in
/// memory, and the loader corrects it when it started the program itself: the file mapped there
/// is the executable. Its AT_EXECFN, the path the program was started by, is the fallback.
QString executableFile() {
#ifdef Q_OS_LINUX
    const QString mapped = fileMappedAt(static_cast<quintptr>(getauxval(AT_PHDR)));
    if (!mapped.isEmpty()) {
        return mapped;
    }
    if (const auto* named = reinterpret_cast<const char*>(getauxval(AT_EXECFN))) {
        // Relative to the folder the program started in, which it has not left yet.
        const QFileInfo file(QFile::decodeName(named));
        const QString canonical = file.canonicalFilePath();
        return canonical.isEmpty() ? file.absoluteFilePath() : canonical;
    }
#endif
    return QCoreApplication::applicationFilePath();
}

} // namespace

QString ProgramPlaces::executableFolder() {
    static const QString folder = QFileInfo(executableFile()).absolutePath();
    return folder;
}

ProgramPlaces::ProgramPlaces(const QString& executableFolder)
    : m_installation(installationOf(QDir(executableFolder))) {
    m_workFolder = m_installation == Installation::System
                       ? userStateFolder() + QStringLiteral("/inkvale")
                       : QDir::cleanPath(QDir(executableFolder).absolutePath());
}

const ProgramPlaces& ProgramPlaces::ofThisProgram() {
    static const ProgramPlaces places = [] {
        ProgramPlaces made(executableFolder());
        QDir().mkpath(made.m_workFolder);
        return made;
    }();
    return places;
}

std::optional<QString> ProgramPlaces::signatureFolder() const {
    if (m_installation == Installation::Portable) {
        return std::nullopt;
    }
    // XDG_PICTURES_DIR from the user's folder settings (~/图片 in a Chinese session), else
    // ~/Pictures.
    QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (pictures.isEmpty()) {
        pictures = QDir::homePath();
    }
    const QString folder = QDir::cleanPath(pictures + QStringLiteral("/Inkvale"));
    // A failure shows when the save itself fails, with its reason.
    QDir().mkpath(folder);
    return folder;
}

} // namespace inkvale
