#include "core/SignatureSurface.h"

#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>
#include <QTest>

using namespace inkvale;

namespace {

const QString kLatinFace = QStringLiteral("DejaVu Sans");

/// The bounding box, in device-independent pixels, of every pixel that differs from `reference`.
QRectF inkBounds(const QImage& image, const QImage& reference) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != reference.pixel(x, y)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    const qreal ratio = image.devicePixelRatio();
    return box.isNull() ? QRectF()
                        : QRectF(box.x() / ratio, box.y() / ratio, box.width() / ratio,
                                 box.height() / ratio);
}

/// The empty canvas of a surface of the same kind: background and picture only.
QImage blankOf(SignatureSurface& surface) {
    surface.cls();
    return surface.image().copy();
}

/// A surface drawn for a screen of a fixed device pixel ratio.
class ScaledSurface final : public SignatureSurface {
public:
    explicit ScaledSurface(qreal ratio)
        : m_ratio(ratio) {}

protected:
    [[nodiscard]] qreal targetDevicePixelRatio() const override { return m_ratio; }

private:
    qreal m_ratio = 1.0;
};

} // namespace

class TestSignatureSurface final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void centredPrintPosition_data();
    void centredPrintPosition();
    void startsAsDesigned();
    void inkLiesWhereTheArithmeticPutsIt_data();
    void inkLiesWhereTheArithmeticPutsIt();
    void longNameRunsPastBothEdges();
    void secondRenderingReplacesTheFirst();
    void blankNameLeavesOnlyTheBackground();
    void sizeScalesTheMeasure();
    void textColourAndPictureUnderneath();
    void missingCharactersComeFromAFallbackFont();
};

void TestSignatureSurface::initTestCase() {
    if (!QFontDatabase::families().contains(kLatinFace)) {
        QSKIP("needs the DejaVu Sans font (Debian package fonts-dejavu-core)");
    }
}

void TestSignatureSurface::centredPrintPosition_data() {
    QTest::addColumn<QSizeF>("outer");
    QTest::addColumn<QSizeF>("text");
    QTest::addColumn<QPointF>("expected");

    QTest::newRow("canvas, small text")
        << QSizeF(5100, 1455) << QSizeF(1200, 840) << QPointF(1950, 307.5);
    QTest::newRow("odd sizes keep halves")
        << QSizeF(5100, 1455) << QSizeF(1201, 841) << QPointF(1949.5, 307);
    QTest::newRow("text as large as the canvas")
        << QSizeF(5100, 1455) << QSizeF(5100, 1455) << QPointF(0, 0);
    QTest::newRow("wider and higher than the canvas")
        << QSizeF(5100, 1455) << QSizeF(7000, 1800) << QPointF(-950, -172.5);
    QTest::newRow("single precision")
        << QSizeF(5100, 1455) << QSizeF(1234.567, 890.123) << QPointF(1932.7165, 282.4385);
}

void TestSignatureSurface::centredPrintPosition() {
    QFETCH(QSizeF, outer);
    QFETCH(QSizeF, text);
    QFETCH(QPointF, expected);
    const QPointF position = inkvale::centredPrintPosition(outer, text);
    QCOMPARE(static_cast<float>(position.x()), static_cast<float>(expected.x()));
    QCOMPARE(static_cast<float>(position.y()), static_cast<float>(expected.y()));
}

void TestSignatureSurface::startsAsDesigned() {
    SignatureSurface surface;
    QCOMPARE(surface.fontName(), QStringLiteral("宋体"));
    QCOMPARE(surface.fontSize(), 42.0F);
    QCOMPARE(surface.outerSize(), QSizeF(5100, 1455));
    QCOMPARE(surface.innerPixels(), QSize(336, 93));
    QCOMPARE(surface.image().size(), QSize(336, 93));
    QCOMPARE(surface.currentPosition(), QPointF(0, 0));
    // A point is 4/3 of a pixel: 42 points are 56 pixels, whatever the screen's dpi.
    QCOMPARE(QFontInfo(surface.font()).pixelSize(), 56);
}

void TestSignatureSurface::inkLiesWhereTheArithmeticPutsIt_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<float>("size");
    QTest::addColumn<qreal>("ratio");

    QTest::newRow("short name") << "Ann" << 42.0F << 1.0;
    QTest::newRow("longer name, small size") << "John Smith" << 20.0F << 1.0;
    QTest::newRow("fractional size") << "Lee" << 30.5F << 1.0;
    QTest::newRow("high-dpi screen") << "Ann" << 42.0F << 2.0;
    QTest::newRow("150 % screen") << "Mo" << 42.0F << 1.5;
}

void TestSignatureSurface::inkLiesWhereTheArithmeticPutsIt() {
    QFETCH(QString, name);
    QFETCH(float, size);
    QFETCH(qreal, ratio);

    ScaledSurface surface(ratio);
    surface.setFontSize(size);
    const QImage blank = blankOf(surface);
    QCOMPARE(blank.size(), (QSizeF(336, 93) * ratio).toSize());

    drawSignature(surface, kLatinFace, name);
    QCOMPARE(surface.fontName(), kLatinFace);
    QCOMPARE(surface.fontSize(), size);

    const qreal tw = surface.textWidth(name);
    const qreal th = surface.textHeight(name);
    const QPointF at((5100 - tw) / 2, (1455 - th) / 2);
    // The text cell in pixels of the drawing area.
    const QRectF cell(at / 15, QSizeF(tw, th) / 15);
    const QRectF ink = inkBounds(surface.image(), blank);
    QVERIFY2(!ink.isNull(), "nothing was drawn");
    // Glyphs may overhang their advance a little (the hook of a J).
    const QRectF allowed = cell.adjusted(-3, -3, 3, 3);
    QVERIFY2(allowed.contains(ink),
             qPrintable(QStringLiteral("ink %1,%2 %3x%4 outside cell %5,%6 %7x%8")
                            .arg(ink.x())
                            .arg(ink.y())
                            .arg(ink.width())
                            .arg(ink.height())
                            .arg(cell.x())
                            .arg(cell.y())
                            .arg(cell.width())
                            .arg(cell.height())));
    // Centred on the outer box: one border right of and below the drawing area's centre.
    const QPointF innerCentre(336 / 2.0, 93 / 2.0);
    QCOMPARE(cell.center().x(), innerCentre.x() + 2);
    QCOMPARE(cell.center().y(), innerCentre.y() + 2);
    QVERIFY(std::abs(ink.center().x() - cell.center().x()) < 3);
}

void TestSignatureSurface::longNameRunsPastBothEdges() {
    SignatureSurface surface;
    const QImage blank = blankOf(surface);
    const QString name = QStringLiteral("Maximilian Alexander Featherstonehaugh");
    drawSignature(surface, kLatinFace, name);
    QVERIFY(surface.textWidth(name) > 5100);
    const QRectF ink = inkBounds(surface.image(), blank);
    QCOMPARE(ink.left(), 0.0);
    QCOMPARE(ink.right(), 336.0);
}

void TestSignatureSurface::secondRenderingReplacesTheFirst() {
    SignatureSurface surface;
    drawSignature(surface, kLatinFace, QStringLiteral("WWWWWWWW"));
    drawSignature(surface, kLatinFace, QStringLiteral("il"));

    SignatureSurface fresh;
    drawSignature(fresh, kLatinFace, QStringLiteral("il"));
    QCOMPARE(surface.image(), fresh.image());
}

void TestSignatureSurface::blankNameLeavesOnlyTheBackground() {
    SignatureSurface surface;
    const QImage blank = blankOf(surface);
    drawSignature(surface, kLatinFace, QStringLiteral("   "));
    QCOMPARE(surface.image(), blank);
}

void TestSignatureSurface::sizeScalesTheMeasure() {
    SignatureSurface surface;
    surface.setFontName(kLatinFace);
    const qreal small = surface.textWidth(QStringLiteral("Signature"));
    const qreal smallHeight = surface.textHeight(QStringLiteral("Signature"));
    surface.setFontSize(84.0F);
    QCOMPARE(surface.fontName(), kLatinFace);
    QVERIFY(std::abs(surface.textWidth(QStringLiteral("Signature")) / small - 2.0) < 0.05);
    QVERIFY(std::abs(surface.textHeight(QStringLiteral("Signature")) / smallHeight - 2.0) < 0.05);
}

void TestSignatureSurface::textColourAndPictureUnderneath() {
    SignatureSurface surface;
    QImage picture(336, 93, QImage::Format_RGB32);
    picture.fill(QColor(0, 0, 255));
    surface.setPicture(picture);
    surface.setForeColor(QColor(255, 0, 0));
    drawSignature(surface, kLatinFace, QStringLiteral("H"));

    // Between the strokes the picture shows; the strokes are in the text colour.
    const QImage& image = surface.image();
    QCOMPARE(image.pixelColor(2, 2), QColor(0, 0, 255));
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            red += image.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
        }
    }
    QVERIFY2(red > 50, "the letter is not drawn in the text colour");

    // Clearing keeps the picture and erases the text.
    surface.cls();
    QCOMPARE(surface.image().pixelColor(168, 46), QColor(0, 0, 255));
}

void TestSignatureSurface::missingCharactersComeFromAFallbackFont() {
    QFont latin(kLatinFace);
    if (QRawFont::fromFont(latin).supportsCharacter(U'张')) {
        QSKIP("the Latin test face draws Chinese itself");
    }
    SignatureSurface surface;
    const QImage blank = blankOf(surface);
    drawSignature(surface, kLatinFace, QStringLiteral("张"));
    const QImage drawn = surface.image().copy();
    QVERIFY2(!inkBounds(drawn, blank).isNull(), "nothing was drawn");

    // A character no font has is drawn as the empty box; the Chinese character must not be.
    drawSignature(surface, kLatinFace, QString::fromUcs4(U"\U0010FFFD", 1));
    QVERIFY(surface.image() != drawn);
}

QTEST_MAIN(TestSignatureSurface)
#include "tst_signaturesurface.moc"
