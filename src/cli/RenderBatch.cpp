#include "cli/RenderBatch.h"

#include "cli/BatchNames.h"
#include "cli/RenderJob.h"
#include "cli/Reporter.h"
#include "core/OrderedWorkers.h"

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
    QString problem; ///< the name could not be drawn
    Outcome written; ///< how the write went
};

} // namespace

int runBatch(const RenderRequest& request, SignatureDrawer& drawer, Reporter& reporter) {
    const NameList list = readNamesFile(request.namesFile);
    if (!list.error.isEmpty()) {
        return reporter.fail(
            QStringLiteral("cannot read the names file %1: %2").arg(request.namesFile, list.error));
    }
    const qsizetype total = list.names.size();
    reporter.showProgress(0, total);

    // Names that cannot be drawn get no file, so that they take no number from the others.
    QStringList problems;
    QStringList drawable;
    for (const QString& name : list.names) {
        problems.append(nameProblem(name));
        if (problems.back().isEmpty()) {
            drawable.append(name);
        }
    }
    const QStringList drawableFiles = batchFileNames(drawable, extensionOf(request.format));
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
    const bool created = !folderInfo.exists();
    if (created) {
        std::error_code error;
        std::filesystem::create_directory(
            std::filesystem::path(QFile::encodeName(request.outDir).toStdString()), error);
        if (error) {
            return reporter.fail(QStringLiteral("cannot create the output folder %1: %2")
                                     .arg(request.outDir, QString::fromStdString(error.message())));
        }
    }

    qsizetype reported = 0;
    qsizetype written = 0;
    qsizetype skipped = 0;
    QString stopped; ///< why the batch stopped early
    {
        OrderedWorkers<NameOutcome> writers(total, std::max(1, QThread::idealThreadCount()));
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
                writers.settle(posted, {problems.at(posted), {}});
            } else {
                for (const QString& note : drawer.notes(list.names.at(posted))) {
                    reporter.say(QStringLiteral("note: line %1, the name %2: %3")
                                     .arg(list.lines.at(posted))
                                     .arg(quotedName(list.names.at(posted)), note));
                }
                DrawnSignature drawn =
                    drawer.draw(list.names.at(posted), folder.filePath(files.at(posted)));
                if (drawn.problem.isEmpty()) {
                    writers.post(posted, [write = std::move(drawn.write)] {
                        return NameOutcome{{}, write()};
                    });
                } else {
                    writers.settle(posted, {drawn.problem, {}});
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
    if (created && written == 0) {
        QDir().rmdir(request.outDir);
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
