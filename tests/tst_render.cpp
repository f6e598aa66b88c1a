// The render library behind inkvale-render, in process: the designer's pixels, the outlines,
// transparency, resolution, trimming, the contact sheet and the batch's names.

#include "designer/StyleCatalogue.h"
#include "render/BatchNames.h"
#include "render/ContactSheet.h"
#include "render/EmbeddedFonts.h"
#include "render/SignatureRenderer.h"
#include "render/StyleLookup.h"
#include "render/VectorPicture.h"
#include "support/DesignerSignature.h"
#include "support/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

#include <memory>
#include <optional>
#include <vector>

using namespace inkvale;
using inkvale::test::DesignerChoice;

namespace {

const QString kFontsDir = QStringLiteral(INKVALE_FONTS_DIR);

/// Where two images first differ, for a failure message; empty when they are equal.
QString firstDifference(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size()) {
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    }
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
            }
        }
    }
    return {};
}

/// `picture` rasterised at one pixel per pixel over `blank`, for comparing with image().
QImage rasterise(const VectorPicture& picture, const QImage& blank) {
    QImage image = blank.copy();
    image.setDevicePixelRatio(1.0);
    QPainter painter(&image);
    painter.translate(-picture.viewport.topLeft());
    paintVectorPicture(painter, picture);
    return image;
}

/// Mean absolute grey difference per pixel.
double meanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
        }
    }
    return sum / (double(a.width()) * a.height());
}

/// The path written in SVG path data of the forms svgDocument() writes (M, L, C, Z).
QPainterPath parsePathData(const QString& data) {
    static const QRegularExpression command(QStringLiteral("([MLCZ])([^MLCZ]*)"));
    QPainterPath path;
    for (const QRegularExpressionMatch& match : command.globalMatch(data)) {
        QList<qreal> n;
        for (const QString& number :
             match.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            n.append(number.toDouble());
        }
        const QChar c = match.captured(1).front();
        if (c == QLatin1Char('M') && n.size() == 2) {
            path.moveTo(n[0], n[1]);
        } else if (c == QLatin1Char('L') && n.size() == 2) {
            path.lineTo(n[0], n[1]);
        } else if (c == QLatin1Char('C') && n.size() == 6) {
            path.cubicTo(n[0], n[1], n[2], n[3], n[4], n[5]);
        } else if (c == QLatin1Char('Z') && n.isEmpty()) {
            path.closeSubpath();
        } else {
            return {};
        }
    }
    return path;
}

/// What an SVG document holds, read back with an XML reader.
struct SvgContents {
    QString error;
    QString viewBox;
    QList<std::pair<QColor, QPainterPath>> paths;
    QList<QImage> images;
    int clipPaths = 0;
};

SvgContents readSvg(const QByteArray& document) {
    SvgContents contents;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const auto attributes = xml.attributes();
        if (xml.name() == QLatin1String("svg")) {
            contents.viewBox = attributes.value(QStringLiteral("viewBox")).toString();
        } else if (xml.name() == QLatin1String("path")) {
            QPainterPath path = parsePathData(attributes.value(QStringLiteral("d")).toString());
            path.setFillRule(attributes.value(QStringLiteral("fill-rule")) ==
                                     QLatin1String("nonzero")
                                 ? Qt::WindingFill
                                 : Qt::OddEvenFill);
            contents.paths.append(
                {QColor::fromString(attributes.value(QStringLiteral("fill"))), path});
        } else if (xml.name() == QLatin1String("image")) {
            const QString href =
                attributes
                    .value(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("href"))
                    .toString();
            const QString prefix = QStringLiteral("data:image/png;base64,");
            contents.images.append(
                href.startsWith(prefix)
                    ? QImage::fromData(QByteArray::fromBase64(href.mid(prefix.size()).toLatin1()))
                    : QImage());
        } else if (xml.name() == QLatin1String("clipPath")) {
            ++contents.clipPaths;
        }
    }
    if (xml.hasError()) {
        contents.error = xml.errorString();
    }
    return contents;
}

/// The streams of a PDF file, inflated where they are compressed.
QList<QByteArray> pdfStreams(const QByteArray& pdf) {
    QList<QByteArray> streams;
    static const QRegularExpression stream(
        QStringLiteral("<<([^>]*(?:>>[^>]*)*?)>>\\s*stream\\r?\\n"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromLatin1(pdf);
    for (const QRegularExpressionMatch& match : stream.globalMatch(text)) {
        const qsizetype begin = match.capturedEnd();
        const qsizetype end = pdf.indexOf("endstream", begin);
        QByteArray bytes = pdf.mid(begin, end - begin);
        if (match.captured(1).contains(QLatin1String("/FlateDecode"))) {
            // qUncompress wants the length in front; an upper bound will do.
            QByteArray framed(4, '\0');
            qToBigEndian(quint32(bytes.size() * 50 + 1024), framed.data());
            bytes = qUncompress(framed + bytes);
        }
        streams.append(bytes);
    }
    return streams;
}

QImage backgroundFixture() {
    // Stripes with a gradient, so a picture drawn in the wrong place or scale shows.
    QImage picture(200, 60, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            picture.setPixel(x, y,
                             (x / 10) % 2 ? qRgb(250, 220, 120 + y) : qRgb(140 + x / 2, 200, 250));
        }
    }
    return picture;
}

} // namespace

class TestRender final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void matchesTheDesignersCanvas_data();
    void matchesTheDesignersCanvas();
    void transparentKeepsTheSameInk_data();
    void transparentKeepsTheSameInk();
    void printResolutionDrawsLargerNotBlurred();
    void trimmedToInkAndPadding_data();
    void trimmedToInkAndPadding();
    void outlinesLieOnTheRasterInk_data();
    void outlinesLieOnTheRasterInk();
    void svgReadsBackAsTheOutlines_data();
    void svgReadsBackAsTheOutlines();
    void pdfHasOnePageOfOutlinesAndNoFonts_data();
    void pdfHasOnePageOfOutlinesAndNoFonts();
    void contactSheetCopiesEveryCanvas_data();
    void contactSheetCopiesEveryCanvas();
    void stylesByNumberCaptionOrFace_data();
    void stylesByNumberCaptionOrFace();
    void namesFromText_data();
    void namesFromText();
    void safeFileNames_data();
    void safeFileNames();
    void batchFileNamesStayApart();
    void embeddedFontsAreCheckedByFace_data();
    void embeddedFontsAreCheckedByFace();

private:
    QTemporaryDir m_dir;
};

void TestRender::initTestCase() {
    QVERIFY(m_dir.isValid());
    const QStringList missing = test::useBuiltStyleFonts(kFontsDir);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    QVERIFY(backgroundFixture().save(m_dir.filePath(QStringLiteral("background.png"))));
}

void TestRender::matchesTheDesignersCanvas_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::addColumn<float>("points");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("background");

    QTest::newRow("疾风草书, mixed scripts")
        << 12 << QStringLiteral("张伟 John") << 42.0F << QColor() << false;
    QTest::newRow("Blazed, Latin")
        << 8 << QStringLiteral("Ann Smith") << 42.0F << QColor() << false;
    QTest::newRow("章草, coloured")
        << 0 << QStringLiteral("王小明") << 42.0F << QColor(0xaa, 0x22, 0) << false;
    QTest::newRow("Wendel体, substitute font for Latin")
        << 11 << QStringLiteral("Zoë 李") << 42.0F << QColor() << false;
    QTest::newRow("Ostrid, 10.5 points")
        << 4 << QStringLiteral("陈静") << 10.5F << QColor() << false;
    QTest::newRow("Halwen圆趣, larger than the canvas")
        << 9 << QStringLiteral("欧阳娜娜") << 120.0F << QColor() << false;
    QTest::newRow("ALS Script, background picture")
        << 7 << QStringLiteral("Li Na") << 42.0F << QColor(Qt::darkBlue) << true;
}

void TestRender::matchesTheDesignersCanvas() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(float, points);
    QFETCH(QColor, colour);
    QFETCH(bool, background);

    const QString backgroundFile =
        background ? m_dir.filePath(QStringLiteral("background.png")) : QString();
    const QImage designer =
        test::designerSignature(DesignerChoice{slot, name, points, colour, backgroundFile});
    QVERIFY(!designer.isNull());

    SignatureLook look;
    look.points = points;
    if (colour.isValid()) {
        look.colour = colour;
    }
    if (background) {
        look.background = QImage(backgroundFile);
    }
    SignatureRenderer renderer(look);
    const QImage ours = renderer.image(slot, name);
    QVERIFY2(!inkRect(ours, renderer.blankImage()).isEmpty(), "nothing was drawn");
    const QString difference = firstDifference(ours, designer);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(ours.format(), designer.format());
}

void TestRender::transparentKeepsTheSameInk_data() {
    QTest::addColumn<bool>("background");
    QTest::newRow("no picture") << false;
    QTest::newRow("picture") << true;
}

void TestRender::transparentKeepsTheSameInk() {
    QFETCH(bool, background);
    SignatureLook look;
    look.colour = QColor(0xaa, 0x22, 0x00);
    if (background) {
        look.background = backgroundFixture();
    }
    SignatureRenderer opaque(look);
    const QImage reference = opaque.image(12, QStringLiteral("张伟 John"));
    const QColor canvasColour =
        opaque.blankImage().pixelColor(reference.width() - 1, reference.height() - 1);

    look.transparent = true;
    SignatureRenderer clear(look);
    const QImage image = clear.image(12, QStringLiteral("张伟 John"));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(image.size(), reference.size());
    // Outside text and picture nothing is left; the ink itself is opaque.
    QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1).alpha(), 0);
    QCOMPARE(image.pixelColor(image.width() / 2, 0).alpha(), background ? 255 : 0);
    bool solidInk = false;
    for (int y = 0; y < image.height() && !solidInk; ++y) {
        for (int x = 0; x < image.width() && !solidInk; ++x) {
            solidInk = image.pixelColor(x, y) == *look.colour;
        }
    }
    QVERIFY(solidInk);

    // Laid on the canvas colour, it is the opaque signature again.
    QImage composed(image.size(), QImage::Format_RGB32);
    composed.fill(canvasColour);
    QPainter(&composed).drawImage(QPoint(0, 0), image.convertToFormat(QImage::Format_ARGB32));
    const QString difference = firstDifference(composed, reference);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestRender::printResolutionDrawsLargerNotBlurred() {
    // Pixels that are neither paper nor ink: anti-aliased edges, about one device pixel wide
    // when drawn at size, several wide when a small picture is scaled up.
    const auto edgeShare = [](const QImage& image, const QImage& blank) {
        int edge = 0;
        int ink = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int grey = qGray(image.pixel(x, y));
                if (image.pixel(x, y) == blank.pixel(x, y)) {
                    continue;
                }
                ++(grey < 16 ? ink : edge);
            }
        }
        return double(edge) / std::max(ink, 1);
    };

    SignatureRenderer screen{SignatureLook{}};
    SignatureLook printLook;
    printLook.dotsPerInch = 300;
    SignatureRenderer print(printLook);
    const QString name = QStringLiteral("Ann Smith");
    const QImage small = screen.image(8, name);
    const QImage large = print.image(8, name);

    QCOMPARE(large.size(), QSize(1050, 291));
    QCOMPARE(large.devicePixelRatio(), 300.0 / 96.0);
    QCOMPARE(large.dotsPerMeterX(), 11811);
    QCOMPARE(large.dotsPerMeterY(), 11811);
    QCOMPARE(small.dotsPerMeterX(), 3780);

    const QRect smallInk = inkRect(small, screen.blankImage());
    const QRect largeInk = inkRect(large, print.blankImage());
    QVERIFY(!smallInk.isEmpty());
    QVERIFY2(std::abs(largeInk.left() - smallInk.left() * 3.125) <= 4, "left edge");
    QVERIFY2(std::abs(largeInk.width() - smallInk.width() * 3.125) <= 8, "width");
    QVERIFY2(std::abs(largeInk.top() - smallInk.top() * 3.125) <= 4, "top edge");

    const QImage upscaled =
        small.scaled(large.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage upscaledBlank = screen.blankImage().scaled(large.size());
    const double drawnShare = edgeShare(large, print.blankImage());
    const double upscaledShare = edgeShare(upscaled, upscaledBlank);
    QVERIFY2(drawnShare < 0.5 * upscaledShare,
             qPrintable(QStringLiteral("edges %1 of ink drawn at 300 dpi, %2 when upscaled")
                            .arg(drawnShare)
                            .arg(upscaledShare)));
}

void TestRender::trimmedToInkAndPadding_data() {
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<int>("padding");

    QTest::newRow("no padding") << false << 96.0 << 0;
    QTest::newRow("8 pixels") << false << 96.0 << 8;
    QTest::newRow("8 pixels, transparent") << true << 96.0 << 8;
    QTest::newRow("8 pixels at 192 dpi") << false << 192.0 << 8;
    QTest::newRow("padding past the canvas") << false << 96.0 << 300;
}

void TestRender::trimmedToInkAndPadding() {
    QFETCH(bool, transparent);
    QFETCH(qreal, dpi);
    QFETCH(int, padding);

    SignatureLook look;
    look.transparent = transparent;
    look.dotsPerInch = dpi;
    SignatureRenderer renderer(look);
    const QImage image = renderer.image(12, QStringLiteral("李娜"));
    const QImage blank = renderer.blankImage();
    const QRect ink = inkRect(image, blank);
    QVERIFY(!ink.isEmpty());
    QVERIFY(ink.width() < image.width() / 2);

    const QImage trimmed = cropToInk(image, ink, padding);
    QCOMPARE(trimmed.devicePixelRatio(), image.devicePixelRatio());
    QCOMPARE(trimmed.dotsPerMeterX(), image.dotsPerMeterX());
    // The cut falls on whole canvas pixels: the ink's, grown by the padding, within the canvas.
    const qreal ratio = dpi / 96;
    const QRect kept = canvasPixelsOf(ink, ratio)
                           .adjusted(-padding, -padding, padding, padding)
                           .intersected(QRect(QPoint(0, 0), renderer.innerPixels()));
    const QRect expected = devicePixelsOf(kept, ratio);
    QVERIFY(expected.contains(ink));
    QCOMPARE(trimmed.size(), expected.size());
    // The ink sits `padding` in from every edge the canvas did not cut.
    QImage trimmedBlank(trimmed.size(), blank.format());
    trimmedBlank.fill(blank.pixel(0, 0));
    QCOMPARE(inkRect(trimmed, trimmedBlank), ink.translated(-expected.topLeft()));

    // The outlines trim to the very same canvas pixels.
    const VectorPicture outlines =
        cropToInk(renderer.outlines(12, QStringLiteral("李娜")), padding);
    QCOMPARE(outlines.viewport, QRectF(kept));
}

void TestRender::outlinesLieOnTheRasterInk_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::newRow("疾风草书") << 12 << QStringLiteral("张伟 John");
    QTest::newRow("Blazed") << 8 << QStringLiteral("Ann Smith");
    QTest::newRow("Wendel体, substitute font") << 11 << QStringLiteral("Zoë 李");
    QTest::newRow("书体坊 cursive") << 14 << QStringLiteral("司马相如");
}

void TestRender::outlinesLieOnTheRasterInk() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    SignatureRenderer renderer{SignatureLook{}};
    const QImage raster = renderer.image(slot, name);
    const QImage blank = renderer.blankImage();
    const VectorPicture outlines = renderer.outlines(slot, name);
    const QImage drawn = rasterise(outlines, blank);

    const QRect rasterInk = inkRect(raster, blank);
    const QRect outlineInk = inkRect(drawn, blank);
    QVERIFY(!rasterInk.isEmpty());
    for (const auto& [a, b] : {std::pair{rasterInk.left(), outlineInk.left()},
                               {rasterInk.right(), outlineInk.right()},
                               {rasterInk.top(), outlineInk.top()},
                               {rasterInk.bottom(), outlineInk.bottom()}}) {
        QVERIFY2(std::abs(a - b) <= 1,
                 qPrintable(QStringLiteral("ink edge %1, outline edge %2").arg(a).arg(b)));
    }
    // Hinting moves edges by a fraction of a pixel; a misplaced glyph moves a whole stroke.
    const double mean = meanDifference(raster, drawn);
    QVERIFY2(mean < 4.0, qPrintable(QStringLiteral("mean difference %1").arg(mean)));
}

void TestRender::svgReadsBackAsTheOutlines_data() {
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<bool>("background");
    QTest::addColumn<int>("trim"); // -1: not trimmed
    QTest::newRow("canvas") << false << false << -1;
    QTest::newRow("transparent") << true << false << -1;
    QTest::newRow("background picture") << false << true << -1;
    QTest::newRow("trimmed") << false << false << 5;
}

void TestRender::svgReadsBackAsTheOutlines() {
    QFETCH(bool, transparent);
    QFETCH(bool, background);
    QFETCH(int, trim);

    SignatureLook look;
    look.transparent = transparent;
    look.colour = QColor(0x1f, 0x3a, 0x93);
    if (background) {
        look.background = backgroundFixture();
    }
    SignatureRenderer renderer(look);
    VectorPicture picture = renderer.outlines(12, QStringLiteral("张伟 John"));
    if (trim >= 0) {
        picture = cropToInk(std::move(picture), trim);
    }
    const QString path = m_dir.filePath(QStringLiteral("signature.svg"));
    QCOMPARE(writeSvg(picture, path, QStringLiteral("张伟 John")), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const SvgContents svg = readSvg(file.readAll());
    QVERIFY2(svg.error.isEmpty(), qPrintable(svg.error));

    const QStringList box = svg.viewBox.split(QLatin1Char(' '));
    QCOMPARE(box.size(), 4);
    const QRectF v = picture.viewport;
    for (const auto& [written, exact] : {std::pair{box.at(0), v.x()},
                                         {box.at(1), v.y()},
                                         {box.at(2), v.width()},
                                         {box.at(3), v.height()}}) {
        QVERIFY2(std::abs(written.toDouble() - exact) <= 0.005, qPrintable(svg.viewBox));
    }
    QCOMPARE(svg.paths.size(), transparent ? 1 : 2);
    QCOMPARE(svg.images.size(), background ? 1 : 0);
    if (background) {
        QCOMPARE(svg.images.first().size(), look.background.size());
    }
    // One clip per document would only be needed if something reached past the view box.
    QCOMPARE(svg.clipPaths, 0);

    // The text path, read back and filled, covers what the outlines cover.
    const auto& [colour, text] = svg.paths.last();
    QCOMPARE(colour, *look.colour);
    QCOMPARE(text.fillRule(), Qt::WindingFill);
    VectorPicture readBack = picture;
    readBack.items.back() = VectorItem{text, colour, QImage(), QRectF(), QRectF()};
    const QImage expected = rasterise(picture, renderer.blankImage());
    const QImage actual = rasterise(readBack, renderer.blankImage());
    const double mean = meanDifference(actual, expected);
    QVERIFY2(mean < 0.2, qPrintable(QStringLiteral("the path read back differs by %1").arg(mean)));
}

void TestRender::pdfHasOnePageOfOutlinesAndNoFonts_data() {
    QTest::addColumn<bool>("sheet");
    QTest::newRow("signature") << false;
    QTest::newRow("contact sheet") << true;
}

void TestRender::pdfHasOnePageOfOutlinesAndNoFonts() {
    QFETCH(bool, sheet);
    SignatureRenderer renderer{SignatureLook{}};
    const VectorPicture picture = sheet ? outlineContactSheet(renderer, QStringLiteral("李娜"))
                                        : renderer.outlines(12, QStringLiteral("张伟 John"));
    const QString path = m_dir.filePath(QStringLiteral("signature.pdf"));
    QCOMPARE(writePdf(picture, path, QStringLiteral("张伟 John")), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();

    QVERIFY(pdf.startsWith("%PDF-1."));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    QCOMPARE(QString::fromLatin1(pdf).count(page), 1);
    static const QRegularExpression mediaBox(
        QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
    const QRegularExpressionMatch box = mediaBox.match(QString::fromLatin1(pdf));
    QVERIFY(box.hasMatch());
    QCOMPARE(box.captured(1).toDouble(), std::ceil(picture.viewport.width() * 0.75));
    QCOMPARE(box.captured(2).toDouble(), std::ceil(picture.viewport.height() * 0.75));
    for (const char* font : {"/BaseFont", "/FontFile", "/FontDescriptor", "/Subtype /Type0"}) {
        QVERIFY2(!pdf.contains(font), font);
    }

    // The page draws filled curves and no text.
    const QList<QByteArray> streams = pdfStreams(pdf);
    QVERIFY(!streams.isEmpty());
    static const QRegularExpression curve(QStringLiteral("(^|\\s)[-0-9.]+ [-0-9.]+ [-0-9.]+ "
                                                         "[-0-9.]+ [-0-9.]+ [-0-9.]+ c\\s"));
    static const QRegularExpression fill(QStringLiteral("(^|\\s)f\\*?\\s"));
    static const QRegularExpression textObject(QStringLiteral("(^|\\s)BT\\s"));
    bool drawsCurves = false;
    for (const QByteArray& stream : streams) {
        const QString content = QString::fromLatin1(stream);
        QVERIFY(!content.contains(textObject));
        drawsCurves = drawsCurves || (content.contains(curve) && content.contains(fill));
    }
    QVERIFY(drawsCurves);
}

void TestRender::contactSheetCopiesEveryCanvas_data() {
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("clips"); // what the SVG needs: nothing spills on the designed canvas
    QTest::newRow("96 dpi") << 96.0 << SignatureSurface::kDesignedOuterPixels
                            << QStringLiteral("李娜") << 0;
    QTest::newRow("150 dpi") << 150.0 << SignatureSurface::kDesignedOuterPixels
                             << QStringLiteral("李娜") << 0;
    // Names and captions wider than their column: each canvas and each caption band clips.
    QTest::newRow("narrow canvas")
        << 96.0 << QSize(50, 40) << QStringLiteral("欧阳娜娜") << 2 * kStyleCount;
}

void TestRender::contactSheetCopiesEveryCanvas() {
    QFETCH(qreal, dpi);
    QFETCH(QSize, canvas);
    QFETCH(QString, name);
    QFETCH(int, clips);
    SignatureLook look;
    look.dotsPerInch = dpi;
    look.canvas = canvas;
    SignatureRenderer renderer(look);
    const QImage sheet = renderContactSheet(renderer, name);
    const ContactSheetLayout layout(renderer.innerPixels());
    const qreal ratio = dpi / 96;
    QCOMPARE(sheet.size(), (QSizeF(layout.size()) * ratio).toSize());
    QCOMPARE(sheet.dotsPerMeterX(), qRound(dpi / 0.0254));

    for (int slot = 0; slot < kStyleCount; ++slot) {
        const QImage drawn = renderer.image(slot, name);
        const QRect cell = layout.canvasRect(slot);
        const QPoint at(qRound(cell.x() * ratio), qRound(cell.y() * ratio));
        const QString difference = firstDifference(sheet.copy(QRect(at, drawn.size())), drawn);
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QStringLiteral("style %1: ").arg(slot) + difference));

        const QRect band = layout.captionRect(slot);
        const QImage caption =
            sheet.copy(QRect(qRound(band.x() * ratio), qRound(band.y() * ratio),
                             qRound(band.width() * ratio), qRound(band.height() * ratio)));
        QImage white(caption.size(), caption.format());
        white.fill(Qt::white);
        QVERIFY2(!inkRect(caption, white).isEmpty(),
                 qPrintable(QStringLiteral("caption %1").arg(slot)));
    }

    const VectorPicture outlines = outlineContactSheet(renderer, name);
    QCOMPARE(outlines.viewport, QRectF(QPointF(0, 0), QSizeF(layout.size())));
    const SvgContents svg = readSvg(svgDocument(outlines, name));
    QVERIFY2(svg.error.isEmpty(), qPrintable(svg.error));
    QCOMPARE(svg.clipPaths, clips);

    // Neither sheet draws anything between the columns: captions and names stay in their own.
    QImage paper(layout.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    const QImage outlineSheet = rasterise(outlines, paper);
    const QImage rasterSheet = sheet.scaled(layout.size());
    for (int column = 0; column + 1 < ContactSheetLayout::kColumns; ++column) {
        const int right = layout.canvasRect(column).right();
        const QRect gap(right + 1, 0, ContactSheetLayout::kGap, layout.size().height());
        QImage blankGap(gap.size(), QImage::Format_RGB32);
        blankGap.fill(Qt::white);
        QCOMPARE(inkRect(outlineSheet.copy(gap), blankGap), QRect());
        if (qFuzzyCompare(ratio, 1.0)) {
            QCOMPARE(inkRect(rasterSheet.copy(gap), blankGap), QRect());
        }
    }
}

void TestRender::stylesByNumberCaptionOrFace_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slot"); // -1: none

    QTest::newRow("first") << QStringLiteral("0") << 0;
    QTest::newRow("last") << QStringLiteral("14") << 14;
    QTest::newRow("placeholder") << QStringLiteral("15") << -1;
    QTest::newRow("negative") << QStringLiteral("-1") << -1;
    QTest::newRow("leading zero") << QStringLiteral("07") << -1;
    QTest::newRow("blank around") << QStringLiteral(" 3") << -1;
    QTest::newRow("full-width digit") << QStringLiteral("３") << -1;
    QTest::newRow("caption") << QStringLiteral("疾风草书") << 12;
    QTest::newRow("face") << QStringLiteral("Halwen疾风草书") << 12;
    QTest::newRow("caption differs from face") << QStringLiteral("Ostrid手写字体") << 4;
    QTest::newRow("its face") << QStringLiteral("vantrel") << 4;
    QTest::newRow("face with a blank") << QStringLiteral("Corvan草书 繁") << 10;
    QTest::newRow("status label is not a name") << QStringLiteral("PALS Script") << -1;
    QTest::newRow("other case") << QStringLiteral("blazed") << -1;
    QTest::newRow("placeholder caption") << QStringLiteral("待添加") << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestRender::stylesByNumberCaptionOrFace() {
    QFETCH(QString, text);
    QFETCH(int, slot);
    QCOMPARE(styleNamed(text), slot < 0 ? std::nullopt : std::optional<int>(slot));
}

void TestRender::namesFromText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("error");

    QTest::newRow("lines, blanks, CR LF, byte order mark")
        << QByteArray("\xEF\xBB\xBF"
                      "Ann\r\n\r\n  李娜  \n\t\n Bob Lee\r\nAnn")
        << QStringList{QStringLiteral("Ann"), QStringLiteral("李娜"), QStringLiteral("Bob Lee"),
                       QStringLiteral("Ann")}
        << QString();
    QTest::newRow("no final line break")
        << QByteArray("a/b\n..") << QStringList{"a/b", ".."} << QString();
    QTest::newRow("Latin-1, not UTF-8") << QByteArray("Ann\nZo\xEB\n") << QStringList()
                                        << QStringLiteral("line 2 is not UTF-8 text");
    QTest::newRow("only blank lines")
        << QByteArray("\n  \r\n\n") << QStringList() << QStringLiteral("it holds no names");
    QTest::newRow("empty") << QByteArray() << QStringList() << QStringLiteral("it holds no names");
}

void TestRender::namesFromText() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    QFETCH(QString, error);
    const NameList list = parseNames(text);
    QCOMPARE(list.names, names);
    QCOMPARE(list.error, error);
}

void TestRender::safeFileNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");

    QTest::newRow("plain") << QStringLiteral("李娜") << QStringLiteral("李娜");
    QTest::newRow("slashes") << QStringLiteral("a/b\\c") << QStringLiteral("a_b_c");
    QTest::newRow("path upwards") << QStringLiteral("../../etc/passwd")
                                  << QStringLiteral("_.._etc_passwd");
    QTest::newRow("characters Windows forbids")
        << QStringLiteral("C:*x?\"<y>|") << QStringLiteral("C__x___y__");
    QTest::newRow("hidden") << QStringLiteral(".profile") << QStringLiteral("profile");
    QTest::newRow("trailing dots") << QStringLiteral("Dr. J. ") << QStringLiteral("Dr. J");
    QTest::newRow("control characters") << QStringLiteral("a\tb\x7f") << QStringLiteral("a_b_");
    QTest::newRow("only dots") << QStringLiteral("...") << QStringLiteral("_");
    QTest::newRow("dots and a slash") << QStringLiteral("./") << QStringLiteral("_");
}

void TestRender::safeFileNames() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(safeFileName(name), file);
}

void TestRender::batchFileNamesStayApart() {
    const QStringList files =
        batchFileNames({QStringLiteral("Ann"), QStringLiteral("ann"), QStringLiteral("Ann"),
                        QStringLiteral("a/b"), QStringLiteral("a_b"), QStringLiteral("Ann (2)")},
                       QStringLiteral("png"));
    QCOMPARE(files, (QStringList{"Ann.png", "ann (2).png", "Ann (3).png", "a_b.png", "a_b (2).png",
                                 "Ann (2) (2).png"}));

    // Long names are cut within the file system's 255 bytes, never inside a character.
    const QString longName = QString(150, QChar(0x674E)) + QStringLiteral("😀😀😀");
    const QString cut = safeFileName(longName);
    QVERIFY(cut.toUtf8().size() <= kLongestBaseName);
    QVERIFY(cut.toUtf8().size() > kLongestBaseName - 4);
    QVERIFY(!cut.back().isHighSurrogate());
    QVERIFY(longName.startsWith(cut));
    const QString withEmoji =
        QString(49, QLatin1Char('a')) + QString(50, QChar(0x674E)) + QStringLiteral("😀😀");
    const QString emojiCut = safeFileName(withEmoji);
    QVERIFY(emojiCut.toUtf8().size() <= kLongestBaseName);
    QVERIFY(QString::fromUtf8(emojiCut.toUtf8()) == emojiCut);
    const QStringList twice = batchFileNames({longName, longName}, QStringLiteral("png"));
    QVERIFY(twice.at(1).toUtf8().size() <= 255);
    QVERIFY(twice.at(0) != twice.at(1));
}

void TestRender::embeddedFontsAreCheckedByFace_data() {
    QTest::addColumn<int>("missingId"); // 0: none
    QTest::addColumn<int>("swappedId"); // resource given the wrong font; 0: none
    QTest::addColumn<QString>("error");

    QTest::newRow("all fifteen") << 0 << 0 << QString();
    QTest::newRow("one missing") << 117 << 0
                                 << QStringLiteral(
                                        "the program carries no font for style 12 (13.ttf)");
    QTest::newRow("wrong font") << 0 << 106
                                << QStringLiteral(
                                       "the font the program carries for style 1 (2.ttf) is "
                                       "not the face Halwen钢笔行书简体");
}

void TestRender::embeddedFontsAreCheckedByFace() {
    QFETCH(int, missingId);
    QFETCH(int, swappedId);
    QFETCH(QString, error);

    // Qt may read registered fonts in place for as long as the process runs.
    static std::vector<std::unique_ptr<test::FakePlatform>> platforms;
    test::FakePlatform& platform = *platforms.emplace_back(std::make_unique<test::FakePlatform>());
    for (int m = 1; m <= kStyleCount; ++m) {
        QFile font(QDir(kFontsDir).filePath(QStringLiteral("%1.ttf").arg(m)));
        QVERIFY(font.open(QIODevice::ReadOnly));
        platform.resources.insert(m + 104, font.readAll());
    }
    platform.resources.remove(missingId);
    if (swappedId != 0) {
        platform.resources.insert(swappedId, platform.resources.value(105));
    }
    QCOMPARE(useEmbeddedStyleFonts(platform), error);
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
