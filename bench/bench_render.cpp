// inkvale-render's batch speed in names per second, next to ImageMagick drawing the same names
// with the same font file in the same run; the PNG packing it chose, next to Qt's own writer at
// each compression level; and the numbering of names that come many times.

#include "cli/BatchNames.h"
#include "cli/RenderCommand.h"
#include "core/PngEncoding.h"
#include "core/SignatureRenderer.h"
#include "core/StyleCatalogue.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int kBatchSize = 1000;
/// Names drawn one process each: enough for a steady rate, few enough to stay quick.
constexpr int kSampleSize = 50;
/// The style measured: 疾风草书, whose face covers every character of the names.
constexpr int kSlot = 12;

const QString kFontsDir = QStringLiteral(INKVALE_FONTS_DIR);

QString fontFile() {
    return QDir(kFontsDir).filePath(inkvale::styleSlot(kSlot).fontFileName());
}

/// A thousand different Chinese names of two or three characters, always the same ones.
const QStringList& names() {
    static const QStringList list = [] {
        const QString surnames = QStringLiteral(u"王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁"
                                                u"谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程");
        const QString given = QStringLiteral(u"伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华"
                                             u"玉兰红建国文海云飞鹏");
        QStringList all;
        for (int i = 0; all.size() < kBatchSize; ++i) {
            QString name = surnames.at(i % surnames.size());
            name += given.at((i / surnames.size()) % given.size());
            if (i % 3 != 0) {
                name += given.at((i * 7 + 3) % given.size());
            }
            if (!all.contains(name)) {
                all.append(name);
            }
        }
        return all;
    }();
    return list;
}

QString convertProgram() {
    // Debian's ImageMagick, whatever else is on the path.
    return QStandardPaths::findExecutable(QStringLiteral("convert"), {QStringLiteral("/usr/bin")});
}

QString renderProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../inkvale-render");
}

bool runProcess(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

/// The whole batch through inkvale-render's own code, in this process: names file, safe file
/// names, drawing as the designer does, PNG files written through temporary files.
void BM_InkvaleRenderBatch(benchmark::State& state) {
    QTemporaryDir folder;
    QFile list(folder.filePath(QStringLiteral("names.txt")));
    list.open(QIODevice::WriteOnly);
    list.write(names().join(QLatin1Char('\n')).toUtf8());
    list.close();
    // The fonts come from the files registered in main(), not from an executable.
    const inkvale::CustomResources resources = [](int) {
        return QByteArrayView();
    };
    const inkvale::RenderConsole console{[](QByteArrayView) { return inkvale::Outcome{}; },
                                         [](const QString&) {}, false};
    const QStringList arguments{QStringLiteral("inkvale-render"),
                                QStringLiteral("--style"),
                                QString::number(kSlot),
                                QStringLiteral("--names-file"),
                                list.fileName(),
                                QStringLiteral("--out-dir"),
                                folder.filePath(QStringLiteral("out")),
                                QStringLiteral("--force")};
    for (auto _ : state) {
        if (inkvale::runRenderCommand(arguments, resources, console) != 0) {
            state.SkipWithError("the batch failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatchSize);
}
BENCHMARK(BM_InkvaleRenderBatch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

/// The pictures PNG packing is measured on: a signature on the plain canvas, and the same name
/// on a smoothly shaded picture, as a photograph under it would be.
QImage packingSample(bool picture) {
    inkvale::SignatureLook look;
    if (picture) {
        QImage shade(336, 93, QImage::Format_RGB32);
        for (int y = 0; y < shade.height(); ++y) {
            for (int x = 0; x < shade.width(); ++x) {
                const double wave = std::sin(x / 17.0) * std::cos(y / 11.0);
                shade.setPixel(x, y,
                               qRgb(int(150 + 60 * wave), int(120 + x / 4), int(200 - y / 2)));
            }
        }
        look.background = shade;
    }
    inkvale::SignatureRenderer renderer(look);
    return renderer.image(kSlot, names().at(7));
}

/// Qt's own PNG writer at zlib level `state.range(1)`, or at its default for -1; on the plain
/// signature (range 0 = 0) or the shaded one (1).
void BM_PackPngWithQt(benchmark::State& state) {
    const QImage image = packingSample(state.range(0) == 1);
    const int level = int(state.range(1));
    qint64 size = 0;
    for (auto _ : state) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (level >= 0) {
            writer.setQuality(100 - (level * 91 + 8) / 9);
        }
        writer.write(image);
        size = bytes.size();
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_PackPngWithQt)
    ->ArgNames({"shaded", "level"})
    ->ArgsProduct({{0, 1}, {-1, 1, 3, 9}})
    ->Unit(benchmark::kMicrosecond);

/// inkvale-render's packing, with the filter it chooses for each kind of picture; range 1 swaps
/// the choice, to show what the other filter would cost.
void BM_PackPngAsInkvale(benchmark::State& state) {
    const bool shaded = state.range(0) == 1;
    const bool swapped = state.range(1) == 1;
    const QImage image = packingSample(shaded);
    const inkvale::PngContent content =
        shaded != swapped ? inkvale::PngContent::Picture : inkvale::PngContent::Drawing;
    qint64 size = 0;
    for (auto _ : state) {
        size = inkvale::encodePng(image, content).size();
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_PackPngAsInkvale)
    ->ArgNames({"shaded", "swapped"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

/// File names for N copies of one name: linear time means twice the names take twice as long.
void BM_NumberAlikeNames(benchmark::State& state) {
    const QStringList alike(qsizetype(state.range(0)), QStringLiteral("Ann"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(inkvale::batchFileNames(alike, QStringLiteral("png")));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NumberAlikeNames)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond);

/// inkvale-render started once per name, as a shell loop would call it, with the fonts it
/// carries (nothing installed).
void BM_InkvaleRenderProcessPerName(benchmark::State& state) {
    QTemporaryDir folder;
    for (auto _ : state) {
        for (int i = 0; i < kSampleSize; ++i) {
            if (!runProcess(renderProgram(),
                            {QStringLiteral("--style"), QString::number(kSlot),
                             QStringLiteral("--name"), names().at(i), QStringLiteral("-o"),
                             folder.filePath(QStringLiteral("%1.png").arg(i)),
                             QStringLiteral("--fonts-from-executable")})) {
                state.SkipWithError("inkvale-render failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kSampleSize);
}
BENCHMARK(BM_InkvaleRenderProcessPerName)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

/// Baseline: ImageMagick's `convert -font FILE -pointsize 42 label:NAME`, once per name.
void BM_ImageMagickProcessPerName(benchmark::State& state) {
    const QString convert = convertProgram();
    if (convert.isEmpty()) {
        state.SkipWithError("needs ImageMagick (Debian package imagemagick)");
        return;
    }
    QTemporaryDir folder;
    for (auto _ : state) {
        for (int i = 0; i < kSampleSize; ++i) {
            if (!runProcess(convert,
                            {QStringLiteral("-font"), fontFile(), QStringLiteral("-pointsize"),
                             QStringLiteral("42"), QStringLiteral("label:") + names().at(i),
                             folder.filePath(QStringLiteral("%1.png").arg(i))})) {
                state.SkipWithError("convert failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kSampleSize);
}
BENCHMARK(BM_ImageMagickProcessPerName)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

/// Baseline: one `convert` drawing the whole batch as labels, one file each (+adjoin).
void BM_ImageMagickOneProcess(benchmark::State& state) {
    const QString convert = convertProgram();
    if (convert.isEmpty()) {
        state.SkipWithError("needs ImageMagick (Debian package imagemagick)");
        return;
    }
    QTemporaryDir folder;
    QStringList arguments{QStringLiteral("-font"), fontFile(), QStringLiteral("-pointsize"),
                          QStringLiteral("42")};
    for (const QString& name : names()) {
        arguments.append(QStringLiteral("label:") + name);
    }
    arguments << QStringLiteral("+adjoin") << folder.filePath(QStringLiteral("%04d.png"));
    for (auto _ : state) {
        if (!runProcess(convert, arguments)) {
            state.SkipWithError("convert failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatchSize);
}
BENCHMARK(BM_ImageMagickOneProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The batch in this process draws with the same font files that convert is given.
    for (int m = 1; m <= inkvale::kStyleCount; ++m) {
        QFontDatabase::addApplicationFont(
            QDir(kFontsDir).filePath(QStringLiteral("%1.ttf").arg(m)));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
