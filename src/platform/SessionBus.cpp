#include "platform/SessionBus.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>

#include <sys/stat.h>

namespace inkvale {

namespace {

bool isSocket(const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISSOCK(status.st_mode);
}

} // namespace

void declineAutolaunchedSessionBus() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return;
    }
    // The user's bus of a systemd session, which libdbus finds by itself.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isSocket(runtime + QStringLiteral("/bus"))) {
        return;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("disabled:"));
}

} // namespace inkvale
