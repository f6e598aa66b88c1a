#include "platform/SystemPlatform.h"
#include "platform/files/RegularFile.h"
#include "startup/Deployment.h"
#include "support/FakePlatform.h"
#include "support/SpecialFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

/// Distinct payloads for the twenty ids, of varied sizes.
QMap<int, QByteArray> payloads() {
    QMap<int, QByteArray> map;
    for (const DeployedFile& file : kDeployedFiles) {
        QByteArray bytes = "payload " + QByteArray::number(file.resourceId) + "\n";
        bytes += QByteArray(file.resourceId * 37, char('a' + file.resourceId % 26));
        map.insert(file.resourceId, bytes);
    }
    return map;
}

/// Every entry in `folder` and below it, hidden ones too, relative to `folder`, sorted.
QStringList everythingIn(const QString& folder) {
    QStringList entries;
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(all, QDir::Name)) {
        entries.append(entry.fileName());
        if (entry.isDir() && !entry.isSymLink()) {
            for (const QString& inner : everythingIn(entry.filePath())) {
                entries.append(entry.fileName() + QLatin1Char('/') + inner);
            }
        }
    }
    return entries;
}

} // namespace

class TestDeployment final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstStart();
    void laterStart();
    void plainFileNamedFonts();
    void readOnlyTargetKeepsItsContent();
    void folderThatCannotBeWritten();
    void vanishedProgramFolder();
    void missingPayload();
    void twoDeploymentsAtOnce();
    void copiesFromTheFileThatHoldsThePayloads_data();
    void copiesFromTheFileThatHoldsThePayloads();
    void openOldFileKeepsItsContent();
    void specialFileUnderADeployedName_data();
    void specialFileUnderADeployedName();
    void nextStartAfterAKill_data();
    void nextStartAfterAKill();

private:
    void verifyAllDeployed(const QString& folder);
    [[nodiscard]] QString target(QStringView name) const {
        return m_folder->filePath(name.toString());
    }

    QTemporaryDir* m_folder = nullptr;
    FakePlatform* m_platform = nullptr;
};

void TestDeployment::init() {
    m_folder = new QTemporaryDir;
    m_platform = new FakePlatform;
    m_platform->folder = m_folder->path();
    m_platform->resources = payloads();
}

void TestDeployment::cleanup() {
    delete m_platform;
    delete m_folder;
}

void TestDeployment::verifyAllDeployed(const QString& folder) {
    for (const DeployedFile& file : kDeployedFiles) {
        const QString path = QDir(folder).filePath(file.target.toString());
        QVERIFY2(readAll(path) == m_platform->resources.value(file.resourceId), qPrintable(path));
    }
}

void TestDeployment::firstStart() {
    QVERIFY(!QFileInfo::exists(target(u"fonts")));
    DeployEmbeddedFiles(*m_platform);
    QVERIFY(QFileInfo(target(u"fonts")).isDir());
    verifyAllDeployed(m_folder->path());
    QStringList expected{"COMDLG32.OCX", "MSCOMCTL.OCX", "MSINET.OCX", "SkinH_VB6.dll",
                         "skinh.she"};
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files, QDir::Name), expected);
    QCOMPARE(QDir(target(u"fonts")).entryList(QDir::Files).size(), 15);
}

void TestDeployment::laterStart() {
    DeployEmbeddedFiles(*m_platform);
    // Someone else's file in the fonts folder, and old files: one longer than its payload.
    writeAll(target(u"fonts/mine.ttf"), "keep me");
    writeAll(target(u"skinh.she"), QByteArray(100000, 'x'));
    writeAll(target(u"fonts/3.ttf"), "older and different");
    const QDateTime old = QDateTime::currentDateTime().addDays(-1);
    for (const DeployedFile& file : kDeployedFiles) {
        QFile existing(target(file.target));
        QVERIFY(existing.open(QIODevice::ReadWrite));
        QVERIFY(existing.setFileTime(old, QFileDevice::FileModificationTime));
    }

    DeployEmbeddedFiles(*m_platform);
    verifyAllDeployed(m_folder->path());
    QCOMPARE(readAll(target(u"fonts/mine.ttf")), QByteArray("keep me"));
    for (const DeployedFile& file : kDeployedFiles) {
        QVERIFY2(QFileInfo(target(file.target)).lastModified() > old,
                 qPrintable(file.target.toString()));
    }
    // No temporary files are left behind.
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files).size(), 5);
    QCOMPARE(QDir(target(u"fonts")).entryList(QDir::Files).size(), 16);
}

void TestDeployment::plainFileNamedFonts() {
    writeAll(target(u"fonts"), "not a folder");
    DeployEmbeddedFiles(*m_platform);
    for (std::size_t i = 0; i < kFirstFontFile; ++i) {
        const DeployedFile& file = kDeployedFiles.at(i);
        QCOMPARE(readAll(target(file.target)), m_platform->resources.value(file.resourceId));
    }
    QCOMPARE(readAll(target(u"fonts")), QByteArray("not a folder"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files).size(), 6);
}

void TestDeployment::readOnlyTargetKeepsItsContent() {
    writeAll(target(u"skinh.she"), ".SHE old skin");
    QVERIFY(QFile::setPermissions(target(u"skinh.she"), QFile::ReadOwner | QFile::ReadGroup));
    DeployEmbeddedFiles(*m_platform);
    QCOMPARE(readAll(target(u"skinh.she")), QByteArray(".SHE old skin"));
    for (const DeployedFile& file : kDeployedFiles) {
        if (file.resourceId != 102) {
            QCOMPARE(readAll(target(file.target)), m_platform->resources.value(file.resourceId));
        }
    }
    QFile::setPermissions(target(u"skinh.she"), QFile::ReadOwner | QFile::WriteOwner);
}

void TestDeployment::folderThatCannotBeWritten() {
    if (geteuid() == 0) {
        QSKIP("an administrator writes into any folder");
    }
    QVERIFY(QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::ExeOwner));
    DeployEmbeddedFiles(*m_platform);
    QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QDir(m_folder->path()).isEmpty());
}

void TestDeployment::vanishedProgramFolder() {
    // Nothing is made in its place: not the folder, not its fonts folder.
    m_platform->folder = m_folder->filePath(QStringLiteral("gone"));
    DeployEmbeddedFiles(*m_platform);
    QVERIFY(!QFileInfo::exists(m_platform->folder));
    QVERIFY(QDir(m_folder->path()).isEmpty());
}

void TestDeployment::missingPayload() {
    writeAll(target(u"MSINET.OCX"), "kept");
    m_platform->resources.remove(104);
    m_platform->resources.remove(107);
    DeployEmbeddedFiles(*m_platform);
    QCOMPARE(readAll(target(u"MSINET.OCX")), QByteArray("kept"));
    QVERIFY(QFileInfo::exists(target(u"fonts/3.ttf")));
    QCOMPARE(QFileInfo(target(u"fonts/3.ttf")).size(), 0);
    QCOMPARE(readAll(target(u"fonts/4.ttf")), m_platform->resources.value(108));
}

void TestDeployment::twoDeploymentsAtOnce() {
    // Large payloads so that the writes overlap.
    for (auto it = m_platform->resources.begin(); it != m_platform->resources.end(); ++it) {
        it.value() = it.value().repeated(400);
    }
    for (int round = 0; round < 5; ++round) {
        std::thread first([this] { DeployEmbeddedFiles(*m_platform); });
        std::thread second([this] { DeployEmbeddedFiles(*m_platform); });
        first.join();
        second.join();
        verifyAllDeployed(m_folder->path());
    }
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files).size(), 5);
    QCOMPARE(QDir(target(u"fonts")).entryList(QDir::Files).size(), 15);
}

void TestDeployment::copiesFromTheFileThatHoldsThePayloads_data() {
    QTest::addColumn<QString>("pack");
    QTest::newRow("payloads in the file") << "whole";
    QTest::newRow("file gone: written from memory") << "gone";
    QTest::newRow("file cut short: written from memory") << "short";
}

void TestDeployment::copiesFromTheFileThatHoldsThePayloads() {
    QFETCH(QString, pack);
    // The payloads lie one after another in a file, behind a header, as in an executable. In
    // memory they differ, so the files show which way they were written.
    QTemporaryDir elsewhere;
    const QString packPath = elsewhere.filePath(QStringLiteral("program.bin"));
    QByteArray packed(4096 + 3, 'h');
    QMap<int, QByteArray> inFile;
    for (const DeployedFile& file : kDeployedFiles) {
        const QByteArray bytes = m_platform->resources.value(file.resourceId).repeated(50);
        m_platform->resourceFiles.insert(file.resourceId,
                                         FileRange{packPath, packed.size(), bytes.size()});
        inFile.insert(file.resourceId, bytes);
        packed += bytes;
    }
    if (pack == QLatin1String("short")) {
        packed.chop(1);
    }
    if (pack != QLatin1String("gone")) {
        writeAll(packPath, packed);
    }
    writeAll(target(u"skinh.she"), QByteArray(300000, 'o'));

    DeployEmbeddedFiles(*m_platform);
    for (const DeployedFile& file : kDeployedFiles) {
        const bool fromFile = pack == QLatin1String("whole") ||
                              (pack == QLatin1String("short") && file.resourceId != 119);
        const QByteArray expected =
            fromFile ? inFile.value(file.resourceId) : m_platform->resources.value(file.resourceId);
        QVERIFY2(readAll(target(file.target)) == expected, qPrintable(file.target.toString()));
    }
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden).size(), 5);
    QCOMPARE(QDir(target(u"fonts")).entryList(QDir::Files | QDir::Hidden).size(), 15);
}

void TestDeployment::openOldFileKeepsItsContent() {
    // A running copy of the program holds the old library open: it must keep reading the old
    // bytes whole, never a mix of old and new.
    const QByteArray old(1 << 20, 'o');
    writeAll(target(u"SkinH_VB6.dll"), old);
    QFile held(target(u"SkinH_VB6.dll"));
    QVERIFY(held.open(QIODevice::ReadOnly));
    const uchar* mapped = held.map(0, old.size());
    QVERIFY(mapped != nullptr);

    DeployEmbeddedFiles(*m_platform);
    QCOMPARE(readAll(target(u"SkinH_VB6.dll")), m_platform->resources.value(101));
    QVERIFY(QByteArrayView(reinterpret_cast<const char*>(mapped), old.size()) == old);
    QCOMPARE(held.readAll(), old);
}

void TestDeployment::specialFileUnderADeployedName_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : test::SpecialFiles::kinds()) {
        if (kind != QLatin1String("folder named .jpg")) {
            QTest::newRow(qPrintable(kind)) << kind;
        }
    }
}

void TestDeployment::specialFileUnderADeployedName() {
    // Left under a deployed file's name, without write permission even, a FIFO, a device or a
    // socket is no file of the user's: the start replaces it and never waits on it.
    QFETCH(QString, kind);
    test::SpecialFiles specials(m_folder->path());
    const QString skin = specials.make(kind, QStringLiteral("skinh.she"));
    QVERIFY(!skin.isEmpty());
    if (!QFileInfo(skin).isSymLink()) { // a link's mode is its target's: /dev/zero is not ours
        QVERIFY(::chmod(QFile::encodeName(skin).constData(), 0444) == 0);
    }
    DeployEmbeddedFiles(*m_platform);
    QVERIFY(!QFileInfo(skin).isSymLink());
    QVERIFY(!isSpecialFile(skin));
    verifyAllDeployed(m_folder->path());
}

void TestDeployment::nextStartAfterAKill_data() {
    // Where the deployment is when it is killed: writing the file at index `waitingAt`, which
    // waits for its payload there (a FIFO nobody writes) with its temporary file made; or, with
    // waitingAt -1, deploying large files over and over, killed after `afterMs`.
    QTest::addColumn<int>("waitingAt");
    QTest::addColumn<int>("afterMs");
    const int last = int(kDeployedFiles.size()) - 1;
    const int firstFont = int(kFirstFontFile);
    QTest::newRow("writing the first file") << 0 << 0;
    QTest::newRow("writing the last file beside the program") << firstFont - 1 << 0;
    QTest::newRow("writing the first font") << firstFont << 0;
    QTest::newRow("writing the last font") << last << 0;
    QTest::newRow("copying, after 5 ms") << -1 << 5;
    QTest::newRow("copying, after 30 ms") << -1 << 30;
    QTest::newRow("copying, after 120 ms") << -1 << 120;
}

void TestDeployment::nextStartAfterAKill() {
    QFETCH(int, waitingAt);
    QFETCH(int, afterMs);
    // What a clean run leaves, measured on a folder of its own.
    QStringList clean;
    {
        QTemporaryDir other;
        FakePlatform platform;
        platform.folder = other.path();
        platform.resources = m_platform->resources;
        DeployEmbeddedFiles(platform);
        clean = everythingIn(other.path());
    }
    // Files of the user's own that only look like ours, and must stay.
    DeployEmbeddedFiles(*m_platform);
    const QStringList lookalikes{QStringLiteral(".skinh.she.part"),
                                 QStringLiteral(".skinh.she.x1y2.part.bak"),
                                 QStringLiteral(".skinh.she.ABC.part"),
                                 QStringLiteral(".skinh.she.a-b.part"),
                                 QStringLiteral(".skinh.she.backup.part"),
                                 QStringLiteral(".xxx.jpg.k3j4.part"),
                                 QStringLiteral("skinh.she.abc.part"),
                                 QStringLiteral(".notes.txt.abc.part"),
                                 QStringLiteral(".skinh.she.inkvale-tmp-abc.part"),
                                 QStringLiteral(".skinh.she.inkvale-tmp-0000000000ABC.part"),
                                 QStringLiteral("fonts/.mine.ttf.k3j4.part")};
    for (const QString& name : lookalikes) {
        writeAll(target(name), "the user's");
    }
    // Ours by the name, but a folder, a link, a file with another name: none is ours.
    QVERIFY(QDir().mkdir(target(u".MSINET.OCX.inkvale-tmp-00000000000q7.part")));
    QVERIFY(
        QFile::link(target(u"skinh.she"), target(u".COMDLG32.OCX.inkvale-tmp-0000000000zz9.part")));
    writeAll(target(u"linked"), "the user's");
    QVERIFY(::link(QFile::encodeName(target(u"linked")).constData(),
                   QFile::encodeName(target(u".skinh.she.inkvale-tmp-00000000000h1.part"))
                       .constData()) == 0);

    QTemporaryDir elsewhere;
    const QString fifo = elsewhere.filePath(QStringLiteral("payload"));
    if (waitingAt >= 0) {
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    }
    const QStringList before = everythingIn(m_folder->path());

    const DeployedFile& file = kDeployedFiles.at(std::size_t(std::max(waitingAt, 0)));
    const QFileInfo waiting(target(file.target));
    const QRegularExpression temporary(QStringLiteral("^\\.%1\\.inkvale-tmp-[0-9a-z]{13}\\.part$")
                                           .arg(QRegularExpression::escape(waiting.fileName())));
    // Counted, as a link of the user's may have such a name already.
    const auto temporaries = [&] {
        return waiting.dir().entryList(QDir::Files | QDir::Hidden).filter(temporary).size();
    };
    const qsizetype already = waitingAt >= 0 ? temporaries() : 0;
    // The test program itself deploys, as a process of its own that can be killed.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("INKVALE_TEST_DEPLOY_INTO"), m_folder->path());
    environment.insert(QStringLiteral("INKVALE_TEST_DEPLOY_WAIT_AT"), QString::number(waitingAt));
    environment.insert(QStringLiteral("INKVALE_TEST_DEPLOY_FIFO"), fifo);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForStarted());
    if (waitingAt >= 0) {
        // Its temporary file is made; the child waits for the payload's first byte.
        QTRY_VERIFY(temporaries() > already);
    } else {
        // Deploying, then some way into it. The child first makes its large payloads, which
        // takes seconds on a loaded machine; a temporary file seen once counts, since it may be
        // gone again when the check looks a second time.
        bool seen = false;
        QTRY_VERIFY_WITH_TIMEOUT(seen = seen || everythingIn(m_folder->path()) != before, 60000);
        QTest::qWait(afterMs);
    }
    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    if (waitingAt >= 0) {
        QVERIFY2(everythingIn(m_folder->path()).size() == before.size() + 1,
                 "the kill left nothing to clean");
    }

    // And what a killed save left: of a picture saved beside the program, of a background picture.
    writeAll(target(u".QM20250101090507.jpg.inkvale-tmp-000000000k3j4.part"), "half");
    writeAll(target(u".xxx.jpg.inkvale-tmp-00000000000a1.part"), "half");
    // The next start.
    DeployEmbeddedFiles(*m_platform);
    verifyAllDeployed(m_folder->path());
    QStringList expected = clean + lookalikes;
    expected << QStringLiteral(".MSINET.OCX.inkvale-tmp-00000000000q7.part")
             << QStringLiteral(".COMDLG32.OCX.inkvale-tmp-0000000000zz9.part")
             << QStringLiteral("linked")
             << QStringLiteral(".skinh.she.inkvale-tmp-00000000000h1.part");
    expected.sort();
    QStringList found = everythingIn(m_folder->path());
    found.sort();
    QCOMPARE(found, expected);
}

/// The deployment nextStartAfterAKill kills: into INKVALE_TEST_DEPLOY_INTO, waiting at the file
/// of index INKVALE_TEST_DEPLOY_WAIT_AT for the FIFO INKVALE_TEST_DEPLOY_FIFO, or with large
/// payloads over and over when that index is -1.
int deployUntilKilled() {
    FakePlatform platform;
    platform.folder = qEnvironmentVariable("INKVALE_TEST_DEPLOY_INTO");
    platform.resources = payloads();
    const int waitingAt = qEnvironmentVariableIntValue("INKVALE_TEST_DEPLOY_WAIT_AT");
    if (waitingAt >= 0) {
        const DeployedFile& file = kDeployedFiles.at(std::size_t(waitingAt));
        platform.resourceFiles.insert(
            file.resourceId, FileRange{qEnvironmentVariable("INKVALE_TEST_DEPLOY_FIFO"), 0, 100});
    } else {
        for (auto it = platform.resources.begin(); it != platform.resources.end(); ++it) {
            it.value() = it.value().repeated(500);
        }
    }
    do {
        DeployEmbeddedFiles(platform);
    } while (waitingAt < 0);
    return 0;
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet("INKVALE_TEST_DEPLOY_INTO")) {
        return deployUntilKilled();
    }
    QCoreApplication application(argc, argv);
    TestDeployment test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_deployment.moc"
