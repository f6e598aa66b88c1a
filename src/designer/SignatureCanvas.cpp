#include "designer/SignatureCanvas.h"

#include <QPainter>

namespace inkvale {

SignatureCanvas::SignatureCanvas(QWidget* parent)
    : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(borderPixels());
    setFixedSize(kDesignedOuterPixels);
}

QRect SignatureCanvas::childRect(QRect designed) const {
    return designed.translated(borderPixels(), borderPixels());
}

void SignatureCanvas::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(QRectF(contentsRect()), image());
}

qreal SignatureCanvas::targetDevicePixelRatio() const {
    return devicePixelRatioF();
}

void SignatureCanvas::imageChanged() {
    update();
}

} // namespace inkvale
