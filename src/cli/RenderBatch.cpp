#include "cli/RenderBatch.h"

#include "cli/BatchNames.h"
#include "cli/RenderJob.h"
#include "cli/Reporter.h"
#include "core/OrderedWorkers.h"
#include "platform/files/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <filesystem>

namespace inkvale {

namespace {

/// How one name of the batch ended, when it was not dropped.
struct NameOutcome {
    QString problem;  ///< the name could not be drawn
    Outcome written;  ///< how the write went
    WrittenFile file; ///< what the listing tells of it
};

/// The file name stems of `names` after `pattern`: {name} the name, {n} its number among the
/// names (from 1, zero-padded to the width of the last number). Empty `pattern`: the names.
QStringList patterned(const QStringList& names, const QList<qsizetype>& numbers,
                      const QString& pattern, qsizetype total) {
    if (pattern.isEmpty()) {
        return names;
    }
    const int width = int(QString::number(total).size());
    QStringList stems;
    for (qsizetype i = 0; i < names.size(); ++i) {
        QString stem = pattern;
        stem.replace(QLatin1String("{n}"),
                     QStringLiteral("%1").arg(numbers.at(i), width, 10, QLatin1Char('0')));
        stem.replace(QLatin1String("{name}"), names.at(i));
        stems.append(stem);
    }
    return stems;
}

/// Makes `folder` with the folders above it that are missing; the highest one made, to remove
/// when nothing is written into it, or nothing when the folder was there.
Result<QString> makeFolder(const QString& folder) {
    QString highest;
    for (QFileInfo missing(QDir::cleanPath(QDir(folder).absolutePath())); !missing.exists();
         missing = QFileInfo(missing.path())) {
        highest = missing.filePath();
    }
    if (highest.isEmpty()) {
        return {{}, {}};
    }
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(folder).toStdString()), error);
    if (error) {
        return {{}, Outcome::failed(Cause::Other, QString::fromStdString(error.message()))};
    }
    return {highest, {}};
}

} // namespace

int runBatch(const RenderRequest& request, SignatureDrawer& drawer, Reporter& reporter) {
    const NameList list = readNamesFile(request.namesFile, request.encoding);
    if (!list.error.isEmpty()) {
        return reporter.fail(
            QStringLiteral("cannot read the names file %1: %2").arg(request.namesFile, list.error));
    }
    const qsizetype total = list.names.size();
    reporter.showProgress(0, total);

    // Names that cannot be drawn get no file, so that they take no number from the others.
    QStringList problems;
    QStringList drawable;
    QList<qsizetype> numbers;
    for (const QString& name : list.names) {
        problems.append(nameProblem(name));
        if (problems.back().isEmpty()) {
            drawable.append(name);
            numbers.append(problems.size());
        }
    }
    const QStringList drawableFiles = batchFileNames(
        patterned(drawable, numbers, request.fileNamePattern, total), extensionOf(request));
    QStringList files;
    for (qsizetype i = 0, next = 0; i < total; ++i) {
        files.append(problems.at(i).isEmpty() ? drawableFiles.at(next++) : QString());
    }

    const QFileInfo folderInfo(request.outDir);
    if (folderInfo.exists() && !folderInfo.isDir()) {
        return reporter.fail(
            QStringLiteral("the output folder %1 is not a folder").arg(request.outDir));
    }
    const QDir folder(request.outDir);
    if (!request.force && folderInfo.exists()) {
        QStringList existing;
        for (const QString& file : drawableFiles) {
            if (QFileInfo::exists(folder.filePath(file))) {
                existing.append(file);
            }
        }
        if (!existing.isEmpty()) {
            return reporter.fail(
                QStringLiteral("%1 exists already%2; nothing was written (--force overwrites)")
                    .arg(folder.filePath(existing.first()),
                         existing.size() > 1 ? QStringLiteral(", and %1 more of the batch's files")
                                                   .arg(existing.size() - 1)
                                             : QString()));
        }
    }
    const Result<QString> made = makeFolder(request.outDir);
    if (!made.ok()) {
        return reporter.fail(QStringLiteral("cannot create the output folder %1: %2")
                                 .arg(request.outDir, englishText(made.outcome)));
    }

    // What a batch killed in this folder left half-written goes first; only files named as
    // this program names its temporary files, and none of a write under way.
    removeLeftoverTemporaries(request.outDir);

    qsizetype reported = 0;
    qsizetype written = 0;
    qsizetype skipped = 0;
    QString stopped; ///< why the batch stopped early
    {
        OrderedWorkers<NameOutcome> writers(
            total, request.jobs > 0 ? request.jobs : std::max(1, QThread::idealThreadCount()));
        const auto report = [&](qsizetype index,
                                const OrderedWorkers<NameOutcome>::Outcome& outcome) {
            if (!outcome.result) {
                // Dropped: the batch had already stopped.
            } else if (!outcome.result->problem.isEmpty()) {
                ++skipped;
                reporter.say(QStringLiteral("skipped the name %1 on line %2: %3")
                                 .arg(quotedName(list.names.at(index)))
                                 .arg(list.lines.at(index))
                                 .arg(outcome.result->problem));
            } else if (outcome.result->written.ok()) {
                ++written;
                const Outcome listed = reporter.wrote(outcome.result->file);
                if (!listed.ok() && stopped.isEmpty()) {
                    // The script reading the list is gone or cannot take it: going on would
                    // write files nobody hears of.
                    stopped = QStringLiteral("cannot write to standard output: %1")
                                  .arg(englishText(listed));
                    writers.cancel();
                }
            } else if (stopped.isEmpty()) {
                stopped = QStringLiteral("cannot write %1: %2")
                              .arg(folder.filePath(files.at(index)),
                                   englishText(outcome.result->written));
                writers.cancel();
            }
            reporter.showProgress(index + 1, total);
        };
        qsizetype posted = 0;
        for (; posted < total && stopped.isEmpty(); ++posted) {
            if (!problems.at(posted).isEmpty()) {
                writers.settle(posted, {problems.at(posted), {}, {}});
            } else {
                const QString& name = list.names.at(posted);
                WrittenFile file;
                file.path = folder.filePath(files.at(posted));
                file.name = name;
                file.line = list.lines.at(posted);
                file.slot = request.slot;
                file.format = extensionOf(request);
                file.dotsPerInch = request.look.dotsPerInch;
                const GlyphOrigins origins = drawer.origins(name);
                file.notes = glyphNotes(request.slot, origins);
                if (reporter.listsJson()) {
                    file.faces = facesUsed(request.slot, origins);
                }
                for (const QString& note : file.notes) {
                    reporter.note(QStringLiteral("line %1, the name %2: %3")
                                      .arg(list.lines.at(posted))
                                      .arg(quotedName(name), note));
                }
                DrawnSignature drawn = drawer.draw(name, file.path);
                file.pixels = drawn.pixels;
                if (drawn.problem.isEmpty()) {
                    writers.post(posted, [write = std::move(drawn.write), file = std::move(file)] {
                        return NameOutcome{{}, write(), file};
                    });
                } else {
                    writers.settle(posted, {drawn.problem, {}, {}});
                }
            }
            while (reported <= posted && writers.isSettled(reported)) {
                report(reported, writers.await(reported));
                ++reported;
            }
        }
        for (; reported < posted; ++reported) {
            report(reported, writers.await(reported));
        }
    }
    reporter.endProgress();
    if (!made.value.isEmpty() && written == 0) {
        // The folders this run made, from the output folder up, as they were before it.
        const QString highest = made.value;
        for (QString folderPath = QDir::cleanPath(QDir(request.outDir).absolutePath());
             folderPath.size() >= highest.size() && QDir().rmdir(folderPath);
             folderPath = QFileInfo(folderPath).path()) {
        }
    }
    if (!stopped.isEmpty()) {
        return reporter.fail(QStringLiteral("%1; the batch stopped, %2 of %3 names were written")
                                 .arg(stopped)
                                 .arg(written)
                                 .arg(total));
    }
    if (skipped > 0) {
        return reporter.fail(
            QStringLiteral("%1 of %2 names were skipped; the other %3 were written")
                .arg(skipped)
                .arg(total)
                .arg(written));
    }
    return kRenderDone;
}

} // namespace inkvale
