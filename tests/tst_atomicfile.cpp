#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"
#include "platform/files/TemporaryFolder.h"
#include "support/NamedTargets.h"
#include "support/SpecialFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <chrono>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace inkvale;

namespace {

/// Large enough that /dev/zero would take a while to fill it.
constexpr qint64 kMaxBytes = 64LL * 1024 * 1024;

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
Cause writeUnderFileSizeLimit(const QString& path, const QByteArray& bytes, rlim_t limit,
                              WriteMode mode) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit small{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::_exit(static_cast<int>(writeFileAtomically(path, bytes, mode).cause));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status)) {
        return Cause::Other; // killed, e.g. by the file-size signal
    }
    return static_cast<Cause>(WEXITSTATUS(status));
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
    void copiesARangeOfAnotherFile_data();
    void copiesARangeOfAnotherFile();
    void rangeBeyondItsFileKeepsTheOldFile();
    void removeThenReplaceLeavesOpenReadersWhole();
    void readWholeFile();
    void specialFilesAreRefusedUnopened_data();
    void specialFilesAreRefusedUnopened();
    void readingGoesOnOffTheAskingThread();
    void namedFilesFollowOneRule_data();
    void namedFilesFollowOneRule();
    void linksOnTheWayAreJudgedToo();
    void leftoverTemporariesAreOnlyOurs();
    void abandonedFoldersGoOthersStay();
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
    const Outcome result = writeFileAtomically(path, bytes, mode);
    QVERIFY2(result.ok(), qPrintable(result.detail));
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
    QCOMPARE(writeUnderFileSizeLimit(path, bytes, 92160, mode), Cause::FileTooLarge);
    QCOMPARE(readAll(path), old);
    QCOMPARE(strayFiles(folder.path(), {QStringLiteral("QM20250101090507.jpg")}), QStringList());

    QCOMPARE(writeUnderFileSizeLimit(path, bytes, 93798, mode), Cause::None);
    QCOMPARE(readAll(path), bytes);
}

void TestAtomicFile::claimingATakenNameFails() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("QM20250101090507.jpg"));
    QVERIFY(writeFileAtomically(path, "first", WriteMode::ClaimNewName).ok());
    const Outcome second = writeFileAtomically(path, "second", WriteMode::ClaimNewName);
    QCOMPARE(second.cause, Cause::NameTaken);
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
    const Outcome result = writeFileAtomically(path, "png");
    ::umask(old);
    QVERIFY(result.ok());
    // Not the private mode of a temporary file: others may read a saved picture.
    QVERIFY(QFile::permissions(path) & QFile::ReadOther);
    QVERIFY(!(QFile::permissions(path) & QFile::WriteOther));
}

void TestAtomicFile::missingFolder() {
    QTemporaryDir folder;
    const Outcome result =
        writeFileAtomically(folder.filePath(QStringLiteral("gone/x.png")), "png");
    QCOMPARE(result.cause, Cause::NoSuchFile);
    QCOMPARE(result.systemError, ENOENT);
    QVERIFY(!result.detail.isEmpty());
}

void TestAtomicFile::unwritableFolder() {
    if (::geteuid() == 0) {
        QSKIP("root may write any folder");
    }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("x.png"));
    writeRaw(path, "old");
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    const Outcome result = writeFileAtomically(path, "new");
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(result.cause, Cause::NoPermission);
    QCOMPARE(readAll(path), QByteArray("old"));
}

void TestAtomicFile::copiesARangeOfAnotherFile_data() {
    QTest::addColumn<QString>("sourceFolder");
    QTest::addColumn<WriteMode>("mode");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<Cause>("failure");
    const QString here;
    // Another file system, where the kernel may not copy between files: read and written.
    const QString shm = QStringLiteral("/dev/shm");
    QTest::newRow("same folder, quickly")
        << here << WriteMode::ReplaceQuickly << qint64(0) << Cause::None;
    QTest::newRow("same folder, remove then replace")
        << here << WriteMode::RemoveThenReplace << qint64(0) << Cause::None;
    QTest::newRow("from memory-backed files")
        << shm << WriteMode::RemoveThenReplace << qint64(0) << Cause::None;
    QTest::newRow("file-size limit")
        << here << WriteMode::RemoveThenReplace << qint64(1 << 20) << Cause::FileTooLarge;
    QTest::newRow("file-size limit, from memory-backed files")
        << shm << WriteMode::ReplaceDurably << qint64(1 << 20) << Cause::FileTooLarge;
}

void TestAtomicFile::copiesARangeOfAnotherFile() {
    QFETCH(QString, sourceFolder);
    QFETCH(WriteMode, mode);
    QFETCH(qint64, limit);
    QFETCH(Cause, failure);
    if (!sourceFolder.isEmpty() && !QFileInfo(sourceFolder).isWritable()) {
        QSKIP("no /dev/shm here");
    }
    QTemporaryDir folder;
    QTemporaryDir elsewhere(sourceFolder.isEmpty()
                                ? QDir::tempPath() + QStringLiteral("/src-XXXXXX")
                                : sourceFolder + QStringLiteral("/src-XXXXXX"));
    QByteArray packed;
    for (int i = 0; i < (3 << 20); ++i) {
        packed += char(i * 7 % 251);
    }
    const QString source = elsewhere.filePath(QStringLiteral("program.bin"));
    writeRaw(source, packed);
    const QString path = folder.filePath(QStringLiteral("fonts 12.ttf"));
    const QByteArray old(5000, 'o');
    writeRaw(path, old);
    // Odd offset and size, more than a megabyte: several pieces when not copied in the kernel.
    const FileRange range{source, 12345, (2 << 20) + 777};

    Outcome result;
    if (limit > 0) {
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit small{rlim_t(limit), rlim_t(limit)};
            ::setrlimit(RLIMIT_FSIZE, &small);
            ::_exit(static_cast<int>(writeFileAtomically(path, range, mode).cause));
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        QVERIFY(WIFEXITED(status));
        result.cause = static_cast<Cause>(WEXITSTATUS(status));
    } else {
        result = writeFileAtomically(path, range, mode);
    }
    QCOMPARE(result.cause, failure);
    QCOMPARE(readAll(path), result.ok() ? packed.mid(range.offset, range.size) : old);
    QCOMPARE(strayFiles(folder.path(), {QStringLiteral("fonts 12.ttf")}), QStringList());
}

void TestAtomicFile::rangeBeyondItsFileKeepsTheOldFile() {
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("program.bin"));
    writeRaw(source, QByteArray(1000, 's'));
    const QString path = folder.filePath(QStringLiteral("skinh.she"));
    writeRaw(path, "old skin");
    const Outcome result =
        writeFileAtomically(path, FileRange{source, 900, 200}, WriteMode::RemoveThenReplace);
    QVERIFY(!result.ok());
    QCOMPARE(readAll(path), QByteArray("old skin"));
    const Outcome missing = writeFileAtomically(
        path, FileRange{folder.filePath(QStringLiteral("none")), 0, 10}, WriteMode::ReplaceQuickly);
    QCOMPARE(missing.cause, Cause::NoSuchFile);
    QCOMPARE(readAll(path), QByteArray("old skin"));
    QCOMPARE(
        strayFiles(folder.path(), {QStringLiteral("skinh.she"), QStringLiteral("program.bin")}),
        QStringList());
}

void TestAtomicFile::removeThenReplaceLeavesOpenReadersWhole() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("SkinH_VB6.dll"));
    const QByteArray old(1 << 20, 'o');
    writeRaw(path, old);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QFile held(path);
    QVERIFY(held.open(QIODevice::ReadOnly));
    const uchar* mapped = held.map(0, old.size());
    QVERIFY(mapped != nullptr);
    QVERIFY(writeFileAtomically(path, QByteArray(10, 'n'), WriteMode::RemoveThenReplace).ok());
    QCOMPARE(readAll(path), QByteArray(10, 'n'));
    QVERIFY(QByteArrayView(reinterpret_cast<const char*>(mapped), old.size()) == old);
    // The replacement keeps the file's permissions.
    QVERIFY(QFile::permissions(path) & QFile::ExeOwner);
}

void TestAtomicFile::readWholeFile() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("背景.jpg"));
    writeRaw(path, QByteArray(70000, 'j'));
    Result<QByteArray> read = inkvale::readWholeFile(path, 70000);
    QVERIFY(read.ok());
    QCOMPARE(read.value, QByteArray(70000, 'j'));
    read = inkvale::readWholeFile(path, 69999);
    QCOMPARE(read.outcome.cause, Cause::FileTooLarge);
    QVERIFY(read.value.isEmpty());
    read = inkvale::readWholeFile(folder.filePath(QStringLiteral("none.jpg")), 100);
    QCOMPARE(read.outcome.cause, Cause::NoSuchFile);
    QCOMPARE(englishText(read.outcome), QStringLiteral("no such file"));
    QVERIFY(!read.outcome.detail.isEmpty());
    read = inkvale::readWholeFile(folder.path(), 100);
    QCOMPARE(read.outcome.cause, Cause::Other);
    QCOMPARE(read.outcome.systemError, EISDIR);
    if (::geteuid() != 0) {
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        read = inkvale::readWholeFile(path, 70000);
        QCOMPARE(read.outcome.cause, Cause::NoPermission);
    }
}

void TestAtomicFile::specialFilesAreRefusedUnopened_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : test::SpecialFiles::kinds()) {
        QTest::newRow(qPrintable(kind)) << kind;
    }
}

void TestAtomicFile::specialFilesAreRefusedUnopened() {
    QFETCH(QString, kind);
    QTemporaryDir folder;
    test::SpecialFiles specials(folder.path());
    const QString path = specials.make(kind, QStringLiteral("背景.jpg"));
    QVERIFY2(!path.isEmpty(), "the special file could not be made");

    // Read on another thread, so that a read that waits fails this case instead of holding
    // the whole run; the special files let it go afterwards.
    auto read =
        std::async(std::launch::async, [path] { return inkvale::readWholeFile(path, kMaxBytes); });
    const bool returned = read.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    specials.letGo();
    QVERIFY2(returned, "reading a special file waited");
    const Result<QByteArray> result = read.get();
    QVERIFY(result.value.isEmpty());
    if (kind == QLatin1String("folder named .jpg")) {
        QCOMPARE(result.outcome.systemError, EISDIR);
    } else {
        QCOMPARE(result.outcome.cause, Cause::NotARegularFile);
        QCOMPARE(englishText(result.outcome),
                 QStringLiteral("it is not a regular file but a pipe, a device or a socket"));
    }
    QCOMPARE(inkvale::openRegularFile(path).outcome.cause, result.outcome.cause);

    // A regular file behind a symbolic link is a regular file.
    const QString regular = folder.filePath(QStringLiteral("real.jpg"));
    writeRaw(regular, "jpeg");
    const QString link = folder.filePath(QStringLiteral("link.jpg"));
    QVERIFY(QFile::link(regular, link));
    QCOMPARE(inkvale::readWholeFile(link, kMaxBytes).value, QByteArray("jpeg"));
}

void TestAtomicFile::readingGoesOnOffTheAskingThread() {
    // A read that does not come back (a mount that stopped answering) holds only its own
    // thread; given up, its outcome never arrives.
    QObject owner;
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    int arrivals = 0;
    auto stalled = std::make_unique<BackgroundFileRead>(
        &owner,
        [answered] {
            answered.wait();
            return Result<QByteArray>{QByteArray("late"), {}};
        },
        [&arrivals](const Result<QByteArray>& /*result*/) { ++arrivals; });
    QVERIFY(!stalled->finished());
    QTest::qWait(100);
    QVERIFY(!stalled->finished());
    stalled.reset();
    answer.set_value();

    // One that comes back reaches its owner's thread with its outcome.
    QByteArray bytes;
    const BackgroundFileRead quick(
        &owner,
        [] {
            return Result<QByteArray>{QByteArray("picture"), {}};
        },
        [&bytes, &owner](const Result<QByteArray>& result) {
            QCOMPARE(QThread::currentThread(), owner.thread());
            bytes = result.value;
        });
    QTRY_VERIFY(quick.finished());
    QCOMPARE(bytes, QByteArray("picture"));
    QTest::qWait(50);
    QCOMPARE(arrivals, 0);
}

void TestAtomicFile::namedFilesFollowOneRule_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : test::NamedTargets::kinds()) {
        QTest::newRow(qPrintable(kind)) << kind;
    }
}

void TestAtomicFile::namedFilesFollowOneRule() {
    QFETCH(QString, kind);
    QTemporaryDir folder;
    const test::NamedTarget target =
        test::NamedTargets(folder.path()).make(kind, QStringLiteral("out.png"));
    if (!target.skipped.isEmpty()) {
        QSKIP(qPrintable(target.skipped));
    }
    QVERIFY(!target.path.isEmpty());
    // The check alone answers as the write does.
    QCOMPARE(checkNamedFile(target.path).cause, target.refusal);
    for (const WriteMode mode : {WriteMode::ReplaceNamedFile, WriteMode::ReplaceNamedFileDurably}) {
        const Outcome written = writeFileAtomically(target.path, "new", mode);
        QCOMPARE(written.cause, target.refusal);
        if (target.refusal == Cause::None) {
            QCOMPARE(test::NamedTargets::bytesOf(target.content), QByteArray("new"));
        } else {
            QVERIFY2(test::NamedTargets::untouched(kind, target), qPrintable(target.path));
            QVERIFY(!englishText(written).isEmpty());
            QVERIFY(!chineseText(written).isEmpty());
        }
    }
    QVERIFY(QFileInfo(target.path).isSymLink() == kind.contains(QLatin1String("symbolic link")));
    // No temporary file left anywhere the write went.
    QDirIterator entries(folder.path(),
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString name = QFileInfo(entries.next()).fileName();
        QVERIFY2(!name.endsWith(QLatin1String(".part")), qPrintable(name));
    }
}

void TestAtomicFile::linksOnTheWayAreJudgedToo() {
    // A link to a folder in a shared sticky folder, with the file named beyond it: the rule
    // looks at every link it follows, not only at the last one.
    if (::geteuid() != 0) {
        QSKIP("needs root to give a link another owner");
    }
    QTemporaryDir folder;
    const QDir root(folder.path());
    QVERIFY(root.mkdir(QStringLiteral("shared")) && root.mkdir(QStringLiteral("private")));
    QCOMPARE(::chmod(QFile::encodeName(root.filePath(QStringLiteral("shared"))).constData(), 01777),
             0);
    const QString secret = root.filePath(QStringLiteral("private/out.png"));
    writeRaw(secret, "old");
    const QString link = root.filePath(QStringLiteral("shared/to-private"));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("private")), link));
    const QString named = link + QStringLiteral("/out.png");
    // The folder's owner's link is followed; nobody's is not.
    QVERIFY(writeFileAtomically(named, "mine", WriteMode::ReplaceNamedFile).ok());
    QCOMPARE(readAll(secret), QByteArray("mine"));
    QCOMPARE(::lchown(QFile::encodeName(link).constData(), 65534, 65534), 0);
    QCOMPARE(writeFileAtomically(named, "theirs", WriteMode::ReplaceNamedFile).cause,
             Cause::UntrustedLink);
    QCOMPARE(readAll(secret), QByteArray("mine"));
    // A relative link with ".." on its way is resolved as the kernel does.
    QVERIFY(QFile::link(QStringLiteral("../private/out.png"),
                        root.filePath(QStringLiteral("private/again.png"))));
    QVERIFY(writeFileAtomically(root.filePath(QStringLiteral("private/again.png")), "again",
                                WriteMode::ReplaceNamedFile)
                .ok());
    QCOMPARE(readAll(secret), QByteArray("again"));
}

void TestAtomicFile::leftoverTemporariesAreOnlyOurs() {
    QTemporaryDir folder;
    const QDir in(folder.path());
    // Names as a write that was killed leaves them (the kill itself: tst_deployment), and
    // names that only look like them.
    const QStringList ours{QStringLiteral(".QM20250101090507.jpg.inkvale-tmp-000000000k3j4.part"),
                           QStringLiteral(".xxx.jpg.inkvale-tmp-0000000000001.part"),
                           QStringLiteral(".skinh.she.inkvale-tmp-3w5e11264sgsf.part")};
    const QStringList theirs{QStringLiteral(".skinh.she.backup.part"),
                             QStringLiteral(".xxx.jpg.k3j4.part"),
                             QStringLiteral(".skinh.she.inkvale-tmp-3W5E11264SGSF.part"),
                             QStringLiteral(".skinh.she.inkvale-tmp-3w5e11264sgs.part"),
                             QStringLiteral(".inkvale-tmp-0000000000001.part"),
                             QStringLiteral("notes.txt")};
    for (const QString& name : ours + theirs) {
        writeRaw(in.filePath(name), "x");
    }
    // A folder, a link and a file with a second name carry our names and are still not ours.
    QVERIFY(in.mkdir(QStringLiteral(".a.inkvale-tmp-0000000000002.part")));
    QVERIFY(QFile::link(in.filePath(QStringLiteral("notes.txt")),
                        in.filePath(QStringLiteral(".b.inkvale-tmp-0000000000003.part"))));
    QCOMPARE(
        ::link(QFile::encodeName(in.filePath(QStringLiteral("notes.txt"))).constData(),
               QFile::encodeName(in.filePath(QStringLiteral(".c.inkvale-tmp-0000000000004.part")))
                   .constData()),
        0);
    removeLeftoverTemporaries(folder.path());
    QStringList expected =
        theirs + QStringList{QStringLiteral(".a.inkvale-tmp-0000000000002.part"),
                             QStringLiteral(".b.inkvale-tmp-0000000000003.part"),
                             QStringLiteral(".c.inkvale-tmp-0000000000004.part")};
    expected.sort();
    QCOMPARE(in.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                          QDir::Name),
             expected);
}

void TestAtomicFile::abandonedFoldersGoOthersStay() {
    QTemporaryDir temporary;
    const QByteArray savedTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    const auto age = [](const QString& path, time_t seconds) {
        const timespec then[2]{{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
        return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), then,
                           AT_SYMLINK_NOFOLLOW) == 0;
    };
    const QString prefix = QStringLiteral("inkvale-drag-");
    // Folders that processes killed mid-drag left: long ago, long ago with a folder of someone
    // else's put in it, a moment ago (its maker may not have locked it yet).
    QStringList left;
    for (int i = 0; i < 3; ++i) {
        int report[2];
        QCOMPARE(::pipe(report), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            const TemporaryFolder folder(prefix);
            QFile png(folder.filePath(QStringLiteral("王.png")));
            const bool written = png.open(QIODevice::WriteOnly) && png.write("png") == 3;
            png.close();
            const QByteArray path = QFile::encodeName(folder.path());
            if (!written || ::write(report[1], path.constData(), size_t(path.size())) < 0) {
                ::_exit(1);
            }
            ::raise(SIGKILL);
        }
        ::close(report[1]);
        char path[4096] = {};
        const ssize_t got = ::read(report[0], path, sizeof path - 1);
        ::close(report[0]);
        ::waitpid(child, nullptr, 0);
        QVERIFY(got > 0);
        left.append(QFile::decodeName(QByteArray(path, got)));
    }
    QVERIFY(age(left.at(0), 3600));
    // A folder in use, however old; and a user's own folders that only look like ours (with
    // no mark of ours in them, with a folder in them, or a link).
    const TemporaryFolder inUse(prefix);
    QVERIFY(inUse.isValid());
    QVERIFY(age(inUse.path(), 3600));
    const QDir there(temporary.path());
    const QString withFolder = left.at(1);
    const QString unmarked = there.filePath(prefix + QStringLiteral("photos"));
    QVERIFY(there.mkpath(withFolder + QStringLiteral("/inner")) && there.mkdir(unmarked));
    const QString link = there.filePath(prefix + QStringLiteral("abcdef"));
    QVERIFY(QFile::link(left.at(0), link));
    for (const QString& path : {withFolder, unmarked, link}) {
        QVERIFY(age(path, 3600));
    }

    removeAbandonedFolders(prefix);
    if (savedTemporary.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", savedTemporary);
    }
    QVERIFY2(!QFileInfo::exists(left.at(0)), "a folder left long ago stays");
    QVERIFY(QFileInfo(left.at(2)).isDir());
    QVERIFY(QFileInfo(inUse.path()).isDir());
    QVERIFY(QFileInfo(withFolder + QStringLiteral("/inner")).isDir());
    QVERIFY(QFileInfo(unmarked).isDir());
    QVERIFY(QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
