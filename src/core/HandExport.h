#pragma once

#include "core/AnimationFormat.h"
#include "core/AnimationFrames.h"
#include "core/PenStrokes.h"
#include "core/SignatureExport.h"
#include "core/SignatureRenderer.h"
#include "core/VectorPicture.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTransform>

#include <optional>

namespace inkvale {

/// The share of the drawing area left free on each side when a drawing is fitted to it.
inline constexpr double kHandMargin = 0.06;
/// The longest pause between strokes an animation keeps, in milliseconds: a writer who stopped
/// to think is not made to be watched thinking.
inline constexpr double kLongestHandPauseMs = 1000;

/// How a hand drawing goes onto a signature's canvas: its ink scaled alike in both directions,
/// pen width with it, to fill the drawing area (the canvas inside its border) less kHandMargin
/// on each side, and centred. The look's size, resolution, transparency and canvas colour
/// apply as they do to a designed signature; its colour, when it has one, replaces the pen's;
/// its background picture and text size do not apply.
class HandExport final {
public:
    HandExport(const HandDrawing& drawing, const SignatureLook& look);

    /// The drawing area in canvas pixels.
    [[nodiscard]] QSize innerPixels() const { return m_inner; }
    /// From the drawing's pixels to canvas pixels.
    [[nodiscard]] const QTransform& fit() const { return m_fit; }
    /// The drawing as outlines on the drawing area, in canvas pixels; each stroke one filled
    /// outline, marked as text so that an animated document uncovers it.
    [[nodiscard]] VectorPicture outlines() const;
    /// The drawing as a raster of the drawing area at the look's resolution; with `untilMs`,
    /// only what had been drawn by then. Null when there is no memory for it.
    [[nodiscard]] QImage image(std::optional<double> untilMs = std::nullopt) const;
    /// The drawing in `format`, as "导出签名…" writes a designed signature: with `trim`, cut to
    /// its ink plus that many canvas pixels. `title` names a vector document.
    [[nodiscard]] ExportDrawing draw(OutputFormat format, std::optional<int> trim,
                                     const QString& title,
                                     int jpegQuality = kDefaultJpegQuality) const;
    /// The drawing being written at the pace it was drawn, pauses between strokes no longer
    /// than kLongestHandPauseMs, at `fps` frames per second, then held for kHoldSeconds. Empty
    /// when it could not be made.
    [[nodiscard]] QByteArray animated(AnimationFormat format, int fps, const QString& title) const;

private:
    [[nodiscard]] QColor inkColour() const;
    [[nodiscard]] double penWidth() const;
    /// `ms` of the drawing on the animation's clock, long pauses shortened.
    [[nodiscard]] double playedMs(double ms) const;

    HandDrawing m_drawing;
    SignatureLook m_look;
    QSize m_inner;
    QTransform m_fit;
    double m_scale = 1;
};

} // namespace inkvale
