// The window "手写签名": strokes fed through the pad as mouse, tablet and touch events, what
// it paints against what it records, undo and clear, the strokes file saved and opened, the
// exports against inkvale-render drawing the saved file, copying, and tracing scored.
#include "core/PenStrokes.h"
#include "pad/DrawingPad.h"
#include "pad/PadWindow.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPointingDevice>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTabletEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

const QString kProgram = QStringLiteral(INKVALE_RENDER_EXE);

enum class Device { Mouse, PenWithPressure, PenWithoutPressure, Touch };

/// A stroke's points: a wave across the pad.
QList<QPoint> wavePoints(int count, QPoint from = {40, 100}) {
    QList<QPoint> points;
    for (int i = 0; i < count; ++i) {
        points.append(from + QPoint(6 * i, int(std::lround(40 * std::sin(i / 5.0)))));
    }
    return points;
}

double pressureAt(int i, int count) {
    return 0.2 + 0.8 * i / std::max(1, count - 1);
}

/// Sends a tablet event of `type` at `at` to `pad`, `ms` its time stamp.
void tablet(DrawingPad& pad, const QPointingDevice& device, QEvent::Type type, QPointF at,
            double pressure, quint64 ms) {
    const Qt::MouseButtons buttons = type == QEvent::TabletRelease ? Qt::NoButton : Qt::LeftButton;
    QTabletEvent event(type, &device, at, pad.mapToGlobal(at), pressure, 0, 0, 0, 0, 0,
                       Qt::NoModifier, Qt::LeftButton, buttons);
    event.setTimestamp(ms);
    QApplication::sendEvent(&pad, &event);
}

/// Draws `points` on `pad` as one stroke from `device`.
void draw(DrawingPad& pad, Device device, const QList<QPoint>& points) {
    static QPointingDevice pen(
        QStringLiteral("pen"), 9001, QInputDevice::DeviceType::Stylus,
        QPointingDevice::PointerType::Pen,
        QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 2);
    static QPointingDevice plainPen(
        QStringLiteral("plain pen"), 9002, QInputDevice::DeviceType::Stylus,
        QPointingDevice::PointerType::Pen, QInputDevice::Capability::Position, 1, 2);
    static QPointingDevice* touch = QTest::createTouchDevice();
    static quint64 clock = 1000;
    const int count = int(points.size());
    switch (device) {
    case Device::Mouse:
        QTest::mousePress(&pad, Qt::LeftButton, Qt::NoModifier, points.first());
        for (int i = 1; i < count; ++i) {
            QTest::mouseMove(&pad, points.at(i));
        }
        QTest::mouseRelease(&pad, Qt::LeftButton, Qt::NoModifier, points.last());
        break;
    case Device::PenWithPressure:
    case Device::PenWithoutPressure: {
        const QPointingDevice& used = device == Device::PenWithPressure ? pen : plainPen;
        for (int i = 0; i < count; ++i) {
            clock += 1; // a 1 kHz tablet
            tablet(pad, used, i == 0 ? QEvent::TabletPress : QEvent::TabletMove, points.at(i),
                   pressureAt(i, count), clock);
        }
        tablet(pad, used, QEvent::TabletRelease, points.last(), 0, ++clock);
        break;
    }
    case Device::Touch: {
        QTest::touchEvent(&pad, touch).press(0, points.first(), &pad);
        for (int i = 1; i < count; ++i) {
            QTest::touchEvent(&pad, touch).move(0, points.at(i), &pad);
        }
        QTest::touchEvent(&pad, touch).release(0, points.last(), &pad);
        break;
    }
    }
}

/// Output of inkvale-render run to its end.
QByteArray render(const QStringList& arguments) {
    QProcess process;
    process.start(kProgram, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        qWarning() << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// A model of two bars, a horizontal then a vertical one, on a pad-sized canvas.
TracingModel barsModel() {
    TracingModel model;
    model.ink = QImage(680, 194, QImage::Format_ARGB32_Premultiplied);
    model.ink.fill(Qt::transparent);
    model.medians = {QPolygonF{QPointF(100, 60), QPointF(500, 60)},
                     QPolygonF{QPointF(300, 30), QPointF(300, 170)}};
    model.tolerance = 30;
    QPainter painter(&model.ink);
    painter.setPen(QPen(Qt::black, 10, Qt::SolidLine, Qt::RoundCap));
    for (const QPolygonF& median : model.medians) {
        painter.drawPolyline(median);
    }
    return model;
}

QList<QPoint> along(const QPolygonF& line, int steps) {
    QList<QPoint> points;
    for (int i = 0; i <= steps; ++i) {
        points.append((line.front() + (line.back() - line.front()) * i / steps).toPoint());
    }
    return points;
}

} // namespace

Q_DECLARE_METATYPE(Device)

class TestPad final : public QObject {
    Q_OBJECT

private slots:
    void strokesFromEveryDevice_data() {
        QTest::addColumn<Device>("device");
        QTest::addColumn<bool>("hasPressure");
        QTest::newRow("mouse") << Device::Mouse << false;
        QTest::newRow("pen with pressure") << Device::PenWithPressure << true;
        QTest::newRow("pen without pressure") << Device::PenWithoutPressure << false;
        QTest::newRow("touch") << Device::Touch << false;
    }

    void strokesFromEveryDevice() {
        QFETCH(Device, device);
        QFETCH(bool, hasPressure);
        DrawingPad pad;
        pad.setPenWidth(6);
        pad.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pad));
        const QList<QPoint> points = wavePoints(60);
        draw(pad, device, points);
        const HandDrawing& drawing = pad.drawing();
        QCOMPARE(drawing.strokes.size(), std::size_t(1));
        const HandStroke& stroke = drawing.strokes.front();
        QCOMPARE(stroke.hasPressure, hasPressure);
        QCOMPARE(int(stroke.points.size()), int(points.size()) + (device == Device::Touch ? 1 : 0));
        for (std::size_t i = 1; i < stroke.points.size(); ++i) {
            QVERIFY(stroke.points[i].ms >= stroke.points[i - 1].ms);
        }
        if (hasPressure) {
            QCOMPARE(stroke.points.back().pressure, pressureAt(59, 60));
            QVERIFY(stroke.points.front().pressure < 0.3);
        }
        // The outline it records holds every point within half the pen's width, and the pad
        // shows ink on every point: what was painted as it came is what was recorded.
        const QPainterPath outline = strokeOutline(stroke, drawing.penWidth);
        const QImage shown = pad.grab().toImage();
        const double half = drawing.penWidth / 2 / std::sqrt(2.0);
        for (const QPoint& point : points) {
            QVERIFY(outline.intersects(
                QRectF(point - QPointF(half, half), QSizeF(2 * half, 2 * half))));
            QVERIFY2(
                qGray(shown.pixel(point * shown.devicePixelRatio())) < 160,
                qPrintable(QStringLiteral("no ink shown at %1,%2").arg(point.x()).arg(point.y())));
        }
        // And only there: far from the stroke the pad is blank.
        QCOMPARE(shown.pixel(QPoint(20, 20) * shown.devicePixelRatio()), qRgb(255, 255, 255));
    }

    void undoAndClear() {
        FakePlatform platform;
        PadWindow window(platform, std::nullopt);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        DrawingPad& pad = window.pad();
        auto* undo = window.findChild<QPushButton*>(QStringLiteral("UndoStroke"));
        auto* clear = window.findChild<QPushButton*>(QStringLiteral("ClearPad"));
        QVERIFY(undo != nullptr && clear != nullptr);
        QVERIFY(!undo->isEnabled());
        draw(pad, Device::Mouse, wavePoints(20));
        draw(pad, Device::Mouse, wavePoints(20, {300, 60}));
        QVERIFY(undo->isEnabled());
        const QImage two = pad.grab().toImage();
        undo->click();
        QCOMPARE(pad.drawing().strokes.size(), std::size_t(1));
        const QImage one = pad.grab().toImage();
        QVERIFY(one != two);
        // Ctrl+Z undoes too.
        QTest::keyClick(&pad, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(pad.drawing().isEmpty());
        draw(pad, Device::Mouse, wavePoints(20));
        clear->click();
        QVERIFY(pad.drawing().isEmpty());
        QCOMPARE(pad.grab().toImage().pixel(QPoint(40, 100) * pad.devicePixelRatio()),
                 qRgb(255, 255, 255));
        QVERIFY(!undo->isEnabled());
    }

    void exportsEqualRenderingTheSavedFile_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        const QStringList trimmed{QStringLiteral("--trim"), QStringLiteral("4")};
        const QStringList dpi{QStringLiteral("--dpi"), QStringLiteral("300")};
        QTest::newRow("transparent png")
            << 0 << "png" << (trimmed + dpi + QStringList{QStringLiteral("--transparent")});
        QTest::newRow("png") << 1 << "png" << trimmed + dpi;
        QTest::newRow("jpeg") << 2 << "jpg" << trimmed + dpi;
        QTest::newRow("svg") << 3 << "svg" << trimmed;
        QTest::newRow("pdf") << 4 << "pdf" << trimmed;
        QTest::newRow("gif") << 5 << "gif" << QStringList{QStringLiteral("--animate")};
        QTest::newRow("webp") << 6 << "webp" << QStringList{QStringLiteral("--animate")};
        QTest::newRow("animated svg") << 7 << "svg" << QStringList{QStringLiteral("--animate")};
    }

    void exportsEqualRenderingTheSavedFile() {
        QFETCH(int, filter);
        QFETCH(QString, extension);
        QFETCH(QStringList, options);
        QTemporaryDir folder;
        FakePlatform platform;
        PadWindow window(platform, std::nullopt);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        draw(window.pad(), Device::PenWithPressure, wavePoints(50));
        draw(window.pad(), Device::Mouse, wavePoints(30, {380, 80}));
        const QString strokes = folder.filePath(QStringLiteral("hand.json"));
        const QString exported = folder.filePath(QStringLiteral("hand.") + extension);
        platform.saveAnswers = {SaveAnswer{strokes, 0, 0, false, 0},
                                SaveAnswer{exported, filter, 0, true, 0}};
        window.saveStrokes();
        window.exportDrawing();
        const QByteArray bytes = fileBytes(exported);
        QVERIFY(!bytes.isEmpty());
        const QByteArray rendered =
            render(QStringList{QStringLiteral("--strokes"), strokes, QStringLiteral("-o"),
                               QStringLiteral("-"), QStringLiteral("--format"), extension} +
                   options);
        QCOMPARE(rendered.size(), bytes.size());
        QVERIFY(rendered == bytes);
    }

    void savedStrokesOpenAgain() {
        QTemporaryDir folder;
        FakePlatform platform;
        PadWindow window(platform, std::nullopt);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        draw(window.pad(), Device::PenWithPressure, wavePoints(30));
        const QString path = folder.filePath(QStringLiteral("hand.json"));
        platform.saveAnswers = {SaveAnswer{path, 0, 0, false, 0}};
        window.saveStrokes();
        const QByteArray saved = fileBytes(path);
        window.pad().clear();
        platform.filesToOpen = {path};
        window.openStrokes();
        QCOMPARE(handDrawingJson(window.pad().drawing()), saved);
    }

    void badStrokesFileRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray head = "{\"format\":\"inkvale-strokes\",\"version\":1,\"area\":[10,10],"
                                "\"colour\":\"#000000\",\"penWidth\":2,\"strokes\":";
        QTest::newRow("truncated") << head + "[{\"points\":[[1,1,";
        QTest::newRow("NaN") << head + "[{\"points\":[[NaN,0,0]]}]}";
        QTest::newRow("negative pressure")
            << head + "[{\"pressure\":true,\"points\":[[1,1,0,-1]]}]}";
        QTest::newRow("huge") << QByteArray(kLargestStrokesFileBytes + 10, ' ');
    }

    void badStrokesFileRefused() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bad.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        FakePlatform platform;
        PadWindow window(platform, std::nullopt);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        draw(window.pad(), Device::Mouse, wavePoints(10));
        const QByteArray before = handDrawingJson(window.pad().drawing());
        platform.filesToOpen = {path};
        window.openStrokes();
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(platform.messages.first().text.startsWith(QStringLiteral("笔迹文件无法打开!")));
        QCOMPARE(platform.messages.first().style, MessageStyle::Warning);
        // The drawing on the pad is kept.
        QCOMPARE(handDrawingJson(window.pad().drawing()), before);
    }

    void copyGivesPngAndSvg() {
        FakePlatform platform;
        PadWindow window(platform, std::nullopt);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        draw(window.pad(), Device::Mouse, wavePoints(30));
        window.copyDrawing();
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QVERIFY(data != nullptr);
        QVERIFY(data->data(QStringLiteral("image/png")).startsWith("\x89PNG"));
        QVERIFY(data->data(QStringLiteral("image/svg+xml")).contains("<svg"));
        const auto plain = qvariant_cast<QImage>(data->imageData());
        QVERIFY(!plain.isNull());
        // 300 dpi, cut to the ink: wider than tall, as the wave is.
        QCOMPARE(plain.dotsPerMeterX(), qRound(300 / 0.0254));
        QVERIFY(plain.width() > plain.height());
    }

    void dragGivesTheCopyAndAFile() {
        FakePlatform platform;
        PadWindow window(platform, std::nullopt);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        auto* handle = window.findChild<QWidget*>(QStringLiteral("DragDrawing"));
        QVERIFY(handle != nullptr);
        QVERIFY(!handle->isEnabled());
        QVERIFY(window.dragMimeData() == nullptr);
        draw(window.pad(), Device::Mouse, wavePoints(30));
        QVERIFY(handle->isEnabled());
        const std::unique_ptr<QMimeData> data = window.dragMimeData();
        QVERIFY(data != nullptr);
        const QByteArray png = data->data(QStringLiteral("image/png"));
        QCOMPARE(png, handMimeData(window.pad().drawing())->data(QStringLiteral("image/png")));
        // A file manager gets the same PNG as a file of the program's own.
        QCOMPARE(data->urls().size(), 1);
        const QString path = data->urls().first().toLocalFile();
        QVERIFY2(QFileInfo(path).dir().dirName().startsWith(QLatin1String("inkvale-drag-")),
                 qPrintable(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), png);
        // The next drag takes a folder of its own; the last one's goes.
        const std::unique_ptr<QMimeData> again = window.dragMimeData();
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(QFileInfo::exists(again->urls().first().toLocalFile()));
    }

    void tracingScoredAndBestKept() {
        FakePlatform platform;
        PadWindow window(platform, barsModel());
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.pages().setCurrentIndex(1);
        DrawingPad& pad = window.tracingPad();
        QCOMPARE(pad.size(), QSize(680, 194));
        const TracingModel model = barsModel();
        // Backwards and out of order first, then as the model goes.
        draw(pad, Device::Mouse,
             along(QPolygonF{model.medians[1].back(), model.medians[1].front()}, 40));
        draw(pad, Device::Mouse,
             along(QPolygonF{model.medians[0].back(), model.medians[0].front()}, 80));
        window.scoreAttempt();
        QCOMPARE(window.kept().size(), std::size_t(1));
        const TraceScore reversed = window.kept().front().score;
        QCOMPARE(reversed.wrongStrokes.size(), std::size_t(2));
        QVERIFY(pad.drawing().isEmpty());
        draw(pad, Device::Mouse, along(model.medians[0], 80));
        draw(pad, Device::Mouse, along(model.medians[1], 40));
        window.scoreAttempt();
        QCOMPARE(window.kept().size(), std::size_t(2));
        const TraceScore best = window.kept().front().score;
        QVERIFY(best.wrongStrokes.empty());
        QVERIFY2(best.coverage > 0.9, qPrintable(QString::number(best.coverage)));
        QVERIFY(best.outside < 0.1);
        QVERIFY(best.score > reversed.score);
        auto* result = window.findChild<QLabel*>(QStringLiteral("TraceResult"));
        QVERIFY(result->text().startsWith(QStringLiteral("得分 %1").arg(best.score)));
        // An empty attempt scores nothing and is not kept.
        window.scoreAttempt();
        QVERIFY(result->text().startsWith(QStringLiteral("得分 0")));
        QCOMPARE(window.kept().size(), std::size_t(2));
        // The best one leaves the window as a drawing does.
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("best.svg"));
        platform.saveAnswers = {SaveAnswer{path, 3, 0, true, 0}};
        window.exportBest();
        QVERIFY(fileBytes(path).contains("<path"));
    }
};

QTEST_MAIN(TestPad)
#include "tst_pad.moc"
