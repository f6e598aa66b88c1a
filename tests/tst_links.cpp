#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "designer/StatusLine.h"
#include "online/HiddenBrowser.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

const QString kExitQuestion = QStringLiteral(
    "感谢您对Zanvi、对Kelda系列的软件的支持!\r \r是否退出并到论坛可以下载更多Zanvi的原创免费软件?");

OnlineSettings testSettings() {
    OnlineSettings online = OnlineSettings::fromEnvironment();
    online.forum = QUrl(QStringLiteral("http://forum.test/"));
    return online;
}

void send(QWidget* widget, QEvent::Type type, Qt::MouseButton button = Qt::NoButton) {
    const QPointF at(widget->rect().center());
    QMouseEvent event(type, at, widget->mapToGlobal(at), button,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestLinks final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadSendsTheHiddenBrowserToTheForum();
    void forumLinkColours_data();
    void forumLinkColours();
    void forumLinkOpensTheForum();
    void chatLinks_data();
    void chatLinks();
    void bannerCreditKeepsItsColour();
    void exitQuestion_data();
    void exitQuestion();
    void cancelKeepsEverythingAndAsksAgain();

private:
    [[nodiscard]] QColor linkColour() const {
        return m_form->label3()->palette().color(QPalette::WindowText);
    }
    [[nodiscard]] QWidget* control(const char* name) const {
        return m_form->findChild<QWidget*>(QString::fromLatin1(name));
    }

    FakePlatform* m_platform = nullptr;
    Form1* m_form = nullptr;
};

void TestLinks::init() {
    m_platform = new FakePlatform;
    m_form = new Form1(*m_platform, testSettings());
    m_form->Form_Load();
    m_form->timer3()->stop();
}

void TestLinks::cleanup() {
    delete m_form;
    delete m_platform;
}

void TestLinks::loadSendsTheHiddenBrowserToTheForum() {
    QCOMPARE(m_platform->backgroundLoads, QList<QUrl>{QUrl(QStringLiteral("http://forum.test/"))});
    QCOMPARE(m_form->webBrowser1()->currentUrl(), QUrl(QStringLiteral("http://forum.test/")));
    QVERIFY(m_platform->messages.isEmpty());
}

void TestLinks::forumLinkColours_data() {
    QTest::addColumn<QStringList>("steps"); // "label move", "label press", "frame move"
    QTest::addColumn<QColor>("expected");

    QTest::newRow("under the mouse") << QStringList{"label move"} << QColor(255, 0, 0);
    QTest::newRow("pressed, no release handler")
        << QStringList{"label move", "label press"} << QColor(0, 255, 0);
    QTest::newRow("pressed, then moved")
        << QStringList{"label press", "label move"} << QColor(255, 0, 0);
    QTest::newRow("over the frame's margin")
        << QStringList{"label move", "frame move"} << QColor(0, 0, 0);
}

void TestLinks::forumLinkColours() {
    QFETCH(QStringList, steps);
    QFETCH(QColor, expected);
    for (const QString& step : steps) {
        if (step == QLatin1String("label move")) {
            send(m_form->label3(), QEvent::MouseMove);
        } else if (step == QLatin1String("label press")) {
            send(m_form->label3(), QEvent::MouseButtonPress, Qt::RightButton);
        } else {
            send(control("Frame13"), QEvent::MouseMove);
        }
    }
    QCOMPARE(linkColour(), expected);
}

void TestLinks::forumLinkOpensTheForum() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    // Press and release without moving: the link stays green, and the click opens the forum.
    QTest::mouseClick(m_form->label3(), Qt::LeftButton);
    QCOMPARE(linkColour(), QColor(0, 255, 0));
    QCOMPARE(m_platform->shellCalls.size(), 1);
    QCOMPARE(m_platform->shellCalls.at(0).target, QStringLiteral("http://forum.test/"));
    QCOMPARE(m_platform->shellCalls.at(0).window, ShellWindow::Minimised);
}

void TestLinks::chatLinks_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("uin");
    QTest::addColumn<QString>("site");

    QTest::newRow("建议提交") << "Command3"
                              << "800012345"
                              << "Kelda系列软件";
    QTest::newRow("banner credit") << "Label4"
                                   << "800067890"
                                   << "Tavrin工作室";
}

void TestLinks::chatLinks() {
    QFETCH(QString, control);
    QFETCH(QString, uin);
    QFETCH(QString, site);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_platform->backgroundLoads.clear();
    auto* widget = m_form->findChild<QWidget*>(control);
    // Twice: each click loads the address again.
    QTest::mouseClick(widget, Qt::LeftButton);
    QTest::mouseClick(widget, Qt::LeftButton);

    QCOMPARE(m_platform->backgroundLoads.size(), 2);
    QCOMPARE(m_platform->backgroundLoads.at(0), m_platform->backgroundLoads.at(1));
    const QUrl url = m_platform->backgroundLoads.at(0);
    QCOMPARE(m_form->webBrowser2()->currentUrl(), url);
    QCOMPARE(url.scheme(), QStringLiteral("http"));
    QCOMPARE(url.path(), QStringLiteral("/msgrd"));
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(site));
    QCOMPARE(url.query(QUrl::FullyEncoded),
             QStringLiteral("V=1&Uin=%1&Site=%2&Menu=yes").arg(uin, encoded));
    QVERIFY(m_platform->shellCalls.isEmpty());
    QVERIFY(m_platform->messages.isEmpty());
}

void TestLinks::bannerCreditKeepsItsColour() {
    auto* credit = qobject_cast<QLabel*>(control("Label4"));
    const QColor before = credit->palette().color(QPalette::WindowText);
    send(credit, QEvent::MouseMove);
    send(credit, QEvent::MouseButtonPress, Qt::LeftButton);
    QCOMPARE(credit->palette().color(QPalette::WindowText), before);
}

void TestLinks::exitQuestion_data() {
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<bool>("shellStarts");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("opensForum");

    QTest::newRow("Yes") << MessageAnswer::Yes << true << true << true;
    QTest::newRow("Yes, shell cannot start") << MessageAnswer::Yes << false << true << true;
    QTest::newRow("No") << MessageAnswer::No << true << true << false;
    QTest::newRow("Cancel") << MessageAnswer::Cancel << true << false << false;
}

void TestLinks::exitQuestion() {
    QFETCH(MessageAnswer, answer);
    QFETCH(bool, shellStarts);
    QFETCH(bool, closes);
    QFETCH(bool, opensForum);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_platform->answers.push_back(answer);
    m_platform->shellSucceeds = shellStarts;

    QCOMPARE(m_form->close(), closes);
    QCOMPARE(m_form->isVisible(), !closes);
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).text, kExitQuestion);
    QCOMPARE(m_platform->messages.at(0).style, MessageStyle::InformationYesNoCancel);
    QCOMPARE(m_platform->shellCalls.size(), opensForum ? 1 : 0);
    if (opensForum) {
        QCOMPARE(m_platform->shellCalls.at(0).target, QStringLiteral("http://forum.test/"));
        QCOMPARE(m_platform->shellCalls.at(0).window, ShellWindow::Minimised);
    }
    QCOMPARE(m_platform->endCount, 0);
}

void TestLinks::cancelKeepsEverythingAndAsksAgain() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->text1()->setEnabled(true);
    m_form->Image_Click(1);
    m_form->text1()->setText(QStringLiteral("Ann"));
    m_form->Command1_Click();
    const QImage canvas = m_form->picture1()->image().copy();
    const QString panel2 = m_form->s1()->panelText(2);

    m_platform->answers = {MessageAnswer::Cancel, MessageAnswer::No};
    QVERIFY(!m_form->close());
    QCOMPARE(m_form->picture1()->image(), canvas);
    QCOMPARE(m_form->s1()->panelText(2), panel2);
    QCOMPARE(m_form->text1()->text(), QStringLiteral("Ann"));
    QVERIFY(m_form->isVisible());

    QVERIFY(m_form->close());
    QCOMPARE(m_platform->messages.size(), 2);
}

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
