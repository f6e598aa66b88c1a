#include "startup/Deployment.h"

#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace inkvale {

namespace {

/// A file that exists without any write permission is the user's to keep, whoever we are.
bool isReadOnly(const QFileInfo& target) {
    // The mode bits, not "writable by us": an administrator could write anything.
    constexpr QFile::Permissions kAnyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return target.exists() && (!(target.permissions() & kAnyWrite) || !target.isWritable());
}

void writeFile(const QString& path, QByteArrayView payload) {
    const QFileInfo target(path);
    if (isReadOnly(target)) {
        return;
    }
    if (payload.isEmpty()) {
        // Nothing to write: a missing target is made empty, an existing one is kept.
        if (!target.exists()) {
            QFile(path).open(QIODevice::WriteOnly);
        }
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    if (file.write(payload.data(), payload.size()) != payload.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

} // namespace

void DeployEmbeddedFiles(const Platform& platform) {
    const QDir folder(platform.programFolder());
    for (std::size_t i = 0; i < kDeployedFiles.size(); ++i) {
        if (i == kFirstFontFile && !folder.exists(QStringLiteral("fonts"))) {
            folder.mkdir(QStringLiteral("fonts"));
        }
        const DeployedFile& file = kDeployedFiles.at(i);
        writeFile(folder.filePath(file.target.toString()),
                  platform.embeddedResource(QStringLiteral("CUSTOM"), file.resourceId));
    }
}

} // namespace inkvale
