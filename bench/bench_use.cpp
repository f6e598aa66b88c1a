// Using a signature elsewhere: what "复制签名", "导出签名…" and the practice sheet cost, each
// next to Qt's own QImage::save of the same picture as PNG.

#include "core/PracticeSheet.h"
#include "core/SignatureExport.h"
#include "core/StyleCatalogue.h"
#include "designer/SignatureUse.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFontDatabase>
#include <QMimeData>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using namespace inkvale;

/// The style measured: 疾风草书, whose face covers every character of the name.
constexpr int kSlot = 12;
const QString kName = QStringLiteral("张伟 John");

DesignedSignature designed() {
    return {kSlot, kName, SignatureLook{}};
}

/// The picture a copy puts on the clipboard: transparent, trimmed, at 300 dpi.
QImage copiedPicture() {
    SignatureLook look;
    look.transparent = true;
    look.dotsPerInch = kCopyDotsPerInch;
    SignatureRenderer renderer(look);
    SignatureExport exporter(renderer);
    return exporter.draw({kSlot, kName, OutputFormat::Png, kUsePadding}).image;
}

QByteArray qtPng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void BM_Copy(benchmark::State& state) {
    for (auto _ : state) {
        const std::unique_ptr<QMimeData> data = signatureMimeData(designed());
        benchmark::DoNotOptimize(data->data(QStringLiteral("image/png")).size());
    }
}
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond);

void BM_ExportTransparentPng300(benchmark::State& state) {
    SignatureLook look;
    look.transparent = true;
    look.dotsPerInch = 300;
    for (auto _ : state) {
        SignatureRenderer renderer(look);
        SignatureExport exporter(renderer);
        benchmark::DoNotOptimize(
            exporter.draw({kSlot, kName, OutputFormat::Png, kUsePadding}).bytes().size());
    }
}
BENCHMARK(BM_ExportTransparentPng300)->Unit(benchmark::kMillisecond);

void BM_ExportPdf(benchmark::State& state) {
    for (auto _ : state) {
        SignatureRenderer renderer({});
        SignatureExport exporter(renderer);
        benchmark::DoNotOptimize(
            exporter.draw({kSlot, kName, OutputFormat::Pdf, kUsePadding}).bytes().size());
    }
}
BENCHMARK(BM_ExportPdf)->Unit(benchmark::kMillisecond);

/// The drawing alone, for where the export's time goes: the canvas at 300 dpi, untrimmed.
void BM_DrawOnly300(benchmark::State& state) {
    SignatureLook look;
    look.transparent = true;
    look.dotsPerInch = 300;
    for (auto _ : state) {
        SignatureRenderer renderer(look);
        benchmark::DoNotOptimize(renderer.image(kSlot, kName).width());
    }
}
BENCHMARK(BM_DrawOnly300)->Unit(benchmark::kMillisecond);

/// The PNG encoding alone, of the copied picture.
void BM_EncodeOnly(benchmark::State& state) {
    const QImage picture = copiedPicture();
    state.SetLabel(
        QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()).toStdString());
    for (auto _ : state) {
        benchmark::DoNotOptimize(encodeRaster(picture, OutputFormat::Png).size());
    }
}
BENCHMARK(BM_EncodeOnly)->Unit(benchmark::kMillisecond);

/// Baseline of the copy and the PNG export: Qt's writer on the finished picture alone.
void BM_QImageSaveOfTheCopiedPicture(benchmark::State& state) {
    const QImage picture = copiedPicture();
    for (auto _ : state) {
        benchmark::DoNotOptimize(qtPng(picture).size());
    }
}
BENCHMARK(BM_QImageSaveOfTheCopiedPicture)->Unit(benchmark::kMillisecond);

void BM_PracticeSheetA4(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(practiceSheetPdf({}, kSlot, kName, {}).size());
    }
}
BENCHMARK(BM_PracticeSheetA4)->Unit(benchmark::kMillisecond);

/// Baseline of the practice sheet: Qt's writer on a picture of the same A4 page at 150 dpi,
/// the resolution a printer driver would be handed; drawing that page is not counted.
void BM_QImageSaveOfAnA4Page150(benchmark::State& state) {
    const QSizeF points = paperPoints(Paper::A4);
    QImage page((points * 150 / 72).toSize(), QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        // Stands for the sheet: its rows of lines and a little ink on each.
        QPainter painter(&page);
        for (int y = 200; y < page.height() - 100; y += 110) {
            painter.drawLine(100, y, page.width() - 100, y);
            painter.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 40));
            painter.drawText(100, y - 10, kName);
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(qtPng(page).size());
    }
}
BENCHMARK(BM_QImageSaveOfAnA4Page150)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int m = 1; m <= kStyleCount; ++m) {
        QFontDatabase::addApplicationFont(
            QDir(QStringLiteral(INKVALE_FONTS_DIR)).filePath(QStringLiteral("%1.ttf").arg(m)));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
