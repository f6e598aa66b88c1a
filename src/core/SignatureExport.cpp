#include "core/SignatureExport.h"

#include "core/VectorPicture.h"

#include <QPagedPaintDevice>
#include <QPainter>

#include <new>

namespace inkvale {

QByteArray ExportDrawing::bytes() const {
    if (noInk || notMade || noMemory) {
        return {};
    }
    return isRaster(format) ? encodeRaster(image, format, content, jpegQuality) : document;
}

Outcome ExportDrawing::problem() const {
    if (noInk) {
        return Outcome::failed(Cause::Other,
                               QStringLiteral("the name leaves no ink on the canvas to trim to"));
    }
    if (notMade) {
        return Outcome::failed(Cause::Other, QStringLiteral("the PDF could not be made"));
    }
    if (noMemory) {
        return Outcome::failed(Cause::NoMemory);
    }
    return {};
}

ExportDrawing SignatureExport::draw(const ExportChoice& choice) {
    try {
        return compose(choice);
    } catch (const std::bad_alloc&) {
        ExportDrawing drawing;
        drawing.format = choice.format;
        drawing.noMemory = true;
        return drawing;
    }
}

ExportDrawing SignatureExport::compose(const ExportChoice& choice) {
    ExportDrawing drawing;
    drawing.format = choice.format;
    drawing.jpegQuality = choice.jpegQuality;
    if (isRaster(choice.format)) {
        // A null picture is one there was no memory for.
        QImage image = m_renderer.image(choice.slot, choice.name);
        if (image.isNull()) {
            drawing.noMemory = true;
            return drawing;
        }
        if (choice.trim) {
            // A look that fits whole names draws each name on a canvas of its own.
            if (m_blank.isNull() || m_blank.size() != image.size()) {
                m_blank = m_renderer.blankImage();
            }
            if (m_blank.isNull()) {
                drawing.noMemory = true;
                return drawing;
            }
            const QRect ink = inkRect(image, m_blank);
            if (ink.isEmpty()) {
                drawing.noInk = true;
                return drawing;
            }
            image = cropToInk(image, ink, *choice.trim);
            if (image.isNull()) {
                drawing.noMemory = true;
                return drawing;
            }
        }
        drawing.pixels = image.size();
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
    drawing.pixels = picture.viewport.size();
    picture.printedWidth = choice.printedWidth;
    // Both documents are made here, the PDF because its writer paints.
    if (choice.format == OutputFormat::Svg) {
        drawing.document = svgDocument(picture, documentTitle(choice.name));
    } else {
        drawing.document = pdfDocument(picture, documentTitle(choice.name));
        drawing.notMade = drawing.document.isEmpty();
    }
    return drawing;
}

QString documentTitle(const QString& name) {
    constexpr qsizetype kLongestTitle = 1000;
    if (name.size() <= kLongestTitle) {
        return name;
    }
    const qsizetype cut =
        name.at(kLongestTitle - 1).isHighSurrogate() ? kLongestTitle - 1 : kLongestTitle;
    return name.left(cut) + QChar(0x2026);
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

} // namespace inkvale
