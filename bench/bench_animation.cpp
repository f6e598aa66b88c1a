// The name written before the eyes: stroke by stroke against the glyph-box wipe, for the same
// name in the same run, planning and every frame, and the GIF made of them.

#include "core/GifAnimation.h"
#include "core/SignatureAnimation.h"
#include "core/StyleCatalogue.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

using namespace inkvale;

/// 疾风草书, whose face covers every character of the name.
constexpr int kSlot = 12;
const QString kName = QStringLiteral("张伟 John");

AnimationPace paceOf(const benchmark::State& state) {
    AnimationPace pace;
    pace.reveal = state.range(0) == 0 ? RevealKind::Strokes : RevealKind::Wipe;
    return pace;
}

SignatureLook lookOf(const benchmark::State& state) {
    SignatureLook look;
    look.dotsPerInch = double(state.range(1));
    return look;
}

/// The animation made and each of its frames drawn, as the encoders take them.
void BM_AnimationFrames(benchmark::State& state) {
    SignatureRenderer renderer(lookOf(state));
    for (auto _ : state) {
        const SignatureAnimation animation(renderer, kSlot, kName, paceOf(state));
        qint64 pixels = 0;
        for (int index = 0; index < animation.frameCount(); ++index) {
            pixels += animation.frame(index).sizeInBytes();
        }
        benchmark::DoNotOptimize(pixels);
    }
    state.SetLabel(state.range(0) == 0 ? "strokes" : "wipe");
}
BENCHMARK(BM_AnimationFrames)
    ->ArgsProduct({{0, 1}, {96, 300}})
    ->ArgNames({"wipe", "dpi"})
    ->Unit(benchmark::kMillisecond);

/// The whole animated GIF, as --animate writes it.
void BM_AnimatedGif(benchmark::State& state) {
    SignatureRenderer renderer(lookOf(state));
    for (auto _ : state) {
        const SignatureAnimation animation(renderer, kSlot, kName, paceOf(state));
        benchmark::DoNotOptimize(encodeGifAnimation(animation).size());
    }
    state.SetLabel(state.range(0) == 0 ? "strokes" : "wipe");
}
BENCHMARK(BM_AnimatedGif)
    ->ArgsProduct({{0, 1}, {96, 300}})
    ->ArgNames({"wipe", "dpi"})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (int m = 1; m <= kStyleCount; ++m) {
        QFontDatabase::addApplicationFont(
            QDir(QStringLiteral(INKVALE_FONTS_DIR)).filePath(QStringLiteral("%1.ttf").arg(m)));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
