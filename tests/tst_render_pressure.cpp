// inkvale-render under pressure, as a separate process: memory limits, a second batch racing
// into the same folder, signals mid-batch, output paths that are links or not ours to write,
// long names. Every run writes exactly what was asked or says why not.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(INKVALE_RENDER_EXE);
/// Virtual memory for runs under a memory limit, in KiB: a run on the designed canvas fits
/// easily, a raster of the largest canvas (400 MB) does not.
constexpr int kMemoryLimitKiB = 300'000;
#ifdef INKVALE_SANITIZED
// The address sanitizer reserves terabytes of address space up front: under a limit on it the
// program cannot even start, so the runs go unlimited and only their outputs are checked.
constexpr bool kLimitsApply = false;
#else
constexpr bool kLimitsApply = true;
#endif

/// The ulimit options of a run under the memory limit.
QString memoryLimit() {
    return kLimitsApply ? QStringLiteral("-v %1").arg(kMemoryLimitKiB) : QString();
}

struct Run {
    int exitCode = -1;
    QString err;
};

/// Every hidden entry of `folder`: what a write may leave behind.
QStringList hiddenEntries(const QString& folder) {
    return QDir(folder)
        .entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot)
        .filter(QRegularExpression(QStringLiteral("^\\.")));
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The `d` of the last path of an SVG: the name's outlines.
QString textPathData(const QByteArray& svg) {
    static const QRegularExpression path(QStringLiteral("<path [^>]* d=\"([^\"]*)\""));
    QString last;
    for (const QRegularExpressionMatch& match : path.globalMatch(QString::fromUtf8(svg))) {
        last = match.captured(1);
    }
    return last;
}

} // namespace

class TestRenderPressure final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void underAMemoryLimit_data();
    void underAMemoryLimit();
    void rightOrRefusedUnderTightLimits_data();
    void rightOrRefusedUnderTightLimits();
    void threadsThatCannotStart_data();
    void threadsThatCannotStart();
    void twoBatchesRaceIntoOneFolder();
    void signalMidBatchLeavesNoTemporaryFile_data();
    void signalMidBatchLeavesNoTemporaryFile();
    void outputPathThatIsALink_data();
    void outputPathThatIsALink();
    void fileTheUserMayNotWrite();
    void vectorsHoldWhatShows();
    void pdfIsReproducible();
    void argumentsThatAreNotText_data();
    void argumentsThatAreNotText();

private:
    /// Starts the program in the work folder with `arguments`, through `sh -c` with `limits`
    /// (ulimit options, e.g. "-v 300000", several apart by commas) when given.
    void start(QProcess& process, const QStringList& arguments, const QString& limits = {},
               const std::function<void(QProcessEnvironment&)>& adjust = {}) const;
    Run render(const QStringList& arguments, const QString& limits = {},
               const std::function<void(QProcessEnvironment&)>& adjust = {}) const;
    [[nodiscard]] QString path(const QString& name) const { return m_work->filePath(name); }
    void writeFile(const QString& name, const QByteArray& bytes) const;

    std::unique_ptr<QTemporaryDir> m_work;
};

void TestRenderPressure::init() {
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
}

void TestRenderPressure::start(QProcess& process, const QStringList& arguments,
                               const QString& limits,
                               const std::function<void(QProcessEnvironment&)>& adjust) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("SOURCE_DATE_EPOCH"));
    if (adjust) {
        adjust(environment);
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_work->path());
    const QStringList all = arguments + QStringList{QStringLiteral("--fonts-from-executable")};
    if (limits.isEmpty()) {
        process.start(kProgram, all);
    } else {
        // The shell's ulimit takes one limit at a time.
        QString script;
        for (const QString& limit : limits.split(QLatin1Char(','))) {
            script += QStringLiteral("ulimit %1 && ").arg(limit);
        }
        process.start(QStringLiteral("/bin/sh"),
                      QStringList{QStringLiteral("-c"),
                                  script + QStringLiteral("exec \"$0\" \"$@\""), kProgram} +
                          all);
    }
}

Run TestRenderPressure::render(const QStringList& arguments, const QString& limits,
                               const std::function<void(QProcessEnvironment&)>& adjust) const {
    QProcess process;
    start(process, arguments, limits, adjust);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

void TestRenderPressure::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestRenderPressure::underAMemoryLimit_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");    // what a run that succeeds writes
    QTest::addColumn<QString>("failure"); // the message of a run that cannot; empty: it can

    const QStringList largest{"--style", "1", "--name", "Ann", "--canvas", "10000x10000", "-o"};
    // A vector output needs no raster of its canvas, so the largest canvas fits.
    QTest::newRow("svg, largest canvas") << largest + QStringList{"a.svg"} << "a.svg" << QString();
    QTest::newRow("svg, largest canvas, trimmed")
        << QStringList{"--trim", "0"} + largest + QStringList{"a.svg"} << "a.svg" << QString();
    QTest::newRow("pdf, largest canvas") << largest + QStringList{"a.pdf"} << "a.pdf" << QString();
    QTest::newRow("svg sheet, large canvas")
        << QStringList{"--name", "Ann", "--canvas", "3000x3000", "--sheet", "s.svg"} << "s.svg"
        << QString();
    // A raster that does not fit is refused in words, never written wrong.
    QTest::newRow("png, too large for the memory")
        << QStringList{"--style", "1", "--name", "Ann", "--canvas", "7000x7000", "-o", "a.png"}
        << "a.png"
        << "inkvale-render: cannot write a.png: not enough memory\n";
    QTest::newRow("png trimmed, too large for the memory")
        << QStringList{"--style",   "1",      "--name", "Ann", "--canvas",
                       "7000x7000", "--trim", "0",      "-o",  "a.png"}
        << "a.png"
        << "inkvale-render: cannot write a.png: not enough memory\n";
    // An animation's frames are rasters too, the stroke-writing SVG's included.
    QTest::newRow("animated svg, too large for the memory")
        << QStringList{"--style",   "1",         "--name", "Ann",  "--canvas",
                       "7000x7000", "--animate", "-o",     "a.svg"}
        << "a.svg"
        << "inkvale-render: cannot write a.svg: not enough memory\n";
    QTest::newRow("animated gif, too large for the memory")
        << QStringList{"--style",   "1",         "--name", "Ann",  "--canvas",
                       "7000x7000", "--animate", "-o",     "a.gif"}
        << "a.gif"
        << "inkvale-render: cannot write a.gif: not enough memory\n";
    QTest::newRow("batch, too large for the memory")
        << QStringList{"--style",   "1",   "--names-file", "names.txt",
                       "--out-dir", "out", "--canvas",     "7000x7000"}
        << "out/Ann.png"
        << "inkvale-render: skipped the name \"Ann\" on line 1: not enough memory\n";
}

void TestRenderPressure::underAMemoryLimit() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QString, failure);
    writeFile(QStringLiteral("names.txt"), "Ann\n");

    if (!failure.isEmpty() && !kLimitsApply) {
        QSKIP("no memory limit can be set under the address sanitizer");
    }
    const Run run = render(arguments, memoryLimit());
    if (!failure.isEmpty()) {
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(failure), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path(file)));
        QCOMPARE(hiddenEntries(m_work->path()), QStringList());
        return;
    }
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    const QByteArray bytes = bytesOf(path(file));
    if (file.endsWith(QLatin1String(".pdf"))) {
        QVERIFY(bytes.startsWith("%PDF-"));
        return;
    }
    // The name in curves, not a few squares.
    QVERIFY2(textPathData(bytes).contains(QLatin1Char('C')), bytes.left(2000).constData());
}

void TestRenderPressure::rightOrRefusedUnderTightLimits_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files"); // what the run writes
    QTest::addColumn<int>("limitMiB");

    const auto args = [](const char* line) {
        return QString::fromUtf8(line).split(QLatin1Char('|'));
    };
    const struct {
        const char* name;
        QStringList arguments;
        QStringList files;
    } cases[] = {
        // The Chinese of a Latin style, and a rare character, come from the chain's large faces.
        {"fallback faces", args("--style|6|--name|张伟 䶵|-o|a.png"), {"a.png"}},
        {"fallback faces, outlines", args("--style|7|--name|张伟|-o|a.svg"), {"a.svg"}},
        {"fallback faces, batch",
         args("--style|6|--names-file|names.txt|--out-dir|out"),
         {"out/Ann.png", "out/张伟.png"}},
        {"gif", args("--style|12|--name|张伟|--animate|--dpi|300|-o|a.gif"), {"a.gif"}},
        {"webp", args("--style|12|--name|张伟|--animate|--dpi|300|-o|a.webp"), {"a.webp"}},
        {"webp, large",
         args("--style|12|--name|张伟|--animate|--canvas|1000x400|--dpi|300|-o|a.webp"),
         {"a.webp"}},
        {"animated svg", args("--style|12|--name|张伟|--animate|-o|a.svg"), {"a.svg"}},
        {"animated svg, large",
         args("--style|12|--name|张伟|--animate|--canvas|3000x1500|-o|a.svg"),
         {"a.svg"}},
        {"jpeg, large", args("--style|12|--name|张伟|--canvas|3000x1500|-o|a.jpg"), {"a.jpg"}},
        {"svg sheet", args("--name|张伟|--sheet|s.svg"), {"s.svg"}},
        {"pdf sheet", args("--name|张伟|--sheet|s.pdf"), {"s.pdf"}},
        {"png sheet", args("--name|张伟|--sheet|s.png"), {"s.png"}},
        {"practice sheet", args("--style|6|--name|张伟|--practice-sheet|p.pdf"), {"p.pdf"}},
    };
    // 170 MiB is where fontconfig, entered without room, crashed while setting up a face.
    for (const int limit : {150, 170, 200, 400}) {
        for (const auto& row : cases) {
            QTest::addRow("%s, %d MiB", row.name, limit) << row.arguments << row.files << limit;
        }
    }
    // Where sweeps of the limit in steps of 2 to 8 MiB found faults: a sheet's captions drawn
    // in a substitute face with exit status 0 (182 to 194 MiB), and memory that ran out told
    // as "could not be encoded" (an animated SVG from 148 to 228 MiB, a large JPEG at 212).
    const struct {
        const char* name;
        int limit;
    } found[] = {{"png sheet", 186},
                 {"png sheet", 190},
                 {"animated svg, large", 180},
                 {"animated svg, large", 228},
                 {"jpeg, large", 212}};
    for (const auto& [which, limit] : found) {
        for (const auto& row : cases) {
            if (qstrcmp(row.name, which) == 0) {
                QTest::addRow("%s, %d MiB", row.name, limit) << row.arguments << row.files << limit;
            }
        }
    }
}

void TestRenderPressure::rightOrRefusedUnderTightLimits() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    QFETCH(int, limitMiB);
    if (!kLimitsApply) {
        QSKIP("no memory limit can be set under the address sanitizer");
    }
    writeFile(QStringLiteral("names.txt"), "Ann\n张伟\n");

    // What the run writes without a limit, once per command line.
    static QHash<QStringList, QPair<QString, QList<QByteArray>>> unlimited;
    if (!unlimited.contains(arguments)) {
        const Run free = render(arguments);
        QCOMPARE(free.exitCode, 0);
        QList<QByteArray> written;
        for (const QString& file : files) {
            written.append(bytesOf(path(file)));
            QVERIFY(!written.back().isEmpty());
            QVERIFY(QFile::remove(path(file)));
        }
        QDir(path(QStringLiteral("out"))).removeRecursively();
        unlimited.insert(arguments, {free.err, written});
    }
    const auto& [freeErr, freeFiles] = unlimited.value(arguments);

    // A hang fails here: render() gives up after two minutes.
    const Run run = render(arguments, QStringLiteral("-v %1").arg(limitMiB * 1024));
    QVERIFY2(run.exitCode == 0 || run.exitCode == 1, qPrintable(run.err));
    if (run.exitCode == 0) {
        QCOMPARE(run.err, freeErr);
    } else {
        QVERIFY2(run.err.contains(QStringLiteral("not enough memory")), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QStringLiteral("could not be encoded")), qPrintable(run.err));
    }
    // Each file right, or not there at all; nothing half-written.
    bool missing = false;
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (QFileInfo::exists(path(files.at(i)))) {
            QVERIFY2(bytesOf(path(files.at(i))) == freeFiles.at(i), qPrintable(files.at(i)));
        } else {
            missing = true;
        }
    }
    QCOMPARE(missing, run.exitCode == 1);
    QCOMPARE(hiddenEntries(m_work->path()), QStringList());
    QCOMPARE(hiddenEntries(path(QStringLiteral("out"))), QStringList());
}

void TestRenderPressure::threadsThatCannotStart_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("files"); // what the run writes

    const auto args = [](const char* line) {
        return QString::fromUtf8(line).split(QLatin1Char('|'));
    };
    // Frames large enough that Qt would convert them on its thread pool, and wait for it.
    QTest::newRow("webp") << args("--style|12|--name|张伟|--animate|--canvas|1000x400|--dpi|300|"
                                  "-o|a.webp")
                          << QStringList{"a.webp"};
    QTest::newRow("gif") << args("--style|12|--name|张伟|--animate|--canvas|1000x400|--dpi|300|"
                                 "-o|a.gif")
                         << QStringList{"a.gif"};
    QTest::newRow("jpeg") << args("--style|12|--name|张伟|--canvas|3000x1500|-o|a.jpg")
                          << QStringList{"a.jpg"};
    QTest::newRow("png sheet") << args("--name|张伟|--dpi|300|--sheet|s.png")
                               << QStringList{"s.png"};
    QTest::newRow("batch, four jobs")
        << args("--style|12|--names-file|names.txt|--out-dir|out|--jobs|4|--animate|--format|webp")
        << QStringList{"out/Ann.webp", "out/张伟.webp"};
}

void TestRenderPressure::threadsThatCannotStart() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, files);
    if (!kLimitsApply) {
        QSKIP("no memory limit can be set under the address sanitizer");
    }
    writeFile(QStringLiteral("names.txt"), "Ann\n张伟\n");
    const Run free = render(arguments);
    QCOMPARE(free.exitCode, 0);
    QList<QByteArray> expected;
    for (const QString& file : files) {
        expected.append(bytesOf(path(file)));
        QVERIFY(!expected.back().isEmpty());
        QVERIFY(QFile::remove(path(file)));
    }

    // A thread's stack is as large as the stack limit: with that above the memory limit, no
    // thread can start, as when memory runs out. The work is then done on the threads there
    // are; a run that waits for a thread that never started fails here after two minutes.
    const Run run = render(arguments, QStringLiteral("-s 4000000,-v 3000000"));
    QCOMPARE(run.err, free.err);
    QCOMPARE(run.exitCode, 0);
    for (qsizetype i = 0; i < files.size(); ++i) {
        QVERIFY2(bytesOf(path(files.at(i))) == expected.at(i), qPrintable(files.at(i)));
    }
    QCOMPARE(hiddenEntries(m_work->path()), QStringList());
}

void TestRenderPressure::twoBatchesRaceIntoOneFolder() {
    QByteArray names;
    for (int i = 0; i < 40; ++i) {
        names += "Name " + QByteArray::number(i) + '\n';
    }
    writeFile(QStringLiteral("names.txt"), names);
    const auto batch = [](const char* style, const char* folder) {
        return QStringList{QStringLiteral("--style"),      QString::fromLatin1(style),
                           QStringLiteral("--names-file"), QStringLiteral("names.txt"),
                           QStringLiteral("--out-dir"),    QString::fromLatin1(folder)};
    };
    // What each batch draws, alone.
    QCOMPARE(render(batch("3", "three")).exitCode, 0);
    QCOMPARE(render(batch("9", "nine")).exitCode, 0);

    for (int round = 0; round < 3; ++round) {
        const QString folder = QStringLiteral("race%1").arg(round);
        QProcess a;
        QProcess b;
        start(a, batch("3", qPrintable(folder)));
        start(b, batch("9", qPrintable(folder)));
        QVERIFY(a.waitForFinished(120000) && b.waitForFinished(120000));
        const QString errA = QString::fromUtf8(a.readAllStandardError());
        const QString errB = QString::fromUtf8(b.readAllStandardError());
        QVERIFY2(a.exitCode() == 1 || b.exitCode() == 1, "both batches claim to have written all");
        // A batch that says it wrote everything did: every file is its own.
        for (const auto& [exitCode, own] : {std::pair{a.exitCode(), QStringLiteral("three")},
                                            std::pair{b.exitCode(), QStringLiteral("nine")}}) {
            const QStringList files = QDir(path(folder)).entryList(QDir::Files);
            if (exitCode == 0) {
                QCOMPARE(files.size(), 40);
                for (const QString& file : files) {
                    QVERIFY2(bytesOf(path(folder + QLatin1Char('/') + file)) ==
                                 bytesOf(path(own + QLatin1Char('/') + file)),
                             qPrintable(own + QLatin1Char(' ') + file));
                }
            }
        }
        // The loser names the file it found taken.
        static const QRegularExpression taken(QStringLiteral(
            "inkvale-render: (cannot write race\\d/Name \\d+\\.png: a file of that name exists "
            "already; the batch stopped|race\\d/Name \\d+\\.png exists already)"));
        for (const auto& [exitCode, err] :
             {std::pair{a.exitCode(), errA}, std::pair{b.exitCode(), errB}}) {
            QVERIFY2(exitCode == 0 ? err.isEmpty() : err.contains(taken), qPrintable(err));
        }
        QCOMPARE(hiddenEntries(path(folder)), QStringList());
    }
}

void TestRenderPressure::signalMidBatchLeavesNoTemporaryFile_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestRenderPressure::signalMidBatchLeavesNoTemporaryFile() {
    QFETCH(int, signalNumber);
    QByteArray names;
    for (int i = 0; i < 400; ++i) {
        names += "Name " + QByteArray::number(i) + '\n';
    }
    writeFile(QStringLiteral("names.txt"), names);
    // Large pictures, so that writes are under way whenever the signal comes.
    QProcess process;
    start(process, {QStringLiteral("--style"), QStringLiteral("2"), QStringLiteral("--names-file"),
                    QStringLiteral("names.txt"), QStringLiteral("--out-dir"), QStringLiteral("out"),
                    QStringLiteral("--canvas"), QStringLiteral("4000x2000"),
                    QStringLiteral("--format"), QStringLiteral("bmp")});
    QVERIFY(process.waitForStarted());
    const QDir out(path(QStringLiteral("out")));
    QTRY_VERIFY_WITH_TIMEOUT(out.entryList(QDir::Files).size() >= 2, 60000);
    ::kill(pid_t(process.processId()), signalNumber);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    QVERIFY2(out.entryList(QDir::Files).size() < 400, "the batch ended before the signal");
    const QStringList left = hiddenEntries(out.path());
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
}

void TestRenderPressure::outputPathThatIsALink_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("linkTo"); // the file the output links to, empty for none
    QTest::addColumn<bool>("hardLink");
    QTest::addColumn<QString>("failure");

    QTest::newRow("symbolic link") << "out.png"
                                   << "real.png" << false << QString();
    QTest::newRow("symbolic link into another folder")
        << "out.png"
        << "elsewhere/real.png" << false << QString();
    QTest::newRow("hard link") << "out.png"
                               << "real.png" << true
                               << "inkvale-render: cannot write out.png: it has other hard links";
    // With its temporary file's name, a name this long would pass the 255 bytes a name may have.
    QTest::newRow("name of 255 bytes") << QString(251, QLatin1Char('n')) + QStringLiteral(".png")
                                       << QString() << false << QString();
    QTest::newRow("name of 236 bytes, not ASCII")
        << QString(77, QChar(0x540D)) + QStringLiteral("a.png") << QString() << false << QString();
}

void TestRenderPressure::outputPathThatIsALink() {
    QFETCH(QString, output);
    QFETCH(QString, linkTo);
    QFETCH(bool, hardLink);
    QFETCH(QString, failure);
    QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("elsewhere")));
    if (!linkTo.isEmpty()) {
        writeFile(linkTo, "old");
        QVERIFY(::chmod(QFile::encodeName(path(linkTo)).constData(), 0640) == 0);
        const QByteArray target = QFile::encodeName(path(linkTo));
        const QByteArray link = QFile::encodeName(path(output));
        QVERIFY(hardLink ? ::link(target, link) == 0 : ::symlink(target, link) == 0);
    }
    const Run run =
        render({QStringLiteral("--style"), QStringLiteral("1"), QStringLiteral("--name"),
                QStringLiteral("Ann"), QStringLiteral("-o"), output});
    QCOMPARE(hiddenEntries(m_work->path()), QStringList());
    if (!failure.isEmpty()) {
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(failure), qPrintable(run.err));
        QCOMPARE(bytesOf(path(linkTo)), QByteArray("old"));
        QCOMPARE(bytesOf(path(output)), QByteArray("old"));
        return;
    }
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QVERIFY(bytesOf(path(output)).startsWith("\x89PNG"));
    if (!linkTo.isEmpty()) {
        // The link is still a link, and the file it points at has the picture, with its mode.
        QVERIFY(QFileInfo(path(output)).isSymLink());
        QVERIFY(bytesOf(path(linkTo)).startsWith("\x89PNG"));
        QCOMPARE(QFileInfo(path(linkTo)).permissions() & 0x7777,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                     QFileDevice::WriteUser | QFileDevice::ReadGroup);
    }
}

void TestRenderPressure::fileTheUserMayNotWrite() {
    // A file the user may not write, in a folder the user may: the rename that replaces files
    // would pass the folder's permission. Root may write any file, so root runs the program as
    // `nobody`, as tests/unprivileged.sh does.
    QStringList command{kProgram};
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty()) {
            QSKIP("needs setpriv (Debian package util-linux) to run as nobody");
        }
        command = QStringList{setpriv, QStringLiteral("--reuid=nobody"),
                              QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"),
                              kProgram};
    }
    QVERIFY(::chmod(QFile::encodeName(m_work->path()).constData(), 0777) == 0);
    writeFile(QStringLiteral("theirs.png"), "not yours");
    QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("theirs.png"))).constData(), 0444) == 0);

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_work->path());
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_work->path());
    // The program first, on its own: the order in which arguments are evaluated is unspecified.
    const QString program = command.takeFirst();
    process.start(program, command + QStringList{QStringLiteral("--style"), QStringLiteral("1"),
                                                 QStringLiteral("--name"), QStringLiteral("Ann"),
                                                 QStringLiteral("-o"), QStringLiteral("theirs.png"),
                                                 QStringLiteral("--fonts-from-executable")});
    QVERIFY(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.startsWith(
                 QStringLiteral("inkvale-render: cannot write theirs.png: permission denied")),
             qPrintable(err));
    QCOMPARE(bytesOf(path(QStringLiteral("theirs.png"))), QByteArray("not yours"));
    QCOMPARE(hiddenEntries(m_work->path()), QStringList());
}

void TestRenderPressure::vectorsHoldWhatShows() {
    // A name far wider than the canvas: only the glyphs that can show are carried, so the file
    // is no larger than one of a name a few times the canvas's width.
    const auto svgOf = [this](const QString& name, const QString& file) {
        const Run run = render({QStringLiteral("--style"), QStringLiteral("4"),
                                QStringLiteral("--name"), name, QStringLiteral("-o"), file},
                               memoryLimit());
        return run.exitCode == 0 ? textPathData(bytesOf(path(file))) : QString();
    };
    const QString wide = svgOf(QString(300, QLatin1Char('W')), QStringLiteral("wide.svg"));
    const QString huge = svgOf(QString(100'000, QLatin1Char('W')), QStringLiteral("huge.svg"));
    QVERIFY(!wide.isEmpty() && !huge.isEmpty());
    QVERIFY2(huge.size() < 2 * wide.size(),
             qPrintable(QStringLiteral("%1 against %2 bytes").arg(huge.size()).arg(wide.size())));
    QVERIFY(QFileInfo(path(QStringLiteral("huge.svg"))).size() < 100'000);

    // Below half a point, curves still, not the squares a font engine gives that small.
    const Run tiny =
        render({QStringLiteral("--style"), QStringLiteral("1"), QStringLiteral("--name"),
                QStringLiteral("李娜"), QStringLiteral("--size"), QStringLiteral("0.3"),
                QStringLiteral("-o"), QStringLiteral("tiny.svg")});
    QCOMPARE(tiny.exitCode, 0);
    QVERIFY(textPathData(bytesOf(path(QStringLiteral("tiny.svg")))).contains(QLatin1Char('C')));
}

void TestRenderPressure::pdfIsReproducible() {
    const QStringList arguments{QStringLiteral("--style"), QStringLiteral("6"),
                                QStringLiteral("--name"), QStringLiteral("Ann"),
                                QStringLiteral("-o")};
    QCOMPARE(render(arguments + QStringList{QStringLiteral("a.pdf")}).exitCode, 0);
    QThread::sleep(1); // a date stamped with the time of the run would now differ
    QCOMPARE(render(arguments + QStringList{QStringLiteral("b.pdf")}).exitCode, 0);
    const QByteArray a = bytesOf(path(QStringLiteral("a.pdf")));
    QVERIFY(a.startsWith("%PDF-"));
    QCOMPARE(bytesOf(path(QStringLiteral("b.pdf"))), a);
    QVERIFY(!a.contains("/CreationDate"));

    const auto epoch = [](QProcessEnvironment& environment) {
        environment.insert(QStringLiteral("SOURCE_DATE_EPOCH"), QStringLiteral("1700000000"));
    };
    QCOMPARE(render(arguments + QStringList{QStringLiteral("c.pdf")}, {}, epoch).exitCode, 0);
    const QByteArray c = bytesOf(path(QStringLiteral("c.pdf")));
    QVERIFY2(c.contains("/CreationDate (D:20231114221320Z)"), c.constData());
    QCOMPARE(c.size(), a.size());
}

void TestRenderPressure::argumentsThatAreNotText_data() {
    QTest::addColumn<QString>("arguments"); // for sh; $BAD is a Latin-1 "café", not UTF-8
    QTest::addColumn<int>("position");

    QTest::newRow("name") << "--style 1 --name \"$BAD\" -o a.png" << 4;
    QTest::newRow("output") << "--style 1 --name Ann -o \"$BAD.png\"" << 6;
    QTest::newRow("background") << "--style 1 --name Ann -o a.png --background \"$BAD\"" << 8;
    QTest::newRow("names file") << "--style 1 --names-file \"$BAD\" --out-dir out" << 4;
    QTest::newRow("out folder") << "--style 1 --names-file names.txt --out-dir \"$BAD\"" << 6;
    QTest::newRow("colour") << "--style 1 --name Ann -o a.png --color \"$BAD\"" << 8;
    QTest::newRow("sheet") << "--name Ann --sheet \"$BAD.svg\"" << 4;
}

void TestRenderPressure::argumentsThatAreNotText() {
    QFETCH(QString, arguments);
    QFETCH(int, position);
    writeFile(QStringLiteral("names.txt"), "Ann\n");
    const QStringList before = QDir(m_work->path()).entryList(QDir::AllEntries | QDir::Hidden);

    QProcess process;
    process.setWorkingDirectory(m_work->path());
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"),
                   QStringLiteral("BAD=$(printf 'caf\\351'); exec \"$0\" %1").arg(arguments),
                   kProgram});
    QVERIFY(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 2);
    // Named, with the byte that is not text written out rather than sent to the terminal.
    QVERIFY2(
        err.startsWith(QStringLiteral("inkvale-render: argument %1, \"caf\\xE9").arg(position)),
        qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("is not UTF-8 text")), qPrintable(err));
    QCOMPARE(QDir(m_work->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

QTEST_MAIN(TestRenderPressure)
#include "tst_render_pressure.moc"
