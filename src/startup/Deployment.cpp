#include "startup/Deployment.h"

#include "platform/ProgramFiles.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"
#include "platform/files/TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace inkvale {

namespace {

/// A file that exists without any write permission is the user's to keep, whoever we are. A
/// FIFO, a device or a socket left under the name is no such file: it is replaced, unopened.
bool isReadOnly(const QFileInfo& target) {
    if (isSpecialFile(target.filePath())) {
        return false;
    }
    // The mode bits, not "writable by us": an administrator could write anything.
    constexpr QFile::Permissions kAnyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return target.exists() && (!(target.permissions() & kAnyWrite) || !target.isWritable());
}

void writeFile(const QString& path, const ProgramFiles& platform, int resourceId) {
    const QFileInfo target(path);
    if (isReadOnly(target)) {
        return;
    }
    const QString type = QStringLiteral("CUSTOM");
    const QByteArrayView payload = platform.embeddedResource(type, resourceId);
    if (payload.isEmpty()) {
        // Nothing to write: a missing target is made empty, an existing one is kept.
        (void)writeFileAtomically(path, QByteArrayView(), WriteMode::ClaimNewName);
        return;
    }
    // Every file is written again at the next start, so none waits for the disk; each still
    // takes its name only when complete. Failures are passed over: the start goes on.
    constexpr WriteMode kMode = WriteMode::RemoveThenReplace;
    if (const std::optional<FileRange> inFile = platform.embeddedResourceFile(type, resourceId)) {
        // Copied file to file, so the payload's pages never enter the program's memory.
        if (writeFileAtomically(path, *inFile, kMode).ok()) {
            return;
        }
    }
    (void)writeFileAtomically(path, payload, kMode);
}

} // namespace

void DeployEmbeddedFiles(const ProgramFiles& platform) {
    const QDir folder(platform.programFolder());
    // A start or a save that was stopped mid-way (killed, logged out, the power lost) left the
    // temporary files it was writing; this start leaves the folders as ones that had ended
    // would have.
    removeLeftoverTemporaries(folder.path());
    removeLeftoverTemporaries(folder.filePath(QStringLiteral("fonts")));
    // And the folders that held a dragged signature for a program that crashed or was killed.
    removeAbandonedFolders(kDragFolderPrefix.toString());
    for (std::size_t i = 0; i < kDeployedFiles.size(); ++i) {
        if (i == kFirstFontFile && !folder.exists(QStringLiteral("fonts"))) {
            folder.mkdir(QStringLiteral("fonts"));
        }
        const DeployedFile& file = kDeployedFiles.at(i);
        writeFile(folder.filePath(file.target.toString()), platform, file.resourceId);
    }
}

} // namespace inkvale
