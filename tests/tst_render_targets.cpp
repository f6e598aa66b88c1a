// inkvale-render writing onto every kind of file a user may name, with -o and with a --force
// batch: the same rule as the window's export, and the same answers.

#include "platform/files/Failure.h"
#include "support/NamedTargets.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace inkvale;

namespace {

const QString kProgram = QStringLiteral(INKVALE_RENDER_EXE);

} // namespace

class TestRenderTargets final : public QObject {
    Q_OBJECT

private slots:
    void namedTargets_data();
    void namedTargets();
};

void TestRenderTargets::namedTargets_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("batch");
    for (const bool batch : {false, true}) {
        for (const QString& kind : test::NamedTargets::kinds()) {
            QTest::addRow("%s, %s", batch ? "--force batch" : "-o", qPrintable(kind))
                << kind << batch;
        }
    }
}

void TestRenderTargets::namedTargets() {
    QFETCH(QString, kind);
    QFETCH(bool, batch);
    QTemporaryDir folder;
    const test::NamedTarget target =
        test::NamedTargets(folder.path()).make(kind, QStringLiteral("Ann.png"));
    if (!target.skipped.isEmpty()) {
        QSKIP(qPrintable(target.skipped));
    }
    QVERIFY(!target.path.isEmpty());
    if (batch && QFileInfo(target.path).fileName() != QLatin1String("Ann.png")) {
        QSKIP("a batch names its files itself");
    }
    QStringList arguments{QStringLiteral("--style"), QStringLiteral("1"),
                          QStringLiteral("--fonts-from-executable")};
    if (batch) {
        const QString names = folder.filePath(QStringLiteral("names.txt"));
        QFile file(names);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Ann\n");
        file.close();
        arguments << QStringLiteral("--names-file") << names << QStringLiteral("--out-dir")
                  << QFileInfo(target.path).path() << QStringLiteral("--force");
    } else {
        // The format given: not run as root, the device is /dev/null, whose name tells none.
        arguments << QStringLiteral("--name") << QStringLiteral("Ann") << QStringLiteral("-o")
                  << target.path << QStringLiteral("--format") << QStringLiteral("png");
    }
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.start(kProgram, arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (target.refusal == Cause::None) {
        QCOMPARE(err, QString());
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(test::NamedTargets::bytesOf(target.content).startsWith("\x89PNG"));
        QVERIFY(QFileInfo(target.path).isSymLink() == kind.contains(QLatin1String("symbolic")));
    } else {
        QVERIFY(process.exitCode() != 0);
        // The reason the window gives in Chinese, in English.
        // A batch passes over a name whose file is a folder before it draws it, as ever.
        const QString reason = englishText(Outcome::failed(target.refusal));
        const QString why =
            batch && target.refusal == Cause::IsFolder
                ? QStringLiteral("skipped the name \"Ann\" on line 1: %1").arg(reason)
                : QStringLiteral("cannot write %1: %2").arg(target.path, reason);
        QVERIFY2(err.contains(why), qPrintable(err));
        QVERIFY2(test::NamedTargets::untouched(kind, target), qPrintable(target.path));
    }
    // Nothing half-written left beside the target.
    const QStringList left =
        QDir(QFileInfo(target.path).path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .filter(QStringLiteral(".part"));
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

QTEST_GUILESS_MAIN(TestRenderTargets)
#include "tst_render_targets.moc"
