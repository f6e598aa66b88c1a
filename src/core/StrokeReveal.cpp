#include "core/StrokeReveal.h"

#include "core/RevealTimeline.h"
#include "core/StrokeOrder.h"

#include <QChar>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace inkvale {

namespace {

/// A connected piece of ink smaller than this share of its glyph's ink is a dot or an accent,
/// written after the larger pieces.
constexpr double kDotShare = 0.08;
/// Specks smaller than this share take no time of their own.
constexpr double kSpeckShare = 0.004;
/// A median narrower or lower than this share of the em is a line along one axis: it is
/// scaled as the other axis is.
constexpr double kFlatMedian = 0.06;
/// How often the medians are moved to the ink nearest them, and how far at most, in ems.
constexpr int kFittingRounds = 3;
constexpr double kFarthestMedianMove = 0.08;
/// Distances past a median's ends count this much more (squared).
constexpr double kPastEndWeight = 2.0;
/// How much a form's medians running where there is no ink count against it, next to the
/// mean distance of the ink from them in half stroke widths.
constexpr double kMissWeight = 4.0;
/// A stroke's ink is in the pieces of ink that hold at least this share of its median.
constexpr double kHomeShare = 0.2;

struct Glyph {
    std::vector<int> pixels; ///< ink pixels, indices row by row
};

/// Whether `script` is written in squares from the top left, component by component.
bool isEastAsian(QChar::Script script) {
    switch (script) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
    case QChar::Script_Yi:
        return true;
    default:
        return false;
    }
}

/// The grapheme's one character, or 0 when it is more than one.
char32_t soleCharacter(const QString& name, const GraphemePlace& grapheme) {
    const QStringView text = QStringView(name).mid(grapheme.start, grapheme.length);
    const auto codes = text.toUcs4();
    // Variation selectors choose a glyph, not strokes.
    char32_t sole = 0;
    int count = 0;
    for (const uint code : codes) {
        if ((code >= 0xFE00 && code <= 0xFE0F) || (code >= 0xE0100 && code <= 0xE01EF)) {
            continue;
        }
        sole = code;
        ++count;
    }
    return count == 1 ? sole : 0;
}

double length(const QPolygonF& path) {
    double total = 0;
    for (qsizetype i = 1; i < path.size(); ++i) {
        const QPointF step = path.at(i) - path.at(i - 1);
        total += std::hypot(step.x(), step.y());
    }
    return total;
}

/// The seconds the pen takes over `pixels` device pixels of path, `em` device pixels an em.
double strokeSeconds(double pixels, double em) {
    return std::max(kShortestStrokeSeconds, em > 0 ? pixels / em / kStrokeEmPerSecond : 0);
}

/// Medians fitted to a glyph's ink.
struct Fit {
    std::vector<QPolygonF> paths;           ///< device pixels
    std::vector<std::vector<char>> allowed; ///< per piece of ink, the strokes that may take it
    double score = 0;                       ///< the lower, the better the form fits the ink
};

/// Where a point is nearest to a set of paths.
struct Nearest {
    std::size_t stroke = 0; ///< the path
    double along = 0;       ///< how far along it, from its start
    double distance = 0;
    QPointF offset; ///< from the path to the point
};

/// The nearest of `paths` to `point`, among those `allowed` marks when it marks any.
Nearest nearestStroke(QPointF point, const std::vector<QPolygonF>& paths,
                      const std::vector<char>& allowed = {}) {
    const bool anyAllowed = std::find(allowed.begin(), allowed.end(), 1) != allowed.end();
    Nearest best;
    double bestSquare = std::numeric_limits<double>::max();
    for (std::size_t s = 0; s < paths.size(); ++s) {
        if (anyAllowed && allowed[s] == 0) {
            continue;
        }
        const QPolygonF& path = paths[s];
        double walked = 0;
        for (qsizetype i = 0; i < path.size(); ++i) {
            const QPointF from = path.at(i);
            const QPointF to = i + 1 < path.size() ? path.at(i + 1) : from;
            const QPointF step = to - from;
            const double stepSquare = QPointF::dotProduct(step, step);
            const double t =
                stepSquare > 0
                    ? std::clamp(QPointF::dotProduct(point - from, step) / stepSquare, 0.0, 1.0)
                    : 0.0;
            const QPointF off = point - (from + step * t);
            // Ink past a median's end is rather the stroke's that runs alongside it: where
            // strokes meet, the stroke that passes takes the corner, not the one that ends.
            const bool pastEnd = (i == 0 && t <= 0) || (i + 2 >= path.size() && t >= 1);
            const double square = QPointF::dotProduct(off, off) * (pastEnd ? kPastEndWeight : 1.0);
            const double stepLength = std::sqrt(stepSquare);
            if (square < bestSquare) {
                bestSquare = square;
                best = {s, walked + t * stepLength, std::hypot(off.x(), off.y()), off};
            }
            walked += stepLength;
        }
    }
    return best;
}

class Planner {
public:
    Planner(const QImage& finished, const QImage& blank, std::vector<float>& times)
        : m_width(finished.width())
        , m_height(finished.height())
        , m_ratio(finished.devicePixelRatio())
        , m_times(times) {
        m_owner.assign(std::size_t(m_width) * std::size_t(m_height), -1);
        m_visited.assign(m_owner.size(), 0);
        m_piece.assign(m_owner.size(), -1);
        const int bytesPerPixel = finished.depth() / 8;
        for (int y = 0; y < m_height; ++y) {
            const uchar* drawn = finished.constScanLine(y);
            const uchar* empty = blank.constScanLine(y);
            for (int x = 0; x < m_width; ++x) {
                if (std::memcmp(drawn + qsizetype(x) * bytesPerPixel,
                                empty + qsizetype(x) * bytesPerPixel,
                                std::size_t(bytesPerPixel)) != 0) {
                    m_owner[index(x, y)] = kUnowned;
                }
            }
        }
    }

    /// Gives every ink pixel to the glyph whose box holds it, the nearest box's centre where
    /// boxes overlap, and returns each glyph's pixels.
    std::vector<Glyph> share(const std::vector<QRectF>& boxes) {
        std::vector<Glyph> glyphs(boxes.size());
        std::vector<QRectF> device;
        for (const QRectF& box : boxes) {
            device.emplace_back(box.topLeft() * m_ratio, box.size() * m_ratio);
        }
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                if (m_owner[index(x, y)] != kUnowned) {
                    continue;
                }
                const QPointF centre(x + 0.5, y + 0.5);
                int best = -1;
                double bestDistance = std::numeric_limits<double>::max();
                for (std::size_t g = 0; g < device.size(); ++g) {
                    if (device[g].isEmpty()) {
                        continue;
                    }
                    const double away = std::abs(device[g].center().x() - centre.x()) +
                                        (device[g].contains(centre) ? 0 : 1e6);
                    if (away < bestDistance) {
                        bestDistance = away;
                        best = int(g);
                    }
                }
                if (best >= 0) {
                    m_owner[index(x, y)] = best;
                    glyphs[std::size_t(best)].pixels.push_back(int(index(x, y)));
                }
            }
        }
        return glyphs;
    }

    /// `medians` fitted to `glyph`, whose pieces labelPieces() has numbered.
    Fit fitStrokes(const Glyph& glyph, const std::vector<StrokeMedian>& medians, double em) {
        QRectF ink = inkBox(glyph);
        double left = 1;
        double top = 1;
        double right = 0;
        double bottom = 0;
        for (const StrokeMedian& stroke : medians) {
            for (const QPointF& point : stroke) {
                left = std::min(left, point.x());
                right = std::max(right, point.x());
                top = std::min(top, point.y());
                bottom = std::max(bottom, point.y());
            }
        }
        const QRectF median(left, top, std::max(0.0, right - left), std::max(0.0, bottom - top));
        // The medians run along the middle of the strokes: the ink box, less half a stroke's
        // width on every side, is where they go. The width is the ink's area over its length.
        std::vector<QPolygonF> paths = fitted(medians, median, ink);
        double total = 0;
        for (const QPolygonF& path : paths) {
            total += length(path);
        }
        double half = 1;
        if (total > 0) {
            half = std::min(double(glyph.pixels.size()) / total / 2,
                            std::min(ink.width(), ink.height()) / 4);
            ink.adjust(half, half, -half, -half);
            paths = fitted(medians, median, ink);
        }
        // A stroke takes its ink from the connected pieces of ink its median runs over, so
        // that the end of a median reaching into a neighbouring component takes none of it.
        std::vector<std::vector<char>> allowed = strokesOfPieces(paths, half);
        const auto nearestTo = [&](int pixel) {
            return nearestStroke(centreOf(pixel), paths,
                                 allowed[std::size_t(m_piece[std::size_t(pixel)])]);
        };

        // A style's strokes sit a little away from the regular-script form's: each median is
        // moved, a few times, to the middle of the ink that is nearest to it.
        const double farthestMove = kFarthestMedianMove * em;
        std::vector<QPointF> moved(paths.size());
        for (int round = 0; round < kFittingRounds; ++round) {
            std::vector<QPointF> offsets(paths.size());
            std::vector<int> counts(paths.size(), 0);
            for (const int pixel : glyph.pixels) {
                const Nearest near = nearestTo(pixel);
                offsets[near.stroke] += near.offset;
                ++counts[near.stroke];
            }
            for (std::size_t s = 0; s < paths.size(); ++s) {
                if (counts[s] == 0) {
                    continue;
                }
                QPointF move = offsets[s] / counts[s];
                const QPointF sum = moved[s] + move;
                const double away = std::hypot(sum.x(), sum.y());
                if (away > farthestMove) {
                    move = sum * (farthestMove / away) - moved[s];
                }
                paths[s].translate(move);
                moved[s] += move;
            }
            allowed = strokesOfPieces(paths, half);
        }

        // How well the form fits the ink: how far its ink is from the medians, in half stroke
        // widths, and how much of the medians runs where there is no ink.
        double away = 0;
        for (const int pixel : glyph.pixels) {
            away += nearestTo(pixel).distance;
        }
        const double score = away / std::max<std::size_t>(1, glyph.pixels.size()) / half +
                             kMissWeight * missedShare(paths, half);
        return {std::move(paths), std::move(allowed), score};
    }

    /// Writes `glyph` along the medians of the form that fits it best of `forms` from `start`;
    /// returns when it ends.
    double writeStrokes(const Glyph& glyph, const std::vector<std::vector<StrokeMedian>>& forms,
                        double em, double start, std::vector<PenStroke>& pens) {
        labelPieces(glyph);
        Fit best;
        for (const std::vector<StrokeMedian>& medians : forms) {
            Fit fit = fitStrokes(glyph, medians, em);
            if (best.paths.empty() || fit.score < best.score) {
                best = std::move(fit);
            }
        }
        const std::vector<QPolygonF>& paths = best.paths;
        const auto nearestTo = [&](int pixel) {
            return nearestStroke(centreOf(pixel), paths,
                                 best.allowed[std::size_t(m_piece[std::size_t(pixel)])]);
        };
        std::vector<double> lengths;
        std::vector<double> begins;
        std::vector<double> durations;
        double time = start;
        for (const QPolygonF& path : paths) {
            lengths.push_back(length(path));
            begins.push_back(time);
            durations.push_back(strokeSeconds(lengths.back(), em));
            time += durations.back() + kStrokePauseSeconds;
        }
        std::vector<double> reach(paths.size(), 0);
        for (const int pixel : glyph.pixels) {
            const Nearest near = nearestTo(pixel);
            const double share = lengths[near.stroke] > 0 ? near.along / lengths[near.stroke] : 1.0;
            m_times[std::size_t(pixel)] =
                float(begins[near.stroke] + durations[near.stroke] * std::clamp(share, 0.0, 1.0));
            reach[near.stroke] = std::max(reach[near.stroke], near.distance);
        }
        for (std::size_t s = 0; s < paths.size(); ++s) {
            pens.push_back(
                {canvas(paths[s]), (reach[s] + 1) / m_ratio, false, begins[s], durations[s]});
        }
        return paths.empty() ? start : begins.back() + durations.back();
    }

    /// Writes `glyph` along its own ink from where a hand starts; returns when it ends.
    double writeInk(const Glyph& glyph, bool eastAsian, bool rightToLeft, double em, double start,
                    std::vector<PenStroke>& pens) {
        struct Piece {
            std::vector<int> pixels; ///< from the start outwards
            std::vector<int> steps;  ///< pen steps from the start, pixel by pixel
            double key = 0;          ///< pieces are written by this, smallest first
            bool dot = false;
        };
        std::vector<Piece> pieces;
        const int owner = m_owner[std::size_t(glyph.pixels.front())];
        std::vector<int> queue;
        for (const int seed : glyph.pixels) {
            if (m_visited[std::size_t(seed)] != 0) {
                continue;
            }
            // The piece's pixels, then where a hand starts it.
            queue.assign(1, seed);
            m_visited[std::size_t(seed)] = 1;
            for (std::size_t head = 0; head < queue.size(); ++head) {
                forNeighbours(queue[head], owner, [&](int next) {
                    if (m_visited[std::size_t(next)] == 0) {
                        m_visited[std::size_t(next)] = 1;
                        queue.push_back(next);
                    }
                });
            }
            const auto startOf = [&](int pixel) {
                const int x = pixel % m_width;
                const int y = pixel / m_width;
                // Where a hand starts: the top left of the piece, the top right in a
                // right-to-left script.
                return rightToLeft && !eastAsian ? double(m_width - x + y) : double(x + y);
            };
            const int first = *std::min_element(
                queue.begin(), queue.end(), [&](int a, int b) { return startOf(a) < startOf(b); });
            Piece piece;
            piece.key = startOf(first);
            piece.dot = double(queue.size()) < kDotShare * double(glyph.pixels.size());
            // Steps along the ink from the start, breadth first: each pixel is reached once.
            piece.pixels.assign(1, first);
            piece.steps.assign(1, 0);
            m_visited[std::size_t(first)] = 2;
            for (std::size_t head = 0; head < piece.pixels.size(); ++head) {
                const int step = piece.steps[head] + 1;
                forNeighbours(piece.pixels[head], owner, [&](int next) {
                    if (m_visited[std::size_t(next)] != 2) {
                        m_visited[std::size_t(next)] = 2;
                        piece.pixels.push_back(next);
                        piece.steps.push_back(step);
                    }
                });
            }
            pieces.push_back(std::move(piece));
        }
        std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
            return a.dot != b.dot ? !a.dot : a.key < b.key;
        });
        double time = start;
        double end = start;
        for (const Piece& piece : pieces) {
            const double farthest = piece.steps.back();
            if (double(piece.pixels.size()) < kSpeckShare * double(glyph.pixels.size())) {
                for (const int pixel : piece.pixels) {
                    m_times[std::size_t(pixel)] =
                        float(std::max(start, time - kStrokePauseSeconds));
                }
                continue;
            }
            const double duration = strokeSeconds(farthest, em);
            double reach = 0;
            const int first = piece.pixels.front();
            const QPointF origin(first % m_width + 0.5, first / m_width + 0.5);
            for (std::size_t i = 0; i < piece.pixels.size(); ++i) {
                const int pixel = piece.pixels[i];
                const double share = farthest > 0 ? piece.steps[i] / farthest : 1.0;
                m_times[std::size_t(pixel)] = float(time + duration * share);
                const QPointF centre(pixel % m_width + 0.5, pixel / m_width + 0.5);
                reach =
                    std::max(reach, std::hypot(centre.x() - origin.x(), centre.y() - origin.y()));
            }
            pens.push_back(
                {canvas(QPolygonF{origin}), (reach + 1) / m_ratio, true, time, duration});
            end = time + duration;
            time = end + kStrokePauseSeconds;
        }
        return end;
    }

private:
    static constexpr int kUnowned = -2;

    /// Numbers the connected pieces of `glyph`'s ink in m_piece, from 0.
    void labelPieces(const Glyph& glyph) {
        m_pieces = 0;
        std::vector<int> queue;
        for (const int seed : glyph.pixels) {
            if (m_piece[std::size_t(seed)] >= 0) {
                continue;
            }
            const int owner = m_owner[std::size_t(seed)];
            queue.assign(1, seed);
            m_piece[std::size_t(seed)] = m_pieces;
            for (std::size_t head = 0; head < queue.size(); ++head) {
                forNeighbours(queue[head], owner, [&](int next) {
                    if (m_piece[std::size_t(next)] < 0) {
                        m_piece[std::size_t(next)] = m_pieces;
                        queue.push_back(next);
                    }
                });
            }
            ++m_pieces;
        }
    }

    /// For each piece of ink, the strokes whose medians run over it for a good share of their
    /// length (kHomeShare), each median's points looked up within `half` a stroke's width.
    [[nodiscard]] std::vector<std::vector<char>>
    strokesOfPieces(const std::vector<QPolygonF>& paths, double half) const {
        std::vector<std::vector<char>> allowed(std::size_t(m_pieces),
                                               std::vector<char>(paths.size(), 0));
        const int radius = std::max(1, int(std::ceil(half)));
        for (std::size_t s = 0; s < paths.size(); ++s) {
            const QPolygonF& path = paths[s];
            std::vector<int> hits(std::size_t(m_pieces), 0);
            int samples = 0;
            for (qsizetype i = 0; i + 1 < path.size() || (i == 0 && path.size() == 1); ++i) {
                const QPointF from = path.at(i);
                const QPointF to = path.size() > 1 ? path.at(i + 1) : from;
                const int steps =
                    std::max(1, int(std::hypot(to.x() - from.x(), to.y() - from.y())));
                for (int k = 0; k < steps; ++k) {
                    const QPointF at = from + (to - from) * (double(k) / steps);
                    ++samples;
                    const int piece = pieceNear(at, radius);
                    if (piece >= 0) {
                        ++hits[std::size_t(piece)];
                    }
                }
            }
            for (int piece = 0; piece < m_pieces; ++piece) {
                if (samples > 0 && hits[std::size_t(piece)] >= kHomeShare * samples) {
                    allowed[std::size_t(piece)][s] = 1;
                }
            }
        }
        return allowed;
    }

    /// The share of the points along `paths` that have no ink within `half` a stroke's width.
    [[nodiscard]] double missedShare(const std::vector<QPolygonF>& paths, double half) const {
        const int radius = std::max(1, int(std::ceil(half)));
        int samples = 0;
        int missed = 0;
        for (const QPolygonF& path : paths) {
            for (qsizetype i = 0; i + 1 < path.size(); ++i) {
                const QPointF from = path.at(i);
                const QPointF to = path.at(i + 1);
                const int steps =
                    std::max(1, int(std::hypot(to.x() - from.x(), to.y() - from.y())));
                for (int k = 0; k < steps; ++k) {
                    ++samples;
                    missed += pieceNear(from + (to - from) * (double(k) / steps), radius) < 0;
                }
            }
        }
        return samples > 0 ? double(missed) / samples : 0.0;
    }

    /// The piece of the ink pixel nearest `point` within `radius` pixels; -1 when none is.
    [[nodiscard]] int pieceNear(QPointF point, int radius) const {
        const int cx = int(std::floor(point.x()));
        const int cy = int(std::floor(point.y()));
        int best = -1;
        int bestSquare = std::numeric_limits<int>::max();
        for (int y = std::max(0, cy - radius); y <= std::min(m_height - 1, cy + radius); ++y) {
            for (int x = std::max(0, cx - radius); x <= std::min(m_width - 1, cx + radius); ++x) {
                const int piece = m_piece[index(x, y)];
                const int square = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                if (piece >= 0 && square < bestSquare) {
                    bestSquare = square;
                    best = piece;
                }
            }
        }
        return best;
    }

    [[nodiscard]] QPointF centreOf(int pixel) const {
        return {pixel % m_width + 0.5, pixel / m_width + 0.5};
    }

    [[nodiscard]] std::size_t index(int x, int y) const {
        return std::size_t(y) * std::size_t(m_width) + std::size_t(x);
    }

    /// Calls `visit` for each of the eight neighbours of `pixel` that `owner` inks.
    template <typename Visit>
    void forNeighbours(int pixel, int owner, Visit visit) const {
        const int x = pixel % m_width;
        const int y = pixel / m_width;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx;
                const int ny = y + dy;
                if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= m_width || ny >= m_height) {
                    continue;
                }
                if (m_owner[index(nx, ny)] == owner) {
                    visit(int(index(nx, ny)));
                }
            }
        }
    }

    [[nodiscard]] QRectF inkBox(const Glyph& glyph) const {
        int left = m_width;
        int top = m_height;
        int right = 0;
        int bottom = 0;
        for (const int pixel : glyph.pixels) {
            const int x = pixel % m_width;
            const int y = pixel / m_width;
            left = std::min(left, x);
            right = std::max(right, x + 1);
            top = std::min(top, y);
            bottom = std::max(bottom, y + 1);
        }
        return QRectF(left, top, right - left, bottom - top);
    }

    /// `medians` (em units, spanning `from`) placed over `to` (device pixels), each axis
    /// scaled on its own; a flat span takes the other axis's scale.
    static std::vector<QPolygonF> fitted(const std::vector<StrokeMedian>& medians,
                                         const QRectF& from, const QRectF& to) {
        const bool flatX = from.width() < kFlatMedian;
        const bool flatY = from.height() < kFlatMedian;
        double scaleX = flatX ? 0 : to.width() / from.width();
        double scaleY = flatY ? 0 : to.height() / from.height();
        if (flatX && flatY) {
            scaleX = scaleY = std::max(to.width(), to.height());
        } else if (flatX) {
            scaleX = scaleY;
        } else if (flatY) {
            scaleY = scaleX;
        }
        std::vector<QPolygonF> paths;
        for (const StrokeMedian& stroke : medians) {
            QPolygonF path;
            for (const QPointF& point : stroke) {
                path << QPointF(to.center().x() + (point.x() - from.center().x()) * scaleX,
                                to.center().y() + (point.y() - from.center().y()) * scaleY);
            }
            paths.push_back(path);
        }
        return paths;
    }

    /// Device pixels to canvas pixels.
    [[nodiscard]] QPolygonF canvas(const QPolygonF& device) const {
        QPolygonF path;
        for (const QPointF& point : device) {
            path << point / m_ratio;
        }
        return path;
    }

    int m_width = 0;
    int m_height = 0;
    qreal m_ratio = 1;
    std::vector<float>& m_times;
    std::vector<int> m_owner; ///< per pixel: its glyph, -1 when not ink
    /// Per pixel: 1 once its piece is found, 2 once the pen's steps have reached it.
    std::vector<unsigned char> m_visited;
    std::vector<int> m_piece; ///< per pixel: its piece of its glyph's ink, -1 when not ink
    int m_pieces = 0;         ///< the pieces of the glyph labelled last
};

} // namespace

StrokeReveal::StrokeReveal(const QImage& finished, const QImage& blank, const NameLayout& layout,
                           const QString& name)
    : m_width(finished.width()) {
    if (finished.isNull() || blank.size() != finished.size() ||
        blank.format() != finished.format()) {
        return;
    }
    // When each pixel is inked, row by row: needed only until the ink is put in that order.
    std::vector<float> times(std::size_t(finished.width()) * std::size_t(finished.height()), 0.0F);
    Planner planner(finished, blank, times);
    std::vector<QRectF> boxes;
    for (const GraphemePlace& grapheme : layout.graphemes) {
        boxes.push_back(grapheme.blank ? QRectF() : grapheme.box);
    }
    const std::vector<Glyph> glyphs = planner.share(boxes);
    const double em = layout.emPixels * finished.devicePixelRatio();
    double time = 0;
    bool written = false;
    for (std::size_t g = 0; g < layout.graphemes.size(); ++g) {
        const GraphemePlace& grapheme = layout.graphemes[g];
        if (grapheme.blank) {
            time += kWordPauseSeconds;
            continue;
        }
        if (glyphs[g].pixels.empty()) {
            continue;
        }
        if (written) {
            time += kCharacterPauseSeconds;
        }
        const char32_t character = soleCharacter(name, grapheme);
        // The character's strokes, and those of its simplified or traditional form, which a
        // style may draw in its place.
        std::vector<std::vector<StrokeMedian>> forms;
        if (character != 0) {
            forms.push_back(strokeMedians(character));
            for (const char32_t variant : strokeVariants(character)) {
                forms.push_back(strokeMedians(variant));
            }
        }
        std::erase_if(forms, [](const auto& medians) { return medians.empty(); });
        const char32_t first =
            QStringView(name).mid(grapheme.start, grapheme.length).toUcs4().value(0);
        time = forms.empty() ? planner.writeInk(glyphs[g], isEastAsian(QChar::script(first)),
                                                grapheme.rightToLeft, em, time, m_strokes)
                             : planner.writeStrokes(glyphs[g], forms, em, time, m_strokes);
        m_writing = time;
        written = true;
    }
    for (const Glyph& glyph : glyphs) {
        for (const int pixel : glyph.pixels) {
            m_order.emplace_back(times[std::size_t(pixel)], pixel);
        }
    }
    std::stable_sort(m_order.begin(), m_order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

void StrokeReveal::uncover(QImage& frame, const QImage& finished, double moment) const {
    const int bytesPerPixel = finished.depth() / 8;
    const auto end = std::lower_bound(
        m_order.begin(), m_order.end(), moment,
        [](const std::pair<float, int>& entry, double value) { return entry.first < value; });
    for (auto it = m_order.begin(); it != end; ++it) {
        const int x = it->second % m_width;
        const int y = it->second / m_width;
        std::memcpy(frame.scanLine(y) + qsizetype(x) * bytesPerPixel,
                    finished.constScanLine(y) + qsizetype(x) * bytesPerPixel,
                    std::size_t(bytesPerPixel));
    }
}

} // namespace inkvale
