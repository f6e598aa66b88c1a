#include "core/SignatureExport.h"

#include "core/VectorPicture.h"

#include <QCryptographicHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRegularExpression>

namespace inkvale {

QByteArray ExportDrawing::bytes() const {
    if (noInk || notMade) {
        return {};
    }
    return isRaster(format) ? encodeRaster(image, format, content) : document;
}

Outcome ExportDrawing::problem() const {
    if (noInk) {
        return Outcome::failed(Cause::Other,
                               QStringLiteral("the name leaves no ink on the canvas to trim to"));
    }
    if (notMade) {
        return Outcome::failed(Cause::Other, QStringLiteral("the PDF could not be made"));
    }
    return {};
}

ExportDrawing SignatureExport::draw(const ExportChoice& choice) {
    ExportDrawing drawing;
    drawing.format = choice.format;
    if (isRaster(choice.format)) {
        QImage image = m_renderer.image(choice.slot, choice.name);
        if (choice.trim) {
            if (m_blank.isNull()) {
                m_blank = m_renderer.blankImage();
            }
            const QRect ink = inkRect(image, m_blank);
            if (ink.isEmpty()) {
                drawing.noInk = true;
                return drawing;
            }
            image = cropToInk(image, ink, *choice.trim);
        }
        drawing.image = std::move(image);
        drawing.content =
            m_renderer.look().background.isNull() ? PngContent::Drawing : PngContent::Picture;
        return drawing;
    }
    VectorPicture picture = m_renderer.outlines(choice.slot, choice.name);
    if (choice.trim) {
        if (picture.ink.isEmpty()) {
            drawing.noInk = true;
            return drawing;
        }
        picture = cropToInk(std::move(picture), *choice.trim);
    }
    // Both documents are made here, the PDF because its writer paints.
    if (choice.format == OutputFormat::Svg) {
        drawing.document = svgDocument(picture, choice.name);
    } else {
        drawing.document = reproduciblePdf(pdfDocument(picture, choice.name));
        drawing.notMade = drawing.document.isEmpty();
    }
    return drawing;
}

bool paintAtRealSize(QPagedPaintDevice& pages, const VectorPicture& picture) {
    QPainter painter;
    if (!painter.begin(&pages)) {
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal scale = pages.logicalDpiX() / 96.0;
    painter.scale(scale, scale);
    painter.translate(-picture.viewport.topLeft());
    painter.setClipRect(picture.viewport);
    paintVectorPicture(painter, picture);
    return painter.end();
}

QByteArray reproduciblePdf(QByteArray document) {
    if (document.isEmpty()) {
        return document;
    }
    // The creation date: a fixed moment, its length kept ("Z" or "+HH'mm'" after the digits).
    static const QRegularExpression date(QStringLiteral(R"(/CreationDate \(D:(\d{14})([^)]*)\))"));
    const QString latin = QString::fromLatin1(document);
    for (auto it = date.globalMatch(latin); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QByteArray fixed = QByteArrayLiteral("20000101000000");
        const QString zone = match.captured(2);
        fixed += zone.size() == 7 ? QByteArrayLiteral("+00'00'") : zone.toLatin1();
        document.replace(match.capturedStart(1), fixed.size(), fixed);
    }
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

} // namespace inkvale
