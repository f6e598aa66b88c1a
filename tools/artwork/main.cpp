// Draws the designer's banner, splash, icons and style preview pictures from the style fonts.
//
//   inkvale-artwork OUTDIR [FONTFILE...]
//
// Each style's preview shows a sample name in that style's face, so the pictures follow the
// fonts: faces that are not installed are drawn by the system's substitute until they are.
// Font files given after OUTDIR are registered first, for builds that carry their own fonts.

#include "core/StyleCatalogue.h"
#include "program/ProgramIcon.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>

namespace {

using inkvale::StyleSlot;

const QColor kPreviewBackground(240, 240, 240);
const QColor kInk(34, 30, 28);
const QColor kPlaceholderInk(150, 150, 150);

/// The largest font of `family` at which `text` fits `box`, drawn centred in it.
void drawFitted(QPainter& painter, const QString& family, const QString& text, QRectF box) {
    QFont font(family);
    font.setPixelSize(static_cast<int>(box.height()));
    QFontMetricsF metrics(font);
    const qreal scale =
        std::min(box.width() / metrics.horizontalAdvance(text), box.height() / metrics.height());
    if (scale < 1.0) {
        font.setPixelSize(std::max(8, static_cast<int>(box.height() * scale)));
        metrics = QFontMetricsF(font);
    }
    painter.setFont(font);
    const qreal width = metrics.horizontalAdvance(text);
    const QPointF baseline(box.center().x() - width / 2,
                           box.center().y() - metrics.height() / 2 + metrics.ascent());
    painter.drawText(baseline, text);
}

/// The program's seal: 墨 in the first style's brush, white on cinnabar.
void drawSeal(QPainter& painter, const QRectF& seal) {
    const qreal unit = seal.width() / 8;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(178, 34, 34));
    painter.drawRoundedRect(seal, unit, unit);
    painter.setPen(QColor(250, 240, 230));
    drawFitted(painter, inkvale::styleSlot(0).faceName.toString(), QStringLiteral("墨"),
               seal.adjusted(unit, unit * 0.75, -unit, -unit));
    painter.restore();
}

QImage preview(const StyleSlot& slot) {
    QImage image(slot.previewSize, QImage::Format_RGB888);
    image.fill(kPreviewBackground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF box = QRectF(image.rect()).adjusted(8, 4, -8, -4);
    if (slot.isStyle()) {
        painter.setPen(kInk);
        drawFitted(painter, slot.faceName.toString(), inkvale::sampleNameFor(slot.index), box);
    } else {
        painter.setPen(kPlaceholderInk);
        drawFitted(painter, QStringLiteral("Noto Sans CJK SC"),
                   inkvale::kPlaceholderCaption.toString(), box.adjusted(0, 14, 0, -14));
    }
    return image;
}

QImage banner() {
    QImage image(895, 88, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient paper(0, 0, image.width(), 0);
    paper.setColorAt(0.0, QColor(238, 231, 218));
    paper.setColorAt(1.0, QColor(247, 244, 238));
    painter.fillRect(image.rect(), paper);

    // A brush stroke of pale ink behind the title.
    QPainterPath stroke;
    stroke.moveTo(70, 60);
    stroke.cubicTo(180, 30, 330, 78, 470, 44);
    stroke.lineTo(474, 54);
    stroke.cubicTo(330, 88, 180, 44, 74, 70);
    stroke.closeSubpath();
    painter.fillPath(stroke, QColor(60, 50, 40, 40));

    drawSeal(painter, QRectF(18, 16, 50, 50));

    painter.setPen(kInk);
    drawFitted(painter, inkvale::styleSlot(12).faceName.toString(),
               QStringLiteral("Inkvale 艺术签名"), QRectF(84, 6, 400, 58));
    painter.setPen(QColor(110, 100, 90));
    QFont small(QStringLiteral("Noto Sans CJK SC"));
    small.setPixelSize(13);
    painter.setFont(small);
    painter.drawText(QPointF(88, 80),
                     QStringLiteral("Kelda系列软件 · 十五种书法与手写风格，一键生成您的专属签名"));
    return image;
}

QImage splash() {
    QImage image(600, 395, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient night(0, 0, 0, image.height());
    night.setColorAt(0.0, QColor(24, 26, 33));
    night.setColorAt(1.0, QColor(40, 36, 38));
    painter.fillRect(image.rect(), night);

    // Two broad strokes of thinned ink and one of cinnabar.
    const auto stroke = [&painter](QPointF from, QPointF c1, QPointF c2, QPointF to, qreal width,
                                   const QColor& colour) {
        QPainterPath path(from);
        path.cubicTo(c1, c2, to);
        painter.strokePath(path, QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    };
    stroke({40, 300}, {180, 230}, {380, 350}, {560, 250}, 46, QColor(255, 255, 255, 12));
    stroke({70, 120}, {220, 60}, {420, 150}, {540, 90}, 30, QColor(255, 255, 255, 9));
    stroke({120, 262}, {240, 240}, {360, 276}, {480, 250}, 3, QColor(190, 60, 40, 160));

    drawSeal(painter, QRectF(58, 62, 64, 64));

    painter.setPen(QColor(246, 238, 222));
    drawFitted(painter, inkvale::styleSlot(7).faceName.toString(), QStringLiteral("Inkvale"),
               QRectF(140, 40, 400, 110));
    painter.setPen(QColor(222, 184, 120));
    drawFitted(painter, inkvale::styleSlot(12).faceName.toString(), QStringLiteral("艺术签名设计"),
               QRectF(120, 150, 360, 90));

    QFont small(QStringLiteral("Noto Sans CJK SC"));
    small.setPixelSize(14);
    painter.setFont(small);
    painter.setPen(QColor(160, 154, 146));
    painter.drawText(QRectF(0, 280, 600, 24), Qt::AlignCenter,
                     QStringLiteral("Kelda系列软件 · 十五种书法与手写风格 · Sp2"));
    small.setPixelSize(13);
    painter.setFont(small);
    painter.setPen(QColor(120, 116, 110));
    painter.drawText(QRectF(0, 338, 600, 22), Qt::AlignCenter, QStringLiteral("点击任意处进入"));
    return image;
}

/// The program icon at `size` x `size` pixels: the seal of the banner and the splash, drawn
/// afresh at every size rather than scaled, so that the small ones stay crisp.
QImage icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const qreal margin = size / 32.0;
    drawSeal(painter, QRectF(margin, margin, size - 2 * margin, size - 2 * margin));
    return image;
}

bool saveProgressiveJpeg(const QImage& image, const QString& path) {
    QImageWriter writer(path, "JPG");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(true);
    if (!writer.write(image)) {
        std::fprintf(stderr, "inkvale-artwork: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

bool save(const QImage& image, const QString& path, const char* format) {
    if (!image.save(path, format, format == QByteArrayLiteral("JPG") ? 92 : -1)) {
        std::fprintf(stderr, "inkvale-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: inkvale-artwork OUTDIR [FONTFILE...]\n");
        return 2;
    }
    const QDir out(args.at(1));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "inkvale-artwork: cannot create %s\n", qPrintable(out.path()));
        return 1;
    }
    for (const QString& fontFile : args.mid(2)) {
        if (QFontDatabase::addApplicationFont(fontFile) < 0) {
            std::fprintf(stderr, "inkvale-artwork: cannot load font %s\n", qPrintable(fontFile));
            return 1;
        }
    }

    bool ok = save(banner(), out.filePath(QStringLiteral("banner.jpg")), "JPG");
    ok = saveProgressiveJpeg(splash(), out.filePath(QStringLiteral("splash.jpg"))) && ok;
    ok = save(icon(64), out.filePath(QStringLiteral("icon.png")), "PNG") && ok;
    // The sizes a desktop's launcher, task bar and window list ask for.
    for (const int size : inkvale::kProgramIconSizes) {
        ok = save(icon(size), out.filePath(QStringLiteral("icon-%1.png").arg(size)), "PNG") && ok;
    }
    for (const StyleSlot& slot : inkvale::styleCatalogue()) {
        if (slot.isStyle()) {
            ok = save(preview(slot),
                      out.filePath(slot.previewName.toString() + QStringLiteral(".png")), "PNG") &&
                 ok;
        }
    }
    ok = save(preview(inkvale::styleSlot(15)), out.filePath(QStringLiteral("placeholder.png")),
              "PNG") &&
         ok;
    return ok ? 0 : 1;
}
