#include "core/ContactSheet.h"

#include "core/FaceChain.h"
#include "core/InterfaceFont.h"
#include "core/MemoryHeadroom.h"
#include "core/SignatureRenderer.h"
#include "core/StyleCatalogue.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QStringList>
#include <QTextLayout>

#include <new>

namespace inkvale {

namespace {

constexpr QRgb kCaptionColour = 0xff404040;
constexpr int kRows =
    (kStyleCount + ContactSheetLayout::kColumns - 1) / ContactSheetLayout::kColumns;

QFont captionFont(qreal ratio) {
    QFont font = interfaceFont();
    font.setPixelSize(qRound(ContactSheetLayout::kCaptionPixels * ratio));
    return font;
}

QRect scaled(const QRect& rect, qreal ratio) {
    return {qRound(rect.x() * ratio), qRound(rect.y() * ratio), qRound(rect.width() * ratio),
            qRound(rect.height() * ratio)};
}

/// The characters of `name` that are among `characters`, once each and in the name's order.
QString inNameOrder(const QString& characters, const QString& name) {
    QString ordered;
    for (const char32_t c : name.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (characters.contains(character) && !ordered.contains(character)) {
            ordered += character;
        }
    }
    return ordered;
}

/// "喆 堃": the characters apart, so that each can be read.
QString apart(const QString& characters) {
    QStringList each;
    for (const char32_t c : characters.toUcs4()) {
        each.append(QString::fromUcs4(&c, 1));
    }
    return each.join(QLatin1Char(' '));
}

/// The outlines of `text` in `font`, laid out in `band` as the captions are: left, vertically
/// centred. Throws std::bad_alloc when the font or a glyph's outline could not be loaded:
/// under a memory limit the font library fails quietly, and a caption would be drawn in
/// another face (a style font among them) or with glyphs left out.
QPainterPath captionOutline(const QFont& font, const QString& text, const QRectF& band) {
    requireMemoryHeadroom(); // the font is loaded here, through fontconfig
    QString intended;
    for (const QString& family : font.families()) {
        if (QFontDatabase::hasFamily(family)) {
            intended = family;
            break;
        }
    }
    const QRawFont own = intended.isEmpty() ? QRawFont() : QRawFont::fromFont(font);
    if (!intended.isEmpty() && (!own.isValid() || own.familyName() != intended)) {
        throw std::bad_alloc();
    }
    // Another face may draw only what the intended one has no glyph for.
    bool ownDrawsAll = own.isValid();
    for (const char32_t c : text.toUcs4()) {
        ownDrawsAll = ownDrawsAll && (QChar::isSpace(c) || own.supportsCharacter(c));
    }
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) {
        return {};
    }
    const QFontMetricsF metrics(font);
    const QPointF origin(band.left(), band.top() + (band.height() - metrics.height()) / 2 +
                                          metrics.ascent() - line.ascent());
    QPainterPath outline;
    outline.setFillRule(Qt::WindingFill);
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont face = run.rawFont();
        if (!face.isValid() || (ownDrawsAll && face.familyName() != intended)) {
            throw std::bad_alloc();
        }
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            QPainterPath glyph = face.pathForGlyph(glyphs.at(i));
            // A glyph with ink whose outline came back empty is one there was no memory for.
            if (glyph.isEmpty() && !face.boundingRect(glyphs.at(i)).isEmpty()) {
                throw std::bad_alloc();
            }
            glyph.translate(origin + positions.at(i));
            outline.addPath(glyph);
        }
    }
    return outline;
}

VectorItem moved(VectorItem item, const QPointF& offset) {
    item.path.translate(offset);
    item.target.translate(offset);
    item.clip.translate(offset);
    return item;
}

} // namespace

ContactSheetLayout::ContactSheetLayout(QSize canvas)
    : m_canvas(canvas) {}

QSize ContactSheetLayout::size() const {
    return {2 * kMargin + kColumns * m_canvas.width() + (kColumns - 1) * kGap,
            2 * kMargin + kRows * (kCaptionHeight + m_canvas.height()) + (kRows - 1) * kGap};
}

QRect ContactSheetLayout::captionRect(int slot) const {
    const int column = slot % kColumns;
    const int row = slot / kColumns;
    return {kMargin + column * (m_canvas.width() + kGap),
            kMargin + row * (kCaptionHeight + m_canvas.height() + kGap), m_canvas.width(),
            kCaptionHeight};
}

QRect ContactSheetLayout::canvasRect(int slot) const {
    return {captionRect(slot).bottomLeft() + QPoint(0, 1), m_canvas};
}

QString ContactSheetLayout::captionText(int slot, const QString& name) {
    const QString caption =
        QStringLiteral("%1  %2").arg(slot).arg(styleSlot(slot).caption.toString());
    QStringList marks;
    if (const QString borrowed = borrowedCharacters(slot, name); !borrowed.isEmpty()) {
        marks.append(QStringLiteral("borrowed: ") + apart(borrowed));
    }
    if (const QString undrawn = undrawnCharacters(slot, name); !undrawn.isEmpty()) {
        marks.append(QStringLiteral("not drawn: ") + apart(undrawn));
    }
    return marks.isEmpty()
               ? caption
               : caption + QStringLiteral("  (%1)").arg(marks.join(QStringLiteral("; ")));
}

QString borrowedCharacters(int slot, const QString& name) {
    const GlyphOrigins origins = GlyphOriginFinder(styleSlot(slot).faceName.toString()).of(name);
    QString others;
    for (const QString& characters : origins.fromDonor) {
        others += characters;
    }
    for (const QString& characters : origins.fromChain) {
        others += characters;
    }
    return inNameOrder(others, name);
}

QString undrawnCharacters(int slot, const QString& name) {
    return inNameOrder(GlyphOriginFinder(styleSlot(slot).faceName.toString()).of(name).undrawn,
                       name);
}

QImage renderContactSheet(SignatureRenderer& renderer, const QString& name) {
    const ContactSheetLayout layout(renderer.innerPixels());
    const qreal ratio = renderer.pixelRatio();
    const bool transparent = renderer.look().transparent;
    // Composed in device pixels, so that every canvas is copied pixel for pixel.
    QImage sheet((QSizeF(layout.size()) * ratio).toSize(),
                 transparent ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (sheet.isNull()) {
        return {};
    }
    sheet.fill(transparent ? QColor(Qt::transparent) : QColor(Qt::white));
    QImage canvas;
    {
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(captionFont(ratio));
        painter.setPen(QColor::fromRgb(kCaptionColour));
        for (int slot = 0; slot < kStyleCount; ++slot) {
            canvas = renderer.image(slot, name);
            if (canvas.isNull()) {
                return {};
            }
            canvas.setDevicePixelRatio(1.0);
            painter.drawImage(scaled(layout.canvasRect(slot), ratio).topLeft(), canvas);
            // A caption's descenders stay in its band: the canvas below is copied exactly.
            // Drawn from its outlines, checked as they are loaded: text drawn directly goes
            // through a glyph cache whose failures Qt does not report.
            const QRect band = scaled(layout.captionRect(slot), ratio);
            painter.setClipRect(band);
            painter.fillPath(
                captionOutline(painter.font(), ContactSheetLayout::captionText(slot, name), band),
                painter.pen().color());
            painter.setClipping(false);
        }
    }
    sheet.setDevicePixelRatio(ratio);
    sheet.setDotsPerMeterX(canvas.dotsPerMeterX());
    sheet.setDotsPerMeterY(canvas.dotsPerMeterY());
    return sheet;
}

VectorPicture outlineContactSheet(SignatureRenderer& renderer, const QString& name) {
    const ContactSheetLayout layout(renderer.innerPixels());
    VectorPicture sheet;
    sheet.viewport = QRectF(QPointF(0, 0), QSizeF(layout.size()));
    if (!renderer.look().transparent) {
        QPainterPath page;
        page.addRect(sheet.viewport);
        sheet.fill(page, Qt::white);
    }
    const QFont font = captionFont(1.0);
    for (int slot = 0; slot < kStyleCount; ++slot) {
        const QRectF band = layout.captionRect(slot);
        const QPainterPath caption =
            captionOutline(font, ContactSheetLayout::captionText(slot, name), band);
        // Kept to its band, as on the raster sheet: on a narrow canvas a long caption would
        // run into the next column.
        sheet.fill(caption, QColor::fromRgb(kCaptionColour), band);

        const VectorPicture canvas = renderer.outlines(slot, name);
        const QPointF offset = layout.canvasRect(slot).topLeft();
        for (const VectorItem& item : canvas.items) {
            VectorItem placed = moved(item, offset);
            if (placed.clip.isEmpty()) {
                placed.clip = canvas.viewport.translated(offset);
            }
            sheet.items.push_back(placed);
        }
        sheet.ink |= canvas.ink.translated(offset);
    }
    return sheet;
}

} // namespace inkvale
