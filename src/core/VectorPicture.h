#pragma once

#include "platform/files/AtomicFile.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

namespace inkvale {

/// One thing a vector picture paints: a filled outline, or a picture stretched into a rectangle.
struct VectorItem {
    QPainterPath path; ///< filled with `colour` when `image` is null
    QColor colour;
    QImage image;        ///< drawn into `target` when not null
    QRectF target;       ///< where `image` goes
    QRectF clip;         ///< the item shows only inside this rectangle; empty for no clip
    bool isText = false; ///< the outline of a name, which an animated document uncovers
};

/// A box of a picture's text uncovered over time, from one side to the other.
struct TextWipe {
    QRectF box;
    bool fromRight = false;
    double begin = 0;    ///< seconds from the start
    double duration = 0; ///< seconds
};

/// A pen's movement that uncovers a picture's text over time: the ink within `reach` of its
/// path, from the path's start to its end, or, spreading, within a circle around its one point
/// that grows to `reach`.
struct TextStroke {
    QPolygonF path;
    qreal reach = 0;
    bool spread = false;
    double begin = 0;    ///< seconds from the start
    double duration = 0; ///< seconds
};

/// How an animated document uncovers a picture's text: box after box, or stroke after stroke,
/// then all of it.
struct TextReveal {
    std::vector<TextWipe> wipes;
    /// When there are any, the text is uncovered by these and the wipes are left out, and the
    /// document's own state, without animation, is the finished drawing.
    std::vector<TextStroke> strokes;
    double complete = 0; ///< when all the text shows, in seconds
};

/// A drawing made of outlines and pictures, in pixels at 96 dpi, that prints sharp at any size.
/// Text in it has been turned into outlines, so no font is needed to show it.
/// The width a vector document is printed at: `value` in `unit`, one of mm, cm, in and pt.
struct PrintedWidth {
    double value = 0;
    QString unit;

    /// The width in points (1/72 inch).
    [[nodiscard]] double points() const;
};

struct VectorPicture {
    QRectF viewport; ///< the part of the drawing that is shown
    /// The width the documents give the viewport on paper, the height in proportion; none: a
    /// pixel is a CSS pixel (1/96 inch).
    std::optional<PrintedWidth> printedWidth{};
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

/// `picture` with every embedded picture cut to the part of it that can show, inside the
/// viewport and its item's clip, in whole pixels of the picture and never resampled; pictures
/// that do not show are left out. Equal cuts of one picture share one QImage, so that a file
/// can carry it once. Both writers carry only these parts.
[[nodiscard]] VectorPicture visiblePart(const VectorPicture& picture);

/// `picture` as an SVG 1.1 document: the viewport is the view box and the size in pixels, each
/// outline one filled path, each picture's visible part an embedded PNG, written once however
/// often it is drawn. With `reveal`, its text items are uncovered as it says by SMIL animation
/// alone, no script, played once, ending on the same drawing as the document without it: wipes
/// by a clip path of rectangles whose widths grow; strokes by a mask of lines drawn along their
/// paths and circles that grow, under a rectangle of the whole viewport that shows everything
/// except while the animation plays, so that a viewer that does not play SMIL shows the
/// finished drawing.
[[nodiscard]] QByteArray svgDocument(const VectorPicture& picture, const QString& title,
                                     const std::optional<TextReveal>& reveal = std::nullopt);

/// `picture` as a one-page PDF document: the page is the viewport (in points, to the hundredth
/// of a point), outlines are filled paths, no font is embedded, and each picture's visible
/// part is embedded once and losslessly, made reproducible by reproduciblePdf(). Empty if the PDF
/// could not be made.
[[nodiscard]] QByteArray pdfDocument(const VectorPicture& picture, const QString& title);

/// `document`, a PDF that QPdfWriter made, as the same drawing gives it at every run: the
/// creation date it stamps (the time of the run) replaced by SOURCE_DATE_EPOCH's, or blanked
/// out without it, and its identifier made from a hash of its other bytes. Offsets do not move,
/// since every replacement keeps its length.
[[nodiscard]] QByteArray reproduciblePdf(QByteArray document);

/// Writes svgDocument() to `path` with writeOutputFile().
[[nodiscard]] Outcome writeSvg(const VectorPicture& picture, const QString& path,
                               const QString& title, WriteMode mode = WriteMode::ReplaceDurably);

/// Writes pdfDocument() to `path` with writeOutputFile().
[[nodiscard]] Outcome writePdf(const VectorPicture& picture, const QString& path,
                               const QString& title, WriteMode mode = WriteMode::ReplaceDurably);

} // namespace inkvale
