#pragma once

#include "core/LineShape.h"
#include "core/SignatureSurface.h"
#include "core/VectorPicture.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace inkvale {

/// How the signatures of one run look: everything but the style and the name.
struct SignatureLook {
    float points = 42.0F;         ///< text size in points, as the canvas stores it
    std::optional<QColor> colour; ///< text colour; none keeps the canvas's own
    QImage background;            ///< laid under the text at natural size, may be null
    QSize canvas = SignatureSurface::kDesignedOuterPixels; ///< outer size, border included
    qreal dotsPerInch = 96.0;           ///< raster resolution; 96 is one pixel per pixel
    bool transparent = false;           ///< leave out the canvas's background colour
    std::optional<QColor> canvasColour; ///< opaque; none keeps the canvas's own, white
    LineShape shape;                    ///< the line's shape; plain draws as the canvas does
    SealText seal = SealText::None;     ///< a seal stamped beside the signature
    /// Grow the canvas, never shrink it, so that the whole drawing shows: a name wider or
    /// taller than the canvas, a shaped line and its seal at their full size. Off, the canvas
    /// keeps its size: a plain name is cut at its edges as on the designer's canvas, and a
    /// shaped line with its seal is drawn smaller where it would not fit.
    bool fitWholeName = false;

    /// True when the name is drawn exactly as the designer's canvas draws it: a plain line and
    /// no seal.
    [[nodiscard]] bool isPlainDrawing() const { return shape.isPlain() && seal == SealText::None; }
};

/// One grapheme of a name where image() prints it.
struct GraphemePlace {
    qsizetype start = 0;  ///< its first UTF-16 unit in the name
    qsizetype length = 0; ///< its UTF-16 units
    /// Canvas pixels of the drawing area it can ink: its advance and its outline's reach, the
    /// whole height of the drawing area, cut to the drawing area.
    QRectF box;
    qreal advance = 0;        ///< its advance width in canvas pixels
    bool rightToLeft = false; ///< written from its right edge to its left
    bool blank = false;       ///< a space or another character without ink
};

/// A name as image() lays it out: its graphemes in reading (logical) order, and its font's size.
struct NameLayout {
    qreal emPixels = 0; ///< the font's size in canvas pixels
    std::vector<GraphemePlace> graphemes;
};

/// The colour of the seal's ink: vermilion, as seal paste prints.
inline const QColor kSealColour{0xc4, 0x1e, 0x1e};

/// The catalogue slot whose face draws seals: the seal-script style.
[[nodiscard]] int sealSlot();

/// The largest raster picture drawn, in device pixels.
inline constexpr qint64 kLargestRenderPixels = 64'000'000;

/// Draws signatures as the designer's canvas does ("设计签名"): the same catalogue faces, the
/// same measuring and centring, the same substitute fonts for characters a face lacks. At
/// 96 dpi on the designed canvas, image() equals the canvas's persistent image pixel for pixel.
///
/// Every output is one drawing: the name's font and place are worked out once, in canvas
/// pixels at 96 dpi, and only then drawn at the look's resolution, on a clear or an opaque
/// background, or turned into outlines.
///
/// A look with a shaped line or a seal (not isPlainDrawing()) is drawn as outlines, the same in
/// rasters and vectors: each grapheme in its face, scaled, sheared and turned as the shape
/// says, the seal beside the line's end, all centred on the drawing area. A plain look takes
/// the canvas's own drawing, byte for byte.
///
/// Only rasters cost a raster: the blank canvas is drawn the first time image() or blankImage()
/// needs it, and outlines() finds the ink in strips of a few megabytes, whatever the canvas. When
/// memory runs out, image() and blankImage() give a null image.
class SignatureRenderer final {
public:
    explicit SignatureRenderer(const SignatureLook& look);
    ~SignatureRenderer();
    SignatureRenderer(const SignatureRenderer&) = delete;
    SignatureRenderer& operator=(const SignatureRenderer&) = delete;

    [[nodiscard]] const SignatureLook& look() const { return m_look; }
    /// Device pixels per canvas pixel: the resolution over 96 dpi.
    [[nodiscard]] qreal pixelRatio() const;
    /// The drawing area (the canvas inside its border) in canvas pixels: the look's canvas, or,
    /// when the look fits whole names, the canvas of the name last drawn, outlined or laid out.
    [[nodiscard]] QSize innerPixels() const;
    /// The size of image() in device pixels, for the same canvas as innerPixels().
    [[nodiscard]] QSize deviceSize() const;
    /// The outer canvas, border included, that `name` in the style of `slot` is drawn on: the
    /// look's canvas, grown to hold the whole drawing when the look fits whole names. Makes it
    /// the canvas of innerPixels(), deviceSize() and blankImage().
    [[nodiscard]] QSize canvasFor(int slot, const QString& name);

    /// `name` in the style of catalogue slot `slot` (0 to 14): the drawing area at pixelRatio()
    /// device pixels per canvas pixel, its resolution set to the look's. Transparent looks give
    /// an image with an alpha channel. Null when there is not enough memory for it.
    [[nodiscard]] QImage image(int slot, const QString& name);
    /// What image() draws before the name is printed: background colour and picture, on the
    /// canvas of innerPixels(). Null when there is not enough memory for it.
    [[nodiscard]] QImage blankImage() const;
    /// The same drawing with the text turned into outlines, placed where image() prints it, at
    /// 96 dpi whatever the look's resolution. Its ink is the canvas pixels that image() inks,
    /// so that trimmed outlines keep what a trimmed image keeps. Only the glyphs that can show
    /// on the canvas are kept: a name far longer than the canvas is wide costs no more than one
    /// that fills it. Throws std::bad_alloc when memory runs out.
    [[nodiscard]] VectorPicture outlines(int slot, const QString& name);
    /// The graphemes of `name` in the style of `slot` where image() prints them, in reading
    /// order; those that cannot show on the canvas are left out.
    [[nodiscard]] NameLayout layout(int slot, const QString& name);

private:
    class Surface;
    struct Placement;
    struct ShapedDrawing;

    [[nodiscard]] Placement place(int slot, const QString& name);
    /// The shaped line and its seal, in canvas pixels of the drawing area of innerPixels().
    [[nodiscard]] ShapedDrawing shaped(int slot, const QString& name);
    /// The shaped line and seal laid out about the start of its baseline, unfitted.
    [[nodiscard]] ShapedDrawing shapedAtOrigin(int slot, const QString& name);
    /// Makes the canvas `outer` (border included) the canvas drawn on.
    void useCanvas(QSize outer);
    /// Paints the shaped drawing with `painter`, whose coordinates are canvas pixels.
    void paintShaped(QPainter& painter, const ShapedDrawing& drawing) const;
    /// The blank canvas, drawn on first use; null when there is no memory for it.
    [[nodiscard]] const QImage& blank() const;
    /// Paints the blank canvas's device pixels from `origin` on into `image`.
    void paintBlank(QImage& image, QPoint origin) const;
    /// The device pixels where image() would ink `name`, found a strip at a time within
    /// `bounds`, the device pixels the text can reach.
    [[nodiscard]] QRect inkInStrips(const std::function<void(QPainter&)>& paint,
                                    const QRect& bounds) const;
    [[nodiscard]] QImage withResolution(QImage image) const;

    SignatureLook m_look;
    /// The outer canvas drawn on: the look's, or the one fitted to the last name.
    QSize m_canvas;
    /// Measures text as the canvas does; its own image is a few pixels, not the canvas.
    std::unique_ptr<Surface> m_surface;
    /// The background at the look's device pixel ratio and 96 dpi, so that points are the
    /// canvas's points; the look's resolution is set on copies only, when they are handed out.
    mutable QImage m_blank;
};

/// The smallest rectangle of device pixels that holds every pixel where `drawn` differs from
/// `blank` (same size and format); empty when none does.
[[nodiscard]] QRect inkRect(const QImage& drawn, const QImage& blank);

/// The canvas pixels that hold the device pixels `device` at `ratio` device pixels per canvas
/// pixel: the rectangle grown outwards to whole canvas pixels.
[[nodiscard]] QRect canvasPixelsOf(const QRect& device, qreal ratio);

/// The device pixels that cover the canvas pixels `canvas` at `ratio`, each edge rounded to the
/// nearest device pixel as the canvas rounds its image's size.
[[nodiscard]] QRect devicePixelsOf(const QRect& canvas, qreal ratio);

/// `image` cut to `ink` (device pixels) grown by `padding` canvas pixels on every side, never
/// past the image's edges. The cut falls on whole canvas pixels (devicePixelsOf() of
/// canvasPixelsOf()), so a trimmed picture keeps the same part of the canvas at every
/// resolution, and the same part as trimmed outlines. Resolution and device pixel ratio are
/// kept.
[[nodiscard]] QImage cropToInk(const QImage& image, const QRect& ink, int padding);

/// `picture` with its viewport cut to its ink grown by `padding` pixels on every side, never
/// past the viewport it had.
[[nodiscard]] VectorPicture cropToInk(VectorPicture picture, int padding);

} // namespace inkvale
