// The render library behind inkvale-render, in process: the designer's pixels, the outlines,
// transparency, resolution, trimming, the contact sheet and the batch's names.

#include "cli/BatchNames.h"
#include "cli/StyleLookup.h"
#include "core/ContactSheet.h"
#include "core/EmbeddedFonts.h"
#include "core/OutputFormat.h"
#include "core/SignatureRenderer.h"
#include "core/StyleCatalogue.h"
#include "core/VectorPicture.h"
#include "support/DesignerSignature.h"
#include "support/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegion>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>
#include <QtMath>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace inkvale;

Q_DECLARE_METATYPE(inkvale::LineShape)
Q_DECLARE_METATYPE(inkvale::SealText)
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

/// A photo-like picture far larger than the canvas: noise, so that no encoder can hide how
/// many of its pixels a file carries.
QImage largeNoisyPicture() {
    QImage picture(1600, 1200, QImage::Format_RGB32);
    QRandomGenerator random(14);
    for (int y = 0; y < picture.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            row[x] = 0xff000000 | (random.generate() & 0xffffff);
        }
    }
    return picture;
}

/// `picture` painted at `ratio` device pixels per pixel, its viewport's top left at the origin,
/// on a clear image: what a viewer shows of a written SVG or PDF at that resolution.
QImage paintAt(const VectorPicture& picture, qreal ratio) {
    QImage image(devicePixelsOf(picture.viewport.toAlignedRect(), ratio).size(),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(ratio, ratio);
    painter.translate(-picture.viewport.topLeft());
    paintVectorPicture(painter, picture);
    return image;
}

/// `image` laid on `colour`: how a transparent output looks on the canvas's own background.
QImage flattenedOn(const QImage& image, const QColor& colour) {
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(colour);
    QPainter painter(&flat);
    QImage source = image;
    source.setDevicePixelRatio(1.0);
    painter.drawImage(QPoint(0, 0), source);
    return flat;
}

/// The PDF's image objects: their width and height.
QList<QSize> pdfImageSizes(const QByteArray& pdf) {
    static const QRegularExpression image(
        QStringLiteral("/Subtype\\s*/Image\\s*/Width\\s+(\\d+)\\s*/Height\\s+(\\d+)"));
    QList<QSize> sizes;
    for (const QRegularExpressionMatch& match : image.globalMatch(QString::fromLatin1(pdf))) {
        sizes.append(QSize(match.captured(1).toInt(), match.captured(2).toInt()));
    }
    return sizes;
}

/// Runs `write` in a child process whose file-size limit is `limit` bytes and returns the
/// message it gave; "<success>" when it reported none, "<killed>" if the child did not finish.
QString messageUnderFileSizeLimit(const std::function<QString()>& write, rlim_t limit) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return QStringLiteral("<no pipe>");
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const rlimit small{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &small);
        const QString message = write();
        const QByteArray bytes = message.isEmpty() ? QByteArray("<success>") : message.toUtf8();
        const bool sent =
            ::write(channel[1], bytes.constData(), size_t(bytes.size())) == ssize_t(bytes.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    QByteArray received;
    char buffer[256];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) {
        received.append(buffer, got);
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? QString::fromUtf8(received)
                                                         : QStringLiteral("<killed>");
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
    void contactSheetCaptionsNameBorrowedCharacters_data();
    void contactSheetCaptionsNameBorrowedCharacters();
    void lookAlikeCharactersAreDrawnApart_data();
    void lookAlikeCharactersAreDrawnApart();
    void stylesByNumberCaptionOrFace_data();
    void stylesByNumberCaptionOrFace();
    void namesFromText_data();
    void namesFromText();
    void safeFileNames_data();
    void safeFileNames();
    void batchFileNamesStayApart();
    void embeddedFontsAreCheckedByFace_data();
    void embeddedFontsAreCheckedByFace();
    void everyOutputDrawsTheDesignersSignature_data();
    void everyOutputDrawsTheDesignersSignature();
    void vectorFilesCarryOnlyTheVisiblePicture_data();
    void vectorFilesCarryOnlyTheVisiblePicture();
    void failedWriteKeepsTheEarlierFile_data();
    void failedWriteKeepsTheEarlierFile();
    void shapedLinesShowOnTheInk_data();
    void shapedLinesShowOnTheInk();
    void wholeNameFitsWhenAsked_data();
    void wholeNameFitsWhenAsked();
    void sealIsARedSquareBesideTheName_data();
    void sealIsARedSquareBesideTheName();

private:
    /// The designer's own drawing that every output is held against.
    struct Reference {
        QImage drawing;   ///< the canvas image after "设计签名", 96 dpi
        QImage blank;     ///< the same canvas without the name
        QRect ink;        ///< canvas pixels where the two differ
        QColor backColor; ///< the canvas's background colour
    };
    const Reference& reference(bool background);

    QTemporaryDir m_dir;
    std::array<std::optional<Reference>, 2> m_references;
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
    QTest::addColumn<QSize>("canvas");
    QTest::addColumn<QString>("name");

    const QSize designed = SignatureSurface::kDesignedOuterPixels;
    const QString short_ = QStringLiteral("李娜");
    QTest::newRow("no padding") << false << 96.0 << 0 << designed << short_;
    QTest::newRow("8 pixels") << false << 96.0 << 8 << designed << short_;
    QTest::newRow("8 pixels, transparent") << true << 96.0 << 8 << designed << short_;
    QTest::newRow("8 pixels at 192 dpi") << false << 192.0 << 8 << designed << short_;
    QTest::newRow("8 pixels at 300 dpi") << false << 300.0 << 8 << designed << short_;
    QTest::newRow("padding past the canvas") << false << 96.0 << 300 << designed << short_;
    // Only part of the name is on the canvas: the trim keeps what shows, not the whole name.
    const QString wide = QStringLiteral("欧阳 Ann Smith");
    QTest::newRow("name wider than the canvas") << false << 96.0 << 8 << QSize(100, 64) << wide;
    QTest::newRow("name wider than the canvas, 150 dpi")
        << true << 150.0 << 0 << QSize(100, 64) << wide;
}

void TestRender::trimmedToInkAndPadding() {
    QFETCH(bool, transparent);
    QFETCH(qreal, dpi);
    QFETCH(int, padding);
    QFETCH(QSize, canvas);
    QFETCH(QString, name);

    SignatureLook look;
    look.transparent = transparent;
    look.dotsPerInch = dpi;
    look.canvas = canvas;
    SignatureRenderer renderer(look);
    const QImage image = renderer.image(12, name);
    const QImage blank = renderer.blankImage();
    const QRect ink = inkRect(image, blank);
    QVERIFY(!ink.isEmpty());

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
    const VectorPicture outlines = cropToInk(renderer.outlines(12, name), padding);
    QCOMPARE(outlines.viewport, QRectF(kept));
    // A resolution changes the device pixels, not the part of the canvas that is kept, give
    // or take the pixel by which hinting moves a glyph's edge at 96 dpi.
    look.dotsPerInch = 96;
    SignatureRenderer screen(look);
    const QImage atScreen = screen.image(12, name);
    const QSize screenKept =
        cropToInk(atScreen, inkRect(atScreen, screen.blankImage()), padding).size();
    QVERIFY2(std::abs(screenKept.width() - kept.width()) <= 2 &&
                 std::abs(screenKept.height() - kept.height()) <= 2,
             qPrintable(QStringLiteral("%1x%2 kept at 96 dpi, %3x%4 at %5 dpi")
                            .arg(screenKept.width())
                            .arg(screenKept.height())
                            .arg(kept.width())
                            .arg(kept.height())
                            .arg(dpi)));
}

void TestRender::outlinesLieOnTheRasterInk_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::newRow("疾风草书") << 12 << QStringLiteral("张伟 John");
    QTest::newRow("Blazed") << 8 << QStringLiteral("Ann Smith");
    QTest::newRow("Wendel体, substitute font") << 11 << QStringLiteral("Zoë 李");
    QTest::newRow("书体坊 cursive") << 14 << QStringLiteral("司马相如");
    // Far wider than the canvas, with blanks where a wrapping layout would break the line.
    QTest::newRow("Blazed, a long name with blanks")
        << 8 << QStringLiteral("Ann Lee ").repeated(60).trimmed();
    // Characters the raster prints as nothing: the outlines leave no gap for them either.
    for (const char16_t mark : {u'\u00AD', u'\u200B', u'\u2060', u'\uFEFF'}) {
        QTest::addRow("ALS Script, U+%04X inside", unsigned(mark))
            << 7 << QStringLiteral("Ann") + QChar(mark) + QStringLiteral("Bo Lee");
    }
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
    QVERIFY(writeSvg(picture, path, QStringLiteral("张伟 John")).ok());
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
    QVERIFY(writePdf(picture, path, QStringLiteral("张伟 John")).ok());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();

    QVERIFY(pdf.startsWith("%PDF-1."));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    QCOMPARE(QString::fromLatin1(pdf).count(page), 1);
    // The page is the drawing's exact size, not rounded to whole points.
    static const QRegularExpression mediaBox(QStringLiteral(
        "/MediaBox\\s*\\[\\s*([0-9.]+)\\s+([0-9.]+)\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
    const QRegularExpressionMatch box = mediaBox.match(QString::fromLatin1(pdf));
    QVERIFY(box.hasMatch());
    QCOMPARE(box.captured(3).toDouble() - box.captured(1).toDouble(),
             picture.viewport.width() * 0.75);
    QCOMPARE(box.captured(4).toDouble() - box.captured(2).toDouble(),
             picture.viewport.height() * 0.75);
    // The drawing's top left is the page's: PDF pages are measured from the bottom.
    QCOMPARE(box.captured(1).toDouble(), 0.0);
    QCOMPARE(box.captured(4).toDouble(), std::ceil(picture.viewport.height() * 0.75));
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
    QTest::addColumn<bool>("transparent");
    QTest::newRow("96 dpi") << 96.0 << SignatureSurface::kDesignedOuterPixels
                            << QStringLiteral("李娜") << 0 << false;
    QTest::newRow("150 dpi") << 150.0 << SignatureSurface::kDesignedOuterPixels
                             << QStringLiteral("李娜") << 0 << false;
    QTest::newRow("transparent, 300 dpi")
        << 300.0 << SignatureSurface::kDesignedOuterPixels << QStringLiteral("李娜") << 0 << true;
    // Names and captions wider than their column: each canvas and each caption band clips.
    QTest::newRow("narrow canvas")
        << 96.0 << QSize(50, 40) << QStringLiteral("欧阳娜娜") << 2 * kStyleCount << false;
}

void TestRender::contactSheetCopiesEveryCanvas() {
    QFETCH(qreal, dpi);
    QFETCH(QSize, canvas);
    QFETCH(QString, name);
    QFETCH(int, clips);
    QFETCH(bool, transparent);
    SignatureLook look;
    look.dotsPerInch = dpi;
    look.canvas = canvas;
    look.transparent = transparent;
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

void TestRender::contactSheetCaptionsNameBorrowedCharacters_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("borrowed");
    QTest::addColumn<QString>("undrawn");

    // Slot 5 is 迷你简黄草, a cursive hand that lacks the rarer name characters; slot 6 is a
    // Latin face.
    QTest::newRow("own hand") << 5 << QStringLiteral("张伟") << QString() << QString();
    QTest::newRow("from a donor") << 5 << QStringLiteral("王喆喆") << QStringLiteral("喆")
                                  << QString();
    QTest::newRow("two from a donor")
        << 5 << QStringLiteral("堃王喆") << QStringLiteral("堃喆") << QString();
    QTest::newRow("Latin face, Chinese name")
        << 6 << QStringLiteral("张伟 Ann") << QStringLiteral("张伟") << QString();
    QTest::newRow("Latin face, Latin name")
        << 6 << QStringLiteral("Ann Lee") << QString() << QString();
    // A code point no face draws (unassigned) is not borrowed but missing.
    QTest::newRow("drawn by none")
        << 5 << QStringLiteral("王\u0378喆") << QStringLiteral("喆") << QStringLiteral("\u0378");
}

void TestRender::contactSheetCaptionsNameBorrowedCharacters() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(QString, borrowed);
    QFETCH(QString, undrawn);
    QCOMPARE(borrowedCharacters(slot, name), borrowed);
    QCOMPARE(undrawnCharacters(slot, name), undrawn);
    const QString caption = ContactSheetLayout::captionText(slot, name);
    QVERIFY2(caption.startsWith(QStringLiteral("%1  %2").arg(slot).arg(styleSlot(slot).caption)),
             qPrintable(caption));
    QCOMPARE(caption.contains(QStringLiteral("borrowed: ")), !borrowed.isEmpty());
    QCOMPARE(caption.contains(QStringLiteral("not drawn: ")), !undrawn.isEmpty());
    for (const QChar c : borrowed + undrawn) {
        QVERIFY2(caption.contains(c), qPrintable(caption));
    }
}

void TestRender::lookAlikeCharactersAreDrawnApart_data() {
    QTest::addColumn<QString>("one");
    QTest::addColumn<QString>("other");

    // Pairs of which a style once drew the first with the second's glyph.
    QTest::newRow("闫 阎") << QStringLiteral("闫") << QStringLiteral("阎");
    QTest::newRow("堃 坤") << QStringLiteral("堃") << QStringLiteral("坤");
    QTest::newRow("奕 弈") << QStringLiteral("奕") << QStringLiteral("弈");
    QTest::newRow("默 嘿") << QStringLiteral("默") << QStringLiteral("嘿");
    QTest::newRow("她 他") << QStringLiteral("她") << QStringLiteral("他");
    QTest::newRow("柒 七") << QStringLiteral("柒") << QStringLiteral("七");
    QTest::newRow("攀 扳") << QStringLiteral("攀") << QStringLiteral("扳");
    QTest::newRow("氯 绿") << QStringLiteral("氯") << QStringLiteral("绿");
    QTest::newRow("搞 搅") << QStringLiteral("搞") << QStringLiteral("搅");
    QTest::newRow("瞠 瞪") << QStringLiteral("瞠") << QStringLiteral("瞪");
}

void TestRender::lookAlikeCharactersAreDrawnApart() {
    QFETCH(QString, one);
    QFETCH(QString, other);
    SignatureRenderer renderer{SignatureLook()};
    for (int slot = 0; slot < kStyleCount; ++slot) {
        const QImage first = renderer.image(slot, one);
        const QImage second = renderer.image(slot, other);
        QVERIFY(!first.isNull() && !second.isNull());
        QVERIFY2(first != second, qPrintable(QStringLiteral("style %1 (%2) draws %3 as %4")
                                                 .arg(slot)
                                                 .arg(styleSlot(slot).caption, one, other)));
    }
}

void TestRender::stylesByNumberCaptionOrFace_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("slot"); // -1: none

    QTest::newRow("first") << QStringLiteral("0") << 0;
    QTest::newRow("last") << QStringLiteral("14") << 14;
    QTest::newRow("placeholder") << QStringLiteral("15") << -1;
    QTest::newRow("negative") << QStringLiteral("-1") << -1;
    QTest::newRow("leading zero") << QStringLiteral("07") << 7;
    QTest::newRow("leading zeros") << QStringLiteral("0014") << 14;
    QTest::newRow("leading zeros, placeholder") << QStringLiteral("0015") << -1;
    QTest::newRow("zeros") << QStringLiteral("000") << 0;
    QTest::newRow("long number") << QStringLiteral("100000000000000000007") << -1;
    QTest::newRow("blank around") << QStringLiteral(" 3") << -1;
    QTest::newRow("full-width digit") << QStringLiteral("３") << -1;
    QTest::newRow("caption") << QStringLiteral("疾风草书") << 12;
    QTest::newRow("face") << QStringLiteral("Halwen疾风草书") << 12;
    QTest::newRow("caption differs from face") << QStringLiteral("Ostrid手写字体") << 4;
    QTest::newRow("its face") << QStringLiteral("vantrel") << 4;
    QTest::newRow("face with a blank") << QStringLiteral("Corvan草书 繁") << 10;
    QTest::newRow("status label is not a name") << QStringLiteral("PALS Script") << -1;
    QTest::newRow("other case") << QStringLiteral("blazed") << 8;
    QTest::newRow("other case, face") << QStringLiteral("HALWEN疾风草书") << 12;
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
    const Outcome outcome = useEmbeddedStyleFonts(
        [&platform](int id) { return platform.embeddedResource(QStringLiteral("CUSTOM"), id); });
    QCOMPARE(englishText(outcome), error);
}

namespace {

const int kTableSlot = 12;
const QString kTableName = QStringLiteral("张伟 John");
const QColor kTableInk(0x1f, 0x3a, 0x93);

} // namespace

const TestRender::Reference& TestRender::reference(bool background) {
    std::optional<Reference>& known = m_references.at(background ? 1 : 0);
    if (!known) {
        const QString file =
            background ? m_dir.filePath(QStringLiteral("background.png")) : QString();
        Reference made;
        made.drawing =
            test::designerSignature(DesignerChoice{kTableSlot, kTableName, 42.0F, kTableInk, file});
        SignatureLook look;
        if (background) {
            look.background = QImage(file);
        }
        // The renderer's blank canvas is the designer's (matchesTheDesignersCanvas).
        const SignatureRenderer renderer(look);
        made.blank = renderer.blankImage();
        made.ink = inkRect(made.drawing, made.blank);
        made.backColor = made.blank.pixelColor(made.blank.width() - 1, made.blank.height() - 1);
        known = made;
    }
    return *known;
}

void TestRender::everyOutputDrawsTheDesignersSignature_data() {
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<qreal>("dpi"); // of the raster written, or of the vector file rasterised
    QTest::addColumn<int>("trim");  // -1: not trimmed
    QTest::addColumn<bool>("background");

    for (const OutputFormat format :
         {OutputFormat::Bitmap, OutputFormat::Png, OutputFormat::Svg, OutputFormat::Pdf}) {
        for (const bool transparent : {false, true}) {
            if (transparent && !canBeTransparent(format)) {
                continue;
            }
            for (const qreal dpi : {96.0, 150.0, 300.0}) {
                for (const int trim : {-1, 0, 8}) {
                    for (const bool background : {false, true}) {
                        QTest::addRow("%s%s, %g dpi, %s%s", qPrintable(extensionOf(format)),
                                      transparent ? ", transparent" : "", dpi,
                                      trim < 0 ? "whole canvas"
                                               : qPrintable(QStringLiteral("trim %1").arg(trim)),
                                      background ? ", picture" : "")
                            << format << transparent << dpi << trim << background;
                    }
                }
            }
        }
    }
}

void TestRender::everyOutputDrawsTheDesignersSignature() {
    QFETCH(OutputFormat, format);
    QFETCH(bool, transparent);
    QFETCH(qreal, dpi);
    QFETCH(int, trim);
    QFETCH(bool, background);
    const Reference& designer = reference(background);
    QVERIFY(!designer.drawing.isNull());
    QVERIFY(!designer.ink.isEmpty());
    const qreal ratio = dpi / 96;

    SignatureLook look;
    look.colour = kTableInk;
    look.transparent = transparent;
    if (background) {
        look.background = backgroundFixture();
    }

    // The whole canvas and, as the file holds it, what was written; both at `dpi`.
    QImage canvas;
    QImage blank;
    QImage written;
    if (isRaster(format)) {
        look.dotsPerInch = dpi;
        SignatureRenderer renderer(look);
        canvas = renderer.image(kTableSlot, kTableName);
        blank = renderer.blankImage();
        const QImage output = trim < 0 ? canvas : cropToInk(canvas, inkRect(canvas, blank), trim);
        written = QImage::fromData(encodeRaster(output, format));
        QVERIFY(!written.isNull());
        QCOMPARE(written.dotsPerMeterX(), qRound(dpi / 0.0254));
        QCOMPARE(written.hasAlphaChannel(), transparent);
    } else {
        SignatureRenderer renderer(look);
        const VectorPicture picture = renderer.outlines(kTableSlot, kTableName);
        VectorPicture nameless = picture;
        nameless.items.pop_back();
        canvas = paintAt(picture, ratio);
        blank = paintAt(nameless, ratio);
        const VectorPicture output = trim < 0 ? picture : cropToInk(picture, trim);
        // Both writers paint the visible part. Painted where it lies on the canvas, so that it
        // falls on the same device pixels as `canvas` does.
        VectorPicture onCanvas = visiblePart(output);
        onCanvas.viewport = picture.viewport;
        for (VectorItem& item : onCanvas.items) {
            item.clip = item.clip.isEmpty() ? output.viewport : item.clip & output.viewport;
        }
        written = paintAt(onCanvas, ratio).copy(devicePixelsOf(output.viewport.toRect(), ratio));
        QCOMPARE(output.viewport, QRectF(output.viewport.toRect()));
        if (format == OutputFormat::Svg) {
            const SvgContents svg = readSvg(svgDocument(output, kTableName));
            QVERIFY2(svg.error.isEmpty(), qPrintable(svg.error));
            const QRectF v = output.viewport;
            QCOMPARE(
                svg.viewBox,
                QStringLiteral("%1 %2 %3 %4").arg(v.x()).arg(v.y()).arg(v.width()).arg(v.height()));
            QCOMPARE(svg.images.size(), background ? 1 : 0);
        } else {
            const QByteArray pdf = pdfDocument(output, kTableName);
            QCOMPARE(pdfImageSizes(pdf).size(), background ? 1 : 0);
            QVERIFY(!pdf.contains("/DCTDecode"));
        }
    }

    // Rasters at 96 dpi are the designer's pixels; anything else may differ where glyph
    // hinting does, by less than a pixel, and by resampling.
    const bool exact = isRaster(format) && qFuzzyCompare(ratio, 1.0);
    const int slack = exact ? 0 : 1;

    // The same ink at the same place on the canvas.
    const QRect ink = canvasPixelsOf(inkRect(canvas, blank), ratio);
    for (const auto& [edge, ours, theirs] : {std::tuple{"left", ink.left(), designer.ink.left()},
                                             {"top", ink.top(), designer.ink.top()},
                                             {"right", ink.right(), designer.ink.right()},
                                             {"bottom", ink.bottom(), designer.ink.bottom()}}) {
        QVERIFY2(std::abs(ours - theirs) <= slack,
                 qPrintable(QStringLiteral("ink %1 edge at %2, the designer's at %3")
                                .arg(QLatin1String(edge))
                                .arg(ours)
                                .arg(theirs)));
    }
    // The same pixels, seen at 96 dpi on the canvas's background.
    QImage seen = transparent ? flattenedOn(canvas, designer.backColor)
                              : canvas.convertToFormat(QImage::Format_RGB32);
    seen.setDevicePixelRatio(1.0);
    if (exact) {
        const QString difference = firstDifference(seen, designer.drawing);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    } else {
        const QImage scaled =
            seen.scaled(designer.drawing.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const double mean = meanDifference(scaled, designer.drawing);
        QVERIFY2(mean < 4.0, qPrintable(QStringLiteral("mean difference %1").arg(mean)));
    }

    // What was written is the canvas, or a cut of it on whole canvas pixels around the ink.
    const QRect canvasRect(QPoint(0, 0), designer.drawing.size());
    const QRect wanted =
        trim < 0 ? canvasRect
                 : designer.ink.adjusted(-trim, -trim, trim, trim).intersected(canvasRect);
    double best = 1e9;
    QRect keptBest;
    for (int l = -slack; l <= slack; ++l) {
        for (int t = -slack; t <= slack; ++t) {
            for (int r = -slack; r <= slack; ++r) {
                for (int b = -slack; b <= slack; ++b) {
                    const QRect kept = wanted.adjusted(l, t, r, b).intersected(canvasRect);
                    const QRect device = devicePixelsOf(kept, ratio);
                    if (device.size() != written.size()) {
                        continue;
                    }
                    const QImage cut = canvas.copy(device);
                    const double mean = firstDifference(written, cut).isEmpty()
                                            ? 0.0
                                            : meanDifference(written, cut);
                    if (mean < best) {
                        best = mean;
                        keptBest = kept;
                    }
                }
            }
        }
    }
    QVERIFY2(!keptBest.isEmpty(),
             qPrintable(QStringLiteral("%1x%2 written, no cut of the canvas near %3,%4 %5x%6")
                            .arg(written.width())
                            .arg(written.height())
                            .arg(wanted.x())
                            .arg(wanted.y())
                            .arg(wanted.width())
                            .arg(wanted.height())));
    // Raster cuts are copies; a vector cut's edges may fall inside a device pixel, which it
    // then covers only in part.
    if (isRaster(format) || qFuzzyCompare(ratio, 1.0)) {
        QCOMPARE(best, 0.0);
    } else {
        QVERIFY2(best < 1.0, qPrintable(QStringLiteral("mean difference %1").arg(best)));
    }
    if (!isRaster(format)) {
        // Outlines are cut where the designer's canvas inks, exactly.
        QCOMPARE(keptBest, wanted);
    }
}

void TestRender::vectorFilesCarryOnlyTheVisiblePicture_data() {
    QTest::addColumn<OutputFormat>("format");
    QTest::addColumn<QString>("kind");
    for (const OutputFormat format : {OutputFormat::Svg, OutputFormat::Pdf}) {
        for (const QString& kind :
             {QStringLiteral("canvas"), QStringLiteral("trimmed"), QStringLiteral("sheet")}) {
            QTest::addRow("%s, %s", qPrintable(extensionOf(format)), qPrintable(kind))
                << format << kind;
        }
    }
}

void TestRender::vectorFilesCarryOnlyTheVisiblePicture() {
    QFETCH(OutputFormat, format);
    QFETCH(QString, kind);
    SignatureLook look;
    look.background = largeNoisyPicture();
    SignatureRenderer renderer(look);
    VectorPicture picture = kind == QLatin1String("sheet")
                                ? outlineContactSheet(renderer, kTableName)
                                : renderer.outlines(kTableSlot, kTableName);
    if (kind == QLatin1String("trimmed")) {
        picture = cropToInk(std::move(picture), 4);
    }
    // The part of the picture that shows: every canvas shows the same part of it.
    const QRectF shown = kind == QLatin1String("sheet")
                             ? QRectF(QPointF(0, 0), QSizeF(renderer.innerPixels()))
                             : picture.viewport;
    const QImage expected = look.background.copy(shown.toRect());

    QList<QImage> carried;
    if (format == OutputFormat::Svg) {
        const QByteArray document = svgDocument(picture, kTableName);
        const SvgContents svg = readSvg(document);
        QVERIFY2(svg.error.isEmpty(), qPrintable(svg.error));
        carried = svg.images;
    } else {
        const QByteArray pdf = pdfDocument(picture, kTableName);
        QVERIFY(!pdf.contains("/DCTDecode"));
        const QList<QSize> sizes = pdfImageSizes(pdf);
        QCOMPARE(sizes.size(), 1);
        QCOMPARE(sizes.first(), expected.size());
        // Stored without loss: one of the streams is exactly the picture's red, green, blue.
        QByteArray rgb;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb pixel = expected.pixel(x, y);
                rgb.append(char(qRed(pixel)))
                    .append(char(qGreen(pixel)))
                    .append(char(qBlue(pixel)));
            }
        }
        bool lossless = false;
        for (const QByteArray& stream : pdfStreams(pdf)) {
            lossless = lossless || stream.startsWith(rgb);
        }
        QVERIFY2(lossless, "the picture's pixels are not in the PDF as they are");
        return;
    }
    // Once, and no more of it than shows, pixel for pixel.
    QCOMPARE(carried.size(), 1);
    const QString difference =
        firstDifference(carried.first().convertToFormat(QImage::Format_RGB32), expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void TestRender::failedWriteKeepsTheEarlierFile_data() {
    QTest::addColumn<OutputFormat>("format");
    for (const OutputFormat format : {OutputFormat::Bitmap, OutputFormat::Png, OutputFormat::Jpeg,
                                      OutputFormat::Svg, OutputFormat::Pdf}) {
        QTest::newRow(qPrintable(extensionOf(format))) << format;
    }
}

void TestRender::failedWriteKeepsTheEarlierFile() {
    QFETCH(OutputFormat, format);
    SignatureLook look;
    look.background = backgroundFixture();
    SignatureRenderer renderer(look);
    const QImage image = renderer.image(kTableSlot, kTableName);
    const VectorPicture picture = renderer.outlines(kTableSlot, kTableName);
    const QByteArray bytes = format == OutputFormat::Svg   ? svgDocument(picture, kTableName)
                             : format == OutputFormat::Pdf ? pdfDocument(picture, kTableName)
                                                           : encodeRaster(image, format);
    QVERIFY(bytes.size() > 1024);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("signature.") + extensionOf(format));
    const QByteArray earlier("an earlier signature");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(earlier), earlier.size());
    }
    const auto write = [&]() -> QString {
        return englishText([&] {
            switch (format) {
            case OutputFormat::Bitmap:
            case OutputFormat::Png:
            case OutputFormat::Jpeg:
                return writeRaster(image, path, format);
            case OutputFormat::Svg:
                return writeSvg(picture, path, kTableName);
            case OutputFormat::Pdf:
                return writePdf(picture, path, kTableName);
            }
            return Outcome{};
        }());
    };
    // Just too small for the new file; the earlier one fits easily.
    QCOMPARE(messageUnderFileSizeLimit(write, rlim_t(bytes.size() - 1)),
             QStringLiteral("the file is larger than this process may write"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), earlier);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(path).fileName()});

    // With room enough, the same call writes exactly those bytes.
    QCOMPARE(messageUnderFileSizeLimit(write, rlim_t(bytes.size())), QStringLiteral("<success>"));
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (format == OutputFormat::Pdf) {
        // A PDF carries the time it was made.
        QCOMPARE(file.size(), bytes.size());
    } else {
        QCOMPARE(file.readAll(), bytes);
    }
}

namespace {

/// Where `image` differs from `blank` within `area` (device pixels), in the image's pixels.
QRect inkWithin(const QImage& image, const QImage& blank, const QRect& area) {
    const QRect cut = area.intersected(image.rect());
    const QRect found = inkRect(image.copy(cut), blank.copy(cut));
    return found.isEmpty() ? QRect() : found.translated(cut.topLeft());
}

/// The middle of the ink in the rows [top, top + rows) of `image`.
qreal inkMiddleOfRows(const QImage& image, const QImage& blank, int top, int rows) {
    const QRect ink = inkWithin(image, blank, QRect(0, top, image.width(), rows));
    return ink.isEmpty() ? -1 : (ink.left() + ink.right() + 1) / 2.0;
}

LineShape shapeOf(double spacing, double slant, double rise, double first, bool vertical) {
    LineShape shape;
    shape.spacingEm = spacing;
    shape.slantDegrees = slant;
    shape.riseDegrees = rise;
    shape.firstScale = first;
    shape.vertical = vertical;
    return shape;
}

} // namespace

void TestRender::shapedLinesShowOnTheInk_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::addColumn<LineShape>("shape");
    QTest::addColumn<bool>("fit");

    const QString name = QStringLiteral("王小明");
    QTest::newRow("plain") << 0 << name << LineShape{} << true;
    QTest::newRow("open, +1 em") << 0 << name << shapeOf(1, 0, 0, 1, false) << true;
    QTest::newRow("overlapping, -0.3 em") << 0 << name << shapeOf(-0.3, 0, 0, 1, false) << true;
    QTest::newRow("first character 2x") << 0 << name << shapeOf(0, 0, 0, 2, false) << true;
    QTest::newRow("first character 0.5x") << 0 << name << shapeOf(0, 0, 0, 0.5, false) << true;
    QTest::newRow("slant +25") << 0 << name << shapeOf(0, 25, 0, 1, false) << true;
    QTest::newRow("slant -20") << 0 << name << shapeOf(0, -20, 0, 1, false) << true;
    QTest::newRow("rise +15") << 0 << name << shapeOf(0, 0, 15, 1, false) << true;
    QTest::newRow("rise -20") << 0 << name << shapeOf(0, 0, -20, 1, false) << true;
    QTest::newRow("vertical") << 0 << name << shapeOf(0, 0, 0, 1, true) << true;
    QTest::newRow("vertical, open, first 1.5x")
        << 0 << name << shapeOf(0.5, 0, 0, 1.5, true) << true;
    QTest::newRow("rise on the designed canvas, drawn smaller")
        << 0 << name << shapeOf(0, 0, 20, 1, false) << false;
    QTest::newRow("everything, mixed scripts, cursive")
        << 12 << QStringLiteral("张伟 John") << shapeOf(-0.1, 12, 10, 1.4, false) << true;
}

void TestRender::shapedLinesShowOnTheInk() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(LineShape, shape);
    QFETCH(bool, fit);

    SignatureLook plainLook;
    plainLook.fitWholeName = fit;
    SignatureRenderer plain(plainLook);
    const QImage plainImage = plain.image(slot, name);
    const QRect plainInk = inkRect(plainImage, plain.blankImage());

    SignatureLook look = plainLook;
    look.shape = shape;
    SignatureRenderer renderer(look);
    const QImage image = renderer.image(slot, name);
    const QImage blank = renderer.blankImage();
    QCOMPARE(image.size(), blank.size());
    const QRect ink = inkRect(image, blank);
    QVERIFY(!ink.isEmpty());
    // Nothing is cut: the ink keeps off every edge of the canvas.
    QVERIFY2(ink.left() > 0 && ink.top() > 0 && ink.right() < image.width() - 1 &&
                 ink.bottom() < image.height() - 1,
             qPrintable(QStringLiteral("ink %1,%2 %3x%4 on %5x%6")
                            .arg(ink.x())
                            .arg(ink.y())
                            .arg(ink.width())
                            .arg(ink.height())
                            .arg(image.width())
                            .arg(image.height())));

    // Every pixel of ink lies in a grapheme's box, so that the animations uncover all of it.
    const NameLayout layout = renderer.layout(slot, name);
    QRegion boxes;
    for (const GraphemePlace& place : layout.graphemes) {
        if (!place.blank) {
            boxes += place.box.toAlignedRect().adjusted(-1, -1, 1, 1);
        }
    }
    for (int y = ink.top(); y <= ink.bottom(); ++y) {
        for (int x = ink.left(); x <= ink.right(); ++x) {
            if (image.pixel(x, y) != blank.pixel(x, y) && !boxes.contains(QPoint(x, y))) {
                QFAIL(qPrintable(QStringLiteral("ink at %1,%2 is in no box").arg(x).arg(y)));
            }
        }
    }

    // The outlines of SVG and PDF lie on the same ink.
    const VectorPicture outlines = renderer.outlines(slot, name);
    QCOMPARE(outlines.viewport, QRectF(QPointF(0, 0), QSizeF(image.size())));
    QCOMPARE(outlines.ink, QRectF(ink));
    const QRect drawnInk = inkRect(rasterise(outlines, blank), blank);
    const SvgContents svg = readSvg(svgDocument(outlines, name));
    QVERIFY2(svg.error.isEmpty(), qPrintable(svg.error));
    const QRect svgReach = svg.paths.last().second.boundingRect().toAlignedRect();
    for (const auto& [a, b, c] : {std::tuple{ink.left(), drawnInk.left(), svgReach.left()},
                                  {ink.top(), drawnInk.top(), svgReach.top()},
                                  {ink.right(), drawnInk.right(), svgReach.right()},
                                  {ink.bottom(), drawnInk.bottom(), svgReach.bottom()}}) {
        QVERIFY2(std::abs(a - b) <= 1 && std::abs(a - c) <= 2,
                 qPrintable(QStringLiteral("ink edge %1, outline edge %2, SVG path edge %3")
                                .arg(a)
                                .arg(b)
                                .arg(c)));
    }

    if (shape.isPlain()) {
        const QString difference = firstDifference(image, plainImage);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        return;
    }
    const qreal em = layout.emPixels;
    QVERIFY(em > 10);
    // Each character's ink, from its box.
    QList<QRect> characters;
    for (const GraphemePlace& place : layout.graphemes) {
        if (!place.blank) {
            characters.append(inkWithin(image, blank, place.box.toAlignedRect()));
        }
    }
    QVERIFY(characters.size() >= 2);
    const QRect first = characters.at(0);
    const QRect second = characters.at(1);
    const bool drawnSmaller = !fit;
    if (shape.vertical) {
        QVERIFY2(ink.height() > 2 * ink.width(), "a column is taller than wide");
        QVERIFY2(second.center().y() > first.bottom() - em * 0.3, "written top to bottom");
        QVERIFY2(std::abs(second.center().x() - first.center().x()) < em * 0.3, "centred");
    }
    if (!shape.vertical && shape.riseDegrees == 0 && shape.slantDegrees == 0 &&
        shape.firstScale == 1) {
        // Each em of spacing between the three characters widens the ink by two ems.
        const double grown = ink.width() - plainInk.width();
        QVERIFY2(std::abs(grown - 2 * shape.spacingEm * em) < 0.15 * em,
                 qPrintable(
                     QStringLiteral("%1 pixels wider for %2 em").arg(grown).arg(shape.spacingEm)));
    }
    if (shape.firstScale != 1 && !shape.vertical && shape.riseDegrees == 0) {
        // Against the same two characters drawn plain, which need not be of one height.
        const NameLayout plainLayout = plain.layout(slot, name);
        const QImage plainBlank = plain.blankImage();
        const double plainRatio =
            double(
                inkWithin(plainImage, plainBlank, plainLayout.graphemes.at(0).box.toAlignedRect())
                    .height()) /
            inkWithin(plainImage, plainBlank, plainLayout.graphemes.at(1).box.toAlignedRect())
                .height();
        const double ratio = double(first.height()) / second.height() / plainRatio;
        QVERIFY2(std::abs(ratio - shape.firstScale) < 0.1 * shape.firstScale,
                 qPrintable(
                     QStringLiteral("first character %1 times as high as drawn plain").arg(ratio)));
        // Bottoms aligned.
        QVERIFY2(
            std::abs(first.bottom() - second.bottom()) < 0.15 * em,
            qPrintable(
                QStringLiteral("bottoms at %1 and %2").arg(first.bottom()).arg(second.bottom())));
    }
    if (shape.riseDegrees != 0 && !shape.vertical && shape.firstScale == 1 &&
        shape.slantDegrees == 0) {
        // The second character's centre climbs (or falls) as far as the line turns.
        const qreal expected = (second.center().x() - first.center().x()) *
                               std::tan(qDegreesToRadians(shape.riseDegrees));
        const qreal climbed = first.center().y() - second.center().y();
        QVERIFY2(climbed * shape.riseDegrees > 0 && std::abs(climbed - expected) < 0.2 * em,
                 qPrintable(QStringLiteral("climbed %1, expected %2").arg(climbed).arg(expected)));
        if (drawnSmaller) {
            QVERIFY2(ink.height() < plainInk.height() + 2 * em, "drawn smaller to fit");
        }
    }
    if (shape.slantDegrees != 0 && shape.riseDegrees == 0 && !shape.vertical &&
        shape.firstScale == 1 && shape.spacingEm == 0) {
        // The top of the ink moves across against its bottom; the height stays.
        constexpr int kBand = 3;
        const auto lean = [&](const QImage& drawn, const QImage& empty, const QRect& area) {
            return inkMiddleOfRows(drawn, empty, area.top(), kBand) -
                   inkMiddleOfRows(drawn, empty, area.bottom() + 1 - kBand, kBand);
        };
        const qreal shift =
            lean(image, blank, ink) - lean(plainImage, plain.blankImage(), plainInk);
        const qreal expected = ink.height() * std::tan(qDegreesToRadians(shape.slantDegrees));
        QVERIFY2(std::abs(shift - expected) < 0.3 * std::abs(expected),
                 qPrintable(QStringLiteral("top moved %1 against the bottom, expected %2")
                                .arg(shift)
                                .arg(expected)));
        QVERIFY2(std::abs(ink.height() - plainInk.height()) <= 2, "the shear keeps the height");
    }
}

void TestRender::wholeNameFitsWhenAsked_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::addColumn<float>("points");
    QTest::addColumn<bool>("fitsAlready");
    QTest::newRow("欧阳娜娜 Ouyang Nana")
        << 12 << QStringLiteral("欧阳娜娜 Ouyang Nana") << 42.0F << false;
    QTest::newRow("taller than the canvas") << 9 << QStringLiteral("欧阳娜娜") << 120.0F << false;
    QTest::newRow("a name that fits") << 12 << QStringLiteral("张伟 John") << 42.0F << true;
}

void TestRender::wholeNameFitsWhenAsked() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(float, points);
    QFETCH(bool, fitsAlready);

    SignatureLook look;
    look.points = points;
    SignatureRenderer canvas(look);
    const QImage cut = canvas.image(slot, name);
    look.fitWholeName = true;
    SignatureRenderer fitted(look);
    const QImage whole = fitted.image(slot, name);
    const QImage blank = fitted.blankImage();
    if (fitsAlready) {
        // Nothing to fit: the canvas's own pixels.
        const QString difference = firstDifference(whole, cut);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        return;
    }
    // The designer's canvas cuts the name at its edges; the fitted canvas holds all of it.
    const QRect cutInk = inkRect(cut, canvas.blankImage());
    QVERIFY(cutInk.left() == 0 || cutInk.top() == 0 || cutInk.right() == cut.width() - 1 ||
            cutInk.bottom() == cut.height() - 1);
    QCOMPARE(fitted.canvasFor(slot, name), fitted.innerPixels() + QSize(2, 2) * 2);
    QVERIFY(whole.width() >= cut.width() && whole.height() >= cut.height());
    const QRect ink = inkRect(whole, blank);
    QVERIFY2(ink.left() > 0 && ink.top() > 0 && ink.right() < whole.width() - 1 &&
                 ink.bottom() < whole.height() - 1,
             "the whole name shows");
    // Its first and its last letter are inked: the first and last graphemes' boxes hold ink.
    const NameLayout layout = fitted.layout(slot, name);
    QVERIFY(!layout.graphemes.empty());
    QCOMPARE(layout.graphemes.front().start, 0);
    QCOMPARE(layout.graphemes.back().start + layout.graphemes.back().length, name.size());
    for (const GraphemePlace& end : {layout.graphemes.front(), layout.graphemes.back()}) {
        QVERIFY(!inkWithin(whole, blank, end.box.toAlignedRect()).isEmpty());
    }
    // The outlines fit the same canvas and ink.
    const VectorPicture outlines = fitted.outlines(slot, name);
    QCOMPARE(outlines.viewport.size(), QSizeF(whole.size()));
    const QRect outlineInk = outlines.ink.toRect();
    QVERIFY2(std::abs(outlineInk.left() - ink.left()) <= 1 &&
                 std::abs(outlineInk.right() - ink.right()) <= 1,
             "the outlines' ink is the picture's");
}

void TestRender::sealIsARedSquareBesideTheName_data() {
    QTest::addColumn<SealText>("seal");
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<bool>("transparent");
    QTest::newRow("surname") << SealText::Surname << false << false;
    QTest::newRow("whole name") << SealText::Name << false << false;
    QTest::newRow("whole name, transparent") << SealText::Name << false << true;
    QTest::newRow("surname, vertical") << SealText::Surname << true << false;
}

void TestRender::sealIsARedSquareBesideTheName() {
    QFETCH(SealText, seal);
    QFETCH(bool, vertical);
    QFETCH(bool, transparent);
    const QString name = QStringLiteral("司马相如");

    SignatureLook look;
    look.fitWholeName = true;
    look.transparent = transparent;
    look.seal = seal;
    look.shape.vertical = vertical;
    SignatureRenderer renderer(look);
    const QImage image = renderer.image(0, name);
    // The PNG file's pixels.
    const QImage png = QImage::fromData(encodeRaster(image, OutputFormat::Png))
                           .convertToFormat(QImage::Format_ARGB32);
    QRect red;
    int redPixels = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            if (png.pixel(x, y) == kSealColour.rgb()) {
                red |= QRect(x, y, 1, 1);
                ++redPixels;
            }
        }
    }
    QVERIFY2(!red.isEmpty(), "no seal");
    QVERIFY2(std::abs(red.width() - red.height()) <= 2, "the seal is square");
    // Red with its characters cut out: neither empty nor solid.
    const double share = double(redPixels) / (double(red.width()) * red.height());
    QVERIFY2(share > 0.3 && share < 0.9, qPrintable(QStringLiteral("%1 of it red").arg(share)));
    // Beside the name's end: right of it, or under it when written top to bottom.
    const NameLayout layout = renderer.layout(0, name);
    const QRectF last = layout.graphemes.back().box;
    if (vertical) {
        QVERIFY(red.top() > last.center().y());
    } else {
        QVERIFY(red.left() > last.center().x());
    }

    // The SVG carries it as a red outline over the same square.
    const SvgContents svg = readSvg(svgDocument(renderer.outlines(0, name), name));
    QVERIFY2(svg.error.isEmpty(), qPrintable(svg.error));
    bool found = false;
    for (const auto& [colour, path] : svg.paths) {
        if (colour == kSealColour) {
            const QRect square = path.boundingRect().toAlignedRect();
            found = std::abs(square.left() - red.left()) <= 2 &&
                    std::abs(square.right() - red.right()) <= 2 &&
                    std::abs(square.top() - red.top()) <= 2;
        }
    }
    QVERIFY2(found, "no red square in the SVG");
    // A whole name's seal holds more characters than the surname's: more of it is cut out.
    if (seal == SealText::Name && !transparent) {
        look.seal = SealText::Surname;
        SignatureRenderer surname(look);
        const QImage one = surname.image(0, name);
        int oneRed = 0;
        for (int y = 0; y < one.height(); ++y) {
            for (int x = 0; x < one.width(); ++x) {
                oneRed += one.pixel(x, y) == kSealColour.rgb() ? 1 : 0;
            }
        }
        QVERIFY(oneRed != redPixels);
    }
}

QTEST_MAIN(TestRender)
#include "tst_render.moc"
