#include "platform/WindowActivation.h"

#include <QWidget>

// Window systems without code of their own here: Qt's activation, and no launch feedback.

namespace inkvale {

void bringWindowForward(QWidget& window) {
    if (window.isMinimized()) {
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window.show();
    }
    window.raise();
    window.activateWindow();
}

QByteArray launchFeedbackId() {
    return qgetenv("DESKTOP_STARTUP_ID");
}

void endLaunchFeedback(const QByteArray& /*id*/) {}

} // namespace inkvale
