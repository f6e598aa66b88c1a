#include "platform/SystemPlatform.h"

#include <QRegion>
#include <QWidget>

namespace inkvale {

namespace {

// Qt has no style words: the extended style lives on the widget, and only the layered bit
// means anything here.
constexpr const char* kExtendedStyleProperty = "inkvaleExtendedStyle";

} // namespace

qint32 SystemPlatform::extendedWindowStyle(const QWidget& window) const {
    return window.property(kExtendedStyleProperty).toInt();
}

void SystemPlatform::setExtendedWindowStyle(QWidget& window, qint32 style) {
    const bool wasLayered = (extendedWindowStyle(window) & kLayeredWindowStyle) != 0;
    window.setProperty(kExtendedStyleProperty, style);
    if (!wasLayered && (style & kLayeredWindowStyle) != 0) {
        // A layered window shows nothing until its opacity is set.
        window.setWindowOpacity(0.0);
    }
}

void SystemPlatform::setWindowAlpha(QWidget& window, quint8 alpha) {
    if ((extendedWindowStyle(window) & kLayeredWindowStyle) != 0) {
        window.setWindowOpacity(alpha / 255.0);
    }
}

void SystemPlatform::setWindowRegion(QWidget& window, const QRegion& devicePixels) {
    // Qt masks are in device-independent pixels; take every device pixel that the region holds.
    const qreal ratio = window.devicePixelRatioF();
    QRegion mask;
    for (const QRect& rect : devicePixels) {
        const QRectF logical(rect.x() / ratio, rect.y() / ratio, rect.width() / ratio,
                             rect.height() / ratio);
        mask += logical.toAlignedRect();
    }
    window.setMask(mask);
}

} // namespace inkvale
