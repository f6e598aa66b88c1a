// The signature written before the eyes: the pace, the frames, and the GIF, WebP and SVG files
// read back with decoders other than the ones that wrote them.

#include "core/AnimatedExport.h"
#include "core/GifAnimation.h"
#include "core/OutputFormat.h"
#include "core/RevealTimeline.h"
#include "core/SignatureAnimation.h"
#include "core/SignatureRenderer.h"
#include "core/StrokeOrder.h"
#include "core/SvgAnimation.h"
#include "core/WebpAnimation.h"
#include "support/DesignerSignature.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <gif_lib.h>
#include <memory>
#include <vector>
#include <webp/demux.h>

using namespace inkvale;

namespace {

const QString kFontsDir = QStringLiteral(INKVALE_FONTS_DIR);

/// A part of a glyph's ink: where in its ink box, each edge from 0 to 1.
struct InkPart {
    int grapheme = 0;
    double left = 0;
    double top = 0;
    double right = 1;
    double bottom = 1;
    QString what;
};

/// A look of the table below: how the canvas is laid.
enum class Canvas { White, Transparent, Picture, DoubleResolution };

SignatureLook lookFor(Canvas canvas) {
    SignatureLook look;
    switch (canvas) {
    case Canvas::White:
        break;
    case Canvas::Transparent:
        look.transparent = true;
        look.colour = QColor(Qt::darkBlue);
        break;
    case Canvas::Picture: {
        // Stripes of gradients: with the ink's edges, more colours than a GIF palette holds.
        QImage picture(200, 60, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                picture.setPixel(
                    x, y, (x / 10) % 2 ? qRgb(250, 220, 120 + y) : qRgb(140 + x / 2, 200, 250));
            }
        }
        look.background = picture;
        break;
    }
    case Canvas::DoubleResolution:
        look.dotsPerInch = 192;
        break;
    }
    return look;
}

/// The pixels of `image` premultiplied, so that clear pixels compare equal whatever colour
/// they carry.
QImage comparable(const QImage& image) {
    QImage copy = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    copy.setDevicePixelRatio(1);
    copy.setDotsPerMeterX(0);
    copy.setDotsPerMeterY(0);
    return copy;
}

/// Where two images first differ, for a failure message; empty when they are equal.
QString firstDifference(const QImage& actual, const QImage& expected) {
    const QImage a = comparable(actual);
    const QImage b = comparable(expected);
    if (a.size() != b.size()) {
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(a.width())
            .arg(a.height())
            .arg(b.width())
            .arg(b.height());
    }
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

/// Peak signal to noise ratio of the colour channels, in decibels; infinite when equal.
double psnr(const QImage& actual, const QImage& expected) {
    const QImage a = comparable(actual);
    const QImage b = comparable(expected);
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                squares += double(d) * d;
            }
        }
    }
    const double mean = squares / (3.0 * a.width() * a.height());
    return mean == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mean);
}

/// `image` with every pixel wholly clear (below half opacity) or opaque, its colour kept.
QImage oneBitOpacity(const QImage& image) {
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < copy.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x) {
            row[x] = qAlpha(row[x]) < 128 ? 0 : (row[x] | 0xff000000U);
        }
    }
    return copy;
}

/// A GIF read back with giflib: each frame composed as a viewer composes it, and its delay.
struct GifReadBack {
    int screenWidth = 0;
    int screenHeight = 0;
    std::vector<QImage> frames;
    std::vector<int> delays; ///< centiseconds
    std::vector<int> transparentIndices;
    bool loopsForever = false;
    int largestStoredFrame = 0; ///< pixels of the largest frame after the first
};

int readBytes(GifFileType* gif, GifByteType* bytes, int length) {
    auto* source = static_cast<QByteArray*>(gif->UserData);
    const int taken = int(std::min<qsizetype>(length, source->size()));
    std::memcpy(bytes, source->constData(), std::size_t(taken));
    source->remove(0, taken);
    return taken;
}

GifReadBack readGif(QByteArray bytes) {
    GifReadBack back;
    int error = 0;
    GifFileType* gif = DGifOpen(&bytes, &readBytes, &error);
    if (gif == nullptr || DGifSlurp(gif) != GIF_OK) {
        if (gif != nullptr) {
            DGifCloseFile(gif, &error);
        }
        return back;
    }
    back.screenWidth = gif->SWidth;
    back.screenHeight = gif->SHeight;
    QImage canvas(gif->SWidth, gif->SHeight, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    int disposal = DISPOSAL_UNSPECIFIED;
    QRect previous;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
            const ExtensionBlock& block = image.ExtensionBlocks[e];
            const ExtensionBlock& next = image.ExtensionBlocks[e + 1];
            if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
                std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 && next.ByteCount == 3 &&
                next.Bytes[0] == 1 && next.Bytes[1] == 0 && next.Bytes[2] == 0) {
                back.loopsForever = true;
            }
        }
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, i, &control);
        if (disposal == DISPOSE_BACKGROUND) {
            for (int y = previous.top(); y <= previous.bottom(); ++y) {
                for (int x = previous.left(); x <= previous.right(); ++x) {
                    canvas.setPixel(x, y, 0);
                }
            }
        }
        const GifImageDesc& desc = image.ImageDesc;
        const ColorMapObject* colours = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        for (int y = 0; y < desc.Height; ++y) {
            for (int x = 0; x < desc.Width; ++x) {
                const int index = image.RasterBits[y * desc.Width + x];
                if (index == control.TransparentColor) {
                    continue;
                }
                const GifColorType c = colours->Colors[index];
                canvas.setPixel(desc.Left + x, desc.Top + y, qRgb(c.Red, c.Green, c.Blue));
            }
        }
        if (i > 0) {
            back.largestStoredFrame = std::max(back.largestStoredFrame, desc.Width * desc.Height);
        }
        back.frames.push_back(canvas.copy());
        back.delays.push_back(control.DelayTime);
        back.transparentIndices.push_back(control.TransparentColor);
        disposal = control.DisposalMode;
        previous = QRect(desc.Left, desc.Top, desc.Width, desc.Height);
    }
    DGifCloseFile(gif, &error);
    return back;
}

/// A WebP read back with libwebp's animation decoder: each frame and when it ends.
struct WebpReadBack {
    std::vector<QImage> frames;
    std::vector<int> endsMs;
    int loopCount = -1;
};

WebpReadBack readWebp(const QByteArray& bytes) {
    WebpReadBack back;
    WebPData data{reinterpret_cast<const uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    const std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(
        WebPAnimDecoderNew(&data, &options), &WebPAnimDecoderDelete);
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info)) {
        return back;
    }
    back.loopCount = int(info.loop_count);
    while (WebPAnimDecoderHasMoreFrames(decoder.get())) {
        uint8_t* pixels = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder.get(), &pixels, &timestamp)) {
            break;
        }
        back.frames.push_back(
            QImage(pixels, int(info.canvas_width), int(info.canvas_height), QImage::Format_RGBA8888)
                .copy());
        back.endsMs.push_back(timestamp);
    }
    return back;
}

/// Whether `frame` holds only pixels of `blank` or `finished`, each where it is, and all the
/// finished pixels `before` held.
QString notBetween(const QImage& frame, const QImage& before, const QImage& blank,
                   const QImage& finished) {
    const QImage f = comparable(frame);
    const QImage p = comparable(before);
    const QImage b = comparable(blank);
    const QImage d = comparable(finished);
    for (int y = 0; y < f.height(); ++y) {
        for (int x = 0; x < f.width(); ++x) {
            const QRgb pixel = f.pixel(x, y);
            if (pixel != b.pixel(x, y) && pixel != d.pixel(x, y)) {
                return QStringLiteral("pixel (%1, %2) is neither blank nor finished").arg(x).arg(y);
            }
            if (p.pixel(x, y) == d.pixel(x, y) && p.pixel(x, y) != b.pixel(x, y) &&
                pixel != d.pixel(x, y)) {
                return QStringLiteral("pixel (%1, %2) was uncovered, then covered again")
                    .arg(x)
                    .arg(y);
            }
        }
    }
    return {};
}

} // namespace

class TestAnimation final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void paceFollowsGlyphWidths_data();
    void paceFollowsGlyphWidths();
    void glyphsUncoverInWritingDirection();
    void framesGoFromBlankToTheStaticPicture_data();
    void framesGoFromBlankToTheStaticPicture();
    void readingOrder_data();
    void readingOrder();
    void gifReadsBack_data();
    void gifReadsBack();
    void webpReadsBack_data();
    void webpReadsBack();
    void svgAnimatesEachGlyphAndEndsAsTheStaticDrawing();
    void strokeDataGivesTheStandardOrder_data();
    void strokeDataGivesTheStandardOrder();
    void strokesAreWrittenInStrokeOrder_data();
    void strokesAreWrittenInStrokeOrder();
    void strokeSvgShowsTheSignatureWithoutAnimation();
    void commandLineWritesTheAskedLength_data();
    void commandLineWritesTheAskedLength();
};

void TestAnimation::initTestCase() {
    const QStringList missing = test::useBuiltStyleFonts(kFontsDir);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
}

namespace {

/// A laid-out name of `widths` ems (0 for a space) on a 20-pixel em, glyph boxes side by side.
NameLayout fixtureLayout(const std::vector<double>& widths, bool rightToLeft = false) {
    NameLayout layout;
    layout.emPixels = 20;
    qreal x = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        GraphemePlace place;
        place.start = qsizetype(i);
        place.length = 1;
        place.advance = widths[i] * layout.emPixels;
        place.blank = widths[i] == 0;
        place.box = QRectF(x, 0, std::max<qreal>(place.advance, 10), 40);
        place.rightToLeft = rightToLeft;
        x += std::max<qreal>(place.advance, 10);
        layout.graphemes.push_back(place);
    }
    return layout;
}

} // namespace

void TestAnimation::paceFollowsGlyphWidths_data() {
    QTest::addColumn<std::vector<double>>("widths");
    QTest::addColumn<int>("fps");
    QTest::addColumn<double>("seconds"); // 0 for the natural pace
    QTest::addColumn<std::vector<double>>("begins");
    QTest::addColumn<double>("writing");
    QTest::addColumn<int>("frames");

    // Two characters of one em: 0.42 s each, then the hold of a second.
    QTest::newRow("two CJK characters")
        << std::vector<double>{1, 1} << 25 << 0.0 << std::vector<double>{0, 0.42} << 0.84 << 46;
    // "Al Bo": a space pauses 0.2 s; "l" is held at the shortest time.
    QTest::newRow("Latin words with a pause")
        << std::vector<double>{0.6, 0.2, 0, 0.6, 0.5} << 10 << 0.0
        << std::vector<double>{0, 0.252, 0.572, 0.824} << 1.034 << 20;
    // The pace scaled so that writing and hold fill 3.68 s, twice the natural 1.84 s.
    QTest::newRow("duration set") << std::vector<double>{1, 1} << 25 << 3.68
                                  << std::vector<double>{0, 0.84} << 1.68 << 92;
    // A very short animation still has a frame without ink and a finished one.
    QTest::newRow("shorter than two frames")
        << std::vector<double>{1} << 1 << 0.5 << std::vector<double>{0} << 0.5 * 0.42 / 1.42 << 2;
    QTest::newRow("a trailing space adds no writing")
        << std::vector<double>{1, 0} << 50 << 0.0 << std::vector<double>{0} << 0.42 << 71;
}

void TestAnimation::paceFollowsGlyphWidths() {
    QFETCH(std::vector<double>, widths);
    QFETCH(int, fps);
    QFETCH(double, seconds);
    QFETCH(std::vector<double>, begins);
    QFETCH(double, writing);
    QFETCH(int, frames);

    AnimationPace pace;
    pace.fps = fps;
    if (seconds > 0) {
        pace.seconds = seconds;
    }
    const RevealTimeline timeline(fixtureLayout(widths), pace);
    QCOMPARE(timeline.strokes().size(), begins.size());
    for (std::size_t i = 0; i < begins.size(); ++i) {
        QVERIFY2(
            std::abs(timeline.strokes()[i].begin - begins[i]) < 1e-9,
            qPrintable(
                QStringLiteral("glyph %1 begins at %2").arg(i).arg(timeline.strokes()[i].begin)));
    }
    QVERIFY2(std::abs(timeline.writingSeconds() - writing) < 1e-9,
             qPrintable(QString::number(timeline.writingSeconds())));
    QCOMPARE(timeline.frameCount(), frames);
    QVERIFY(!timeline.isFinished(0));
    QVERIFY(timeline.uncovered(0).empty());
    QVERIFY(timeline.isFinished(frames - 1));
    // The frame before the end of the writing still writes.
    const int lastWriting = int(std::ceil(writing * fps - 1e-9)) - 1;
    QVERIFY(!timeline.isFinished(lastWriting));
}

void TestAnimation::glyphsUncoverInWritingDirection() {
    // Half way through the first of two glyphs, 0.21 s at 100 frames per second.
    AnimationPace pace;
    pace.fps = 100;
    const RevealTimeline leftToRight(fixtureLayout({1, 1}), pace);
    const std::vector<QRectF> ltr = leftToRight.uncovered(21);
    QCOMPARE(ltr.size(), std::size_t(1));
    QCOMPARE(ltr[0], QRectF(0, 0, 10, 40));

    const RevealTimeline rightToLeft(fixtureLayout({1, 1}, true), pace);
    const std::vector<QRectF> rtl = rightToLeft.uncovered(21);
    QCOMPARE(rtl.size(), std::size_t(1));
    QCOMPARE(rtl[0], QRectF(10, 0, 10, 40));

    // Once the first is written, it shows whole and the second begins.
    const std::vector<QRectF> later = leftToRight.uncovered(63);
    QCOMPARE(later.size(), std::size_t(2));
    QCOMPARE(later[0], QRectF(0, 0, 20, 40));
    QCOMPARE(later[1], QRectF(20, 0, 10, 40));
}

void TestAnimation::framesGoFromBlankToTheStaticPicture_data() {
    QTest::addColumn<Canvas>("canvas");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");

    QTest::newRow("white, mixed scripts") << Canvas::White << 12 << QStringLiteral("张伟 John");
    QTest::newRow("transparent") << Canvas::Transparent << 8 << QStringLiteral("Ann Smith");
    QTest::newRow("background picture") << Canvas::Picture << 0 << QStringLiteral("王小明");
    QTest::newRow("192 dpi") << Canvas::DoubleResolution << 7 << QStringLiteral("Li Na");
}

void TestAnimation::framesGoFromBlankToTheStaticPicture() {
    QFETCH(Canvas, canvas);
    QFETCH(int, slot);
    QFETCH(QString, name);

    SignatureRenderer renderer(lookFor(canvas));
    const QImage finished = renderer.image(slot, name);
    const QImage blank = renderer.blankImage();
    const SignatureAnimation animation(renderer, slot, name, {});
    QVERIFY(!animation.isNull());
    QVERIFY(animation.frameCount() > 10);

    const QImage first = animation.frame(0);
    QCOMPARE(firstDifference(first, blank), QString());
    const QImage last = animation.frame(animation.frameCount() - 1);
    QCOMPARE(firstDifference(last, finished), QString());
    QCOMPARE(last.format(), finished.format());
    QCOMPARE(last.dotsPerMeterX(), finished.dotsPerMeterX());

    // Every frame between: ink only where the finished signature has it, never taken back.
    QImage before = first;
    int inkGrew = 0;
    for (int index = 1; index < animation.frameCount(); ++index) {
        const QImage frame = animation.frame(index);
        QCOMPARE(notBetween(frame, before, blank, finished), QString());
        inkGrew += frame != before ? 1 : 0;
        before = frame;
    }
    // Written glyph after glyph, not in one step.
    QVERIFY2(inkGrew >= 8, qPrintable(QString::number(inkGrew)));
}

void TestAnimation::readingOrder_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rightToLeft");

    QTest::newRow("Chinese") << 12 << QStringLiteral("欧阳娜娜") << false;
    QTest::newRow("Latin") << 8 << QStringLiteral("Ann Smith") << false;
    QTest::newRow("Hebrew, from the right") << 8 << QStringLiteral("שלום עולם") << true;
}

void TestAnimation::readingOrder() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(bool, rightToLeft);

    SignatureRenderer renderer(SignatureLook{});
    const QImage blank = renderer.blankImage();
    const SignatureAnimation animation(renderer, slot, name, {});
    // The edge where the writing goes on moves one way only, from the side it starts.
    int edge = rightToLeft ? blank.width() : -1;
    int moves = 0;
    for (int index = 1; index < animation.frameCount(); ++index) {
        const QRect ink = inkRect(animation.frame(index), blank);
        if (ink.isEmpty()) {
            continue;
        }
        const int now = rightToLeft ? ink.left() : ink.right();
        QVERIFY2(
            rightToLeft ? now <= edge : now >= edge,
            qPrintable(QStringLiteral("frame %1: edge %2 after %3").arg(index).arg(now).arg(edge)));
        moves += now != edge ? 1 : 0;
        edge = now;
    }
    QVERIFY2(moves >= 4, qPrintable(QString::number(moves)));
}

void TestAnimation::gifReadsBack_data() {
    QTest::addColumn<Canvas>("canvas");
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");

    QTest::newRow("white") << Canvas::White << 25 << 12 << QStringLiteral("张伟 John");
    QTest::newRow("transparent") << Canvas::Transparent << 25 << 8 << QStringLiteral("Ann Smith");
    QTest::newRow("background picture, more colours than a palette")
        << Canvas::Picture << 10 << 0 << QStringLiteral("王小明");
    QTest::newRow("60 fps, faster than GIF delays")
        << Canvas::White << 60 << 12 << QStringLiteral("张伟");
}

void TestAnimation::gifReadsBack() {
    QFETCH(Canvas, canvas);
    QFETCH(int, fps);
    QFETCH(int, slot);
    QFETCH(QString, name);

    SignatureRenderer renderer(lookFor(canvas));
    const QImage finished = renderer.image(slot, name);
    const QImage blank = renderer.blankImage();
    AnimationPace pace;
    pace.fps = fps;
    const SignatureAnimation animation(renderer, slot, name, pace);
    const GifReadBack gif = readGif(encodeGifAnimation(animation));
    QCOMPARE(gif.screenWidth, finished.width());
    QCOMPARE(gif.screenHeight, finished.height());
    QVERIFY(gif.loopsForever);
    QVERIFY2(gif.frames.size() >= 6, qPrintable(QString::number(gif.frames.size())));
    QVERIFY(int(gif.frames.size()) <= animation.frameCount());

    // The whole length, to the centisecond; no delay shorter than viewers show.
    int total = 0;
    for (const int delay : gif.delays) {
        QVERIFY2(delay >= 2, qPrintable(QString::number(delay)));
        total += delay;
    }
    const int expected = int(std::lround(animation.timeline().seconds() * 100));
    QVERIFY2(std::abs(total - expected) <= 1,
             qPrintable(QStringLiteral("%1 cs, expected %2").arg(total).arg(expected)));
    // The hold is one frame of at least a second (with the last glyph's end when it adds no
    // ink).
    QVERIFY2(gif.delays.back() >= 96, qPrintable(QString::number(gif.delays.back())));

    // The finished signature as the static PNG shows it, all but exactly.
    // Where a GIF has one bit of opacity, half-clear pixels are wholly clear or opaque.
    const QImage png = oneBitOpacity(QImage::fromData(encodeRaster(finished, OutputFormat::Png)));
    const double last = psnr(gif.frames.back(), png);
    QVERIFY2(last >= 40, qPrintable(QStringLiteral("%1 dB").arg(last)));
    QVERIFY(psnr(gif.frames.front(), blank) >= 40);
    QVERIFY(inkRect(comparable(gif.frames.front()), comparable(blank)).isEmpty() ||
            canvas == Canvas::Picture);
    // After the first, frames store what changed, not the whole canvas.
    QVERIFY2(gif.largestStoredFrame < finished.width() * finished.height(),
             qPrintable(QString::number(gif.largestStoredFrame)));

    if (canvas == Canvas::Transparent) {
        QVERIFY(gif.transparentIndices.front() != NO_TRANSPARENT_COLOR);
        QCOMPARE(qAlpha(gif.frames.back().pixel(0, 0)), 0);
        QCOMPARE(qAlpha(gif.frames.front().pixel(finished.width() / 2, finished.height() / 2)), 0);
    } else {
        QCOMPARE(gif.transparentIndices.front(), NO_TRANSPARENT_COLOR);
    }
}

void TestAnimation::webpReadsBack_data() {
    QTest::addColumn<Canvas>("canvas");
    QTest::addColumn<int>("fps");
    QTest::addColumn<double>("seconds");

    QTest::newRow("white, natural pace") << Canvas::White << 25 << 0.0;
    QTest::newRow("transparent, 3 s") << Canvas::Transparent << 12 << 3.0;
    QTest::newRow("background picture, 60 fps") << Canvas::Picture << 60 << 0.0;
}

void TestAnimation::webpReadsBack() {
    QFETCH(Canvas, canvas);
    QFETCH(int, fps);
    QFETCH(double, seconds);

    const int slot = 12;
    const QString name = QStringLiteral("张伟 John");
    SignatureRenderer renderer(lookFor(canvas));
    const QImage finished = renderer.image(slot, name);
    const QImage blank = renderer.blankImage();
    AnimationPace pace;
    pace.fps = fps;
    if (seconds > 0) {
        pace.seconds = seconds;
    }
    const SignatureAnimation animation(renderer, slot, name, pace);
    const WebpReadBack webp = readWebp(encodeWebpAnimation(animation));
    QCOMPARE(webp.loopCount, 0);
    QVERIFY2(webp.frames.size() >= 6, qPrintable(QString::number(webp.frames.size())));
    // Equal frames are one: the hold is a single frame.
    QVERIFY(int(webp.frames.size()) < animation.frameCount());
    QCOMPARE(webp.endsMs.back(), int(animation.timeline().frameStartMs(animation.frameCount())));
    if (seconds > 0) {
        QCOMPARE(webp.endsMs.back(), int(seconds * 1000));
    }

    const QImage png = QImage::fromData(encodeRaster(finished, OutputFormat::Png));
    QCOMPARE(firstDifference(webp.frames.back(), png), QString());
    QCOMPARE(firstDifference(webp.frames.front(), blank), QString());
    if (canvas == Canvas::Transparent) {
        QCOMPARE(qAlpha(webp.frames.back().pixel(0, 0)), 0);
    }
}

void TestAnimation::svgAnimatesEachGlyphAndEndsAsTheStaticDrawing() {
    const int slot = 12;
    const QString name = QStringLiteral("张伟 John");
    SignatureLook look;
    look.transparent = true;
    SignatureRenderer renderer(look);
    const VectorPicture picture = renderer.outlines(slot, name);
    AnimationPace pace;
    pace.seconds = 5;
    const RevealTimeline timeline(renderer.layout(slot, name), pace);
    QCOMPARE(timeline.strokes().size(), std::size_t(6)); // 张, 伟, J, o, h, n
    const QByteArray animated = animatedSvgDocument(picture, timeline, name);
    const QByteArray still = svgDocument(picture, name);

    // Each glyph's rectangle grows from nothing at its own time; the last shows it all.
    QXmlStreamReader xml(animated);
    std::vector<double> begins;
    std::vector<double> durations;
    double shownWhole = -1;
    QStringList revealedPaths;
    QStringList paths;
    bool inReveal = false;
    int revealGroups = 0;
    const auto secondsOf = [](QStringView text) {
        return text.endsWith(u's') ? text.chopped(1).toDouble() : -1;
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == u"animate") {
            QCOMPARE(attributes.value(QLatin1String("attributeName")).toString(),
                     QStringLiteral("width"));
            QCOMPARE(attributes.value(QLatin1String("from")).toString(), QStringLiteral("0"));
            QCOMPARE(attributes.value(QLatin1String("fill")).toString(), QStringLiteral("freeze"));
            begins.push_back(secondsOf(attributes.value(QLatin1String("begin"))));
            durations.push_back(secondsOf(attributes.value(QLatin1String("dur"))));
        } else if (xml.name() == u"set") {
            shownWhole = secondsOf(attributes.value(QLatin1String("begin")));
        } else if (xml.name() == u"script") {
            QFAIL("an animation needs no script");
        } else if (xml.name() == u"g") {
            inReveal = attributes.value(QLatin1String("clip-path")) == u"url(#reveal)";
            revealGroups += inReveal ? 1 : 0;
        } else if (xml.name() == u"path") {
            paths.append(attributes.value(QLatin1String("d")).toString());
            if (inReveal) {
                revealedPaths.append(attributes.value(QLatin1String("d")).toString());
            }
        }
    }
    QVERIFY(!xml.hasError());
    QCOMPARE(begins.size(), timeline.strokes().size());
    for (std::size_t i = 0; i < begins.size(); ++i) {
        QCOMPARE(begins[i], std::round(timeline.strokes()[i].begin * 1000) / 1000);
        QCOMPARE(durations[i], std::round(timeline.strokes()[i].duration * 1000) / 1000);
        QVERIFY(i == 0 || begins[i] > begins[i - 1]);
    }
    QCOMPARE(shownWhole, std::round(timeline.writingSeconds() * 1000) / 1000);
    QVERIFY(shownWhole > 0 && shownWhole < 5);
    QCOMPARE(revealGroups, 1);
    QCOMPARE(revealedPaths.size(), 1);

    // Without the animation it is the static document's drawing: the same outlines.
    QXmlStreamReader stillXml(still);
    QStringList stillPaths;
    while (!stillXml.atEnd()) {
        stillXml.readNext();
        if (stillXml.isStartElement() && stillXml.name() == u"path") {
            stillPaths.append(stillXml.attributes().value(QLatin1String("d")).toString());
        }
    }
    QCOMPARE(paths, stillPaths);
}

void TestAnimation::strokeDataGivesTheStandardOrder_data() {
    QTest::addColumn<uint>("character");
    QTest::addColumn<int>("strokes");
    QTest::addColumn<QString>("first"); // the first stroke's way: right, down, down-left

    QTest::newRow("十") << uint(U'十') << 2 << QStringLiteral("right");
    QTest::newRow("八") << uint(U'八') << 2 << QStringLiteral("down-left");
    QTest::newRow("口") << uint(U'口') << 3 << QStringLiteral("down");
    QTest::newRow("张") << uint(U'张') << 7 << QStringLiteral("right");
    QTest::newRow("鬱, level 3") << uint(U'鬱') << 29 << QStringLiteral("right");
    QTest::newRow("Latin") << uint(U'J') << 0 << QString();
    QTest::newRow("Extension B") << uint(0x20000) << 0 << QString();
}

void TestAnimation::strokeDataGivesTheStandardOrder() {
    QFETCH(uint, character);
    QFETCH(int, strokes);
    QFETCH(QString, first);

    QVERIFY(strokeOrderCharacters() > 9000);
    const std::vector<StrokeMedian> medians = strokeMedians(char32_t(character));
    QCOMPARE(int(medians.size()), strokes);
    if (strokes == 0) {
        return;
    }
    for (const StrokeMedian& median : medians) {
        QVERIFY(!median.empty());
        for (const QPointF& point : median) {
            QVERIFY(point.x() >= 0 && point.x() < 1 && point.y() >= 0 && point.y() < 1);
        }
    }
    // The way the pen first goes: from the start to the point of the first stroke farthest
    // from it.
    const StrokeMedian& opening = medians.front();
    QPointF way;
    for (const QPointF& point : opening) {
        const QPointF to = point - opening.front();
        way = std::hypot(to.x(), to.y()) > std::hypot(way.x(), way.y()) ? to : way;
    }
    if (first == QLatin1String("right")) {
        QVERIFY2(way.x() > 3 * std::abs(way.y()), qPrintable(QString::number(way.y())));
    } else if (first == QLatin1String("down")) {
        QVERIFY(way.y() > 3 * std::abs(way.x()));
    } else {
        QVERIFY(way.x() < 0 && way.y() > 0);
    }
}

void TestAnimation::strokesAreWrittenInStrokeOrder_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::addColumn<RevealKind>("reveal");
    QTest::addColumn<std::vector<InkPart>>("parts"); // each finished before the next shows
    QTest::addColumn<bool>("inOrder");

    // 十: the horizontal from left to right, then the vertical.
    const std::vector<InkPart> shi{{0, 0, 0, 0.2, 1, "horizontal's start"},
                                   {0, 0.8, 0, 1, 1, "horizontal's end"},
                                   {0, 0.3, 0.85, 0.7, 1, "vertical's foot"}};
    QTest::newRow("十, regular script") << 11 << "十" << RevealKind::Strokes << shi << true;
    QTest::newRow("十, running script") << 1 << "十" << RevealKind::Strokes << shi << true;
    // The straight wipe uncovers the vertical before the horizontal has reached its end.
    QTest::newRow("十, wiped") << 11 << "十" << RevealKind::Wipe << shi << false;
    QTest::newRow("八: left-falling, then right-falling")
        << 11 << "八" << RevealKind::Strokes
        << std::vector<InkPart>{{0, 0, 0.6, 0.3, 1, "left-falling's foot"},
                                {0, 0.7, 0.6, 1, 1, "right-falling's foot"}}
        << true;
    QTest::newRow("口: left, top and right, bottom")
        << 11 << "口" << RevealKind::Strokes
        << std::vector<InkPart>{{0, 0, 0.25, 0.2, 0.55, "left side"},
                                {0, 0.8, 0.25, 1, 0.55, "right side"},
                                {0, 0.4, 0.75, 0.6, 1, "bottom"}}
        << true;
    QTest::newRow("张: 弓, then 长")
        << 11 << "张" << RevealKind::Strokes
        << std::vector<InkPart>{{0, 0, 0, 0.25, 1, "弓"}, {0, 0.75, 0, 1, 1, "长"}} << true;
    QTest::newRow("十八口: character after character")
        << 11 << "十八口" << RevealKind::Strokes
        << std::vector<InkPart>{{0, 0, 0, 1, 1, "十"}, {1, 0, 0, 1, 1, "八"}, {2, 0, 0, 1, 1, "口"}}
        << true;
    // Along the ink from where the pen enters: the stem's top before its foot, which a wipe
    // uncovers at once; the letters in turn. Parts are chosen away from where strokes meet,
    // whose ink may go to either.
    QTest::newRow("Latin name") << 11 << "Li" << RevealKind::Strokes
                                << std::vector<InkPart>{{0, 0.2, 0, 0.7, 0.2, "L's top"},
                                                        {0, 0, 0.8, 0.3, 1, "L's foot"},
                                                        {1, 0, 0, 1, 1, "i"}}
                                << true;
    QTest::newRow("Latin name, wiped")
        << 11 << "Li" << RevealKind::Wipe
        << std::vector<InkPart>{{0, 0.2, 0, 0.7, 0.2, "L's top"}, {0, 0, 0.8, 0.3, 1, "L's foot"}}
        << false;
}

void TestAnimation::strokesAreWrittenInStrokeOrder() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(RevealKind, reveal);
    QFETCH(std::vector<InkPart>, parts);
    QFETCH(bool, inOrder);

    SignatureLook look;
    look.points = 60;
    look.dotsPerInch = 192;
    SignatureRenderer renderer(look);
    const QImage finished = comparable(renderer.image(slot, name));
    const QImage blank = comparable(renderer.blankImage());
    const NameLayout layout = renderer.layout(slot, name);
    AnimationPace pace;
    pace.fps = 60; // frames shorter than the pauses between strokes
    pace.reveal = reveal;
    const SignatureAnimation animation(renderer, slot, name, pace);
    QVERIFY(!animation.isNull());

    // The frame where each ink pixel shows first.
    const int width = finished.width();
    std::vector<int> shows(std::size_t(width) * std::size_t(finished.height()), -1);
    for (int index = 0; index < animation.frameCount(); ++index) {
        const QImage frame = comparable(animation.frame(index));
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                int& first = shows[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                if (first < 0 && finished.pixel(x, y) != blank.pixel(x, y) &&
                    frame.pixel(x, y) == finished.pixel(x, y)) {
                    first = index;
                }
            }
        }
    }
    // The frames in which a part of a glyph's ink begins and ends to show.
    const auto span = [&](const InkPart& part) {
        const GraphemePlace& place = layout.graphemes.at(std::size_t(part.grapheme));
        const QRect box = devicePixelsOf(place.box.toAlignedRect(), renderer.pixelRatio())
                              .intersected(finished.rect());
        const QRect ink = inkRect(finished.copy(box), blank.copy(box)).translated(box.topLeft());
        const QRectF area(
            QPointF(ink.left() + part.left * ink.width(), ink.top() + part.top * ink.height()),
            QPointF(ink.left() + part.right * ink.width(), ink.top() + part.bottom * ink.height()));
        std::pair<int, int> frames{animation.frameCount(), -1};
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            for (int x = ink.left(); x <= ink.right(); ++x) {
                const int first = shows[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                if (first >= 0 && area.contains(QPointF(x + 0.5, y + 0.5))) {
                    frames = {std::min(frames.first, first), std::max(frames.second, first)};
                }
            }
        }
        return frames;
    };
    bool ordered = true;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const auto [earlierBegins, earlierEnds] = span(parts[i]);
        const auto [laterBegins, laterEnds] = span(parts[i + 1]);
        QVERIFY2(
            earlierEnds >= 0 && laterEnds >= 0,
            qPrintable(QStringLiteral("no ink in %1 or %2").arg(parts[i].what, parts[i + 1].what)));
        QVERIFY(earlierBegins < animation.frameCount() - 1); // written, not just finished
        if (earlierEnds >= laterBegins) {
            ordered = false;
            if (inOrder) {
                QFAIL(qPrintable(QStringLiteral("%1 shows until frame %2, %3 from frame %4")
                                     .arg(parts[i].what)
                                     .arg(earlierEnds)
                                     .arg(parts[i + 1].what)
                                     .arg(laterBegins)));
            }
        }
    }
    QCOMPARE(ordered, inOrder);
}

void TestAnimation::strokeSvgShowsTheSignatureWithoutAnimation() {
    const int slot = 12;
    const QString name = QStringLiteral("张伟 John");
    SignatureLook look;
    look.transparent = true;
    SignatureRenderer renderer(look);
    AnimationPace pace;
    pace.seconds = 5;
    const QByteArray animated =
        animatedSignature(renderer, slot, name, AnimationFormat::Svg, pace).value;
    const QByteArray still = svgDocument(renderer.outlines(slot, name), name);

    // With SMIL the name is masked by a line for each of the 13 strokes of 张伟, drawn along its
    // median, and a growing circle for each piece of John's ink. Without it the mask's last
    // shape, a rectangle of the whole canvas, shows everything: it has no width only while
    // the writing plays.
    QXmlStreamReader xml(animated);
    QStringList paths;
    int lines = 0;
    int circles = 0;
    int maskedGroups = 0;
    double wholeHidden = -1;
    QRectF whole;
    std::vector<double> lineBegins;
    double lastEnd = 0;
    QString element;
    const auto secondsOf = [](QStringView text) {
        return text.endsWith(u's') ? text.chopped(1).toDouble() : -1;
    };
    const auto number = [](const QXmlStreamAttributes& attributes, const char* attribute) {
        return attributes.value(QLatin1String(attribute)).toDouble();
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes attributes = xml.attributes();
        QVERIFY(attributes.value(QLatin1String("clip-path")) != u"url(#reveal)");
        if (xml.name() == u"polyline") {
            ++lines;
            element = QStringLiteral("polyline");
        } else if (xml.name() == u"circle") {
            ++circles;
            element = QStringLiteral("circle");
            QCOMPARE(attributes.value(QLatin1String("r")).toString(), QStringLiteral("0"));
        } else if (xml.name() == u"rect" && element != u"rect") {
            element = QStringLiteral("rect");
            whole = QRectF(number(attributes, "x"), number(attributes, "y"),
                           number(attributes, "width"), number(attributes, "height"));
        } else if (xml.name() == u"animate") {
            const double begin = secondsOf(attributes.value(QLatin1String("begin")));
            lastEnd = std::max(lastEnd, begin + secondsOf(attributes.value(QLatin1String("dur"))));
            if (element == u"polyline") {
                QCOMPARE(attributes.value(QLatin1String("to")).toString(), QStringLiteral("0"));
                lineBegins.push_back(begin);
            }
        } else if (xml.name() == u"set") {
            QCOMPARE(element, QStringLiteral("rect"));
            QCOMPARE(attributes.value(QLatin1String("attributeName")).toString(),
                     QStringLiteral("width"));
            QCOMPARE(attributes.value(QLatin1String("to")).toString(), QStringLiteral("0"));
            QCOMPARE(attributes.value(QLatin1String("begin")).toString(), QStringLiteral("0s"));
            QVERIFY(!attributes.hasAttribute(QLatin1String("fill"))); // not frozen
            wholeHidden = secondsOf(attributes.value(QLatin1String("dur")));
        } else if (xml.name() == u"g") {
            maskedGroups += attributes.value(QLatin1String("mask")) == u"url(#reveal)" ? 1 : 0;
        } else if (xml.name() == u"script") {
            QFAIL("an animation needs no script");
        } else if (xml.name() == u"path") {
            paths.append(attributes.value(QLatin1String("d")).toString());
        }
    }
    QVERIFY(!xml.hasError());
    QCOMPARE(lines, 13);
    QVERIFY2(circles >= 4, qPrintable(QString::number(circles)));
    QVERIFY(std::is_sorted(lineBegins.begin(), lineBegins.end()));
    QCOMPARE(maskedGroups, 1);
    QCOMPARE(whole, renderer.outlines(slot, name).viewport);
    QVERIFY2(wholeHidden >= lastEnd - 0.002 && wholeHidden < 5,
             qPrintable(QString::number(wholeHidden)));

    QXmlStreamReader stillXml(still);
    QStringList stillPaths;
    while (!stillXml.atEnd()) {
        stillXml.readNext();
        if (stillXml.isStartElement() && stillXml.name() == u"path") {
            stillPaths.append(stillXml.attributes().value(QLatin1String("d")).toString());
        }
    }
    QCOMPARE(paths, stillPaths);
}

void TestAnimation::commandLineWritesTheAskedLength_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("ms"); // the whole animation

    QTest::newRow("gif, 2 s at 10 fps")
        << "a.gif" << QStringList{"--duration", "2", "--fps", "10"} << 2000;
    QTest::newRow("gif, transparent, natural pace") << "a.gif" << QStringList{"--transparent"} << 0;
    QTest::newRow("webp, 1.5 s at 30 fps")
        << "a.webp" << QStringList{"--duration", "1.5", "--fps", "30"} << 1500;
    QTest::newRow("webp, transparent, 4 s")
        << "a.webp" << QStringList{"--transparent", "--duration", "4"} << 4000;
    QTest::newRow("svg, 3 s") << "a.svg" << QStringList{"--duration", "3"} << 3000;
    QTest::newRow("gif, wiped, 2 s at 10 fps")
        << "a.gif" << QStringList{"--reveal", "wipe", "--duration", "2", "--fps", "10"} << 2000;
    QTest::newRow("gif, wiped, transparent, natural pace")
        << "a.gif" << QStringList{"--reveal", "wipe", "--transparent"} << 0;
    QTest::newRow("webp, wiped, 1.5 s at 30 fps")
        << "a.webp" << QStringList{"--reveal", "wipe", "--duration", "1.5", "--fps", "30"} << 1500;
    QTest::newRow("svg, wiped, 3 s")
        << "a.svg" << QStringList{"--reveal", "wipe", "--duration", "3"} << 3000;
}

void TestAnimation::commandLineWritesTheAskedLength() {
    QFETCH(QString, file);
    QFETCH(QStringList, options);
    QFETCH(int, ms);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList common{"--fonts-from-executable", "--style", "12", "--name", "张伟 John"};
    const QStringList still{file.endsWith(QLatin1String(".svg")) ? "still.svg" : "still.png"};
    QProcess process;
    process.setWorkingDirectory(dir.path());
    for (const QStringList& arguments :
         {common + options + QStringList{"--animate", "-o", file},
          common + QStringList{"-o"} + still +
              (options.contains("--transparent") ? QStringList{"--transparent"} : QStringList{})}) {
        process.start(QStringLiteral(INKVALE_RENDER_EXE), arguments);
        QVERIFY(process.waitForFinished(60000));
        QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    }
    QFile animated(dir.filePath(file));
    QVERIFY(animated.open(QIODevice::ReadOnly));
    const QByteArray bytes = animated.readAll();
    QFile stillFile(dir.filePath(still.first()));
    QVERIFY(stillFile.open(QIODevice::ReadOnly));
    const QByteArray stillBytes = stillFile.readAll();

    if (file.endsWith(QLatin1String(".gif"))) {
        const GifReadBack gif = readGif(bytes);
        int total = 0;
        for (const int delay : gif.delays) {
            total += delay;
        }
        if (ms > 0) {
            QVERIFY2(std::abs(total * 10 - ms) <= 10, qPrintable(QString::number(total)));
        } else if (options.contains("wipe")) {
            // 张伟 John at the natural pace: two characters, four letters, a pause and the hold.
            QVERIFY2(total > 250 && total < 350, qPrintable(QString::number(total)));
        } else {
            // 13 strokes of 张伟 and four letters, their pauses, and the hold.
            QVERIFY2(total > 300 && total < 550, qPrintable(QString::number(total)));
        }
        const QImage png = oneBitOpacity(QImage::fromData(stillBytes));
        const double last = psnr(gif.frames.back(), png);
        QVERIFY2(last >= 40, qPrintable(QStringLiteral("%1 dB").arg(last)));
        // Clear pixels in the first frame only for a transparent canvas: later frames use a
        // clear index for what stays as it was.
        QCOMPARE(gif.transparentIndices.front() != NO_TRANSPARENT_COLOR,
                 options.contains("--transparent"));
        QCOMPARE(qAlpha(gif.frames.back().pixel(0, 0)),
                 options.contains("--transparent") ? 0 : 255);
    } else if (file.endsWith(QLatin1String(".webp"))) {
        const WebpReadBack webp = readWebp(bytes);
        QCOMPARE(webp.endsMs.back(), ms);
        QCOMPARE(firstDifference(webp.frames.back(), QImage::fromData(stillBytes)), QString());
        QCOMPARE(qAlpha(webp.frames.front().pixel(0, 0)),
                 options.contains("--transparent") ? 0 : 255);
    } else {
        // The same outlines as the still document, uncovered before the hold's end.
        static const QRegularExpression begins(QStringLiteral("begin=\"([0-9.]+)s\""));
        double latest = 0;
        int count = 0;
        for (auto match = begins.globalMatch(QString::fromUtf8(bytes)); match.hasNext();) {
            latest = std::max(latest, match.next().captured(1).toDouble());
            ++count;
        }
        if (options.contains("wipe")) {
            QCOMPARE(count, 7); // six glyphs, then all of the drawing
        } else {
            QVERIFY2(count > 13, qPrintable(QString::number(count))); // 张伟's strokes, John
        }
        QVERIFY(latest > ms / 2000.0 && latest < ms / 1000.0);
        static const QRegularExpression path(QStringLiteral(" d=\"([^\"]+)\""));
        const auto outlines = [](const QByteArray& document) {
            QStringList found;
            for (auto match = path.globalMatch(QString::fromUtf8(document)); match.hasNext();) {
                found.append(match.next().captured(1));
            }
            return found;
        };
        QCOMPARE(outlines(bytes).size(), 2); // the canvas and the name
        QCOMPARE(outlines(bytes), outlines(stillBytes));
    }
}

QTEST_MAIN(TestAnimation)
#include "tst_animation.moc"
