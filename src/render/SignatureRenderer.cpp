#include "render/SignatureRenderer.h"

#include "designer/StyleCatalogue.h"
#include "designer/Twips.h"

#include <QFontMetricsF>
#include <QPainter>

namespace inkvale {

namespace {

constexpr qreal kCanvasDotsPerInch = 96.0;
constexpr qreal kMetresPerInch = 0.0254;

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
    if (!m_look.transparent) {
        // The designer's own drawing, untouched.
        drawSignature(*m_surface, faceOf(slot), name);
        return withResolution(m_surface->image());
    }
    // The canvas has no transparent background, so its print() is repeated on a clear image.
    const Placement placement = place(slot, name);
    QImage image = blankImage();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(placement.font);
    painter.setPen(m_surface->foreColor());
    painter.drawText(placement.baseline, name);
    return image;
}

QImage SignatureRenderer::blankImage() {
    if (!m_look.transparent) {
        m_surface->cls();
        return withResolution(m_surface->image());
    }
    QImage image(deviceSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio());
    image.fill(Qt::transparent);
    if (!m_look.background.isNull()) {
        QPainter painter(&image);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(m_look.background.size())),
                          m_look.background);
    }
    return withResolution(image);
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
        picture.picture(m_look.background, QRectF(QPointF(0, 0), QSizeF(m_look.background.size())),
                        canvas);
    }
    // Outlines come from the same shaping as drawText, substitute fonts included.
    QPainterPath text;
    text.addText(placement.baseline, QFont(placement.font, &m_surface->image()), name);
    // Glyph contours may overlap; the rasteriser fills them by winding, and so must the outline.
    text.setFillRule(Qt::WindingFill);
    picture.fill(text, m_surface->foreColor(), canvas);
    picture.ink = text.boundingRect().intersected(canvas);
    return picture;
}

SignatureRenderer::Placement SignatureRenderer::place(int slot, const QString& name) {
    // The steps of drawSignature() and print(), short of drawing.
    m_surface->cls();
    m_surface->setFontName(faceOf(slot));
    const QSizeF textSize(m_surface->textWidth(name), m_surface->textHeight(name));
    const QPointF topLeft = centredPrintPosition(m_surface->outerSize(), textSize) / kTwipsPerPixel;
    const QFont font = m_surface->font();
    const QFontMetricsF metrics(font, &m_surface->image());
    return {font, QPointF(topLeft.x(), topLeft.y() + metrics.ascent())};
}

QImage SignatureRenderer::withResolution(QImage image) const {
    const int dotsPerMetre = qRound(m_look.dotsPerInch / kMetresPerInch);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
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
    const int grow = qRound(padding * image.devicePixelRatio());
    QImage cropped = image.copy(ink.adjusted(-grow, -grow, grow, grow).intersected(image.rect()));
    cropped.setDevicePixelRatio(image.devicePixelRatio());
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
