#pragma once

#include <QByteArray>
#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>
#include <vector>

namespace inkvale {

/// The largest strokes file read, in bytes: a minute of writing at 1,000 points a second is
/// about 2 MB, so 16 MB leaves room and keeps a wrong file from costing much memory.
inline constexpr qint64 kLargestStrokesFileBytes = 16 * 1024 * 1024;
/// The most points a strokes file may hold, in all its strokes together.
inline constexpr int kMostHandPoints = 500'000;
/// The version of the strokes file this program writes and reads.
inline constexpr int kStrokesFileVersion = 1;
/// The pen widths a drawing may have, in pixels of its writing area.
inline constexpr double kThinnestPen = 0.5;
inline constexpr double kWidestPen = 64;

/// One point of a stroke as the device reported it.
struct HandPoint {
    QPointF at;          ///< pixels of the writing area, y downwards
    double ms = 0;       ///< milliseconds since the drawing began
    double pressure = 1; ///< 0 to 1; only read when its stroke has pressure
};

/// One touch of the pen: from where it comes down to where it lifts.
struct HandStroke {
    std::vector<HandPoint> points;
    bool hasPressure = false; ///< the device reported pressure; otherwise width follows speed
};

/// A drawing made by hand on the pad: its strokes in the order they were made, in pixels of
/// the area they were written on.
struct HandDrawing {
    QSizeF area{680, 194}; ///< the writing area the points lie in
    QColor colour = Qt::black;
    double penWidth = 4; ///< the full width of a stroke at full pressure and slow speed
    std::vector<HandStroke> strokes;

    [[nodiscard]] bool isEmpty() const { return strokes.empty(); }
    /// Milliseconds from the first point to the last; 0 for an empty drawing.
    [[nodiscard]] double lastMs() const;
};

/// What reading a strokes file gave: the drawing, or why there is none (English, one sentence).
struct HandReading {
    std::optional<HandDrawing> drawing;
    QString error;
};

/// `bytes` read as a strokes file (docs/strokes-file.md). Strict: a file larger than
/// kLargestStrokesFileBytes, with more than kMostHandPoints points, that is not JSON or is cut
/// short, of another format or version, with a number that is not finite, a pressure outside
/// 0 to 1, a negative time, a pen width outside kThinnestPen to kWidestPen or an area that is
/// not positive, is refused with a sentence that says which.
[[nodiscard]] HandReading readHandDrawing(const QByteArray& bytes);

/// `drawing` as a strokes file, compact JSON; reading it back gives the same drawing.
[[nodiscard]] QByteArray handDrawingJson(const HandDrawing& drawing);

/// A point of a smoothed stroke: where the pen's centre is and how far its ink reaches.
struct InkSample {
    QPointF at;
    double radius = 0;
};

/// Smooths a stroke into curves as its points arrive: a Catmull-Rom spline, which passes
/// through every point, each piece between two points shaped by their neighbours. A new point
/// settles the piece before the last (its far neighbour now known) and replaces the last, so
/// it changes only the last piece of the curve; everything settled is never drawn again. The radius
/// at each point comes from pressure (a quarter of the width at no pressure, all of it at full
/// pressure) or, without pressure, from the pen's speed as signature pads do: the full width when
/// slow, thinning to a third as the pen speeds up, the speed eased over the last points so that the
/// width changes smoothly.
class StrokeSmoother final {
public:
    explicit StrokeSmoother(double penWidth, bool hasPressure)
        : m_halfWidth(penWidth / 2)
        , m_pressure(hasPressure) {}

    /// Adds the next point; the samples settled by it are appended to settled(), from
    /// settledBefore() on.
    void add(const HandPoint& point);
    /// The samples that no later point changes.
    [[nodiscard]] const std::vector<InkSample>& settled() const { return m_settled; }
    /// The number of settled samples before the last add().
    [[nodiscard]] std::size_t settledBefore() const { return m_settledBefore; }
    /// The last piece of the curve, from the last settled sample to the last point, which the
    /// next point will replace. Empty before the first point.
    [[nodiscard]] std::vector<InkSample> tail() const;
    /// All the samples: settled() then tail().
    [[nodiscard]] std::vector<InkSample> samples() const;

private:
    /// Appends to `into` the samples of the piece from point `from` to point `to`, after the
    /// first: `before` and `after` are its neighbours.
    void appendPiece(std::vector<InkSample>& into, std::size_t before, std::size_t from,
                     std::size_t to, std::size_t after) const;
    void appendPiece(std::size_t before, std::size_t from, std::size_t to, std::size_t after);

    double m_halfWidth = 2;
    bool m_pressure = false;
    std::vector<QPointF> m_points;
    std::vector<double> m_radii;
    std::vector<InkSample> m_settled;
    std::size_t m_settledBefore = 0;
    double m_speed = 0; ///< pixels per millisecond, eased
    double m_lastMs = 0;
};

/// The ink of `samples` as a filled outline: a disc at each sample and, between neighbours,
/// the band that joins their discs. Filled with the winding rule, so that overlaps show once.
void addInkOutline(QPainterPath& path, const std::vector<InkSample>& samples);

/// The smoothed samples of a whole stroke at `penWidth`.
[[nodiscard]] std::vector<InkSample> strokeSamples(const HandStroke& stroke, double penWidth);

/// The ink of a whole stroke at `penWidth`, in the stroke's own pixels.
[[nodiscard]] QPainterPath strokeOutline(const HandStroke& stroke, double penWidth);

/// The ink of the points of `stroke` made before `ms`, at `penWidth`: what the pad showed then.
[[nodiscard]] QPainterPath strokeOutlineUntil(const HandStroke& stroke, double penWidth, double ms);

/// The rectangle that holds the ink of every stroke of `drawing`; empty when it has none.
[[nodiscard]] QRectF inkBounds(const HandDrawing& drawing);

} // namespace inkvale
