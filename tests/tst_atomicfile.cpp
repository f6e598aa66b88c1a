#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace inkvale;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeRaw(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

/// Runs a write in a child process whose file-size limit is `limit` bytes; the child's exit
/// status is the failure class it saw.
WriteFailure writeUnderFileSizeLimit(const QString& path, const QByteArray& bytes, rlim_t limit,
                                     WriteMode mode) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit small{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::_exit(static_cast<int>(writeFileAtomically(path, bytes, mode).failure));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status)) {
        return WriteFailure::Other; // killed, e.g. by the file-size signal
    }
    return static_cast<WriteFailure>(WEXITSTATUS(status));
}

/// The names in `folder` other than `keep`: leftovers of a write.
QStringList strayFiles(const QString& folder, const QStringList& keep) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : keep) {
        names.removeAll(name);
    }
    return names;
}

} // namespace

class TestAtomicFile final : public QObject {
    Q_OBJECT

private slots:
    void writesEveryByte_data();
    void writesEveryByte();
    void fileSizeLimitKeepsTheOldFile_data();
    void fileSizeLimitKeepsTheOldFile();
    void claimingATakenNameFails();
    void replacingKeepsPermissions();
    void newFilesFollowTheUmask();
    void missingFolder();
    void unwritableFolder();
};

void TestAtomicFile::writesEveryByte_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<WriteMode>("mode");
    QTest::addColumn<bool>("existing");
    QTest::newRow("empty, new") << QByteArray() << WriteMode::ReplaceDurably << false;
    QTest::newRow("small, replacing")
        << QByteArray("BM\0\1", 4) << WriteMode::ReplaceDurably << true;
    QTest::newRow("4 MiB, quickly, replacing")
        << QByteArray(4 << 20, '\x5a') << WriteMode::ReplaceQuickly << true;
    QTest::newRow("claim a free name")
        << QByteArray(70000, '\1') << WriteMode::ClaimNewName << false;
}

void TestAtomicFile::writesEveryByte() {
    QFETCH(QByteArray, bytes);
    QFETCH(WriteMode, mode);
    QFETCH(bool, existing);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("签名 1.bmp"));
    if (existing) {
        writeRaw(path, QByteArray(10 << 20, 'o'));
    }
    const WriteResult result = writeFileAtomically(path, bytes, mode);
    QVERIFY2(result.ok(), qPrintable(result.systemReason));
    QCOMPARE(result.systemError, 0);
    QCOMPARE(readAll(path), bytes);
    QCOMPARE(strayFiles(folder.path(), {QStringLiteral("签名 1.bmp")}), QStringList());
}

void TestAtomicFile::fileSizeLimitKeepsTheOldFile_data() {
    QTest::addColumn<WriteMode>("mode");
    QTest::newRow("durably") << WriteMode::ReplaceDurably;
    QTest::newRow("quickly") << WriteMode::ReplaceQuickly;
}

void TestAtomicFile::fileSizeLimitKeepsTheOldFile() {
    QFETCH(WriteMode, mode);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("QM20250101090507.jpg"));
    const QByteArray old(1000, 'o');
    writeRaw(path, old);
    // Just below the new file's size: the system takes most of it, then refuses the rest.
    const QByteArray bytes(93798, 'n');
    QCOMPARE(writeUnderFileSizeLimit(path, bytes, 92160, mode), WriteFailure::FileTooLarge);
    QCOMPARE(readAll(path), old);
    QCOMPARE(strayFiles(folder.path(), {QStringLiteral("QM20250101090507.jpg")}), QStringList());

    QCOMPARE(writeUnderFileSizeLimit(path, bytes, 93798, mode), WriteFailure::None);
    QCOMPARE(readAll(path), bytes);
}

void TestAtomicFile::claimingATakenNameFails() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("QM20250101090507.jpg"));
    QVERIFY(writeFileAtomically(path, "first", WriteMode::ClaimNewName).ok());
    const WriteResult second = writeFileAtomically(path, "second", WriteMode::ClaimNewName);
    QCOMPARE(second.failure, WriteFailure::NameTaken);
    QCOMPARE(readAll(path), QByteArray("first"));
    QCOMPARE(strayFiles(folder.path(), {QStringLiteral("QM20250101090507.jpg")}), QStringList());
}

void TestAtomicFile::replacingKeepsPermissions() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("xxx.jpg"));
    writeRaw(path, "old");
    const QFile::Permissions chosen = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, chosen));
    QVERIFY(writeFileAtomically(path, "new").ok());
    QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
             chosen);
}

void TestAtomicFile::newFilesFollowTheUmask() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("new.png"));
    const mode_t old = ::umask(022);
    const WriteResult result = writeFileAtomically(path, "png");
    ::umask(old);
    QVERIFY(result.ok());
    // Not the private mode of a temporary file: others may read a saved picture.
    QVERIFY(QFile::permissions(path) & QFile::ReadOther);
    QVERIFY(!(QFile::permissions(path) & QFile::WriteOther));
}

void TestAtomicFile::missingFolder() {
    QTemporaryDir folder;
    const WriteResult result =
        writeFileAtomically(folder.filePath(QStringLiteral("gone/x.png")), "png");
    QCOMPARE(result.failure, WriteFailure::FolderMissing);
    QCOMPARE(result.systemError, ENOENT);
    QVERIFY(!result.systemReason.isEmpty());
}

void TestAtomicFile::unwritableFolder() {
    if (::geteuid() == 0) {
        QSKIP("root may write any folder");
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("x.png"));
    writeRaw(path, "old");
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    const WriteResult result = writeFileAtomically(path, "new");
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(result.failure, WriteFailure::NoPermission);
    QCOMPARE(readAll(path), QByteArray("old"));
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
