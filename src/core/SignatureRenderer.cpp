#include "core/SignatureRenderer.h"

#include "core/StyleCatalogue.h"
#include "core/Twips.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace inkvale {

namespace {

constexpr qreal kCanvasDotsPerInch = 96.0;
constexpr qreal kMetresPerInch = 0.0254;
constexpr qreal kPointsPerInch = 72.0;
/// The largest glyphs, in device pixels, that Qt's raster engine draws from its glyph cache.
constexpr qreal kLargestCachedGlyphPixels = 64.0;

QString faceOf(int slot) {
    return styleSlot(slot).faceName.toString();
}

} // namespace

/// The designer's canvas model, drawn at the renderer's device pixel ratio.
class SignatureRenderer::Surface final : public SignatureSurface {
public:
    explicit Surface(QSize outerPixels, qreal ratio)
        : SignatureSurface(outerPixels)
        , m_ratio(ratio) {
        // The base constructor drew at its own ratio: our override was not in place yet.
        cls();
    }

protected:
    [[nodiscard]] qreal targetDevicePixelRatio() const override { return m_ratio; }

private:
    qreal m_ratio = 1.0;
};

/// Where and in what the canvas prints a name: its font and the start of its baseline, in
/// canvas pixels of the drawing area.
struct SignatureRenderer::Placement {
    QFont font;
    QPointF baseline;
};

SignatureRenderer::SignatureRenderer(const SignatureLook& look)
    : m_look(look)
    , m_surface(std::make_unique<Surface>(look.canvas, look.dotsPerInch / kCanvasDotsPerInch)) {
    m_surface->setFontSize(look.points);
    if (look.colour) {
        m_surface->setForeColor(*look.colour);
    }
    if (!look.background.isNull()) {
        m_surface->setPicture(look.background);
    }
    m_blank = drawBlank();
}

SignatureRenderer::~SignatureRenderer() = default;

qreal SignatureRenderer::pixelRatio() const {
    return m_look.dotsPerInch / kCanvasDotsPerInch;
}

QSize SignatureRenderer::innerPixels() const {
    return m_surface->innerPixels();
}

QSize SignatureRenderer::deviceSize() const {
    // Rounded as the canvas rounds its persistent image.
    return (QSizeF(innerPixels()) * pixelRatio()).toSize();
}

QImage SignatureRenderer::image(int slot, const QString& name) {
    const Placement placement = place(slot, name);
    QImage image = m_blank.copy();
    image.setDevicePixelRatio(m_blank.devicePixelRatio());
    {
        // What the canvas's print() does, on whichever background this look has.
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(placement.font);
        painter.setPen(m_surface->foreColor());
        painter.drawText(placement.baseline, name);
    }
    return withResolution(image);
}

QImage SignatureRenderer::blankImage() const {
    return withResolution(m_blank);
}

QImage SignatureRenderer::drawBlank() const {
    if (!m_look.transparent) {
        m_surface->cls();
        return m_surface->image();
    }
    // Like the canvas's own image (device pixel ratio, 96 dpi for the font's points), but
    // clear where the canvas has its background colour.
    const QImage& canvas = m_surface->image();
    QImage image(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(canvas.devicePixelRatio());
    image.setDotsPerMeterX(canvas.dotsPerMeterX());
    image.setDotsPerMeterY(canvas.dotsPerMeterY());
    image.fill(Qt::transparent);
    if (!m_look.background.isNull()) {
        QPainter painter(&image);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(m_look.background.size())),
                          m_look.background);
    }
    return image;
}

VectorPicture SignatureRenderer::outlines(int slot, const QString& name) {
    const Placement placement = place(slot, name);
    const QRectF canvas(QPointF(0, 0), QSizeF(innerPixels()));
    VectorPicture picture;
    picture.viewport = canvas;
    if (!m_look.transparent) {
        QPainterPath area;
        area.addRect(canvas);
        picture.fill(area, m_surface->backColor());
    }
    if (!m_look.background.isNull()) {
        // The writers keep only the part of the picture that shows.
        picture.picture(m_look.background, QRectF(QPointF(0, 0), QSizeF(m_look.background.size())),
                        canvas);
    }
    // Outlines come from the same shaping as drawText, substitute fonts included.
    QPainterPath text;
    text.addText(placement.baseline, QFont(placement.font, &m_blank), name);
    // Glyph contours may overlap; the rasteriser fills them by winding, and so must the outline.
    text.setFillRule(Qt::WindingFill);
    picture.fill(text, m_surface->foreColor(), canvas);
    // Trimmed outlines keep what a trimmed raster keeps: the canvas pixels the drawing inks.
    picture.ink = canvasPixelsOf(inkRect(image(slot, name), m_blank), pixelRatio());
    return picture;
}

SignatureRenderer::Placement SignatureRenderer::place(int slot, const QString& name) {
    // The steps of drawSignature() and print(), short of drawing.
    m_surface->setFontName(faceOf(slot));
    const QSizeF textSize(m_surface->textWidth(name), m_surface->textHeight(name));
    const QPointF topLeft = centredPrintPosition(m_surface->outerSize(), textSize) / kTwipsPerPixel;
    const QFont font = m_surface->font();
    const QFontMetricsF metrics(font, &m_surface->image());
    qreal baseline = topLeft.y() + metrics.ascent();
    if (font.pointSizeF() * kCanvasDotsPerInch / kPointsPerInch <= kLargestCachedGlyphPixels) {
        // The canvas draws glyphs this small from the glyph cache, on a whole pixel row
        // (rounding half up); larger ones it fills as outlines at their exact place. Rounding
        // here already, in canvas pixels, keeps the name on the designer's row at every
        // resolution and in the outlines, not on the nearest row of each device.
        baseline = std::floor(baseline + 0.5);
    }
    return {font, QPointF(topLeft.x(), baseline)};
}

QImage SignatureRenderer::withResolution(QImage image) const {
    const int dotsPerMetre = qRound(m_look.dotsPerInch / kMetresPerInch);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

QRect canvasPixelsOf(const QRect& device, qreal ratio) {
    if (device.isEmpty()) {
        return {};
    }
    // A hair of slack, so that an edge that falls on a canvas pixel exactly stays there.
    constexpr qreal kSlack = 1e-9;
    const int left = int(std::floor(device.left() / ratio + kSlack));
    const int top = int(std::floor(device.top() / ratio + kSlack));
    const int right = int(std::ceil((device.right() + 1) / ratio - kSlack));
    const int bottom = int(std::ceil((device.bottom() + 1) / ratio - kSlack));
    return {QPoint(left, top), QPoint(right - 1, bottom - 1)};
}

QRect devicePixelsOf(const QRect& canvas, qreal ratio) {
    if (canvas.isEmpty()) {
        return {};
    }
    return {QPoint(qRound(canvas.left() * ratio), qRound(canvas.top() * ratio)),
            QPoint(qRound((canvas.right() + 1) * ratio) - 1,
                   qRound((canvas.bottom() + 1) * ratio) - 1)};
}

QRect inkRect(const QImage& drawn, const QImage& blank) {
    if (drawn.size() != blank.size()) {
        return {};
    }
    const QImage a = drawn.format() == blank.format() && drawn.depth() == 32
                         ? drawn
                         : drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = blank.format() == a.format()
                         ? blank
                         : blank.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int left = a.width();
    int right = -1;
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        int first = 0;
        while (first < a.width() && rowA[first] == rowB[first]) {
            ++first;
        }
        if (first == a.width()) {
            continue;
        }
        int last = a.width() - 1;
        while (rowA[last] == rowB[last]) {
            --last;
        }
        left = std::min(left, first);
        right = std::max(right, last);
        top = top < 0 ? y : top;
        bottom = y;
    }
    return top < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

QImage cropToInk(const QImage& image, const QRect& ink, int padding) {
    // Cut on whole canvas pixels, so that every resolution keeps the same part of the canvas.
    const qreal ratio = image.devicePixelRatio();
    const QRect canvas(QPoint(0, 0), (QSizeF(image.size()) / ratio).toSize());
    const QRect kept = canvasPixelsOf(ink, ratio)
                           .adjusted(-padding, -padding, padding, padding)
                           .intersected(canvas);
    QImage cropped = image.copy(devicePixelsOf(kept, ratio).intersected(image.rect()));
    cropped.setDevicePixelRatio(ratio);
    cropped.setDotsPerMeterX(image.dotsPerMeterX());
    cropped.setDotsPerMeterY(image.dotsPerMeterY());
    return cropped;
}

VectorPicture cropToInk(VectorPicture picture, int padding) {
    picture.viewport =
        picture.ink.adjusted(-padding, -padding, padding, padding).intersected(picture.viewport);
    return picture;
}

} // namespace inkvale
