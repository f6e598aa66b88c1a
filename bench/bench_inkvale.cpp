// Benchmarks of the program's heavy paths, each next to a baseline measured in the same run.

#include "core/SignatureFile.h"
#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "platform/SystemPlatform.h"
#include "startup/Deployment.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

using inkvale::test::FakePlatform;

namespace {

/// A fake platform whose payloads are the program's real ones, read in place and copied out of
/// this executable's file, as the program does.
void useRealPayloads(FakePlatform& platform) {
    static inkvale::SystemPlatform system;
    for (const inkvale::DeployedFile& file : inkvale::kDeployedFiles) {
        const QByteArrayView bytes =
            system.embeddedResource(QStringLiteral("CUSTOM"), file.resourceId);
        platform.resources.insert(file.resourceId,
                                  QByteArray::fromRawData(bytes.data(), bytes.size()));
        if (const auto range =
                system.embeddedResourceFile(QStringLiteral("CUSTOM"), file.resourceId)) {
            platform.resourceFiles.insert(file.resourceId, *range);
        }
    }
}

/// Runs a command as its own process and waits for it, as a shell would.
void run(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawn(&child, argv.front(), nullptr, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        ::waitpid(child, &status, 0);
    }
}

/// The deployed files as a plain folder, for the system's own copy to copy.
QString deployedFilesFolder() {
    static QTemporaryDir folder;
    static const bool made = [] {
        FakePlatform platform;
        useRealPayloads(platform);
        platform.folder = folder.path();
        inkvale::DeployEmbeddedFiles(platform);
        return true;
    }();
    (void)made;
    return folder.path();
}

/// The targets that a deployment writes into `folder`, as `rm -rf` arguments.
std::vector<std::string> removeDeployedFiles(const QString& folder) {
    std::vector<std::string> command{"/bin/rm", "-rf"};
    for (const inkvale::DeployedFile& file : inkvale::kDeployedFiles) {
        if (!file.target.startsWith(u"fonts/")) {
            command.push_back(QDir(folder).filePath(file.target.toString()).toStdString());
        }
    }
    command.push_back(QDir(folder).filePath(QStringLiteral("fonts")).toStdString());
    return command;
}

std::vector<std::string> copyDeployedFilesInto(const QString& folder) {
    return {"/bin/cp", "-r", (deployedFilesFolder() + QStringLiteral("/.")).toStdString(),
            folder.toStdString()};
}

qint64 payloadBytes(const FakePlatform& platform) {
    qint64 total = 0;
    for (const QByteArray& bytes : platform.resources) {
        total += bytes.size();
    }
    return total;
}

void BM_DeployIntoEmptyFolder(benchmark::State& state) {
    FakePlatform platform;
    useRealPayloads(platform);
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        platform.folder = folder.path();
        state.ResumeTiming();
        inkvale::DeployEmbeddedFiles(platform);
    }
    state.SetBytesProcessed(state.iterations() * payloadBytes(platform));
}
BENCHMARK(BM_DeployIntoEmptyFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DeployIntoFullFolder(benchmark::State& state) {
    FakePlatform platform;
    useRealPayloads(platform);
    QTemporaryDir folder;
    platform.folder = folder.path();
    inkvale::DeployEmbeddedFiles(platform);
    for (auto _ : state) {
        inkvale::DeployEmbeddedFiles(platform);
    }
    state.SetBytesProcessed(state.iterations() * payloadBytes(platform));
}
BENCHMARK(BM_DeployIntoFullFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

/// Baseline: the system's copy (`cp -r`) of the same files into an empty folder.
void BM_SystemCopyIntoEmptyFolder(benchmark::State& state) {
    FakePlatform platform;
    useRealPayloads(platform);
    const QString source = deployedFilesFolder();
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        state.ResumeTiming();
        run(copyDeployedFilesInto(folder.path()));
    }
    state.SetBytesProcessed(state.iterations() * payloadBytes(platform));
}
BENCHMARK(BM_SystemCopyIntoEmptyFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

/// Baseline: the fastest way the system offers to replace the files of a full folder: remove
/// them (`rm -rf`), then copy them afresh (`cp -r`).
void BM_SystemRemoveAndCopyIntoFullFolder(benchmark::State& state) {
    FakePlatform platform;
    useRealPayloads(platform);
    QTemporaryDir folder;
    run(copyDeployedFilesInto(folder.path()));
    for (auto _ : state) {
        run(removeDeployedFiles(folder.path()));
        run(copyDeployedFilesInto(folder.path()));
    }
    state.SetBytesProcessed(state.iterations() * payloadBytes(platform));
}
BENCHMARK(BM_SystemRemoveAndCopyIntoFullFolder)->Unit(benchmark::kMillisecond)->UseRealTime();

/// Baseline: the same bytes written with plain file writes, straight over the targets.
void BM_PlainCopyOfTheSameBytes(benchmark::State& state) {
    FakePlatform platform;
    useRealPayloads(platform);
    QTemporaryDir folder;
    QDir(folder.path()).mkdir(QStringLiteral("fonts"));
    for (auto _ : state) {
        for (const inkvale::DeployedFile& file : inkvale::kDeployedFiles) {
            QFile target(QDir(folder.path()).filePath(file.target.toString()));
            target.open(QIODevice::WriteOnly | QIODevice::Truncate);
            target.write(platform.resources.value(file.resourceId));
        }
    }
    state.SetBytesProcessed(state.iterations() * payloadBytes(platform));
}
BENCHMARK(BM_PlainCopyOfTheSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

/// Loading the main window, whose font check reads `range(0)` installed faces.
void BM_LoadWithInstalledFaces(benchmark::State& state) {
    FakePlatform platform;
    QStringList faces;
    for (int i = 0; faces.size() + 15 < state.range(0); ++i) {
        faces.append(QStringLiteral("Installed Face %1").arg(i));
    }
    platform.fonts = faces + FakePlatform::allStyleFaces();
    for (auto _ : state) {
        state.PauseTiming();
        auto form = std::make_unique<inkvale::Form1>(platform);
        state.ResumeTiming();
        benchmark::DoNotOptimize(form->Form_Load());
        state.PauseTiming();
        form->timer3()->stop();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadWithInstalledFaces)->Arg(15)->Arg(10000)->Unit(benchmark::kMillisecond);

/// "设计签名" with slot 11 at range(0) points.
void BM_Design(benchmark::State& state) {
    FakePlatform platform;
    inkvale::Form1 form(platform);
    form.Form_Load();
    form.timer3()->stop();
    form.text1()->setEnabled(true);
    form.Image_Click(11);
    form.text1()->setText(QStringLiteral("张伟 John"));
    form.picture1()->setFontSize(static_cast<float>(state.range(0)));
    for (auto _ : state) {
        form.Command1_Click();
    }
}
BENCHMARK(BM_Design)->Arg(42)->Arg(200)->Unit(benchmark::kMicrosecond);

/// Baseline: the same text drawn once with QPainter on an image of the canvas's size.
void BM_PlainDrawText(benchmark::State& state) {
    QImage image(336, 93, QImage::Format_RGB32);
    QFont font(QStringLiteral("Wendel体"));
    font.setPixelSize(static_cast<int>(state.range(0) * 4 / 3));
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(font);
        painter.drawText(QPointF(10, 70), QStringLiteral("张伟 John"));
    }
}
BENCHMARK(BM_PlainDrawText)->Arg(42)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_Save(benchmark::State& state) {
    QTemporaryDir folder;
    FakePlatform platform;
    platform.folder = folder.path();
    platform.clock = QDateTime(QDate(2025, 1, 1), QTime(9, 5, 7));
    inkvale::Form1 form(platform);
    form.Form_Load();
    form.timer3()->stop();
    form.text1()->setEnabled(true);
    form.Image_Click(11);
    form.text1()->setText(QStringLiteral("张伟"));
    form.Command1_Click();
    for (auto _ : state) {
        // A save a second, as a person saves: every save takes a fresh name.
        platform.clock = platform.clock.addSecs(1);
        form.Command2_Click();
    }
}
BENCHMARK(BM_Save)->Unit(benchmark::kMicrosecond);

/// Baseline: the same picture written as a bitmap straight to its file.
void BM_PlainBitmapWrite(benchmark::State& state) {
    QTemporaryDir folder;
    QImage image(336, 93, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString path = folder.filePath(QStringLiteral("plain.bmp"));
    for (auto _ : state) {
        image.save(path, "BMP");
    }
}
BENCHMARK(BM_PlainBitmapWrite)->Unit(benchmark::kMicrosecond);

/// Process start to the first window painted, with the peak resident memory of that start.
void startProbe(benchmark::State& state, const QStringList& arguments) {
    const QString probe =
        QCoreApplication::applicationDirPath() + QStringLiteral("/inkvale-startprobe");
    long peak = 0;
    for (auto _ : state) {
        QProcess process;
        process.start(probe, arguments);
        process.waitForFinished(60000);
        const QByteArray out = process.readAllStandardOutput();
        const qsizetype at = out.indexOf("peak_rss_kib ");
        if (process.exitCode() != 0 || at < 0) {
            state.SkipWithError("the probe did not show its window");
            break;
        }
        peak = std::max(peak, out.mid(at + 13).trimmed().toLong());
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(peak) / 1024.0;
}

void BM_StartToSplashShown(benchmark::State& state) {
    startProbe(state, {});
}
BENCHMARK(BM_StartToSplashShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_StartBareQtWindow(benchmark::State& state) {
    startProbe(state, {QStringLiteral("bare")});
}
BENCHMARK(BM_StartBareQtWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
