#include "designer/Form1.h"
#include "platform/SystemPlatform.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

} // namespace

class TestSkin final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void attach_data();
    void attach();
    void ourSkinParsesAndKeepsPageTwoHidden();

private:
    QTemporaryDir m_dir;
};

void TestSkin::init() {
    qApp->setStyleSheet(QString());
    g_warnings.clear();
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
