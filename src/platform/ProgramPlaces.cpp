#include "platform/ProgramPlaces.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

/// `$XDG_STATE_HOME`, when it is an absolute path (the only kind the XDG rules accept), or
/// ~/.local/state.
QString userStateFolder() {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state)) {
        return QDir::cleanPath(state);
    }
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace

ProgramPlaces::ProgramPlaces(const QString& executableFolder)
    : m_installation(installationOf(QDir(executableFolder))) {
    m_workFolder = m_installation == Installation::System
                       ? userStateFolder() + QStringLiteral("/inkvale")
                       : QDir::cleanPath(QDir(executableFolder).absolutePath());
}

const ProgramPlaces& ProgramPlaces::ofThisProgram() {
    static const ProgramPlaces places = [] {
        ProgramPlaces made(QCoreApplication::applicationDirPath());
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
