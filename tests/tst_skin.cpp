#include "designer/Form1.h"
#include "platform/SystemPlatform.h"
#include "platform/VerifiedLibrary.h"
#include "support/FakePlatform.h"
#include "support/SpecialFiles.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

QStringList g_warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext& /*context*/,
                     const QString& message) {
    if (type == QtWarningMsg) {
        g_warnings.append(message);
    }
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Writes a file that the program cannot overwrite, as a planted file would be.
QString plant(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = writeFile(dir, name, bytes);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    return path;
}

constexpr const char* kPlantedMark = "INKVALE_PLANTED_SKIN_LOADED";

} // namespace

class TestSkin final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void attach_data();
    void attach();
    void onlyTheCarriedLibraryIsLoaded_data();
    void onlyTheCarriedLibraryIsLoaded();
    void nothingCarriedNothingLoaded();
    void swappedAfterTheCheckNeverRuns();
    void specialFileUnderAName_data();
    void specialFileUnderAName();
    void ourSkinParsesAndKeepsPageTwoHidden();

private:
    QTemporaryDir m_dir;
};

void TestSkin::init() {
    qApp->setStyleSheet(QString());
    g_warnings.clear();
    qunsetenv(kPlantedMark);
}

void TestSkin::cleanup() {
    qInstallMessageHandler(nullptr);
    qApp->setStyleSheet(QString());
}

void TestSkin::attach_data() {
    QTest::addColumn<QString>("library"); // "ours", "missing" or "not a library"
    QTest::addColumn<QByteArray>("skin"); // empty: no skin file
    QTest::addColumn<QString>("applied");

    const QByteArray sheet = "QPushButton { color: #123456; }";
    QTest::newRow("our library, a skin")
        << "ours" << QByteArray(".SHE" + sheet) << QString::fromLatin1(sheet);
    QTest::newRow("our library, no skin file") << "ours" << QByteArray() << QString();
    QTest::newRow("our library, not a skin") << "ours" << QByteArray("QPushButton {}") << QString();
    QTest::newRow("no library") << "missing" << QByteArray(".SHE" + sheet) << QString();
    QTest::newRow("a file that is no library")
        << "not a library" << QByteArray(".SHE" + sheet) << QString();
}

void TestSkin::attach() {
    QFETCH(QString, library);
    QFETCH(QByteArray, skin);
    QString libraryPath = QStringLiteral(INKVALE_SKIN_LIBRARY);
    if (library == QLatin1String("missing")) {
        libraryPath = m_dir.filePath(QStringLiteral("SkinH_VB6.dll"));
    } else if (library == QLatin1String("not a library")) {
        libraryPath = writeFile(m_dir, QStringLiteral("broken.dll"), "MZ this is not a library");
    }
    const QString skinPath = skin.isEmpty() ? m_dir.filePath(QStringLiteral("none.she"))
                                            : writeFile(m_dir, QStringLiteral("skinh.she"), skin);
    SystemPlatform platform;
    platform.attachSkin(libraryPath, skinPath);
    QTEST(qApp->styleSheet(), "applied");
}

void TestSkin::onlyTheCarriedLibraryIsLoaded_data() {
    QTest::addColumn<QString>("planted");
    QTest::addColumn<bool>("loaded");

    QTest::newRow("the carried bytes, read-only") << "ours" << true;
    QTest::newRow("a stranger's library, read-only") << "stranger" << false;
    QTest::newRow("the carried bytes and one more") << "ours+1" << false;
    QTest::newRow("the carried bytes cut short") << "ours-1" << false;
    QTest::newRow("nothing at the path, a stranger under name variants") << "variants" << false;
    QTest::newRow("the carried bytes, by a relative path") << "relative" << false;
}

void TestSkin::onlyTheCarriedLibraryIsLoaded() {
    QFETCH(QString, planted);
    QFETCH(bool, loaded);
    const QByteArray ours = readAll(QStringLiteral(INKVALE_SKIN_LIBRARY));
    const QByteArray stranger = readAll(QStringLiteral(INKVALE_PLANTED_LIBRARY));
    QVERIFY(!ours.isEmpty() && !stranger.isEmpty());

    const QTemporaryDir folder;
    const QString name = QStringLiteral("SkinH_VB6.dll");
    QString library = folder.filePath(name);
    if (planted == QLatin1String("ours")) {
        plant(folder, name, ours);
    } else if (planted == QLatin1String("stranger")) {
        plant(folder, name, stranger);
    } else if (planted == QLatin1String("ours+1")) {
        plant(folder, name, ours + '\0');
    } else if (planted == QLatin1String("ours-1")) {
        plant(folder, name, ours.chopped(1));
    } else if (planted == QLatin1String("variants")) {
        for (const QString& variant :
             {QStringLiteral("SkinH_VB6.dll.so"), QStringLiteral("libSkinH_VB6.dll.so"),
              QStringLiteral("libSkinH_VB6.dll")}) {
            plant(folder, variant, stranger);
        }
    } else {
        plant(folder, name, ours);
        library = name;
    }
    const QString sheet = QStringLiteral("QLabel { color: #654321; }");
    const QString skin = writeFile(folder, QStringLiteral("skinh.she"), ".SHE" + sheet.toUtf8());

    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    SystemPlatform platform;
    platform.attachSkin(library, skin);
    QDir::setCurrent(before);

    QCOMPARE(qApp->styleSheet(), loaded ? sheet : QString());
    // Not a line of the stranger's code has run, not even its initialisers.
    QVERIFY(!qEnvironmentVariableIsSet(kPlantedMark));
}

void TestSkin::specialFileUnderAName_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    for (const QString& name : {QStringLiteral("SkinH_VB6.dll"), QStringLiteral("skinh.she")}) {
        for (const QString& kind : test::SpecialFiles::kinds()) {
            QTest::newRow(qPrintable(kind + QStringLiteral(" as ") + name)) << kind << name;
        }
    }
}

void TestSkin::specialFileUnderAName() {
    // Left under the library's or the skin's name, a FIFO, a device or a socket must not hold
    // the start: it is no library and no skin.
    QFETCH(QString, kind);
    QFETCH(QString, name);
    const QTemporaryDir folder;
    test::SpecialFiles specials(folder.path());
    QVERIFY(!specials.make(kind, name).isEmpty());
    const QString library = name == QLatin1String("SkinH_VB6.dll")
                                ? folder.filePath(name)
                                : plant(folder, QStringLiteral("SkinH_VB6.dll"),
                                        readAll(QStringLiteral(INKVALE_SKIN_LIBRARY)));
    const QString skin =
        name == QLatin1String("skinh.she")
            ? folder.filePath(name)
            : writeFile(folder, QStringLiteral("skinh.she"), ".SHE QLabel { color: red; }");

    // Should the attachment wait on the file, a watchdog lets it go and the case fails.
    std::atomic<bool> returned = false;
    std::atomic<bool> waited = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !returned; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!returned) {
            waited = true;
            specials.letGo();
        }
    });
    SystemPlatform platform;
    platform.attachSkin(library, skin);
    returned = true;
    watchdog.join();
    QVERIFY2(!waited, "the attachment waited on a special file");
    QCOMPARE(qApp->styleSheet(), QString());
}

void TestSkin::nothingCarriedNothingLoaded() {
    // A program that carries no library loads none, whatever lies in its folder.
    const QTemporaryDir folder;
    const QString library = plant(folder, QStringLiteral("SkinH_VB6.dll"), QByteArray());
    QVERIFY(resolveVerifiedLibrary(library, QByteArrayView(), "SkinH_AttachEx") == nullptr);
    const QString stranger = QStringLiteral(INKVALE_PLANTED_LIBRARY);
    QVERIFY(resolveVerifiedLibrary(stranger, QByteArrayView(), "SkinH_AttachEx") == nullptr);
    QVERIFY(!qEnvironmentVariableIsSet(kPlantedMark));
    // The same file against its own bytes is loaded: the check above refused, nothing else.
    const QByteArray bytes = readAll(stranger);
    QVERIFY(resolveVerifiedLibrary(stranger, bytes, "SkinH_AttachEx") != nullptr);
    QVERIFY(qEnvironmentVariableIsSet(kPlantedMark));
    QVERIFY(resolveVerifiedLibrary(stranger, bytes, "NoSuchEntry") == nullptr);
}

void TestSkin::swappedAfterTheCheckNeverRuns() {
    // Another user who may write into the folder swaps the library for a stranger's and back,
    // as fast as they can, while the program checks and loads it again and again: whatever the
    // moment, the code that runs is the checked one.
    const QByteArray ours = readAll(QStringLiteral(INKVALE_SKIN_LIBRARY));
    const QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("SkinH_VB6.dll"));
    const QByteArray oursCopy = QFile::encodeName(writeFile(folder, QStringLiteral("ours"), ours));
    const QByteArray strangerCopy = QFile::encodeName(writeFile(
        folder, QStringLiteral("stranger"), readAll(QStringLiteral(INKVALE_PLANTED_LIBRARY))));
    const QByteArray target = QFile::encodeName(name);
    const QByteArray swap = QFile::encodeName(folder.filePath(QStringLiteral("swap")));
    const auto put = [&](const QByteArray& from) {
        ::unlink(swap.constData());
        return ::link(from.constData(), swap.constData()) == 0 &&
               ::rename(swap.constData(), target.constData()) == 0;
    };
    QVERIFY(put(oursCopy));
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        while (!done.load()) {
            put(strangerCopy);
            put(oursCopy);
        }
    });
    // At least 300 calls, and on until the checks have met both files.
    int passed = 0;
    int refused = 0;
    for (int i = 0; i < 30000 && (i < 300 || passed == 0 || refused == 0); ++i) {
        (resolveVerifiedLibrary(name, ours, "SkinH_AttachEx") != nullptr ? passed : refused) += 1;
    }
    done.store(true);
    swapper.join();
    QVERIFY2(passed > 0 && refused > 0,
             qPrintable(QStringLiteral("%1 checks passed, %2 refused: the race was not run")
                            .arg(passed)
                            .arg(refused)));
    QVERIFY(!qEnvironmentVariableIsSet(kPlantedMark));
}

void TestSkin::ourSkinParsesAndKeepsPageTwoHidden() {
    qInstallMessageHandler(collectWarnings);
    SystemPlatform platform;
    platform.attachSkin(QStringLiteral(INKVALE_SKIN_LIBRARY), QStringLiteral(INKVALE_SKIN_FILE));
    QVERIFY(!qApp->styleSheet().isEmpty());

    FakePlatform fake;
    Form1 form(fake);
    form.Form_Load();
    form.timer3()->stop();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage skinned = form.grab().toImage();
    qInstallMessageHandler(nullptr);
    for (const QString& warning : g_warnings) {
        QVERIFY2(!warning.contains(QLatin1String("style sheet"), Qt::CaseInsensitive),
                 qPrintable(warning));
    }

    // The page frames are opaque all over: the "<<" button behind page 1 does not show.
    auto* back = form.findChild<QPushButton*>(QStringLiteral("Command4"));
    back->hide();
    const QImage without = form.grab().toImage();
    QCOMPARE(skinned, without);
}

QTEST_MAIN(TestSkin)
#include "tst_skin.moc"
