#include "startup/SingleInstance.h"

#include "platform/InstanceChannel.h"
#include "platform/WindowActivation.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QWidget>

namespace inkvale {

namespace {

const QByteArray kComeForward = QByteArrayLiteral("come-forward");

} // namespace

SingleInstance::SingleInstance(const QString& programFolder, const QString& channelFolder,
                               QObject* parent)
    : QObject(parent)
    , m_channel(new InstanceChannel(channelName(programFolder), channelFolder, this)) {
    connect(m_channel, &InstanceChannel::messageReceived, this, [this](const QByteArray& message) {
        if (message != kComeForward) {
            return;
        }
        if (QWidget* window = windowToBringForward()) {
            // A box or dialog comes with the window it belongs to, which may be minimised.
            if (QWidget* owner = window->parentWidget()) {
                bringWindowForward(*owner->window());
            }
            bringWindowForward(*window);
        }
        emit secondStart();
    });
}

bool SingleInstance::handOverToRunningDesigner(const QByteArray& launchId) {
    if (m_channel->claim(kComeForward) != InstanceChannel::Claim::Told) {
        return false;
    }
    // The running designer's window answers for this start.
    endLaunchFeedback(launchId);
    return true;
}

QWidget* SingleInstance::windowToBringForward() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    QWidget* splash = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isWindow() || !widget->isVisible()) {
            continue;
        }
        if (widget->objectName() == QStringLiteral("Form1")) {
            return widget;
        }
        if (widget->objectName() == QStringLiteral("Form2")) {
            splash = widget;
        }
    }
    return splash;
}

QString SingleInstance::channelName(const QString& programFolder) {
    const QFileInfo folder(programFolder);
    const QString path = folder.canonicalFilePath().isEmpty() ? folder.absoluteFilePath()
                                                              : folder.canonicalFilePath();
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("inkvale-") + QString::fromLatin1(digest.toHex().left(16));
}

} // namespace inkvale
