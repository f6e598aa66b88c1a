#include "core/SignatureRenderer.h"

#include "core/FaceChain.h"
#include "core/ImageConversion.h"
#include "core/MemoryHeadroom.h"
#include "core/StyleCatalogue.h"
#include "core/Twips.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QtMath>

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
/// The room kept around a fitted drawing, in canvas pixels: antialiasing and hinting may ink a
/// pixel past an outline's box.
constexpr qreal kFitMargin = 4.0;
/// The seal: its side in ems of the name, its distance from the line's end, the red border
/// around its characters and the room between them, as shares of its side.
constexpr qreal kSealSideEm = 1.15;
constexpr qreal kSealGapEm = 0.3;
constexpr qreal kSealBorderShare = 0.09;
constexpr qreal kSealCellPadShare = 0.025;
/// How far a seal character is stretched, at most, to fill its cell: seal script fills its
/// square, but no more than this out of its own proportions.
constexpr qreal kSealStretch = 1.5;
/// The size the seal's characters are outlined at before they are fitted to their cells.
constexpr qreal kSealOutlinePoints = 72.0;

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

/// The graphemes of `name` as [start, end) pairs, in reading order.
std::vector<std::pair<qsizetype, qsizetype>> graphemesOf(const QString& name) {
    std::vector<std::pair<qsizetype, qsizetype>> parts;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    for (qsizetype start = 0; start < name.size();) {
        finder.setPosition(start);
        qsizetype end = finder.toNextBoundary();
        end = end < 0 || end <= start ? name.size() : end;
        parts.emplace_back(start, end);
        start = end;
    }
    return parts;
}

/// A square seal filling `square`: red, with `characters` cut out of it in the seal-script
/// face, read in columns from the right, top to bottom; one column for one or two characters,
/// a square grid for more.
QPainterPath sealOutline(const QRectF& square, const QStringList& characters) {
    QPainterPath seal;
    seal.addRect(square);
    const auto count = int(characters.size());
    if (count == 0) {
        return seal;
    }
    const QString face = faceOf(sealSlot());
    QFont font(face);
    font.setFamilies(faceChain(face));
    font.setPointSizeF(kSealOutlinePoints);
    const int columns = count <= 2 ? 1 : int(std::ceil(std::sqrt(double(count))));
    const int rows = (count + columns - 1) / columns;
    const qreal border = square.width() * kSealBorderShare;
    const QRectF inner = square.adjusted(border, border, -border, -border);
    const qreal pad = square.width() * kSealCellPadShare;
    const QSizeF cellSize(inner.width() / columns, inner.height() / rows);
    QPainterPath cut;
    cut.setFillRule(Qt::WindingFill);
    for (int i = 0; i < count; ++i) {
        const int column = columns - 1 - i / rows;
        const int row = i % rows;
        // A last column with fewer characters shares its height among them.
        const int inColumn = std::min(rows, count - (i / rows) * rows);
        const qreal height = inner.height() / inColumn;
        const QRectF cell =
            QRectF(QPointF(inner.left() + column * cellSize.width(), inner.top() + row * height),
                   QSizeF(cellSize.width(), height))
                .adjusted(pad, pad, -pad, -pad);
        const QPainterPath glyph = textOutline(QPointF(0, 0), font, characters.at(i));
        const QRectF reach = glyph.boundingRect();
        if (reach.isEmpty() || cell.isEmpty()) {
            continue;
        }
        qreal sx = cell.width() / reach.width();
        qreal sy = cell.height() / reach.height();
        sx = std::min(sx, sy * kSealStretch);
        sy = std::min(sy, sx * kSealStretch);
        const QTransform fit = QTransform::fromTranslate(-reach.center().x(), -reach.center().y()) *
                               QTransform::fromScale(sx, sy) *
                               QTransform::fromTranslate(cell.center().x(), cell.center().y());
        cut.addPath(fit.map(glyph));
    }
    // White characters on red: the paper shows through where the characters are.
    return seal.subtracted(cut.simplified());
}

} // namespace

int sealSlot() {
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle() && slot.caption.contains(u"新篆")) {
            return slot.index;
        }
    }
    return 0;
}

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

/// A shaped line and its seal as outlines, and where each grapheme lies.
struct SignatureRenderer::ShapedDrawing {
    QPainterPath text; ///< the name's glyphs, filled by winding
    QPainterPath seal; ///< the seal, empty when there is none
    /// Each grapheme's reach: its cell (advance by ascent and descent) and its outline, turned
    /// and sheared as drawn.
    std::vector<GraphemePlace> graphemes;
    qreal emPixels = 0;
};

SignatureRenderer::SignatureRenderer(const SignatureLook& look)
    : m_look(look)
    , m_canvas(look.canvas)
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
    return m_canvas - QSize(2 * border, 2 * border);
}

QSize SignatureRenderer::deviceSize() const {
    // Rounded as the canvas rounds its persistent image.
    return (QSizeF(innerPixels()) * pixelRatio()).toSize();
}

QImage SignatureRenderer::image(int slot, const QString& name) {
    if (!m_look.isPlainDrawing()) {
        const ShapedDrawing drawing = shaped(slot, name);
        if (blank().isNull()) {
            return {};
        }
        QImage image = m_blank.copy();
        if (image.isNull()) {
            return {};
        }
        image.setDevicePixelRatio(m_blank.devicePixelRatio());
        {
            QPainter painter(&image);
            paintShaped(painter, drawing);
        }
        return withResolution(image);
    }
    (void)canvasFor(slot, name);
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

QRect SignatureRenderer::inkInStrips(const std::function<void(QPainter&)>& paint,
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
            paint(painter);
        }
        const QRect found = inkRect(drawn, blankStrip);
        if (!found.isEmpty()) {
            ink |= found.translated(strip.topLeft());
        }
    }
    return ink;
}

VectorPicture SignatureRenderer::outlines(int slot, const QString& name) {
    std::optional<ShapedDrawing> drawing;
    if (m_look.isPlainDrawing()) {
        (void)canvasFor(slot, name);
    } else {
        drawing = shaped(slot, name);
    }
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
    const qreal ratio = pixelRatio();
    const QRect devicePixels(QPoint(0, 0), deviceSize());
    if (drawing) {
        QPainterPath all = drawing->text;
        all.addPath(drawing->seal);
        const QRect reach =
            QRectF(all.boundingRect().topLeft() * ratio, all.boundingRect().bottomRight() * ratio)
                .toAlignedRect()
                .adjusted(-kInkSlack, -kInkSlack, kInkSlack, kInkSlack)
                .intersected(devicePixels);
        picture.ink = canvasPixelsOf(
            all.isEmpty() ? QRect()
                          : inkInStrips([&](QPainter& p) { paintShaped(p, *drawing); }, reach),
            ratio);
        if (!drawing->seal.isEmpty()) {
            picture.fill(drawing->seal, kSealColour, canvas);
        }
        picture.fill(drawing->text, m_surface->foreColor(), canvas);
        picture.items.back().isText = true;
        return picture;
    }
    const Placement placement = place(slot, name);
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
    const QRect reach =
        QRectF(text.boundingRect().topLeft() * ratio, text.boundingRect().bottomRight() * ratio)
            .toAlignedRect()
            .adjusted(-kInkSlack, -kInkSlack, kInkSlack, kInkSlack)
            .intersected(devicePixels);
    const auto print = [&](QPainter& painter) {
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(placement.font);
        painter.setPen(m_surface->foreColor());
        painter.drawText(placement.baseline, name);
    };
    picture.ink = canvasPixelsOf(text.isEmpty() ? QRect() : inkInStrips(print, reach), ratio);
    picture.fill(text, m_surface->foreColor(), canvas);
    picture.items.back().isText = true;
    return picture;
}

NameLayout SignatureRenderer::layout(int slot, const QString& name) {
    if (!m_look.isPlainDrawing()) {
        ShapedDrawing drawing = shaped(slot, name);
        const QRectF canvas(QPointF(0, 0), QSizeF(innerPixels()));
        NameLayout layout;
        layout.emPixels = drawing.emPixels;
        for (GraphemePlace& place : drawing.graphemes) {
            place.box = place.box.intersected(canvas);
            if (!place.box.isEmpty()) {
                layout.graphemes.push_back(place);
            }
        }
        return layout;
    }
    (void)canvasFor(slot, name);
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
    const QSizeF outer(static_cast<qreal>(m_canvas.width() * kTwipsPerPixel),
                       static_cast<qreal>(m_canvas.height() * kTwipsPerPixel));
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

void SignatureRenderer::useCanvas(QSize outer) {
    if (outer != m_canvas) {
        m_canvas = outer;
        m_blank = QImage();
    }
}

QSize SignatureRenderer::canvasFor(int slot, const QString& name) {
    useCanvas(m_look.canvas);
    if (!m_look.fitWholeName) {
        return m_canvas;
    }
    if (!m_look.isPlainDrawing()) {
        (void)shaped(slot, name);
        return m_canvas;
    }
    // The plain name as the canvas prints it, centred on the canvas's outer width and height:
    // a larger canvas moves it by half its growth, so the growth that brings every edge of its
    // outline inside the drawing area, with a margin, follows from where it lies now.
    const Placement placement = place(slot, name);
    const QImage* device = &m_surface->image();
    const QRectF reach =
        textOutline(placement.baseline, QFont(placement.font, device), name).boundingRect();
    const QSizeF inner(innerPixels());
    if (reach.isEmpty() ||
        (reach.left() >= 1 && reach.top() >= 1 && reach.right() <= inner.width() - 1 &&
         reach.bottom() <= inner.height() - 1)) {
        return m_canvas;
    }
    const qreal border = 2.0 * SignatureSurface::kDesignedBorderPixels;
    const auto grown = [&](int now, qreal low, qreal high) {
        const qreal fromLow = now + 2 * (kFitMargin - low);
        const qreal fromHigh = 2 * (high + border + kFitMargin) - now;
        return std::max(now, int(std::ceil(std::max(fromLow, fromHigh))));
    };
    useCanvas(QSize(grown(m_look.canvas.width(), reach.left(), reach.right()),
                    grown(m_look.canvas.height(), reach.top(), reach.bottom())));
    return m_canvas;
}

SignatureRenderer::ShapedDrawing SignatureRenderer::shapedAtOrigin(int slot, const QString& name) {
    requireMemoryHeadroom(); // the font is loaded here, through fontconfig
    m_surface->setFontName(faceOf(slot));
    const QImage* device = &m_surface->image();
    const QFont font(m_surface->font(), device);
    const QFontMetricsF metrics(font, device);
    const LineShape& shape = m_look.shape;
    const qreal em = font.pointSizeF() * kCanvasDotsPerInch / kPointsPerInch;
    const qreal ascent = metrics.ascent();
    const qreal descent = metrics.descent();
    const qreal gap = shape.spacingEm * em;
    // Slant shears each character about its own baseline; rise turns the whole line about the
    // start of its baseline (Qt's y axis points down, so rising is turning anticlockwise).
    const QTransform shear(1, 0, -std::tan(qDegreesToRadians(shape.slantDegrees)), 1, 0, 0);
    QTransform rise;
    rise.rotate(-shape.riseDegrees);

    ShapedDrawing drawing;
    drawing.emPixels = em;
    drawing.text.setFillRule(Qt::WindingFill);
    qreal pen = 0; // along the line: x across, y down
    qreal end = 0; // where the last character ends
    bool first = true;
    QStringList sealCharacters;
    for (const auto& [start, stop] : graphemesOf(name)) {
        const QString grapheme = name.mid(start, stop - start);
        const qreal scale = first ? shape.firstScale : 1.0;
        first = false;
        const qreal advance = metrics.horizontalAdvance(grapheme);
        QPointF origin;
        if (shape.vertical) {
            // Each character in a square of one em, centred on the line.
            const qreal ascentShare = ascent + descent > 0 ? ascent / (ascent + descent) : 0.8;
            origin = QPointF(-advance * scale / 2, pen + em * scale * ascentShare);
            end = pen + em * scale;
        } else {
            origin = QPointF(pen, 0);
            end = pen + advance * scale;
        }
        pen = end + gap;
        const QTransform placed = QTransform::fromScale(scale, scale) * shear *
                                  QTransform::fromTranslate(origin.x(), origin.y()) * rise;
        const QPainterPath outline = placed.map(textOutline(QPointF(0, 0), font, grapheme));
        drawing.text.addPath(outline);
        GraphemePlace place;
        place.start = start;
        place.length = stop - start;
        place.advance = advance * scale;
        place.blank = outline.isEmpty();
        place.box = placed.mapRect(QRectF(0, -ascent, advance, ascent + descent));
        if (!outline.isEmpty()) {
            place.box |= outline.boundingRect();
            sealCharacters.append(grapheme);
        }
        drawing.graphemes.push_back(place);
    }
    if (m_look.seal != SealText::None && !sealCharacters.isEmpty()) {
        if (m_look.seal == SealText::Surname) {
            sealCharacters = sealCharacters.mid(0, 1);
        }
        const qreal side = kSealSideEm * em;
        const QPointF centre =
            shape.vertical ? QPointF(0, end + kSealGapEm * em + side / 2)
                           : QPointF(end + kSealGapEm * em + side / 2, (descent - ascent) / 2);
        // Stamped upright, at the end of the line however it turns.
        const QPointF at = rise.map(centre);
        drawing.seal = sealOutline(QRectF(at - QPointF(side / 2, side / 2), QSizeF(side, side)),
                                   sealCharacters);
    }
    return drawing;
}

SignatureRenderer::ShapedDrawing SignatureRenderer::shaped(int slot, const QString& name) {
    ShapedDrawing drawing = shapedAtOrigin(slot, name);
    QRectF reach = drawing.seal.boundingRect();
    for (const GraphemePlace& place : drawing.graphemes) {
        reach |= place.box;
    }
    const qreal border = 2.0 * SignatureSurface::kDesignedBorderPixels;
    if (m_look.fitWholeName && !reach.isEmpty()) {
        const QSize needed(int(std::ceil(reach.width() + 2 * kFitMargin + border)),
                           int(std::ceil(reach.height() + 2 * kFitMargin + border)));
        useCanvas(m_look.canvas.expandedTo(needed));
    } else {
        useCanvas(m_look.canvas);
    }
    if (reach.isEmpty()) {
        return drawing;
    }
    // Centred on the drawing area, smaller where it would not fit.
    const QRectF area(QPointF(0, 0), QSizeF(innerPixels()));
    const qreal room = std::min((area.width() - 2 * kFitMargin) / reach.width(),
                                (area.height() - 2 * kFitMargin) / reach.height());
    const qreal scale = std::clamp(room, 1e-3, 1.0);
    const QTransform fit = QTransform::fromTranslate(-reach.center().x(), -reach.center().y()) *
                           QTransform::fromScale(scale, scale) *
                           QTransform::fromTranslate(area.center().x(), area.center().y());
    drawing.text = fit.map(drawing.text);
    drawing.seal = fit.map(drawing.seal);
    drawing.emPixels *= scale;
    for (GraphemePlace& place : drawing.graphemes) {
        place.box = fit.mapRect(place.box);
        place.advance *= scale;
    }
    return drawing;
}

void SignatureRenderer::paintShaped(QPainter& painter, const ShapedDrawing& drawing) const {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.fillPath(drawing.text, m_surface->foreColor());
    if (!drawing.seal.isEmpty()) {
        painter.fillPath(drawing.seal, kSealColour);
    }
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
