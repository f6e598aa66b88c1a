#include "program/ProgramIcon.h"
#include "startup/Deployment.h"
#include "startup/Form2.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

QList<int> fadeIn() {
    QList<int> levels;
    for (int alpha = 0; alpha <= 255; alpha += 15) {
        levels.append(alpha);
    }
    return levels;
}

QList<int> fadeOut() {
    QList<int> levels = fadeIn();
    std::reverse(levels.begin(), levels.end());
    return levels;
}

} // namespace

class TestSplash final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadMakesItLayeredAndWritesTheFiles();
    void fadeInAndWaitWithoutClick();
    void clickDuringFadeIn();
    void clicksDuringFadeOut();
    void noStepAfterHandOverBegins();
    void wholeRunWithRealTimers();
    void clickInACutOffCorner();
    void roundedShape_data();
    void roundedShape();
    void carriesTheProgramNameAndIcon();

private:
    void step2UntilHandOver(int limit = 40);

    QTemporaryDir* m_folder = nullptr;
    FakePlatform* m_platform = nullptr;
    QPointer<Form2> m_splash;
    int m_handOvers = 0;
    std::function<void()> m_duringHandOver;
};

void TestSplash::init() {
    m_folder = new QTemporaryDir;
    m_platform = new FakePlatform;
    m_platform->folder = m_folder->path();
    m_platform->resources = {{101, "skin library"}, {105, "font one"}};
    m_handOvers = 0;
    m_duringHandOver = nullptr;
    m_splash = new Form2(*m_platform, [this] {
        ++m_handOvers;
        if (m_duringHandOver) {
            m_duringHandOver();
        }
    });
}

void TestSplash::cleanup() {
    delete m_splash;
    delete m_platform;
    delete m_folder;
}

void TestSplash::step2UntilHandOver(int limit) {
    for (int i = 0; i < limit && m_splash && m_handOvers == 0; ++i) {
        m_splash->Timer2_Timer();
    }
}

void TestSplash::loadMakesItLayeredAndWritesTheFiles() {
    m_splash->Form_Load();
    QVERIFY((m_splash->exStyle() & 0x80000) != 0);
    QCOMPARE(m_platform->extendedWindowStyle(*m_splash), m_splash->exStyle());
    QCOMPARE(m_splash->size(), QSize(599, 394));
    QCOMPARE(m_splash->minimumSize(), m_splash->maximumSize());
    // The files are written before the splash shows.
    QVERIFY(!m_splash->isVisible());
    QCOMPARE(QFile(m_folder->filePath(QStringLiteral("SkinH_VB6.dll"))).size(), 12);
    QVERIFY(QFile::exists(m_folder->filePath(QStringLiteral("fonts/1.ttf"))));
    QVERIFY(m_splash->timer1()->isActive());
    QVERIFY(!m_splash->timer2()->isActive());
    QCOMPARE(m_splash->timer1()->interval(), 50);
    QCOMPARE(m_splash->timer2()->interval(), 50);
    QVERIFY(m_platform->alphas.isEmpty());
}

void TestSplash::fadeInAndWaitWithoutClick() {
    m_splash->Form_Load();
    for (int i = 0; i < 18; ++i) {
        QVERIFY(m_splash->timer1()->isActive());
        m_splash->Timer1_Timer();
    }
    QCOMPARE(m_platform->alphas, fadeIn());
    QVERIFY(!m_splash->timer1()->isActive());
    QVERIFY(!m_splash->timer2()->isActive());
    QCOMPARE(m_handOvers, 0);
    QCOMPARE(m_platform->alphaOnPlainWindow, 0);
}

void TestSplash::clickDuringFadeIn() {
    m_splash->Form_Load();
    for (int i = 0; i < 5; ++i) {
        m_splash->Timer1_Timer();
    }
    m_splash->Form_Click();
    QVERIFY(!m_splash->timer1()->isActive());
    QVERIFY(m_splash->timer2()->isActive());
    step2UntilHandOver();
    QCOMPARE(m_platform->alphas, fadeIn().mid(0, 5) + fadeOut());
    QCOMPARE(m_handOvers, 1);
}

void TestSplash::clicksDuringFadeOut() {
    m_splash->Form_Load();
    for (int i = 0; i < 18; ++i) {
        m_splash->Timer1_Timer();
    }
    m_splash->Form_Click();
    for (int i = 0; i < 4; ++i) {
        m_splash->Timer2_Timer();
        m_splash->Form_Click();
    }
    step2UntilHandOver();
    QCOMPARE(m_platform->alphas, fadeIn() + fadeOut());
    QCOMPARE(m_handOvers, 1);
}

void TestSplash::noStepAfterHandOverBegins() {
    m_splash->Form_Load();
    m_splash->Form_Click();
    // The main window's load shows a message box: its event loop runs while the splash waits.
    m_duringHandOver = [this] {
        QTest::qWait(300);
        m_splash->Form_Click();
        QTest::qWait(200);
    };
    step2UntilHandOver();
    QCOMPARE(m_handOvers, 1);
    QCOMPARE(m_platform->alphas, fadeOut());
    QTRY_VERIFY(m_splash.isNull());
}

void TestSplash::wholeRunWithRealTimers() {
    m_splash->loadAndShow();
    QVERIFY(QTest::qWaitForWindowExposed(m_splash));
    QTRY_COMPARE_WITH_TIMEOUT(m_platform->alphas.size(), 18, 5000);
    // No time-out: without a click it stays.
    QTest::qWait(300);
    QCOMPARE(m_handOvers, 0);
    QVERIFY(m_splash->isVisible());
    QCOMPARE(m_platform->alphas, fadeIn());

    QTest::mouseClick(m_splash, Qt::LeftButton, {}, QPoint(300, 200));
    QTRY_COMPARE_WITH_TIMEOUT(m_handOvers, 1, 5000);
    QCOMPARE(m_platform->alphas, fadeIn() + fadeOut());
    QTRY_VERIFY(m_splash.isNull());
    QCOMPARE(m_handOvers, 1);
}

void TestSplash::clickInACutOffCorner() {
    m_splash->loadAndShow();
    QVERIFY(QTest::qWaitForWindowExposed(m_splash));
    QVERIFY(!m_platform->regions.isEmpty());
    for (const QPoint corner : {QPoint(1, 1), QPoint(597, 1), QPoint(1, 392), QPoint(597, 392)}) {
        QTest::mouseClick(m_splash, Qt::LeftButton, {}, corner);
        QVERIFY(!m_splash->timer2()->isActive());
    }
    QTest::mouseClick(m_splash, Qt::LeftButton, {}, QPoint(30, 2));
    QVERIFY(m_splash->timer2()->isActive());
}

void TestSplash::roundedShape_data() {
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QSize>("size");

    QTest::newRow("100 %") << 1.0 << QSize(599, 394);
    QTest::newRow("150 %, half a pixel to even") << 1.5 << QSize(898, 591);
    QTest::newRow("200 %") << 2.0 << QSize(1198, 788);
}

void TestSplash::roundedShape() {
    QFETCH(qreal, ratio);
    QFETCH(QSize, size);
    QCOMPARE(sizeInDevicePixels(Form2::kSize, ratio), size);

    const QRegion region = roundedRectRegion(size, 50, 50);
    QCOMPARE(region.boundingRect(), QRect(QPoint(0, 0), size));
    const int w = size.width();
    const int h = size.height();
    // Corners rounded by a 50-pixel ellipse, whatever the scale: the cut is in device pixels.
    for (const QPoint out :
         {QPoint(0, 0), QPoint(5, 5), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 6, h - 6)}) {
        QVERIFY2(!region.contains(out),
                 qPrintable(QStringLiteral("%1,%2").arg(out.x()).arg(out.y())));
    }
    for (const QPoint in : {QPoint(25, 0), QPoint(0, 25), QPoint(w / 2, h / 2),
                            QPoint(w - 26, h - 1), QPoint(10, 10), QPoint(w - 1, h / 2)}) {
        QVERIFY2(region.contains(in), qPrintable(QStringLiteral("%1,%2").arg(in.x()).arg(in.y())));
    }
}

void TestSplash::carriesTheProgramNameAndIcon() {
    // The task bar shows the splash by its title and icon, not by the form's name. The icon is
    // the application's, set before any window as the program does.
    QApplication::setWindowIcon(programIcon());
    QCOMPARE(m_splash->objectName(), QStringLiteral("Form2"));
    QCOMPARE(m_splash->windowTitle(), QStringLiteral("Inkvale 艺术签名"));
    const QIcon icon = m_splash->windowIcon();
    for (const int size : kProgramIconSizes) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        // The seal: cinnabar in the middle of the left edge, clear in the corner.
        QCOMPARE(QColor(image.pixel(size / 8, size / 2)).red(), 178);
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
