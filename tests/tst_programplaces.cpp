#include "platform/ProgramPlaces.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace inkvale;

/// Where a copy writes and saves, by how it was installed, for a user whose home and folder
/// settings are the test's own.
class TestProgramPlaces final : public QObject {
    Q_OBJECT

private slots:
    void init();

    void places_data();
    void places();
    void stateFolderOnlyWhenAbsolute_data();
    void stateFolderOnlyWhenAbsolute();
    void folderOfTheExecutableHoweverStarted_data();
    void folderOfTheExecutableHoweverStarted();

private:
    void touch(const QString& path);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_home;
};

void TestProgramPlaces::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_home = m_dir->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(m_home + QStringLiteral("/.config")));
    qputenv("HOME", QFile::encodeName(m_home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home + QStringLiteral("/.config")));
    qunsetenv("XDG_STATE_HOME");
}

void TestProgramPlaces::touch(const QString& path) {
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TestProgramPlaces::places_data() {
    QTest::addColumn<QString>("marker");   // relative to the prefix; empty: none
    QTest::addColumn<QString>("userDirs"); // ~/.config/user-dirs.dirs; empty: none
    QTest::addColumn<int>("installation");
    QTest::addColumn<QString>("work");       // relative to the test's folder
    QTest::addColumn<QString>("signatures"); // relative to the test's folder; empty: none

    QTest::newRow("portable: everything beside itself")
        << QString() << QString() << int(Installation::Portable) << "prefix/bin" << QString();
    QTest::newRow("for the user: writes beside itself, saves into ~/Pictures")
        << "bin/installed-for-user" << QString() << int(Installation::ForUser) << "prefix/bin"
        << "home/Pictures/Inkvale";
    QTest::newRow("package: writes into ~/.local/state, saves into the pictures folder")
        << "share/inkvale/installed-by-package"
        << R"(XDG_PICTURES_DIR="$HOME/图片")" << int(Installation::System)
        << "home/.local/state/inkvale"
        << "home/图片/Inkvale";
    QTest::newRow("the package's marker wins over a user's")
        << "share/inkvale/installed-by-package" << QString() << int(Installation::System)
        << "home/.local/state/inkvale"
        << "home/Pictures/Inkvale";
    QTest::newRow("a folder, not a file, is no marker")
        << "share/inkvale/installed-by-package/x" << QString() << int(Installation::Portable)
        << "prefix/bin" << QString();
}

void TestProgramPlaces::places() {
    QFETCH(QString, marker);
    QFETCH(QString, userDirs);
    QFETCH(int, installation);
    QFETCH(QString, work);
    QFETCH(QString, signatures);
    const QString bin = m_dir->filePath(QStringLiteral("prefix/bin"));
    QVERIFY(QDir().mkpath(bin));
    if (!marker.isEmpty()) {
        touch(m_dir->filePath(QStringLiteral("prefix/") + marker));
    }
    if (!userDirs.isEmpty()) {
        QFile dirs(m_home + QStringLiteral("/.config/user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write(userDirs.toUtf8() + '\n');
    }

    const ProgramPlaces places(bin);
    QCOMPARE(int(places.installation()), installation);
    QCOMPARE(places.workFolder(), m_dir->filePath(work));
    const std::optional<QString> folder = places.signatureFolder();
    QCOMPARE(folder.has_value(), !signatures.isEmpty());
    if (folder) {
        QCOMPARE(*folder, m_dir->filePath(signatures));
        QVERIFY2(QFileInfo(*folder).isDir(), "the pictures folder is not created");
    }
}

void TestProgramPlaces::stateFolderOnlyWhenAbsolute_data() {
    QTest::addColumn<QString>("stateHome"); // %1 is the test's folder
    QTest::addColumn<QString>("work");      // relative to the test's folder

    QTest::newRow("absolute XDG_STATE_HOME") << "%1/state"
                                             << "state/inkvale";
    QTest::newRow("relative XDG_STATE_HOME, ignored") << "state"
                                                      << "home/.local/state/inkvale";
    // Another user could plant files there, the skin library among them.
    QTest::newRow("XDG_STATE_HOME everyone may write, ignored") << "%1/state|1777"
                                                                << "home/.local/state/inkvale";
    QTest::newRow("its inkvale folder everyone may write, ignored") << "%1/state|0700|0777"
                                                                    << "home/.local/state/inkvale";
    QTest::newRow("XDG_STATE_HOME of another user's, ignored") << "%1/state|0755|nobody"
                                                               << "home/.local/state/inkvale";
}

void TestProgramPlaces::stateFolderOnlyWhenAbsolute() {
    QFETCH(QString, stateHome);
    QFETCH(QString, work);
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("prefix/bin"))));
    touch(m_dir->filePath(QStringLiteral("prefix/share/inkvale/installed-by-package")));
    // "folder|mode[|mode of its inkvale folder|nobody]": the folder made so beforehand.
    const QStringList parts = stateHome.replace(QStringLiteral("%1"), m_dir->path()).split(u'|');
    if (parts.size() > 1) {
        const QByteArray folder = QFile::encodeName(parts.at(0));
        QVERIFY(QDir().mkpath(parts.at(0) + QStringLiteral("/inkvale")));
        QCOMPARE(::chmod(folder.constData(), mode_t(parts.at(1).toUInt(nullptr, 8))), 0);
        if (parts.size() > 2 && parts.at(2) == QLatin1String("nobody")) {
            if (::geteuid() != 0) {
                QSKIP("needs root to give a folder another owner");
            }
            QCOMPARE(::chown(folder.constData(), 65534, 65534), 0);
        } else if (parts.size() > 2) {
            QCOMPARE(
                ::chmod((folder + "/inkvale").constData(), mode_t(parts.at(2).toUInt(nullptr, 8))),
                0);
        }
    }
    qputenv("XDG_STATE_HOME", QFile::encodeName(parts.at(0)));
    const ProgramPlaces places(m_dir->filePath(QStringLiteral("prefix/bin")));
    QCOMPARE(places.workFolder(), m_dir->filePath(work));
}

namespace {

/// The dynamic loader named in the program headers of the executable at `path`; empty when it
/// names none.
QString interpreterOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray elf = file.readAll();
    Elf64_Ehdr header{};
    if (elf.size() < qsizetype(sizeof header) || !elf.startsWith(ELFMAG) ||
        elf.at(EI_CLASS) != ELFCLASS64) {
        return {};
    }
    std::memcpy(&header, elf.constData(), sizeof header);
    for (int i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment{};
        const qsizetype at = qsizetype(header.e_phoff) + qsizetype(i) * header.e_phentsize;
        if (at + qsizetype(sizeof segment) > elf.size()) {
            return {};
        }
        std::memcpy(&segment, elf.constData() + at, sizeof segment);
        if (segment.p_type == PT_INTERP) {
            return QString::fromLocal8Bit(
                elf.mid(qsizetype(segment.p_offset), qsizetype(segment.p_filesz)).chopped(1));
        }
    }
    return {};
}

} // namespace

void TestProgramPlaces::folderOfTheExecutableHoweverStarted_data() {
    // %copy is the copy's folder, %link a symbolic link to the program in another folder.
    QTest::addColumn<bool>("throughLoader");
    QTest::addColumn<QString>("program"); // as given to the system or the loader
    QTest::addColumn<QString>("workingFolder");

    const QString name = QStringLiteral("print-program-folder");
    QTest::newRow("directly") << false << "%copy/" + name << "%copy";
    QTest::newRow("by a link") << false << "%link"
                               << "%copy";
    QTest::newRow("loader, absolute path") << true << "%copy/" + name << "%other";
    QTest::newRow("loader, from its folder") << true << "./" + name << "%copy";
    QTest::newRow("loader, from another folder") << true << "../portable copy/" + name << "%other";
    QTest::newRow("loader, by a link") << true << "%link"
                                       << "%other";
    // fexecve(): the path it was started by names a descriptor that the start has closed.
    QTest::newRow("through a file descriptor") << false << "fd:%copy/" + name << "%other";
}

void TestProgramPlaces::folderOfTheExecutableHoweverStarted() {
    QFETCH(bool, throughLoader);
    QFETCH(QString, program);
    QFETCH(QString, workingFolder);
    const QString source = QString::fromLocal8Bit(INKVALE_PRINT_PROGRAM_FOLDER);
    // A portable copy in a folder whose name has a space, started from elsewhere.
    const QString copy = QDir(m_dir->path()).canonicalPath() + QStringLiteral("/portable copy");
    const QString other = m_dir->filePath(QStringLiteral("other"));
    const QString link = other + QStringLiteral("/link");
    QVERIFY(QDir().mkpath(copy) && QDir().mkpath(other));
    QVERIFY(QFile::copy(source, copy + QStringLiteral("/print-program-folder")));
    QVERIFY(QFile::link(copy + QStringLiteral("/print-program-folder"), link));
    const auto place = [&](QString text) {
        return text.replace(QStringLiteral("%copy"), copy)
            .replace(QStringLiteral("%link"), link)
            .replace(QStringLiteral("%other"), other);
    };

    QProcess process;
    process.setWorkingDirectory(place(workingFolder));
    if (throughLoader) {
        const QString loader = interpreterOf(source);
        if (loader.isEmpty()) {
            QSKIP("the program names no dynamic loader");
        }
        process.start(loader, {place(program)});
    } else if (program.startsWith(QLatin1String("fd:"))) {
        process.start(QStringLiteral("python3"),
                      {QStringLiteral("-c"),
                       QStringLiteral("import os, sys\n"
                                      "fd = os.open(sys.argv[1], os.O_RDONLY)\n"
                                      "os.execve(fd, ['print-program-folder'], dict(os.environ))"),
                       place(program.mid(3))});
    } else {
        process.start(place(program), {});
    }
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed(), copy);
}

QTEST_GUILESS_MAIN(TestProgramPlaces)
#include "tst_programplaces.moc"
