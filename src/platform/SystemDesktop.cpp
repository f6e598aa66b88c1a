#include "platform/SystemPlatform.h"

#include <QProcess>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace inkvale {

bool SystemPlatform::openInShell(const QString& target, ShellWindow /*window*/) {
    // The desktop opener decides how the window comes up; there is no portable way to ask
    // for a minimised one.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(opener, {target});
}

QDateTime SystemPlatform::currentDateTime() const {
    return QDateTime::currentDateTime();
}

void SystemPlatform::endProgram() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace inkvale
