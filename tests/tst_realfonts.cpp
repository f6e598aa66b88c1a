#include "core/StyleCatalogue.h"
#include "designer/Form1.h"
#include "platform/SystemPlatform.h"
#include "support/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

using namespace inkvale;
using inkvale::test::FakePlatform;

/// The font check on the system's real font list, with the built style fonts installed into a
/// font folder of the test's own (XDG_DATA_HOME is set by the test's environment).
class TestRealFonts final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installedStyleFontsPassTheCheck();
};

void TestRealFonts::initTestCase() {
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    QVERIFY2(dataHome.endsWith(QLatin1String("realfonts-home")), "run through ctest");
    QDir(dataHome).removeRecursively();
}

void TestRealFonts::installedStyleFontsPassTheCheck() {
    SystemPlatform system;
    const QString fontFolder = system.userFontFolder();
    QCOMPARE(fontFolder, qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/fonts"));
    QVERIFY(QDir(fontFolder).exists());

    const auto styleFaces = faceNamesInBoxOrder();
    const QStringList before = system.installedFontFaces();
    QVERIFY(!before.isEmpty());
    for (const QString& face : styleFaces) {
        QVERIFY2(!before.contains(face),
                 qPrintable(face + QStringLiteral(" is installed already")));
    }

    // What a user does by hand: copy the fonts into the font folder. No restart of fontconfig.
    const QDir built(QStringLiteral(INKVALE_FONTS_DIR));
    for (int m = 1; m <= 15; ++m) {
        const QString name = QStringLiteral("%1.ttf").arg(m);
        QVERIFY(QFile::copy(built.filePath(name), QDir(fontFolder).filePath(name)));
    }
    const QStringList after = system.installedFontFaces();
    for (const QString& face : styleFaces) {
        QCOMPARE(after.count(face), 1);
    }

    FakePlatform platform;
    platform.fonts = after;
    Form1 form(platform);
    QVERIFY(form.Form_Load());
    form.timer3()->stop();
    QVERIFY(platform.messages.isEmpty());
    QCOMPARE(platform.endCount, 0);
}

QTEST_MAIN(TestRealFonts)
#include "tst_realfonts.moc"
