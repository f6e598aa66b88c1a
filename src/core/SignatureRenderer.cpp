#include "core/SignatureRenderer.h"

#include "core/ImageConversion.h"
#include "core/MemoryHeadroom.h"
#include "core/StyleCatalogue.h"
#include "core/Twips.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace inkvale {

namespace {

constexpr qreal kCanvasDotsPerInch = 96.0;
constexpr qreal kMetresPerInch = 0.0254;
constexpr qreal kPointsPerInch = 72.0;
/// The largest glyphs, in device pixels, that Qt's raster engine draws from its glyph cache.
constexpr qreal kLargestCachedGlyphPixels = 64.0;
/// 96 dpi, as the canvas's image has: the points of its font are the canvas's points.
constexpr int kCanvasDotsPerMetre = 3780;
/// The canvas of the measuring surface: large enough for an image at the lowest resolution.
constexpr QSize kMeasuringCanvas{68, 68};
/// How many bytes a strip of the canvas takes at most while outlines() looks for the ink.
constexpr qint64 kStripBytes = 8 << 20;
/// How far past its glyphs' own box a drawn glyph may ink (antialiasing, hinting), in device
/// pixels.
constexpr int kInkSlack = 4;
/// Below this many pixels a font engine gives boxes instead of glyphs, so smaller outlines are
/// made larger and scaled down.
constexpr qreal kSmallestOutlinedPixels = 2.0;

QString faceOf(int slot) {
    return styleSlot(slot).faceName.toString();
}

/// Whether `name` holds a character that can turn the line's order around.
bool mayRunRightToLeft(const QString& name) {
    for (const char32_t c : name.toUcs4()) {
        switch (QChar::direction(c)) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
        case QChar::DirFSI:
            return true;
        default:
            break;
        }
    }
    return false;
}

/// `layout` laid out as the one unwrapped line, `width` wide, that drawText prints.
QTextLine oneLine(QTextLayout& layout, qreal width) {
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(width);
    layout.endLayout();
    return line;
}

/// The part [first, last) of `name`, on grapheme boundaries, whose glyphs can show between
/// `left` and `right` when it is printed from `x`, with a margin of several line heights for
/// glyphs that reach far past their advance (script faces' swashes). The whole name when it
/// may run right to left, where logical and visual order part.
std::pair<qsizetype, qsizetype> showingPart(const QString& name, const QFont& font,
                                            const QPaintDevice* device, qreal x, qreal left,
                                            qreal right) {
    const std::pair<qsizetype, qsizetype> whole{0, name.size()};
    if (mayRunRightToLeft(name)) {
        return whole;
    }
    const qreal margin = 4 * QFontMetricsF(font, device).height();
    QTextLayout layout(name, font, device);
    const QTextLine line = oneLine(layout, right - left);
    qsizetype first = line.xToCursor(left - margin - x, QTextLine::CursorBetweenCharacters);
    qsizetype last = line.xToCursor(right + margin - x, QTextLine::CursorBetweenCharacters);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    graphemes.setPosition(first);
    if (!graphemes.isAtBoundary()) {
        first = std::max<qsizetype>(graphemes.toPreviousBoundary(), 0);
    }
    graphemes.setPosition(last);
    if (!graphemes.isAtBoundary()) {
        last = graphemes.toNextBoundary();
        last = last < 0 ? name.size() : last;
    }
    if (first >= last) {
        return {0, 0};
    }
    return {first, last};
}

/// `text` without the characters that print as nothing, and take no room, within a line of
/// drawn text, but that QPainterPath::addText gives their glyph's advance: the soft hyphen,
/// shown only where a line breaks. Outlined as it is, it would open a gap that the raster does
/// not have.
QString withoutUnprintedMarks(QString text) {
    text.remove(QChar(0x00AD));
    return text;
}

/// The outline of `text` printed from `baseline` in `font`, as drawText prints it; fonts too
/// small for a font engine to outline are outlined larger and scaled down.
QPainterPath textOutline(QPointF baseline, const QFont& font, const QString& drawn) {
    const QString text = withoutUnprintedMarks(drawn);
    QPainterPath path;
    const qreal pixels = font.pointSizeF() * kCanvasDotsPerInch / kPointsPerInch;
    if (pixels >= kSmallestOutlinedPixels || pixels <= 0) {
        path.addText(baseline, font, text);
        return path;
    }
    const qreal scale = std::ceil(kSmallestOutlinedPixels * 8 / pixels);
    QFont larger = font;
    larger.setPointSizeF(font.pointSizeF() * scale);
    path.addText(baseline * scale, larger, text);
    return QTransform::fromScale(1 / scale, 1 / scale).map(path);
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
    , m_surface(
          std::make_unique<Surface>(kMeasuringCanvas, look.dotsPerInch / kCanvasDotsPerInch)) {
    m_surface->setFontSize(look.points);
    if (look.colour) {
        m_surface->setForeColor(*look.colour);
    }
}

SignatureRenderer::~SignatureRenderer() = default;

qreal SignatureRenderer::pixelRatio() const {
    return m_look.dotsPerInch / kCanvasDotsPerInch;
}

QSize SignatureRenderer::innerPixels() const {
    const int border = SignatureSurface::kDesignedBorderPixels;
    return m_look.canvas - QSize(2 * border, 2 * border);
}

QSize SignatureRenderer::deviceSize() const {
    // Rounded as the canvas rounds its persistent image.
    return (QSizeF(innerPixels()) * pixelRatio()).toSize();
}

QImage SignatureRenderer::image(int slot, const QString& name) {
    const Placement placement = place(slot, name);
    if (blank().isNull()) {
        return {};
    }
    QImage image = m_blank.copy();
    if (image.isNull()) {
        return {};
    }
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
    return blank().isNull() ? QImage() : withResolution(m_blank);
}

const QImage& SignatureRenderer::blank() const {
    if (m_blank.isNull()) {
        // As the canvas's own image (device pixel ratio, 96 dpi for the font's points), clear
        // where the canvas has its background colour when the look is transparent.
        QImage image(deviceSize(), m_look.transparent ? QImage::Format_ARGB32_Premultiplied
                                                      : QImage::Format_RGB32);
        if (!image.isNull()) {
            image.setDevicePixelRatio(pixelRatio());
            image.setDotsPerMeterX(kCanvasDotsPerMetre);
            image.setDotsPerMeterY(kCanvasDotsPerMetre);
            paintBlank(image, QPoint());
            m_blank = image;
        }
    }
    return m_blank;
}

void SignatureRenderer::paintBlank(QImage& image, QPoint origin) const {
    if (m_look.transparent) {
        image.fill(Qt::transparent);
    } else {
        image.fill(m_look.canvasColour.value_or(m_surface->backColor()));
    }
    if (!m_look.background.isNull()) {
        QPainter painter(&image);
        if (!origin.isNull()) {
            painter.translate(-QPointF(origin) / pixelRatio());
        }
        // Natural size: one picture pixel per canvas pixel.
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(m_look.background.size())),
                          m_look.background);
    }
}

QRect SignatureRenderer::inkInStrips(const Placement& placement, const QString& name,
                                     const QRect& bounds) const {
    if (bounds.isEmpty()) {
        return {};
    }
    const qreal ratio = pixelRatio();
    const QImage::Format format =
        m_look.transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const int rows =
        int(std::clamp<qint64>(kStripBytes / (qint64(bounds.width()) * 4), 1, bounds.height()));
    QRect ink;
    for (int top = bounds.top(); top <= bounds.bottom(); top += rows) {
        const QRect strip(bounds.left(), top, bounds.width(),
                          std::min(rows, bounds.bottom() + 1 - top));
        QImage blankStrip(strip.size(), format);
        if (blankStrip.isNull()) {
            throw std::bad_alloc();
        }
        blankStrip.setDevicePixelRatio(ratio);
        blankStrip.setDotsPerMeterX(kCanvasDotsPerMetre);
        blankStrip.setDotsPerMeterY(kCanvasDotsPerMetre);
        paintBlank(blankStrip, strip.topLeft());
        QImage drawn = blankStrip.copy();
        if (drawn.isNull()) {
            throw std::bad_alloc();
        }
        drawn.setDevicePixelRatio(ratio);
        {
            // What image() draws, seen through this strip.
            QPainter painter(&drawn);
            painter.translate(-QPointF(strip.topLeft()) / ratio);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setFont(placement.font);
            painter.setPen(m_surface->foreColor());
            painter.drawText(placement.baseline, name);
        }
        const QRect found = inkRect(drawn, blankStrip);
        if (!found.isEmpty()) {
            ink |= found.translated(strip.topLeft());
        }
    }
    return ink;
}

VectorPicture SignatureRenderer::outlines(int slot, const QString& name) {
    const Placement placement = place(slot, name);
    const QRectF canvas(QPointF(0, 0), QSizeF(innerPixels()));
    VectorPicture picture;
    picture.viewport = canvas;
    if (!m_look.transparent) {
        QPainterPath area;
        area.addRect(canvas);
        picture.fill(area, m_look.canvasColour.value_or(m_surface->backColor()));
    }
    if (!m_look.background.isNull()) {
        // The writers keep only the part of the picture that shows.
        picture.picture(m_look.background, QRectF(QPointF(0, 0), QSizeF(m_look.background.size())),
                        canvas);
    }
    // Outlines come from the same shaping as drawText, substitute fonts included; glyphs that
    // cannot reach the canvas are left out.
    const QImage* device = &m_surface->image();
    const QFont font(placement.font, device);
    const auto [first, last] =
        showingPart(name, font, device, placement.baseline.x(), canvas.left(), canvas.right());
    QPainterPath text;
    if (first == 0 && last == name.size()) {
        text = textOutline(placement.baseline, font, name);
    } else if (first < last) {
        // Unwrapped: a name with blanks would otherwise break at the canvas's width and put the
        // part that shows at another place.
        QTextLayout layout(name, font, device);
        const QTextLine line = oneLine(layout, canvas.width());
        text = textOutline(placement.baseline + QPointF(line.cursorToX(int(first)), 0), font,
                           name.mid(first, last - first));
    }
    // Glyph contours may overlap; the rasteriser fills them by winding, and so must the outline.
    text.setFillRule(Qt::WindingFill);
    // Trimmed outlines keep what a trimmed raster keeps: the canvas pixels the drawing inks,
    // which lie within the reach of the outlines' glyphs.
    const qreal ratio = pixelRatio();
    const QRect reach =
        QRectF(text.boundingRect().topLeft() * ratio, text.boundingRect().bottomRight() * ratio)
            .toAlignedRect()
            .adjusted(-kInkSlack, -kInkSlack, kInkSlack, kInkSlack)
            .intersected(QRect(QPoint(0, 0), deviceSize()));
    picture.ink =
        canvasPixelsOf(text.isEmpty() ? QRect() : inkInStrips(placement, name, reach), ratio);
    picture.fill(text, m_surface->foreColor(), canvas);
    picture.items.back().isText = true;
    return picture;
}

NameLayout SignatureRenderer::layout(int slot, const QString& name) {
    const Placement placement = place(slot, name);
    const QRectF canvas(QPointF(0, 0), QSizeF(innerPixels()));
    const QImage* device = &m_surface->image();
    const QFont font(placement.font, device);
    NameLayout layout;
    layout.emPixels = font.pointSizeF() * kCanvasDotsPerInch / kPointsPerInch;
    // The same shaping that drawText and outlines() use.
    QTextLayout text(name, font, device);
    const QTextLine line = oneLine(text, canvas.width());
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    for (qsizetype start = 0; start < name.size();) {
        graphemes.setPosition(start);
        qsizetype end = graphemes.toNextBoundary();
        end = end < 0 ? name.size() : end;
        const QString grapheme = name.mid(start, end - start);
        const qreal leading = line.cursorToX(int(start), QTextLine::Leading);
        const qreal trailing = line.cursorToX(int(end - 1), QTextLine::Trailing);
        GraphemePlace place;
        place.start = start;
        place.length = end - start;
        place.rightToLeft = trailing < leading;
        place.advance = std::abs(trailing - leading);
        const qreal x = placement.baseline.x() + std::min(leading, trailing);
        // Glyphs far off the canvas cannot reach it, however far their swashes go.
        const qreal margin = 4 * layout.emPixels;
        if (x + place.advance < canvas.left() - margin || x > canvas.right() + margin) {
            start = end;
            continue;
        }
        // A glyph may reach past its advance (swashes, slanted strokes): its outline says how
        // far. The outline is drawn alone, so joined scripts' forms may differ a little; the
        // box only has to hold the ink, not to be tight.
        const QRectF reach =
            textOutline(QPointF(x, placement.baseline.y()), font, grapheme).boundingRect();
        place.blank = reach.isEmpty();
        const qreal left = reach.isEmpty() ? x : std::min(x, reach.left());
        const qreal right =
            reach.isEmpty() ? x + place.advance : std::max(x + place.advance, reach.right());
        place.box = QRectF(QPointF(left, canvas.top()), QPointF(right, canvas.bottom()))
                        .intersected(canvas);
        if (!place.box.isEmpty()) {
            layout.graphemes.push_back(place);
        }
        start = end;
    }
    return layout;
}

SignatureRenderer::Placement SignatureRenderer::place(int slot, const QString& name) {
    requireMemoryHeadroom(); // the font is loaded here, through fontconfig
    // The steps of drawSignature() and print(), short of drawing.
    m_surface->setFontName(faceOf(slot));
    const QSizeF textSize(m_surface->textWidth(name), m_surface->textHeight(name));
    // The outer size as the canvas gives it, border included.
    const QSizeF outer(static_cast<qreal>(m_look.canvas.width() * kTwipsPerPixel),
                       static_cast<qreal>(m_look.canvas.height() * kTwipsPerPixel));
    const QPointF topLeft = centredPrintPosition(outer, textSize) / kTwipsPerPixel;
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
                         : convertedOnThisThread(drawn, QImage::Format_ARGB32_Premultiplied);
    const QImage b = blank.format() == a.format()
                         ? blank
                         : convertedOnThisThread(blank, QImage::Format_ARGB32_Premultiplied);
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
