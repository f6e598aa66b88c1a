#include "render/VectorPicture.h"

#include <QBuffer>
#include <QList>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <cmath>

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

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void writeRectAttributes(QXmlStreamWriter& xml, const QRectF& rect) {
    xml.writeAttribute(QStringLiteral("x"), number(rect.x()));
    xml.writeAttribute(QStringLiteral("y"), number(rect.y()));
    xml.writeAttribute(QStringLiteral("width"), number(rect.width()));
    xml.writeAttribute(QStringLiteral("height"), number(rect.height()));
}

} // namespace

void VectorPicture::fill(const QPainterPath& path, const QColor& colour, const QRectF& clip) {
    items.push_back({path, colour, QImage(), QRectF(), clip});
}

void VectorPicture::picture(const QImage& image, const QRectF& target, const QRectF& clip) {
    items.push_back({QPainterPath(), QColor(), image, target, clip});
}

void paintVectorPicture(QPainter& painter, const VectorPicture& picture) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const VectorItem& item : picture.items) {
        painter.save();
        if (!item.clip.isEmpty()) {
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

QByteArray svgDocument(const VectorPicture& picture, const QString& title) {
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("svg"));
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2000/svg"));
    xml.writeNamespace(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("xlink"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("width"), number(picture.viewport.width()));
    xml.writeAttribute(QStringLiteral("height"), number(picture.viewport.height()));
    xml.writeAttribute(QStringLiteral("viewBox"),
                       point(picture.viewport.x(), picture.viewport.y()) + QLatin1Char(' ') +
                           point(picture.viewport.width(), picture.viewport.height()));
    xml.writeTextElement(QStringLiteral("title"), title);

    // A clip that holds the whole view box changes nothing; leaving it out keeps the document
    // readable by renderers that know no clip paths.
    const auto clipped = [&picture](const VectorItem& item) {
        return !item.clip.isEmpty() && !item.clip.contains(picture.viewport);
    };
    QList<QRectF> clips;
    for (const VectorItem& item : picture.items) {
        if (clipped(item) && !clips.contains(item.clip)) {
            clips.append(item.clip);
        }
    }
    if (!clips.isEmpty()) {
        xml.writeStartElement(QStringLiteral("defs"));
        for (qsizetype i = 0; i < clips.size(); ++i) {
            xml.writeStartElement(QStringLiteral("clipPath"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("clip%1").arg(i));
            xml.writeEmptyElement(QStringLiteral("rect"));
            writeRectAttributes(xml, clips.at(i));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }

    for (const VectorItem& item : picture.items) {
        if (!item.image.isNull()) {
            xml.writeEmptyElement(QStringLiteral("image"));
            writeRectAttributes(xml, item.target);
            xml.writeAttribute(QStringLiteral("preserveAspectRatio"), QStringLiteral("none"));
            xml.writeAttribute(QStringLiteral("http://www.w3.org/1999/xlink"),
                               QStringLiteral("href"),
                               QStringLiteral("data:image/png;base64,") +
                                   QString::fromLatin1(pngBytes(item.image).toBase64()));
        } else {
            const QString data = pathData(item.path);
            if (data.isEmpty()) {
                continue;
            }
            xml.writeEmptyElement(QStringLiteral("path"));
            xml.writeAttribute(QStringLiteral("fill"), item.colour.name(QColor::HexRgb));
            xml.writeAttribute(QStringLiteral("fill-rule"), item.path.fillRule() == Qt::WindingFill
                                                                ? QStringLiteral("nonzero")
                                                                : QStringLiteral("evenodd"));
            xml.writeAttribute(QStringLiteral("d"), data);
        }
        if (clipped(item)) {
            xml.writeAttribute(QStringLiteral("clip-path"),
                               QStringLiteral("url(#clip%1)").arg(clips.indexOf(item.clip)));
        }
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return document;
}

QString writeSvg(const VectorPicture& picture, const QString& path, const QString& title) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    const QByteArray document = svgDocument(picture, title);
    if (file.write(document) != document.size()) {
        file.cancelWriting();
        return file.errorString();
    }
    return file.commit() ? QString() : file.errorString();
}

QString writePdf(const VectorPicture& picture, const QString& path, const QString& title) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("inkvale-render"));
        // Pages are whole points; the drawing keeps its exact size at the top left.
        const QSizeF points(std::ceil(picture.viewport.width() * kPointsPerPixel),
                            std::ceil(picture.viewport.height() * kPointsPerPixel));
        writer.setPageSize(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(96);
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return QStringLiteral("the PDF could not be started");
        }
        painter.translate(-picture.viewport.topLeft());
        paintVectorPicture(painter, picture);
        painter.end();
    }
    if (file.error() != QFileDevice::NoError) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    return file.commit() ? QString() : file.errorString();
}

} // namespace inkvale
