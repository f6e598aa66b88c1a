#include "cli/StrokesJob.h"

#include "cli/RenderCommand.h"
#include "cli/RenderJob.h"
#include "core/HandExport.h"

#include <QFile>
#include <QFileInfo>

namespace inkvale {

namespace {

QString shown(const QString& path) {
    return path == kStandardStream ? QStringLiteral("to standard output") : path;
}

} // namespace

int runStrokesJob(const RenderRequest& request, const Reporter& reporter) {
    QFile file(request.strokesFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return reporter.fail(QStringLiteral("cannot read the strokes file %1: %2")
                                 .arg(request.strokesFile, file.errorString()));
    }
    // One byte past the limit is enough to know the file is too large.
    const QByteArray bytes = file.read(kLargestStrokesFileBytes + 1);
    const HandReading reading = readHandDrawing(bytes);
    if (!reading.drawing) {
        return reporter.fail(QStringLiteral("cannot read the strokes file %1: %2")
                                 .arg(request.strokesFile, reading.error));
    }
    const HandExport hand(*reading.drawing, request.look);
    // Documents are titled as the pad titles them: by the file's name, or the strokes file's
    // when it goes to standard output.
    const QString title =
        QFileInfo(request.output == kStandardStream ? request.strokesFile : request.output)
            .completeBaseName();
    QByteArray output;
    QSizeF pixels;
    if (request.animate) {
        output = hand.animated(request.animation, request.pace.fps, title);
        if (output.isEmpty()) {
            return reporter.fail(QStringLiteral("cannot write %1: the animation could not be made")
                                     .arg(shown(request.output)));
        }
        pixels = QSizeF(hand.innerPixels());
    } else {
        const ExportDrawing drawing =
            hand.draw(request.format, request.trim, title, request.jpegQuality);
        output = drawing.bytes();
        if (output.isEmpty()) {
            const Outcome problem = drawing.problem();
            return reporter.fail(QStringLiteral("cannot write %1: %2")
                                     .arg(shown(request.output),
                                          problem.ok() ? QStringLiteral("it could not be encoded")
                                                       : englishText(problem)));
        }
        pixels = drawing.pixels;
    }
    const Outcome written = request.output == kStandardStream
                                ? reporter.writeToStandardOutput(output)
                                : writeOutputFile(request.output, output, kOutputWriteMode);
    if (!written.ok()) {
        return reporter.fail(
            QStringLiteral("cannot write %1: %2").arg(shown(request.output), englishText(written)));
    }
    if (request.output != kStandardStream) {
        WrittenFile listed;
        listed.path = request.output;
        listed.format = extensionOf(request);
        listed.pixels = pixels;
        listed.dotsPerInch = request.look.dotsPerInch;
        const Outcome said = reporter.wrote(listed);
        if (!said.ok()) {
            return reporter.fail(
                QStringLiteral("cannot write to standard output: %1").arg(englishText(said)));
        }
    }
    return kRenderDone;
}

} // namespace inkvale
