#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;

namespace inkvale {

/// One thing a vector picture paints: a filled outline, or a picture stretched into a rectangle.
struct VectorItem {
    QPainterPath path; ///< filled with `colour` when `image` is null
    QColor colour;
    QImage image;  ///< drawn into `target` when not null
    QRectF target; ///< where `image` goes
    QRectF clip;   ///< the item shows only inside this rectangle; empty for no clip
};

/// A drawing made of outlines and pictures, in pixels at 96 dpi, that prints sharp at any size.
/// Text in it has been turned into outlines, so no font is needed to show it.
struct VectorPicture {
    QRectF viewport;               ///< the part of the drawing that is shown
    QRectF ink;                    ///< where the text's outlines are; empty when it has none
    std::vector<VectorItem> items; ///< painted in order

    /// Appends a filled outline.
    void fill(const QPainterPath& path, const QColor& colour, const QRectF& clip = {});
    /// Appends a picture drawn into `target`.
    void picture(const QImage& image, const QRectF& target, const QRectF& clip = {});
};

/// Paints `picture` with `painter`, whose coordinates are the picture's pixels (the viewport's
/// top left is not moved to the origin).
void paintVectorPicture(QPainter& painter, const VectorPicture& picture);

/// `picture` as an SVG 1.1 document: the viewport is the view box and the size in pixels, each
/// outline one filled path, each picture an embedded PNG.
[[nodiscard]] QByteArray svgDocument(const VectorPicture& picture, const QString& title);

/// Writes `picture` as an SVG file to `path`. The bytes go to a temporary file beside it that
/// replaces `path` only when complete. Returns an empty string on success, otherwise why not.
[[nodiscard]] QString writeSvg(const VectorPicture& picture, const QString& path,
                               const QString& title);

/// Writes `picture` as a one-page PDF to `path`: the page is the viewport (in points, rounded up
/// to whole points), outlines are filled paths and no font is embedded. Written through a
/// temporary file as writeSvg is. Returns an empty string on success, otherwise why not.
[[nodiscard]] QString writePdf(const VectorPicture& picture, const QString& path,
                               const QString& title);

} // namespace inkvale
