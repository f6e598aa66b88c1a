#include "platform/ProgramPlaces.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
}

void TestProgramPlaces::stateFolderOnlyWhenAbsolute() {
    QFETCH(QString, stateHome);
    QFETCH(QString, work);
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("prefix/bin"))));
    touch(m_dir->filePath(QStringLiteral("prefix/share/inkvale/installed-by-package")));
    qputenv("XDG_STATE_HOME",
            QFile::encodeName(stateHome.replace(QStringLiteral("%1"), m_dir->path())));
    const ProgramPlaces places(m_dir->filePath(QStringLiteral("prefix/bin")));
    QCOMPARE(places.workFolder(), m_dir->filePath(work));
}

QTEST_GUILESS_MAIN(TestProgramPlaces)
#include "tst_programplaces.moc"
