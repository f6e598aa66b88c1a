// The name written before the eyes: stroke by stroke against the glyph-box wipe, for the same
// name in the same run, planning and every frame, and the GIF made of them; and that GIF
// against gifsicle -O2 assembling the same frames.

#include "core/GifAnimation.h"
#include "core/SignatureAnimation.h"
#include "core/StyleCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

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

/// The whole animated GIF, as --animate writes it: the animation made, every frame drawn and
/// encoded.
void BM_AnimatedGif(benchmark::State& state) {
    SignatureRenderer renderer(lookOf(state));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const SignatureAnimation animation(renderer, kSlot, kName, paceOf(state));
        bytes = encodeGifAnimation(animation).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = double(bytes);
    state.SetLabel(state.range(0) == 0 ? "strokes" : "wipe");
}
BENCHMARK(BM_AnimatedGif)
    ->ArgsProduct({{0, 1}, {96, 300}})
    ->ArgNames({"wipe", "dpi"})
    ->Unit(benchmark::kMillisecond);

/// Runs `program` with `arguments` to its end; false when it does not end well.
bool runs(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

/// gifsicle -O2 assembling the same frames as BM_AnimatedGif's into an animated GIF, as a
/// whole process: the frames are our GIF's, each whole (gifsicle --unoptimize --explode, done
/// once before the timing), with their delays.
void BM_GifsicleAssembly(benchmark::State& state) {
    const QString gifsicle = QStandardPaths::findExecutable(QStringLiteral("gifsicle"));
    QTemporaryDir folder;
    if (gifsicle.isEmpty() || !folder.isValid()) {
        state.SkipWithError("gifsicle is not installed");
        return;
    }
    SignatureRenderer renderer(lookOf(state));
    const SignatureAnimation animation(renderer, kSlot, kName, paceOf(state));
    QFile ours(folder.filePath(QStringLiteral("ours.gif")));
    if (!ours.open(QIODevice::WriteOnly) || ours.write(encodeGifAnimation(animation)) <= 0) {
        state.SkipWithError("the GIF could not be written");
        return;
    }
    ours.close();
    const QString stem = folder.filePath(QStringLiteral("frame"));
    if (!runs(gifsicle, {QStringLiteral("--unoptimize"), QStringLiteral("--explode"),
                         ours.fileName(), QStringLiteral("-o"), stem})) {
        state.SkipWithError("gifsicle could not take the frames apart");
        return;
    }
    QStringList arguments{QStringLiteral("-O2"), QStringLiteral("--loopcount=forever")};
    for (const QString& frame :
         QDir(folder.path()).entryList({QStringLiteral("frame.*")}, QDir::Files, QDir::Name)) {
        arguments << folder.filePath(frame);
    }
    const QString assembled = folder.filePath(QStringLiteral("gifsicle.gif"));
    arguments << QStringLiteral("-o") << assembled;
    for (auto _ : state) {
        if (!runs(gifsicle, arguments)) {
            state.SkipWithError("gifsicle failed");
            return;
        }
    }
    state.counters["frames"] = double(arguments.size() - 4);
    state.counters["bytes"] = double(QFileInfo(assembled).size());
    state.SetLabel(state.range(0) == 0 ? "strokes" : "wipe");
}
BENCHMARK(BM_GifsicleAssembly)
    ->ArgsProduct({{0, 1}, {96, 300}})
    ->ArgNames({"wipe", "dpi"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
