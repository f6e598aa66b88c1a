// Hand-drawn strokes as data: the strokes file read strictly, the smoothing that settles a
// stroke as it comes, the outlines against the points they came from, the drawing fitted and
// written as the exports write it, and tracings scored against a model.
#include "core/HandExport.h"
#include "core/PenStrokes.h"
#include "core/TraceScore.h"

#include <QPainter>
#include <QTest>

#include <cmath>

using namespace inkvale;

Q_DECLARE_METATYPE(inkvale::HandStroke)
Q_DECLARE_METATYPE(inkvale::OutputFormat)

namespace {

/// A stroke of `count` points along a wave from `from`, `stepMs` apart, with pressure rising
/// from 0.1 to 1 when `pressure`, else moving faster towards its end.
HandStroke wave(QPointF from, int count, double stepMs, bool pressure, double startMs = 0) {
    HandStroke stroke;
    stroke.hasPressure = pressure;
    double x = from.x();
    for (int i = 0; i < count; ++i) {
        // Without pressure the steps grow, so that the speed changes the width.
        x += pressure ? 3.0 : 1.0 + i * 0.2;
        stroke.points.push_back({QPointF(x, from.y() + 30 * std::sin(i / 6.0)),
                                 startMs + i * stepMs, 0.1 + 0.9 * i / std::max(1, count - 1)});
    }
    return stroke;
}

HandDrawing sample() {
    HandDrawing drawing;
    drawing.colour = QColor(QStringLiteral("#203080"));
    drawing.penWidth = 6;
    drawing.strokes = {wave({40, 90}, 50, 8, false), wave({300, 100}, 40, 5, true, 700)};
    return drawing;
}

QByteArray sampleFile(const QString& strokesJson) {
    return QStringLiteral(R"({"format":"inkvale-strokes","version":1,"area":[680,194],)"
                          R"("colour":"#000000","penWidth":4,"strokes":%1})")
        .arg(strokesJson)
        .toUtf8();
}

/// Whether `path` has ink within `reach` of `point`: a square inside that circle meets it.
bool inkNear(const QPainterPath& path, QPointF point, double reach) {
    const double half = reach / std::sqrt(2.0);
    return path.intersects(QRectF(point - QPointF(half, half), QSizeF(2 * half, 2 * half)));
}

/// A model of two thick strokes (a horizontal and a vertical bar), its medians in order.
struct Model {
    QImage ink;
    std::vector<QPolygonF> medians;
};

Model model() {
    Model made;
    made.ink = QImage(200, 120, QImage::Format_ARGB32_Premultiplied);
    made.ink.fill(Qt::transparent);
    made.medians = {QPolygonF{QPointF(40, 40), QPointF(160, 40)},
                    QPolygonF{QPointF(100, 20), QPointF(100, 100)}};
    QPainter painter(&made.ink);
    painter.setPen(QPen(Qt::black, 8, Qt::SolidLine, Qt::RoundCap));
    for (const QPolygonF& median : made.medians) {
        painter.drawPolyline(median);
    }
    return made;
}

/// `lines` drawn as a tracing with a pen `width` wide, and their centrelines.
std::pair<QImage, std::vector<QPolygonF>> attempt(const std::vector<QPolygonF>& lines, int width) {
    QImage ink(200, 120, QImage::Format_ARGB32_Premultiplied);
    ink.fill(Qt::transparent);
    QPainter painter(&ink);
    painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::RoundCap));
    for (const QPolygonF& line : lines) {
        painter.drawPolyline(line);
    }
    return {ink, lines};
}

QPolygonF reversed(const QPolygonF& line) {
    return QPolygonF(QList<QPointF>(line.crbegin(), line.crend()));
}

QPolygonF moved(const QPolygonF& line, QPointF by) {
    return line.translated(by);
}

} // namespace

class TestPenStrokes final : public QObject {
    Q_OBJECT

private slots:
    void fileRoundTrip() {
        const HandDrawing drawing = sample();
        const HandReading read = readHandDrawing(handDrawingJson(drawing));
        QVERIFY2(read.drawing.has_value(), qPrintable(read.error));
        QCOMPARE(read.drawing->area, drawing.area);
        QCOMPARE(read.drawing->colour, drawing.colour);
        QCOMPARE(read.drawing->penWidth, drawing.penWidth);
        QCOMPARE(read.drawing->strokes.size(), drawing.strokes.size());
        for (std::size_t s = 0; s < drawing.strokes.size(); ++s) {
            const HandStroke& want = drawing.strokes[s];
            const HandStroke& got = read.drawing->strokes[s];
            QCOMPARE(got.hasPressure, want.hasPressure);
            QCOMPARE(got.points.size(), want.points.size());
            for (std::size_t i = 0; i < want.points.size(); ++i) {
                QCOMPARE(got.points[i].at, want.points[i].at);
                QCOMPARE(got.points[i].ms, want.points[i].ms);
                if (want.hasPressure) {
                    QCOMPARE(got.points[i].pressure, want.points[i].pressure);
                }
            }
        }
        // The same drawing is the same file, and so draws the same bytes.
        QCOMPARE(handDrawingJson(*read.drawing), handDrawingJson(drawing));
    }

    void badFilesRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QByteArray whole =
            sampleFile(QStringLiteral(R"([{"pressure":true,"points":[[1,2,0,0.5]]}])"));
        QTest::newRow("truncated") << whole.left(whole.size() - 9) << "not valid JSON";
        QTest::newRow("empty") << QByteArray() << "not valid JSON";
        QTest::newRow("huge")
            << QByteArray(kLargestStrokesFileBytes + 1, ' ')
            << QStringLiteral("larger than %1 bytes").arg(kLargestStrokesFileBytes);
        QString many = QStringLiteral(R"([{"points":[)");
        for (int i = 0; i <= kMostHandPoints; ++i) {
            many += i == 0 ? QStringLiteral("[0,0,0]") : QStringLiteral(",[0,0,0]");
        }
        many += QStringLiteral("]}]");
        QTest::newRow("too many points")
            << sampleFile(many) << QStringLiteral("more than %1 points").arg(kMostHandPoints);
        QTest::newRow("NaN") << sampleFile(QStringLiteral(R"([{"points":[[NaN,2,0]]}])"))
                             << "not valid JSON";
        QTest::newRow("infinite") << sampleFile(QStringLiteral(R"([{"points":[[1e999,2,0]]}])"))
                                  << "illegal number";
        QTest::newRow("negative pressure")
            << sampleFile(
                   QStringLiteral(R"([{"pressure":true,"points":[[1,2,0,0.5],[1,2,3,-0.1]]}])"))
            << "point 2 of stroke 1 has a pressure outside 0 to 1";
        QTest::newRow("pressure above one")
            << sampleFile(QStringLiteral(R"([{"pressure":true,"points":[[1,2,0,1.5]]}])"))
            << "pressure outside 0 to 1";
        QTest::newRow("negative time")
            << sampleFile(QStringLiteral(R"([{"points":[[1,2,-5]]}])")) << "negative time";
        QTest::newRow("missing pressure")
            << sampleFile(QStringLiteral(R"([{"pressure":true,"points":[[1,2,0]]}])"))
            << "is not 4 numbers";
        QTest::newRow("stroke without points") << sampleFile(QStringLiteral(R"([{"points":[]}])"))
                                               << "stroke 1 of the strokes file has no points";
        QTest::newRow("wrong version")
            << QByteArray(R"({"format":"inkvale-strokes","version":2,"strokes":[]})")
            << "has version 2; this program reads version 1";
        QTest::newRow("another format")
            << QByteArray(R"({"format":"svg","version":1})") << "not a strokes file";
        QTest::newRow("a list") << QByteArray("[1,2,3]") << "does not hold a JSON object";
        QByteArray wide = sampleFile(QStringLiteral("[]"));
        wide.replace("\"penWidth\":4", "\"penWidth\":400");
        QTest::newRow("pen too wide") << wide << "\"penWidth\" is not a number";
        QByteArray flat = sampleFile(QStringLiteral("[]"));
        flat.replace("[680,194]", "[680,0]");
        QTest::newRow("no area") << flat << "\"area\" is not two positive numbers";
    }

    void badFilesRefused() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const HandReading read = readHandDrawing(bytes);
        QVERIFY(!read.drawing.has_value());
        QVERIFY2(read.error.contains(message), qPrintable(read.error));
    }

    void smoothingSettlesAsItGoes() {
        // A new point changes only the last piece: what was settled stays as it was.
        const HandStroke stroke = wave({10, 50}, 40, 4, false);
        StrokeSmoother smoother(6, false);
        std::vector<InkSample> before;
        for (const HandPoint& point : stroke.points) {
            smoother.add(point);
            QCOMPARE(smoother.settledBefore(), before.size());
            QVERIFY(smoother.settled().size() >= before.size());
            for (std::size_t i = 0; i < before.size(); ++i) {
                QCOMPARE(smoother.settled()[i].at, before[i].at);
                QCOMPARE(smoother.settled()[i].radius, before[i].radius);
            }
            before = smoother.settled();
        }
        // The curve ends where the pen lifted.
        QCOMPARE(smoother.samples().back().at, stroke.points.back().at);
    }

    void outlineFollowsThePoints_data() {
        QTest::addColumn<HandStroke>("stroke");
        QTest::addColumn<double>("width");
        QTest::newRow("mouse, speeding up") << wave({20, 80}, 60, 6, false) << 6.0;
        QTest::newRow("tablet, pressure") << wave({20, 80}, 60, 2, true) << 10.0;
        QTest::newRow("thin pen") << wave({20, 80}, 30, 16, false) << 1.0;
        HandStroke dot;
        dot.points = {{QPointF(50, 50), 0, 1}};
        QTest::newRow("a dot") << dot << 8.0;
        HandStroke zigzag;
        for (int i = 0; i < 20; ++i) {
            zigzag.points.push_back({QPointF(10 + 8 * i, i % 2 == 0 ? 10 : 60), i * 10.0, 1});
        }
        QTest::newRow("zigzag") << zigzag << 4.0;
        HandStroke straight;
        for (int i = 0; i <= 80; ++i) {
            straight.points.push_back({QPointF(100 + 5 * i, 60), double(i), 1});
        }
        QTest::newRow("straight and fast") << straight << 4.0;
    }

    void outlineFollowsThePoints() {
        QFETCH(HandStroke, stroke);
        QFETCH(double, width);
        const QPainterPath outline = strokeOutline(stroke, width);
        QRectF points;
        for (const HandPoint& point : stroke.points) {
            QVERIFY2(inkNear(outline, point.at, width / 2),
                     qPrintable(
                         QStringLiteral("no ink near %1,%2").arg(point.at.x()).arg(point.at.y())));
            points |= QRectF(point.at, QSizeF(0, 0)).adjusted(-0.01, -0.01, 0.01, 0.01);
        }
        // Nor does the ink reach beyond the pen's half width around the points.
        const QRectF reach =
            points.adjusted(-width / 2 - 0.5, -width / 2 - 0.5, width / 2 + 0.5, width / 2 + 0.5);
        QVERIFY(reach.contains(outline.boundingRect()));
    }

    void widthFromPressureAndSpeed() {
        // Light pressure draws thinner than full pressure; speed thins a stroke without it.
        HandStroke light = wave({10, 50}, 20, 4, true);
        for (HandPoint& point : light.points) {
            point.pressure = 0.1;
        }
        HandStroke heavy = light;
        for (HandPoint& point : heavy.points) {
            point.pressure = 1;
        }
        QVERIFY(strokeOutline(light, 8).boundingRect().height() <
                strokeOutline(heavy, 8).boundingRect().height() - 3);
        HandStroke slow;
        HandStroke fast;
        for (int i = 0; i < 20; ++i) {
            slow.points.push_back({QPointF(10 + 5 * i, 50), i * 50.0, 1});
            fast.points.push_back({QPointF(10 + 5 * i, 50), i * 1.0, 1});
        }
        const std::vector<InkSample> slowSamples = strokeSamples(slow, 8);
        const std::vector<InkSample> fastSamples = strokeSamples(fast, 8);
        QVERIFY(fastSamples.back().radius < slowSamples.back().radius * 0.6);
        QVERIFY(slowSamples.back().radius > 3.5);
    }

    void exportsAreFilledOutlinesAndRepeat_data() {
        QTest::addColumn<OutputFormat>("format");
        QTest::newRow("png") << OutputFormat::Png;
        QTest::newRow("jpeg") << OutputFormat::Jpeg;
        QTest::newRow("bmp") << OutputFormat::Bitmap;
        QTest::newRow("svg") << OutputFormat::Svg;
        QTest::newRow("pdf") << OutputFormat::Pdf;
    }

    void exportsAreFilledOutlinesAndRepeat() {
        QFETCH(OutputFormat, format);
        SignatureLook look;
        look.dotsPerInch = 300;
        const QByteArray first =
            HandExport(sample(), look).draw(format, 4, QStringLiteral("手写")).bytes();
        QVERIFY(!first.isEmpty());
        QCOMPARE(HandExport(sample(), look).draw(format, 4, QStringLiteral("手写")).bytes(), first);
        if (format == OutputFormat::Svg) {
            QVERIFY(first.contains("<path"));
            QVERIFY(!first.contains("stroke-width"));
        }
    }

    void fittedToTheCanvas() {
        SignatureLook look;
        const HandExport hand(sample(), look);
        const VectorPicture picture = hand.outlines();
        const QRectF inner(QPointF(0, 0), QSizeF(hand.innerPixels()));
        QCOMPARE(picture.viewport, inner);
        // Centred, and filling the room in one direction to the margin.
        const QRectF ink =
            picture.items.back().path.boundingRect() | picture.items.at(1).path.boundingRect();
        QVERIFY(inner.contains(ink));
        QVERIFY(std::abs(ink.center().x() - inner.center().x()) < 1);
        QVERIFY(std::abs(ink.center().y() - inner.center().y()) < 1);
        const double share = std::max(ink.width() / inner.width(), ink.height() / inner.height());
        QVERIFY(std::abs(share - (1 - 2 * kHandMargin)) < 0.01);
    }

    void animationReplaysThePace() {
        SignatureLook look;
        const HandExport hand(sample(), look);
        const QByteArray gif = hand.animated(AnimationFormat::Gif, 25, QStringLiteral("手写"));
        QVERIFY(gif.startsWith("GIF89a"));
        QVERIFY(hand.animated(AnimationFormat::Webp, 25, {}).startsWith("RIFF"));
        const QByteArray svg = hand.animated(AnimationFormat::Svg, 25, {});
        // The second stroke starts where it was drawn: 700 ms, after a pause under the longest.
        QVERIFY(svg.contains("<animate"));
        QVERIFY(svg.contains("begin=\"0.7s\""));
        // Half-way through, only the first stroke shows.
        const QImage part = hand.image(400.0);
        const QImage whole = hand.image();
        QVERIFY(part != whole);
        QCOMPARE(hand.image(sample().lastMs()), whole);
    }

    void scores_data() {
        QTest::addColumn<std::vector<QPolygonF>>("lines");
        QTest::addColumn<double>("coverageAtLeast");
        QTest::addColumn<double>("coverageAtMost");
        QTest::addColumn<double>("outsideAtMost");
        QTest::addColumn<double>("outsideAtLeast");
        QTest::addColumn<int>("wrong");
        QTest::addColumn<int>("scoreAtLeast");
        QTest::addColumn<int>("scoreAtMost");
        const Model m = model();
        QTest::newRow("perfect trace") << m.medians << 0.97 << 1.0 << 0.02 << 0.0 << 0 << 95 << 100;
        QTest::newRow("empty attempt")
            << std::vector<QPolygonF>{} << 0.0 << 0.0 << 0.0 << 0.0 << 0 << 0 << 0;
        QTest::newRow("beside the model")
            << std::vector<QPolygonF>{moved(m.medians[0], {0, 60}), moved(m.medians[1], {60, 0})}
            << 0.0 << 0.15 << 1.0 << 0.8 << 2 << 0 << 35;
        QTest::newRow("reverse order")
            << std::vector<QPolygonF>{reversed(m.medians[1]), reversed(m.medians[0])} << 0.97 << 1.0
            << 0.02 << 0.0 << 2 << 80 << 90;
        QTest::newRow("right order, backwards")
            << std::vector<QPolygonF>{reversed(m.medians[0]), reversed(m.medians[1])} << 0.97 << 1.0
            << 0.02 << 0.0 << 2 << 80 << 90;
        QTest::newRow("half of it")
            << std::vector<QPolygonF>{m.medians[0]} << 0.4 << 0.7 << 0.02 << 0.0 << 0 << 50 << 75;
    }

    void scores() {
        QFETCH(std::vector<QPolygonF>, lines);
        QFETCH(double, coverageAtLeast);
        QFETCH(double, coverageAtMost);
        QFETCH(double, outsideAtMost);
        QFETCH(double, outsideAtLeast);
        QFETCH(int, wrong);
        QFETCH(int, scoreAtLeast);
        QFETCH(int, scoreAtMost);
        const Model m = model();
        const auto [ink, centrelines] = attempt(lines, 6);
        TraceScore score;
        compareStrokeOrder(m.medians, centrelines, 15, score);
        scoreTrace(m.ink, ink, 3, score);
        QVERIFY2(score.coverage >= coverageAtLeast && score.coverage <= coverageAtMost,
                 qPrintable(QString::number(score.coverage)));
        QVERIFY2(score.outside >= outsideAtLeast && score.outside <= outsideAtMost,
                 qPrintable(QString::number(score.outside)));
        QVERIFY(score.orderKnown);
        QCOMPARE(int(score.wrongStrokes.size()), wrong);
        QVERIFY2(score.score >= scoreAtLeast && score.score <= scoreAtMost,
                 qPrintable(QString::number(score.score)));
        // The picture marks what was missed in red and what went outside in blue.
        QCOMPARE(score.picture.size(), m.ink.size());
        QCOMPARE(score.picture.pixel(70, 40) == kTraceMissColour.rgb(), score.coverage < 0.3);
        if (outsideAtLeast > 0) {
            QCOMPARE(score.picture.pixel(70, 100), kTraceOutsideColour.rgb());
        }
    }
};

QTEST_GUILESS_MAIN(TestPenStrokes)
#include "tst_penstrokes.moc"
