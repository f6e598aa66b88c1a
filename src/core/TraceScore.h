#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QString>

#include <vector>

namespace inkvale {

/// How a tracing went against its model.
struct TraceScore {
    double coverage = 0;     ///< share of the model's ink that the attempt's ink (grown) covers
    double outside = 0;      ///< share of the attempt's ink outside the model's ink (grown)
    bool orderKnown = false; ///< the model's strokes are known, so the order was checked
    int strokesRight = 0;    ///< attempt strokes made in the model's order and direction
    int strokesCompared = 0; ///< the larger of the model's and the attempt's stroke counts
    std::vector<int> wrongStrokes; ///< attempt strokes out of order or written backwards
    int score = 0;                 ///< 0 to 100
    QImage picture; ///< the attempt over the model, the misses marked (tracePicture())
};

struct SignatureLook;

/// A designed signature to trace over: its ink, and where its strokes are known, their medians.
struct TracingModel {
    QImage ink; ///< the name on a clear canvas, `scale` pixels per canvas pixel
    /// The medians of the name's strokes in writing order, in the pixels of `ink`; empty when a
    /// character of the name has no stroke order.
    std::vector<QPolygonF> medians;
    double tolerance = 0; ///< the furthest from a median's ends a stroke may start and end
};

/// The model of `name` in the style of `slot` at `look` (drawn clear, without background),
/// `scale` times the canvas's size, with its strokes' medians fitted to the style's glyphs
/// (StrokeReveal). The tolerance is a sixth of the font's em.
[[nodiscard]] TracingModel tracingModel(const SignatureLook& look, int slot, const QString& name,
                                        double scale);

/// The colours of a scored tracing's picture.
inline const QColor kTraceModelColour{200, 200, 200};
inline const QColor kTraceMissColour{220, 30, 30};     ///< model ink the attempt left out
inline const QColor kTraceOutsideColour{30, 110, 220}; ///< attempt ink beside the model

/// Whether each attempt stroke went as the model's stroke of the same place in order does:
/// starting near its start and ending near its end, within 40 % of the distance between the
/// median's ends (so that a short stroke written backwards is found) and never further than
/// `tolerance`. Both are
/// centrelines in the same pixels, in the order they are written. Fills the order fields of
/// `score`.
void compareStrokeOrder(const std::vector<QPolygonF>& model, const std::vector<QPolygonF>& attempt,
                        double tolerance, TraceScore& score);

/// Scores `attempt` traced over `model`, two pictures of the same size whose ink is where they
/// are not clear (alpha above a quarter). Ink is compared grown by `reach` pixels, so that a
/// hand that follows the model within that is not counted off. The score out of 100 weighs
/// coverage most (60 %), then keeping inside (25 %) and the order (15 %) when `orderKnown`;
/// without the order, 70 % and 30 %. An attempt without ink scores 0. Call
/// compareStrokeOrder() first for the order to count.
void scoreTrace(const QImage& model, const QImage& attempt, int reach, TraceScore& score);

} // namespace inkvale
