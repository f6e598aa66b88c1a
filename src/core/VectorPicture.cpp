#include "core/VectorPicture.h"

#include "core/OutputFormat.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QList>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace inkvale {

namespace {

constexpr qreal kPointsPerPixel = 72.0 / 96.0;

/// A coordinate with at most two decimals and no trailing zeros: a hundredth of a pixel is far
/// below what any printer resolves.
QString number(qreal value) {
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString point(qreal x, qreal y) {
    return number(x) + QLatin1Char(' ') + number(y);
}

QString pathData(const QPainterPath& path) {
    QString data;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            // Filling closes every subpath anyway; closing it here keeps strokes right too.
            data +=
                (i == 0 ? QStringLiteral("M") : QStringLiteral("ZM")) + point(element.x, element.y);
            break;
        case QPainterPath::LineToElement:
            data += QLatin1Char('L') + point(element.x, element.y);
            break;
        case QPainterPath::CurveToElement: {
            const QPainterPath::Element second = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            data += QLatin1Char('C') + point(element.x, element.y) + QLatin1Char(' ') +
                    point(second.x, second.y) + QLatin1Char(' ') + point(end.x, end.y);
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            // Consumed with the CurveToElement before it.
            break;
        }
    }
    if (!data.isEmpty()) {
        data += QLatin1Char('Z');
    }
    return data;
}

/// The rectangle an item can paint into.
QRectF extentOf(const VectorItem& item) {
    return item.image.isNull() ? item.path.controlPointRect() : item.target;
}

/// Whether `item`'s clip cuts away anything that would otherwise show in `viewport`: a clip
/// that changes nothing is left out of the file.
bool needsClip(const VectorItem& item, const QRectF& viewport) {
    if (item.clip.isEmpty()) {
        return false;
    }
    const QRectF shown = extentOf(item).intersected(viewport);
    return !shown.isEmpty() && !item.clip.contains(shown);
}

void writeMatrixAttribute(QXmlStreamWriter& xml, const QRectF& target, QSize size) {
    xml.writeAttribute(QStringLiteral("transform"),
                       QStringLiteral("matrix(%1 0 0 %2 %3)")
                           .arg(number(target.width() / size.width()),
                                number(target.height() / size.height()),
                                point(target.x(), target.y())));
}

void writeRectAttributes(QXmlStreamWriter& xml, const QRectF& rect) {
    xml.writeAttribute(QStringLiteral("x"), number(rect.x()));
    xml.writeAttribute(QStringLiteral("y"), number(rect.y()));
    xml.writeAttribute(QStringLiteral("width"), number(rect.width()));
    xml.writeAttribute(QStringLiteral("height"), number(rect.height()));
}

/// Seconds for SMIL, to the millisecond: "0.42s".
QString seconds(double value) {
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text + QLatin1Char('s');
}

/// The clip path "reveal": a rectangle per wipe whose width grows from nothing to the box's
/// from its begin, and one over the whole viewport that shows everything once complete.
void writeReveal(QXmlStreamWriter& xml, const TextReveal& reveal, const QRectF& viewport) {
    const auto animate = [&xml](const QString& attribute, qreal from, qreal to,
                                const TextWipe& wipe) {
        xml.writeEmptyElement(QStringLiteral("animate"));
        xml.writeAttribute(QStringLiteral("attributeName"), attribute);
        xml.writeAttribute(QStringLiteral("from"), number(from));
        xml.writeAttribute(QStringLiteral("to"), number(to));
        xml.writeAttribute(QStringLiteral("begin"), seconds(wipe.begin));
        xml.writeAttribute(QStringLiteral("dur"), seconds(wipe.duration));
        xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("freeze"));
    };
    xml.writeStartElement(QStringLiteral("clipPath"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("reveal"));
    for (const TextWipe& wipe : reveal.wipes) {
        xml.writeStartElement(QStringLiteral("rect"));
        const qreal start = wipe.fromRight ? wipe.box.right() : wipe.box.left();
        writeRectAttributes(xml, QRectF(start, wipe.box.top(), 0, wipe.box.height()));
        animate(QStringLiteral("width"), 0, wipe.box.width(), wipe);
        if (wipe.fromRight) {
            animate(QStringLiteral("x"), wipe.box.right(), wipe.box.left(), wipe);
        }
        xml.writeEndElement();
    }
    // Ink past every glyph's box (none is expected) still shows at the end.
    xml.writeStartElement(QStringLiteral("rect"));
    writeRectAttributes(xml, QRectF(viewport.topLeft(), QSizeF(0, viewport.height())));
    xml.writeEmptyElement(QStringLiteral("set"));
    xml.writeAttribute(QStringLiteral("attributeName"), QStringLiteral("width"));
    xml.writeAttribute(QStringLiteral("to"), number(viewport.width()));
    xml.writeAttribute(QStringLiteral("begin"), seconds(reveal.complete));
    xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("freeze"));
    xml.writeEndElement();
    xml.writeEndElement();
}

/// The mask "reveal": white where the pen has passed. A line along each stroke's path, as wide
/// as its reach and drawn from its start to its end by its dash's offset; a circle for each
/// spreading stroke, its radius growing to its reach. Over them a white rectangle of the whole
/// viewport, which has no width only while the writing plays: a viewer that does not play SMIL
/// shows everything, and the end shows exactly the drawing without the mask.
void writeStrokeMask(QXmlStreamWriter& xml, const TextReveal& reveal, const QRectF& viewport) {
    const auto animate = [&xml](const QString& attribute, qreal from, qreal to,
                                const TextStroke& stroke) {
        xml.writeEmptyElement(QStringLiteral("animate"));
        xml.writeAttribute(QStringLiteral("attributeName"), attribute);
        xml.writeAttribute(QStringLiteral("from"), number(from));
        xml.writeAttribute(QStringLiteral("to"), number(to));
        xml.writeAttribute(QStringLiteral("begin"), seconds(stroke.begin));
        xml.writeAttribute(QStringLiteral("dur"), seconds(std::max(stroke.duration, 0.001)));
        xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("freeze"));
    };
    xml.writeStartElement(QStringLiteral("mask"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("reveal"));
    xml.writeAttribute(QStringLiteral("maskUnits"), QStringLiteral("userSpaceOnUse"));
    writeRectAttributes(xml, viewport);
    for (const TextStroke& stroke : reveal.strokes) {
        if (stroke.path.isEmpty()) {
            continue;
        }
        if (stroke.spread) {
            xml.writeStartElement(QStringLiteral("circle"));
            xml.writeAttribute(QStringLiteral("cx"), number(stroke.path.first().x()));
            xml.writeAttribute(QStringLiteral("cy"), number(stroke.path.first().y()));
            xml.writeAttribute(QStringLiteral("r"), QStringLiteral("0"));
            xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("#fff"));
            animate(QStringLiteral("r"), 0, stroke.reach, stroke);
            xml.writeEndElement();
            continue;
        }
        // The line reaches past the path's ends as far as the ink does; its ends are square
        // (butt), so that nothing shows before the pen starts.
        QPolygonF path = stroke.path;
        const auto extend = [&stroke](QPointF end, QPointF inner) {
            const QPointF direction = end - inner;
            const qreal length = std::hypot(direction.x(), direction.y());
            return length > 0 ? end + direction * (stroke.reach / length)
                              : end + QPointF(stroke.reach, 0);
        };
        if (path.size() == 1) {
            path << path.first();
        }
        path.first() = extend(path.at(0), path.at(1));
        path.last() = extend(path.at(path.size() - 1), path.at(path.size() - 2));
        qreal length = 0;
        QString points;
        for (qsizetype i = 0; i < path.size(); ++i) {
            if (i > 0) {
                const QPointF step = path.at(i) - path.at(i - 1);
                length += std::hypot(step.x(), step.y());
                points += QLatin1Char(' ');
            }
            points += number(path.at(i).x()) + QLatin1Char(',') + number(path.at(i).y());
        }
        // A dash as long as the line, and a gap as long: offset by its length, none of it shows.
        const qreal dash = std::ceil(length + 1);
        xml.writeStartElement(QStringLiteral("polyline"));
        xml.writeAttribute(QStringLiteral("points"), points);
        xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("none"));
        xml.writeAttribute(QStringLiteral("stroke"), QStringLiteral("#fff"));
        xml.writeAttribute(QStringLiteral("stroke-width"), number(2 * stroke.reach));
        xml.writeAttribute(QStringLiteral("stroke-linejoin"), QStringLiteral("round"));
        xml.writeAttribute(QStringLiteral("stroke-dasharray"), number(dash));
        xml.writeAttribute(QStringLiteral("stroke-dashoffset"), number(dash));
        animate(QStringLiteral("stroke-dashoffset"), dash, 0, stroke);
        xml.writeEndElement();
    }
    xml.writeStartElement(QStringLiteral("rect"));
    writeRectAttributes(xml, viewport);
    xml.writeAttribute(QStringLiteral("fill"), QStringLiteral("#fff"));
    xml.writeEmptyElement(QStringLiteral("set"));
    xml.writeAttribute(QStringLiteral("attributeName"), QStringLiteral("width"));
    xml.writeAttribute(QStringLiteral("to"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("begin"), QStringLiteral("0s"));
    xml.writeAttribute(QStringLiteral("dur"), seconds(std::max(reveal.complete, 0.001)));
    xml.writeEndElement();
    xml.writeEndElement();
}

/// The date a PDF carries: SOURCE_DATE_EPOCH's, so that builds and scripts that set it get the
/// same file at every run; none without it, for the same reason.
std::optional<QDateTime> documentDate() {
    bool isNumber = false;
    const qint64 seconds = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&isNumber);
    if (!isNumber || seconds < 0) {
        return std::nullopt;
    }
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

/// `document` with the creation date the PDF writer stamps (the time of the run) replaced by
/// documentDate(), or blanked out. The text keeps its length, so that the cross-reference
/// table's offsets stay right; spaces between a dictionary's entries are allowed anywhere.
void replaceCreationDate(QByteArray& document) {
    static const QByteArray key("/CreationDate (D:");
    const qsizetype start = document.indexOf(key);
    if (start < 0) {
        return;
    }
    const qsizetype end = document.indexOf(')', start);
    if (end < 0) {
        return;
    }
    const qsizetype length = end + 1 - start;
    QByteArray replacement(length, ' ');
    if (const std::optional<QDateTime> date = documentDate()) {
        const QByteArray stamp =
            key + date->toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + "Z)";
        if (stamp.size() <= length) {
            replacement.replace(0, stamp.size(), stamp);
        }
    }
    document.replace(start, length, replacement);
}

/// `document` with its page cut to `points` exactly: the PDF writer's pages are whole points, so
/// it draws on a page rounded up, with the drawing at its top left, and here the page's box is
/// brought in to the drawing from the bottom and the right. The text keeps its length, as in
/// replaceCreationDate().
void fitPageBox(QByteArray& document, QSizeF points) {
    static const QByteArray key("/MediaBox [");
    const qsizetype start = document.indexOf(key);
    const qsizetype end = start < 0 ? -1 : document.indexOf(']', start);
    if (end < 0) {
        return;
    }
    const qreal roundedHeight = std::ceil(points.height());
    const QByteArray box =
        key +
        (number(0) + QLatin1Char(' ') + number(roundedHeight - points.height()) + QLatin1Char(' ') +
         number(points.width()) + QLatin1Char(' ') + number(roundedHeight))
            .toLatin1() +
        ']';
    const qsizetype length = end + 1 - start;
    if (box.size() <= length) {
        document.replace(start, length, box + QByteArray(length - box.size(), ' '));
    }
}

} // namespace

QByteArray reproduciblePdf(QByteArray document) {
    if (document.isEmpty()) {
        return document;
    }
    replaceCreationDate(document);
    const QString latin = QString::fromLatin1(document);
    // The identifier: from a hash of everything else, so equal documents get equal ones.
    static const QRegularExpression id(
        QStringLiteral(R"(/ID\s*\[\s*<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>)"));
    const QRegularExpressionMatch match = id.match(latin);
    if (match.hasMatch()) {
        for (int group = 1; group <= 2; ++group) {
            document.replace(match.capturedStart(group), match.capturedLength(group),
                             QByteArray(match.capturedLength(group), '0'));
        }
        const QByteArray hash =
            QCryptographicHash::hash(document, QCryptographicHash::Sha256).toHex();
        for (int group = 1; group <= 2; ++group) {
            const qsizetype length = std::min(match.capturedLength(group), hash.size());
            document.replace(match.capturedStart(group), length, hash.left(length));
        }
    }
    return document;
}

void VectorPicture::fill(const QPainterPath& path, const QColor& colour, const QRectF& clip) {
    items.push_back({path, colour, QImage(), QRectF(), clip, false});
}

void VectorPicture::picture(const QImage& image, const QRectF& target, const QRectF& clip) {
    items.push_back({QPainterPath(), QColor(), image, target, clip, false});
}

void paintVectorPicture(QPainter& painter, const VectorPicture& picture) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // A PDF would otherwise carry pictures without an alpha channel as JPEG.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    for (const VectorItem& item : picture.items) {
        painter.save();
        if (needsClip(item, picture.viewport)) {
            painter.setClipRect(item.clip, Qt::IntersectClip);
        }
        if (!item.image.isNull()) {
            painter.drawImage(item.target, item.image);
        } else {
            painter.fillPath(item.path, item.colour);
        }
        painter.restore();
    }
}

VectorPicture visiblePart(const VectorPicture& picture) {
    struct Cut {
        qint64 image;
        QRect source;
        QImage pixels;
    };
    std::vector<Cut> cuts;
    // An edge that falls on a picture pixel exactly stays there despite rounding.
    constexpr qreal kSlack = 1e-6;

    VectorPicture visible = picture;
    visible.items.clear();
    for (const VectorItem& item : picture.items) {
        if (item.image.isNull()) {
            visible.items.push_back(item);
            continue;
        }
        QRectF shown = item.target.intersected(picture.viewport);
        if (!item.clip.isEmpty()) {
            shown = shown.intersected(item.clip);
        }
        if (shown.isEmpty()) {
            continue;
        }
        const qreal perX = item.image.width() / item.target.width();
        const qreal perY = item.image.height() / item.target.height();
        const QPointF from = (shown.topLeft() - item.target.topLeft());
        const QPointF to = (shown.bottomRight() - item.target.topLeft());
        const QRect source = QRect(QPoint(int(std::floor(from.x() * perX + kSlack)),
                                          int(std::floor(from.y() * perY + kSlack))),
                                   QPoint(int(std::ceil(to.x() * perX - kSlack)) - 1,
                                          int(std::ceil(to.y() * perY - kSlack)) - 1))
                                 .intersected(item.image.rect());
        if (source.isEmpty()) {
            continue;
        }
        VectorItem cut = item;
        cut.target = QRectF(item.target.left() + source.left() / perX,
                            item.target.top() + source.top() / perY, source.width() / perX,
                            source.height() / perY);
        if (source != item.image.rect()) {
            const qint64 key = item.image.cacheKey();
            auto known = std::find_if(cuts.begin(), cuts.end(), [&](const Cut& c) {
                return c.image == key && c.source == source;
            });
            if (known == cuts.end()) {
                known = cuts.insert(cuts.end(), Cut{key, source, item.image.copy(source)});
            }
            cut.image = known->pixels;
        }
        visible.items.push_back(cut);
    }
    return visible;
}

double PrintedWidth::points() const {
    if (unit == QLatin1String("mm")) {
        return value * 72.0 / 25.4;
    }
    if (unit == QLatin1String("cm")) {
        return value * 72.0 / 2.54;
    }
    if (unit == QLatin1String("in")) {
        return value * 72.0;
    }
    return value;
}

QByteArray svgDocument(const VectorPicture& picture, const QString& title,
                       const std::optional<TextReveal>& reveal) {
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeNamespace(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("xlink"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    if (const std::optional<PrintedWidth>& printed = picture.printedWidth) {
        // The same view box on paper: its height follows its width.
        xml.writeAttribute(QStringLiteral("width"), number(printed->value) + printed->unit);
        xml.writeAttribute(
            QStringLiteral("height"),
            number(printed->value * picture.viewport.height() / picture.viewport.width()) +
                printed->unit);
    } else {
        xml.writeAttribute(QStringLiteral("width"), number(picture.viewport.width()));
        xml.writeAttribute(QStringLiteral("height"), number(picture.viewport.height()));
    }
    xml.writeAttribute(QStringLiteral("viewBox"),
                       point(picture.viewport.x(), picture.viewport.y()) + QLatin1Char(' ') +
                           point(picture.viewport.width(), picture.viewport.height()));
    xml.writeTextElement(QStringLiteral("title"), title);

    const VectorPicture visible = visiblePart(picture);
    QList<QRectF> clips;
    // Pictures drawn more than once (a contact sheet's background) are carried once.
    QList<qint64> pictures;
    QList<qint64> shared;
    for (const VectorItem& item : visible.items) {
        if (needsClip(item, visible.viewport) && !clips.contains(item.clip)) {
            clips.append(item.clip);
        }
        if (!item.image.isNull()) {
            const qint64 key = item.image.cacheKey();
            if (pictures.contains(key) && !shared.contains(key)) {
                shared.append(key);
            }
            pictures.append(key);
        }
    }
    QList<QSize> sharedSizes;
    if (!clips.isEmpty() || !shared.isEmpty() || reveal) {
        xml.writeStartElement(QStringLiteral("defs"));
        if (reveal && !reveal->strokes.empty()) {
            writeStrokeMask(xml, *reveal, visible.viewport);
        } else if (reveal) {
            writeReveal(xml, *reveal, visible.viewport);
        }
        for (qsizetype i = 0; i < clips.size(); ++i) {
            xml.writeStartElement(QStringLiteral("clipPath"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("clip%1").arg(i));
            xml.writeEmptyElement(QStringLiteral("rect"));
            writeRectAttributes(xml, clips.at(i));
            xml.writeEndElement();
        }
        for (qsizetype i = 0; i < shared.size(); ++i) {
            const auto item = std::find_if(
                visible.items.begin(), visible.items.end(), [&](const VectorItem& candidate) {
                    return !candidate.image.isNull() && candidate.image.cacheKey() == shared.at(i);
                });
            xml.writeEmptyElement(QStringLiteral("image"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("picture%1").arg(i));
            writeRectAttributes(xml, QRectF(QPointF(0, 0), QSizeF(item->image.size())));
            xml.writeAttribute(QStringLiteral("preserveAspectRatio"), QStringLiteral("none"));
            xml.writeAttribute(
                QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("href"),
                QStringLiteral("data:image/png;base64,") +
                    QString::fromLatin1(encodePng(item->image, PngContent::Picture).toBase64()));
        }
        xml.writeEndElement();
    }

    for (const VectorItem& item : visible.items) {
        if (!item.image.isNull()) {
            const qsizetype sharedIndex = shared.indexOf(item.image.cacheKey());
            if (sharedIndex >= 0) {
                xml.writeEmptyElement(QStringLiteral("use"));
                xml.writeAttribute(QStringLiteral("http://www.w3.org/1999/xlink"),
                                   QStringLiteral("href"),
                                   QStringLiteral("#picture%1").arg(sharedIndex));
                writeMatrixAttribute(xml, item.target, item.image.size());
            } else {
                xml.writeEmptyElement(QStringLiteral("image"));
                writeRectAttributes(xml, item.target);
                xml.writeAttribute(QStringLiteral("preserveAspectRatio"), QStringLiteral("none"));
                xml.writeAttribute(
                    QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("href"),
                    QStringLiteral("data:image/png;base64,") +
                        QString::fromLatin1(encodePng(item.image, PngContent::Picture).toBase64()));
            }
        } else {
            const QString data = pathData(item.path);
            if (data.isEmpty()) {
                continue;
            }
            if (reveal && item.isText && !reveal->strokes.empty()) {
                xml.writeStartElement(QStringLiteral("g"));
                xml.writeAttribute(QStringLiteral("mask"), QStringLiteral("url(#reveal)"));
            } else if (reveal && item.isText) {
                xml.writeStartElement(QStringLiteral("g"));
                xml.writeAttribute(QStringLiteral("clip-path"), QStringLiteral("url(#reveal)"));
            }
            xml.writeEmptyElement(QStringLiteral("path"));
            xml.writeAttribute(QStringLiteral("fill"), item.colour.name(QColor::HexRgb));
            if (item.colour.alpha() != 255) {
                xml.writeAttribute(QStringLiteral("fill-opacity"), number(item.colour.alphaF()));
            }
            xml.writeAttribute(QStringLiteral("fill-rule"), item.path.fillRule() == Qt::WindingFill
                                                                ? QStringLiteral("nonzero")
                                                                : QStringLiteral("evenodd"));
            xml.writeAttribute(QStringLiteral("d"), data);
        }
        if (needsClip(item, visible.viewport)) {
            xml.writeAttribute(QStringLiteral("clip-path"),
                               QStringLiteral("url(#clip%1)").arg(clips.indexOf(item.clip)));
        }
        if (reveal && item.isText && item.image.isNull()) {
            xml.writeEndElement();
        }
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return document;
}

QByteArray pdfDocument(const VectorPicture& picture, const QString& title) {
    // The page is the drawing's exact size: 336 x 93 pixels are 252 x 69.75 points; with a
    // printed width, the drawing is scaled to it.
    const qreal scale = picture.printedWidth ? picture.printedWidth->points() /
                                                   (picture.viewport.width() * kPointsPerPixel)
                                             : 1.0;
    const QSizeF points(picture.viewport.width() * kPointsPerPixel * scale,
                        picture.viewport.height() * kPointsPerPixel * scale);
    QByteArray document;
    QBuffer buffer(&document);
    buffer.open(QIODevice::WriteOnly);
    auto writer = std::make_unique<QPdfWriter>(&buffer);
    auto painter = std::make_unique<QPainter>();
    try {
        writer->setTitle(title);
        writer->setCreator(QStringLiteral("inkvale-render"));
        // The writer's pages are whole points; fitPageBox() cuts the page to the drawing.
        const QSizeF rounded(std::ceil(points.width()), std::ceil(points.height()));
        writer->setPageSize(QPageSize(rounded, QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer->setPageMargins(QMarginsF(0, 0, 0, 0));
        writer->setResolution(96);
        if (!painter->begin(writer.get())) {
            return {};
        }
        painter->scale(scale, scale);
        painter->translate(-picture.viewport.topLeft());
        paintVectorPicture(*painter, visiblePart(picture));
        if (!painter->end()) {
            return {};
        }
    } catch (const std::bad_alloc&) {
        // A painter that failed to end tries again when destroyed, and would throw out of its
        // destructor: both are left behind, so that the caller hears of the missing memory.
        [[maybe_unused]] QPainter* const unfinished = painter.release();
        [[maybe_unused]] QPdfWriter* const writing = writer.release();
        throw;
    }
    painter.reset();
    writer.reset();
    fitPageBox(document, points);
    return reproduciblePdf(std::move(document));
}

Outcome writeSvg(const VectorPicture& picture, const QString& path, const QString& title,
                 WriteMode mode) {
    return writeOutputFile(path, svgDocument(picture, title), mode);
}

Outcome writePdf(const VectorPicture& picture, const QString& path, const QString& title,
                 WriteMode mode) {
    const QByteArray document = pdfDocument(picture, title);
    if (document.isEmpty()) {
        return Outcome::failed(Cause::Other, QStringLiteral("the PDF could not be made"));
    }
    return writeOutputFile(path, document, mode);
}

} // namespace inkvale
