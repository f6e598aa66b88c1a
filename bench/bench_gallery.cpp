// A keystroke in "全部风格预览": the fifteen styles drawn again for the new name, next to one
// drawText of the name in one style's face, in the same run.

#include "core/StyleCatalogue.h"
#include "gallery/StyleTiles.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using namespace inkvale;

const QString kNames[2] = {QStringLiteral("张伟明"), QStringLiteral("张伟明a")};

void BM_GalleryKeystroke(benchmark::State& state) {
    StyleTileGrid grid;
    grid.setLook(SignatureLook{});
    int turn = 0;
    for (auto _ : state) {
        grid.setName(kNames[turn++ % 2]);
        for (int slot = 0; slot < kStyleCount; ++slot) {
            benchmark::DoNotOptimize(grid.tile(slot)->image().constBits());
        }
    }
}
BENCHMARK(BM_GalleryKeystroke)->Unit(benchmark::kMillisecond);

void BM_DrawTextOfTheName(benchmark::State& state) {
    QImage canvas(336, 93, QImage::Format_ARGB32_Premultiplied);
    QFont font(styleSlot(12).faceName.toString());
    font.setPointSizeF(42);
    int turn = 0;
    for (auto _ : state) {
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        painter.setFont(font);
        painter.drawText(QPointF(4, 70), kNames[turn++ % 2]);
        painter.end();
        benchmark::DoNotOptimize(canvas.constBits());
    }
}
BENCHMARK(BM_DrawTextOfTheName)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    for (const QString& file : QDir(QStringLiteral(INKVALE_FONTS_DIR)).entryList({"*.ttf"})) {
        QFontDatabase::addApplicationFont(QStringLiteral(INKVALE_FONTS_DIR "/") + file);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
