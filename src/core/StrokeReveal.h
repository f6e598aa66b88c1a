#pragma once

#include "core/SignatureRenderer.h"

#include <QImage>
#include <QPolygonF>
#include <QString>

#include <utility>
#include <vector>

namespace inkvale {

/// The pen's pace when the name is written stroke by stroke: a median one em long takes
/// 0.2 s, no stroke less than 0.08 s; the pen rests 0.06 s between the strokes of a character
/// and 0.16 s between characters, and 0.2 s (kWordPauseSeconds) at a space. 十 is then written
/// in about 0.3 s and 张 in about 1.2 s, quick enough to watch a name and slow enough to follow
/// every stroke. Chosen to look natural, not measured from writers.
inline constexpr double kStrokeEmPerSecond = 5.0;
inline constexpr double kShortestStrokeSeconds = 0.08;
inline constexpr double kStrokePauseSeconds = 0.06;
inline constexpr double kCharacterPauseSeconds = 0.16;

/// One movement of the pen, in canvas pixels, for a vector animation to uncover.
struct PenStroke {
    /// Along a median: the polyline from start to end, the ink within `reach` of it. Spreading
    /// from a point (`spread`): the one point, the ink within `reach` of it.
    QPolygonF path;
    qreal reach = 0;
    bool spread = false;
    double begin = 0;    ///< seconds from the start at the natural pace
    double duration = 0; ///< seconds at the natural pace
};

/// When each pixel of a drawn name is inked as a hand writes it. A Chinese character with a
/// stroke order has its strokes' medians fitted to its own ink box; each of its ink pixels goes
/// to the stroke whose median passes nearest (each median first moved, a little, to the middle
/// of the ink nearest it), and is inked when the pen, moving along that median from its start,
/// passes it. Any other glyph (Latin, other scripts, characters without a stroke order) is
/// inked along its ink from where a hand starts: each connected piece from its top-left point
/// (top-right in right-to-left scripts), spreading through the ink step by step at the pen's
/// pace, the larger pieces first, by where they start, and dots and accents after.
class StrokeReveal final {
public:
    /// `finished`, the name drawn, over `blank`, the same canvas without it (same size and
    /// format), laid out as `layout` says for `name`. The layout's boxes are canvas pixels,
    /// the images' pixels are finished.devicePixelRatio() device pixels each.
    StrokeReveal(const QImage& finished, const QImage& blank, const NameLayout& layout,
                 const QString& name);

    /// When the last pixel is inked, in seconds at the natural pace.
    [[nodiscard]] double writingSeconds() const { return m_writing; }
    /// The pen's movements in the order they are made.
    [[nodiscard]] const std::vector<PenStroke>& strokes() const { return m_strokes; }
    /// Copies into `frame` the pixels of `finished` inked before `moment` (natural seconds).
    void uncover(QImage& frame, const QImage& finished, double moment) const;

private:
    int m_width = 0;
    std::vector<std::pair<float, int>> m_order; ///< ink pixels by the moment they are inked
    std::vector<PenStroke> m_strokes;
    double m_writing = 0;
};

} // namespace inkvale
