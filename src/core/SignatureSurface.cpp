#include "core/SignatureSurface.h"

#include "core/FaceChain.h"
#include "core/Twips.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace inkvale {

namespace {

// 96 dpi, so that a point is 4/3 of a device-independent pixel on every screen.
constexpr int kDotsPerMeter = 3780;

} // namespace

SignatureSurface::SignatureSurface(QSize outerPixels, int borderPixels)
    : m_outer(outerPixels)
    , m_border(borderPixels)
    , m_foreColor(QGuiApplication::palette().color(QPalette::WindowText))
    , m_backColor(QGuiApplication::palette().color(QPalette::Window)) {
    repaintBackground();
}

SignatureSurface::~SignatureSurface() = default;

QFont SignatureSurface::font() const {
    QFont f(m_fontName);
    // A style's characters come from its own face and a fixed chain after it, never from
    // whatever face the system would pick.
    f.setFamilies(faceChain(m_fontName));
    f.setPointSizeF(static_cast<qreal>(m_fontSize));
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

void SignatureSurface::setPicture(const QImage& picture) {
    m_picture = picture;
    repaintBackground();
}

QSizeF SignatureSurface::outerSize() const {
    return {static_cast<qreal>(m_outer.width() * kTwipsPerPixel),
            static_cast<qreal>(m_outer.height() * kTwipsPerPixel)};
}

QSize SignatureSurface::innerPixels() const {
    return m_outer - QSize(2 * m_border, 2 * m_border);
}

qreal SignatureSurface::textWidth(const QString& text) const {
    return QFontMetricsF(font(), &m_image).horizontalAdvance(text) * kTwipsPerPixel;
}

qreal SignatureSurface::textHeight(const QString& /*text*/) const {
    return QFontMetricsF(font(), &m_image).height() * kTwipsPerPixel;
}

void SignatureSurface::cls() {
    repaintBackground();
}

void SignatureSurface::print(const QString& text) {
    const QFont f = font();
    const QFontMetricsF metrics(f, &m_image);
    {
        QPainter painter(&m_image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(f);
        painter.setPen(m_foreColor);
        const QPointF topLeft = m_current / kTwipsPerPixel;
        painter.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text);
    }
    m_current = QPointF(0, m_current.y() + metrics.height() * kTwipsPerPixel);
    imageChanged();
}

void SignatureSurface::repaintBackground() {
    const qreal ratio = targetDevicePixelRatio();
    const QSize inner = innerPixels();
    if (m_image.isNull() || !qFuzzyCompare(m_image.devicePixelRatio(), ratio)) {
        m_image = QImage((QSizeF(inner) * ratio).toSize(), QImage::Format_RGB32);
        m_image.setDevicePixelRatio(ratio);
        m_image.setDotsPerMeterX(kDotsPerMeter);
        m_image.setDotsPerMeterY(kDotsPerMeter);
    }
    m_image.fill(m_backColor);
    if (!m_picture.isNull()) {
        QPainter painter(&m_image);
        // Natural size: one picture pixel per device-independent pixel.
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(m_picture.size())), m_picture);
    }
    m_current = QPointF();
    imageChanged();
}

QPointF centredPrintPosition(QSizeF outerSize, QSizeF textSize) {
    // Single precision, unrounded, as the canvas computes it.
    const float x =
        (static_cast<float>(outerSize.width()) - static_cast<float>(textSize.width())) / 2;
    const float y =
        (static_cast<float>(outerSize.height()) - static_cast<float>(textSize.height())) / 2;
    return {static_cast<qreal>(x), static_cast<qreal>(y)};
}

void drawSignature(SignatureSurface& surface, const QString& faceName, const QString& name) {
    surface.cls();
    surface.setFontName(faceName);
    const QSizeF textSize(surface.textWidth(name), surface.textHeight(name));
    surface.setCurrentPosition(centredPrintPosition(surface.outerSize(), textSize));
    surface.print(name);
}

} // namespace inkvale
