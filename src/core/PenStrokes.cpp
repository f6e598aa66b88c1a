#include "core/PenStrokes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLineF>

#include <algorithm>
#include <array>
#include <cmath>

namespace inkvale {

namespace {

const QString kFormatName = QStringLiteral("inkvale-strokes");

/// The thinnest a stroke gets, as a share of the pen's width: at no pressure, and at speed.
constexpr double kLightestPressureShare = 0.25;
constexpr double kFastestShare = 1.0 / 3.0;
/// How much the speed thins the stroke: at 1 pixel per millisecond, to 1 / (1 + 0.6).
constexpr double kSpeedThinning = 0.6;
/// How much of a new speed is taken at each point; the rest is the speed before.
constexpr double kSpeedEasing = 0.3;
/// The longest step between samples along the curve, in pixels.
constexpr double kSampleStep = 1.0;
constexpr int kMostSamplesPerPiece = 64;

HandReading refused(const QString& why) {
    return {std::nullopt, why};
}

bool finite(double value) {
    return std::isfinite(value);
}

} // namespace

double HandDrawing::lastMs() const {
    double last = 0;
    for (const HandStroke& stroke : strokes) {
        for (const HandPoint& point : stroke.points) {
            last = std::max(last, point.ms);
        }
    }
    return last;
}

HandReading readHandDrawing(const QByteArray& bytes) {
    if (bytes.size() > kLargestStrokesFileBytes) {
        return refused(QStringLiteral("the strokes file is larger than %1 bytes")
                           .arg(kLargestStrokesFileBytes));
    }
    QJsonParseError parsing{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parsing);
    if (parsing.error != QJsonParseError::NoError) {
        return refused(QStringLiteral("the strokes file is not valid JSON (%1 at byte %2); it may "
                                      "be cut short or damaged")
                           .arg(parsing.errorString())
                           .arg(parsing.offset));
    }
    if (!document.isObject()) {
        return refused(QStringLiteral("the strokes file does not hold a JSON object"));
    }
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kFormatName) {
        return refused(QStringLiteral("the file is not a strokes file (its \"format\" is not "
                                      "\"%1\")")
                           .arg(kFormatName));
    }
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != kStrokesFileVersion) {
        return refused(QStringLiteral("the strokes file has version %1; this program reads "
                                      "version %2")
                           .arg(version.isDouble() ? QString::number(version.toDouble())
                                                   : QStringLiteral("(none)"))
                           .arg(kStrokesFileVersion));
    }
    HandDrawing drawing;
    const QJsonArray area = root.value(QStringLiteral("area")).toArray();
    if (area.size() != 2 || !area.at(0).isDouble() || !area.at(1).isDouble() ||
        !finite(area.at(0).toDouble()) || !finite(area.at(1).toDouble()) ||
        area.at(0).toDouble() <= 0 || area.at(1).toDouble() <= 0) {
        return refused(QStringLiteral("the strokes file's \"area\" is not two positive numbers"));
    }
    drawing.area = QSizeF(area.at(0).toDouble(), area.at(1).toDouble());
    const QColor colour(root.value(QStringLiteral("colour")).toString());
    if (!colour.isValid()) {
        return refused(QStringLiteral("the strokes file's \"colour\" is not a colour like "
                                      "\"#1a2b3c\""));
    }
    drawing.colour = colour;
    const QJsonValue width = root.value(QStringLiteral("penWidth"));
    if (!width.isDouble() || !finite(width.toDouble()) || width.toDouble() < kThinnestPen ||
        width.toDouble() > kWidestPen) {
        return refused(QStringLiteral("the strokes file's \"penWidth\" is not a number from %1 "
                                      "to %2")
                           .arg(kThinnestPen)
                           .arg(kWidestPen));
    }
    drawing.penWidth = width.toDouble();
    const QJsonValue strokes = root.value(QStringLiteral("strokes"));
    if (!strokes.isArray()) {
        return refused(QStringLiteral("the strokes file has no \"strokes\" list"));
    }
    qsizetype points = 0;
    for (const QJsonValue& value : strokes.toArray()) {
        const QJsonObject object = value.toObject();
        const QJsonValue list = object.value(QStringLiteral("points"));
        if (!value.isObject() || !list.isArray() || list.toArray().isEmpty()) {
            return refused(QStringLiteral("stroke %1 of the strokes file has no points")
                               .arg(drawing.strokes.size() + 1));
        }
        points += list.toArray().size();
        if (points > kMostHandPoints) {
            return refused(
                QStringLiteral("the strokes file holds more than %1 points").arg(kMostHandPoints));
        }
        HandStroke stroke;
        stroke.hasPressure = object.value(QStringLiteral("pressure")).toBool(false);
        const qsizetype expected = stroke.hasPressure ? 4 : 3;
        for (const QJsonValue& entry : list.toArray()) {
            const QJsonArray numbers = entry.toArray();
            const auto where = QStringLiteral("point %1 of stroke %2")
                                   .arg(stroke.points.size() + 1)
                                   .arg(drawing.strokes.size() + 1);
            if (numbers.size() != expected) {
                return refused(
                    QStringLiteral("%1 is not %2 numbers (x, y, ms%3)")
                        .arg(where)
                        .arg(expected)
                        .arg(stroke.hasPressure ? QStringLiteral(", pressure") : QString()));
            }
            std::array<double, 4> n{0, 0, 0, 1};
            for (qsizetype i = 0; i < expected; ++i) {
                if (!numbers.at(i).isDouble() || !finite(numbers.at(i).toDouble())) {
                    return refused(
                        QStringLiteral("%1 has a value that is not a finite number").arg(where));
                }
                n.at(std::size_t(i)) = numbers.at(i).toDouble();
            }
            if (n[2] < 0) {
                return refused(QStringLiteral("%1 has a negative time").arg(where));
            }
            if (n[3] < 0 || n[3] > 1) {
                return refused(QStringLiteral("%1 has a pressure outside 0 to 1").arg(where));
            }
            stroke.points.push_back({QPointF(n[0], n[1]), n[2], n[3]});
        }
        drawing.strokes.push_back(std::move(stroke));
    }
    return {std::move(drawing), {}};
}

QByteArray handDrawingJson(const HandDrawing& drawing) {
    QJsonArray strokes;
    for (const HandStroke& stroke : drawing.strokes) {
        QJsonArray points;
        for (const HandPoint& point : stroke.points) {
            QJsonArray numbers{point.at.x(), point.at.y(), point.ms};
            if (stroke.hasPressure) {
                numbers.append(point.pressure);
            }
            points.append(numbers);
        }
        strokes.append(QJsonObject{{QStringLiteral("pressure"), stroke.hasPressure},
                                   {QStringLiteral("points"), points}});
    }
    const QJsonObject root{
        {QStringLiteral("format"), kFormatName},
        {QStringLiteral("version"), kStrokesFileVersion},
        {QStringLiteral("area"), QJsonArray{drawing.area.width(), drawing.area.height()}},
        {QStringLiteral("colour"), drawing.colour.name(QColor::HexRgb)},
        {QStringLiteral("penWidth"), drawing.penWidth},
        {QStringLiteral("strokes"), strokes},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

void StrokeSmoother::add(const HandPoint& point) {
    m_settledBefore = m_settled.size();
    double share = 1;
    if (m_pressure) {
        share = kLightestPressureShare + (1 - kLightestPressureShare) * point.pressure;
    } else if (!m_points.empty()) {
        const double distance = QLineF(m_points.back(), point.at).length();
        // Events that come together (a coalesced batch) keep the speed they had.
        const double elapsed = point.ms - m_lastMs;
        if (elapsed > 0) {
            m_speed = (1 - kSpeedEasing) * m_speed + kSpeedEasing * (distance / elapsed);
        }
        share = std::max(kFastestShare, 1 / (1 + kSpeedThinning * m_speed));
    }
    m_lastMs = point.ms;
    m_points.push_back(point.at);
    m_radii.push_back(m_halfWidth * share);
    const std::size_t n = m_points.size();
    if (n == 1) {
        m_settled.push_back({point.at, m_radii.back()});
    } else if (n >= 3) {
        // The piece before the last now has both its neighbours, and is settled.
        appendPiece(n - 3 == 0 ? 0 : n - 4, n - 3, n - 2, n - 1);
    }
}

void StrokeSmoother::appendPiece(std::vector<InkSample>& into, std::size_t before, std::size_t from,
                                 std::size_t to, std::size_t after) const {
    // The Catmull-Rom curve from `from` to `to` as a cubic Bézier: it passes through every
    // point, its tangent at each the direction from the point before to the point after.
    const QPointF p0 = m_points[before];
    const QPointF p1 = m_points[from];
    const QPointF p2 = m_points[to];
    const QPointF p3 = m_points[after];
    const QPointF c1 = p1 + (p2 - p0) / 6;
    const QPointF c2 = p2 - (p3 - p1) / 6;
    const double length =
        QLineF(p1, c1).length() + QLineF(c1, c2).length() + QLineF(c2, p2).length();
    const int steps = std::clamp(int(std::ceil(length / kSampleStep)), 1, kMostSamplesPerPiece);
    for (int i = 1; i <= steps; ++i) {
        const double t = double(i) / steps;
        const double u = 1 - t;
        into.push_back({u * u * u * p1 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * p2,
                        u * m_radii[from] + t * m_radii[to]});
    }
}

void StrokeSmoother::appendPiece(std::size_t before, std::size_t from, std::size_t to,
                                 std::size_t after) {
    appendPiece(m_settled, before, from, to, after);
}

std::vector<InkSample> StrokeSmoother::tail() const {
    const std::size_t n = m_points.size();
    if (n < 2) {
        return {};
    }
    // The last piece, its far neighbour not known yet: the last point stands for it.
    std::vector<InkSample> samples;
    appendPiece(samples, n == 2 ? 0 : n - 3, n - 2, n - 1, n - 1);
    return samples;
}

std::vector<InkSample> StrokeSmoother::samples() const {
    std::vector<InkSample> all = m_settled;
    const std::vector<InkSample> rest = tail();
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

void addInkOutline(QPainterPath& path, const std::vector<InkSample>& samples) {
    path.setFillRule(Qt::WindingFill);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const InkSample& here = samples[i];
        path.addEllipse(here.at, here.radius, here.radius);
        if (i == 0) {
            continue;
        }
        const InkSample& before = samples[i - 1];
        const QLineF line(before.at, here.at);
        if (line.length() <= 0) {
            continue;
        }
        const QLineF normal = line.normalVector().unitVector();
        const QPointF n = normal.p2() - normal.p1();
        // Wound as addEllipse() winds its discs, so that where they overlap the winding rule
        // adds up and never cancels out.
        const QPolygonF band{before.at - n * before.radius, here.at - n * here.radius,
                             here.at + n * here.radius, before.at + n * before.radius};
        QPainterPath piece;
        piece.addPolygon(band);
        piece.closeSubpath();
        path.addPath(piece);
    }
}

std::vector<InkSample> strokeSamples(const HandStroke& stroke, double penWidth) {
    StrokeSmoother smoother(penWidth, stroke.hasPressure);
    for (const HandPoint& point : stroke.points) {
        smoother.add(point);
    }
    return smoother.samples();
}

QPainterPath strokeOutline(const HandStroke& stroke, double penWidth) {
    QPainterPath path;
    addInkOutline(path, strokeSamples(stroke, penWidth));
    return path;
}

QPainterPath strokeOutlineUntil(const HandStroke& stroke, double penWidth, double ms) {
    HandStroke before;
    before.hasPressure = stroke.hasPressure;
    for (const HandPoint& point : stroke.points) {
        if (point.ms > ms) {
            break;
        }
        before.points.push_back(point);
    }
    return strokeOutline(before, penWidth);
}

QRectF inkBounds(const HandDrawing& drawing) {
    QRectF bounds;
    for (const HandStroke& stroke : drawing.strokes) {
        bounds |= strokeOutline(stroke, drawing.penWidth).boundingRect();
    }
    return bounds;
}

} // namespace inkvale
