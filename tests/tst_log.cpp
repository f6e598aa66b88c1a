#include "designer/BackgroundPicture.h"
#include "online/UpdateCheck.h"
#include "platform/HttpFetcher.h"
#include "platform/VerifiedLibrary.h"
#include "platform/files/DiagnosticLog.h"
#include "platform/log/LogCategories.h"
#include "support/NamedTargets.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace inkvale;

/// The log a user can send: what the program leaves in it when something is refused or fails,
/// and the file it is written to, named by the user and judged by the rule for such names.
class TestLog final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void failuresLeaveTheirCause_data();
    void failuresLeaveTheirCause();
    void aMessageIsOneLineWithItsCategory();
    void theLogFileFollowsTheRuleForNamedFiles_data();
    void theLogFileFollowsTheRuleForNamedFiles();

private:
    [[nodiscard]] QByteArray logged() const;

    QTemporaryDir m_folder;
    QString m_logPath;
};

void TestLog::init() {
    QVERIFY(m_folder.isValid());
    m_logPath = m_folder.filePath(QStringLiteral("inkvale.log"));
    QFile::remove(m_logPath);
    const Outcome started = startDiagnosticLog(m_logPath);
    QVERIFY2(started.ok(), qPrintable(englishText(started)));
}

void TestLog::cleanup() {
    stopDiagnosticLog();
    QLoggingCategory::setFilterRules(QString());
}

QByteArray TestLog::logged() const {
    QFile file(m_logPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestLog::failuresLeaveTheirCause_data() {
    QTest::addColumn<QString>("area");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("update check without an answer") << "update" << QByteArray("connection refused");
    QTest::newRow("update check given a web page") << "page" << QByteArray("is not a version file");
    QTest::newRow("skin library not the one carried") << "skin" << QByteArray("refused");
    QTest::newRow("picture that is none") << "picture" << QByteArray("refused");
}

void TestLog::failuresLeaveTheirCause() {
    QFETCH(QString, area);
    QFETCH(QByteArray, expected);
    if (area == QLatin1String("update")) {
        HttpReply reply;
        reply.requestedUrl = QUrl(QStringLiteral("http://127.0.0.1:9/files/vermo.txt"));
        reply.error = QStringLiteral("connection refused");
        QCOMPARE(judgeUpdateReply(reply).kind, UpdateVerdict::Kind::Failed);
    } else if (area == QLatin1String("page")) {
        HttpReply reply;
        reply.answered = reply.complete = true;
        reply.statusCode = 200;
        reply.contentType = "text/html";
        reply.body = "<html><body>maintenance</body></html>";
        QCOMPARE(judgeUpdateReply(reply).kind, UpdateVerdict::Kind::Failed);
    } else if (area == QLatin1String("skin")) {
        const QString planted = m_folder.filePath(QStringLiteral("libplanted.so"));
        QFile file(planted);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("planted") == 7);
        file.close();
        QVERIFY(resolveVerifiedLibrary(planted, "carried", "SkinH_AttachEx") == nullptr);
    } else {
        const BackgroundPicture picture = adoptPictureBytes(
            {QByteArray("not a picture"), {}}, QStringLiteral("/home/u/x.jpg"), m_folder.path());
        QVERIFY(picture.image.isNull());
    }
    const QByteArray log = logged();
    QVERIFY2(log.contains(expected), log.constData());
    QVERIFY2(log.contains(" info inkvale."), log.constData());
}

void TestLog::aMessageIsOneLineWithItsCategory() {
    qCInfo(log::instance, "first\nsecond");
    qCDebug(log::files) << "debug too, once asked for";
    const QList<QByteArray> lines = logged().split('\n');
    QCOMPARE(lines.size(), 3); // two lines and the end of the last
    QVERIFY2(lines.at(0).endsWith(" info inkvale.instance: first\\nsecond"), lines.at(0));
    QVERIFY2(lines.at(1).contains(" debug inkvale.files: debug too"), lines.at(1));
    // Stopped, the file takes nothing more.
    stopDiagnosticLog();
    qCInfo(log::instance, "after the end");
    QVERIFY(!logged().contains("after the end"));
}

void TestLog::theLogFileFollowsTheRuleForNamedFiles_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : test::NamedTargets::kinds()) {
        QTest::newRow(qPrintable(kind)) << kind;
    }
}

void TestLog::theLogFileFollowsTheRuleForNamedFiles() {
    QFETCH(QString, kind);
    stopDiagnosticLog();
    QTemporaryDir folder;
    const test::NamedTarget target =
        test::NamedTargets(folder.path()).make(kind, QStringLiteral("named.log"));
    if (!target.skipped.isEmpty()) {
        QSKIP(qPrintable(target.skipped));
    }
    QVERIFY(!target.path.isEmpty());
    const Outcome started = startDiagnosticLog(target.path);
    QCOMPARE(started.cause, target.refusal);
    qCInfo(log::update, "a line for the named log");
    stopDiagnosticLog();
    if (target.refusal == Cause::None) {
        // A log is added to, never replaced: what the file held stays in front.
        const QByteArray bytes = test::NamedTargets::bytesOf(target.content);
        QVERIFY2(bytes.startsWith(test::kOldBytes), bytes.constData());
        QVERIFY2(bytes.contains("a line for the named log"), bytes.constData());
    } else {
        QVERIFY2(test::NamedTargets::untouched(kind, target), qPrintable(target.path));
    }
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
