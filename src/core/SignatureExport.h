#pragma once

#include "core/OutputFormat.h"
#include "core/SignatureRenderer.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

class QPagedPaintDevice;

namespace inkvale {

/// What a signature file holds besides the look: the style, the name, the format and the trim.
struct ExportChoice {
    int slot = 0;
    QString name;
    OutputFormat format = OutputFormat::Png;
    std::optional<int> trim; ///< padding in canvas pixels around the ink; none keeps the canvas
    int jpegQuality = kDefaultJpegQuality;    ///< 1 to 100, for JPEG
    std::optional<PrintedWidth> printedWidth{}; ///< for SVG and PDF; none: a pixel is 1/96 inch
};

/// A signature drawn for a file: a raster picture whose encoding is still to do (it may be
/// done on any thread), or a finished vector document.
struct ExportDrawing {
    OutputFormat format = OutputFormat::Png;
    QImage image; ///< the picture of a raster format
    PngContent content = PngContent::Drawing;
    int jpegQuality = kDefaultJpegQuality;
    QByteArray document;   ///< the SVG or PDF document
    bool noInk = false;    ///< trimming was asked for, but the name leaves no ink to trim to
    bool notMade = false;  ///< the document could not be made
    bool noMemory = false; ///< there was not enough memory to draw the picture
    QSizeF pixels;         ///< the picture's size: in pixels, or in CSS pixels for SVG and PDF

    /// The finished file's bytes; empty when there is none. Safe on any thread.
    [[nodiscard]] QByteArray bytes() const;
    /// Why there is no file, as an outcome; success when there is one.
    [[nodiscard]] Outcome problem() const;
};

/// Draws signature files, as the window's "导出签名…" and inkvale-render write them: the same
/// renderer, the same trim, the same encoders, so that both write the same bytes for the same
/// look and choice. PDF documents carry no creation time and an identifier made from their
/// content, so that the same signature always gives the same file.
class SignatureExport final {
public:
    /// `renderer` must outlive the export.
    explicit SignatureExport(SignatureRenderer& renderer)
        : m_renderer(renderer) {}

    /// `choice` drawn at the renderer's look: a vector document finished, a raster picture
    /// still to encode with bytes(). Memory that runs out while drawing gives a drawing that
    /// says so (noMemory), never a wrong picture.
    [[nodiscard]] ExportDrawing draw(const ExportChoice& choice);

private:
    [[nodiscard]] ExportDrawing compose(const ExportChoice& choice);

    SignatureRenderer& m_renderer;
    QImage m_blank; ///< the blank canvas trimming measures ink against, once drawn
};

/// The title a vector document carries for `name`: the name, its first thousand characters
/// and an ellipsis when it is longer, so that a file's size follows what it shows.
[[nodiscard]] QString documentTitle(const QString& name);

/// Paints `picture` on the page of `pages` at its real size, 96 of its pixels to the inch, at
/// the top left of the page's printable area; false when the painting could not start or end.
bool paintAtRealSize(QPagedPaintDevice& pages, const VectorPicture& picture);

} // namespace inkvale
