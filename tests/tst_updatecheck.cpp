#include "designer/Form1.h"
#include "designer/StatusLine.h"
#include "online/UpdateCheck.h"
#include "support/FakePlatform.h"
#include "support/LoopbackHttpServer.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTest>
#include <QTimer>

using namespace inkvale;
using inkvale::test::FakePlatform;
using inkvale::test::LoopbackHttpServer;

namespace {

QByteArray gbk(const QString& text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

const QString kExact = QStringLiteral("Ｋelda.系列软件のInkvale Sp2");
const QString kFailed = QStringLiteral("检测更新失败!请您稍后再试,暂时使用原版");
const QString kChecking = QStringLiteral("程序检测更新中...");
const QString kUnknown = QStringLiteral("当前版本: Sp2 | 网络版本:未知");
const QString kVersionPrefix = QStringLiteral("当前版本: Sp2 | 网络版本:");

/// Counts the paint events a widget receives.
class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

/// Settings whose version file lies on `http`, which never answers, with `timeout`.
OnlineSettings silentServer(const LoopbackHttpServer& http, std::chrono::milliseconds timeout) {
    OnlineSettings online = OnlineSettings::fromEnvironment();
    online.update = http.url();
    online.updateTimeout = timeout;
    return online;
}

} // namespace

class TestUpdateCheck final : public QObject {
    Q_OBJECT

private slots:
    void outcome_data();
    void outcome();
    void windowPaintsWhileWaiting();
    void oneCheckPerStart();
    void environmentReplacesAddresses();
};

void TestUpdateCheck::outcome_data() {
    QTest::addColumn<QString>("server"); // "serve", "cut", "stall", "nobody", "mute"
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("announceLength");
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<QString>("panel2");
    QTest::addColumn<QString>("panel3");
    QTest::addColumn<QString>("message"); // empty: none shown
    QTest::addColumn<MessageStyle>("style");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("opensDownload");
    QTest::addColumn<bool>("ends");

    const auto question = [](const QString& body) {
        return updateQuestion(body);
    };
    const MessageAnswer none = MessageAnswer::Ok;
    const MessageStyle warning = MessageStyle::Warning;
    const MessageStyle yesNo = MessageStyle::InformationYesNo;

    QTest::newRow("same version") << "serve" << 200 << gbk(kExact) << true << none
                                  << QStringLiteral("程序加载完毕.请您选择签名..")
                                  << kVersionPrefix + QStringLiteral(" Sp2") << QString() << warning
                                  << true << false << false;
    QTest::newRow("trailing line break, No")
        << "serve" << 200 << gbk(kExact + QStringLiteral("\r\n")) << true << MessageAnswer::No
        << kChecking << kVersionPrefix + QStringLiteral(" Sp2\r\n")
        << question(kExact + QStringLiteral("\r\n")) << yesNo << false << false << true;
    QTest::newRow("lower-case sp2, No")
        << "serve" << 200 << gbk(QStringLiteral("Ｋelda.系列软件のInkvale sp2")) << true
        << MessageAnswer::No << kChecking << kVersionPrefix + QStringLiteral(" sp2")
        << question(QStringLiteral("Ｋelda.系列软件のInkvale sp2")) << yesNo << false << false
        << true;
    QTest::newRow("Sp3, Yes") << "serve" << 200
                              << gbk(QStringLiteral("Ｋelda.系列软件のInkvale Sp3")) << true
                              << MessageAnswer::Yes << kChecking
                              << kVersionPrefix + QStringLiteral(" Sp3")
                              << question(QStringLiteral("Ｋelda.系列软件のInkvale Sp3")) << yesNo
                              << false << true << true;
    QTest::newRow("page without the prefix, No")
        << "serve" << 200 << QByteArray("<html>maintenance</html>") << true << MessageAnswer::No
        << kChecking << kVersionPrefix + QStringLiteral("<html>maintenance</html>")
        << question(QStringLiteral("<html>maintenance</html>")) << yesNo << false << false << true;
    QTest::newRow("empty body") << "serve" << 200 << QByteArray() << true << none << kFailed
                                << kUnknown << kFailed << warning << true << false << false;
    QTest::newRow("404 with a body")
        << "serve" << 404 << QByteArray("<html>Not Found</html>") << true << none << kFailed
        << kUnknown << kFailed << warning << true << false << false;
    QTest::newRow("500 with the version")
        << "serve" << 500 << gbk(kExact) << true << none << kFailed << kUnknown << kFailed
        << warning << true << false << false;
    QTest::newRow("over 64 KiB") << "serve" << 200 << QByteArray(64 * 1024 + 1, 'x') << true << none
                                 << kFailed << kUnknown << kFailed << warning << true << false
                                 << false;
    QTest::newRow("over 64 KiB, length unannounced")
        << "serve" << 200 << QByteArray(200 * 1024, 'x') << false << none << kFailed << kUnknown
        << kFailed << warning << true << false << false;
    QTest::newRow("exactly 64 KiB is read")
        << "serve" << 200 << QByteArray(64 * 1024, 'x') << true << MessageAnswer::No << kChecking
        << kVersionPrefix + QString(64 * 1024, QLatin1Char('x'))
        << question(QString(64 * 1024, QLatin1Char('x'))) << yesNo << false << false << true;
    QTest::newRow("bytes that are not GBK, No")
        << "serve" << 200 << QByteArray("Sp\x81 2\x81") << true << MessageAnswer::No << kChecking
        << kVersionPrefix + QStringLiteral("Sp\uFFFD 2\uFFFD")
        << question(QStringLiteral("Sp\uFFFD 2\uFFFD")) << yesNo << false << false << true;
    QTest::newRow("connection lost mid-body")
        << "cut" << 200 << gbk(kExact).left(6) << true << none << kFailed << kUnknown << kFailed
        << warning << true << false << false;
    QTest::newRow("silent after the headers")
        << "stall" << 200 << gbk(kExact).left(6) << true << none << kFailed << kUnknown << kFailed
        << warning << true << false << false;
    QTest::newRow("nobody listening") << "nobody" << 0 << QByteArray() << true << none << kFailed
                                      << kUnknown << kFailed << warning << true << false << false;
    QTest::newRow("server never answers")
        << "mute" << 0 << QByteArray() << true << none << kFailed << kUnknown << kFailed << warning
        << true << false << false;
}

void TestUpdateCheck::outcome() {
    QFETCH(QString, server);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, announceLength);
    QFETCH(MessageAnswer, answer);
    QFETCH(QString, message);
    QFETCH(bool, enabled);
    QFETCH(bool, opensDownload);
    QFETCH(bool, ends);

    LoopbackHttpServer http;
    http.serve(status, body, announceLength);
    if (server == QLatin1String("mute")) {
        http.stayMute();
    } else if (server == QLatin1String("cut") || server == QLatin1String("stall")) {
        http.announceMore(body.size() + 20, server == QLatin1String("stall"));
    }
    OnlineSettings online = OnlineSettings::fromEnvironment();
    online.update = http.url();
    if (server == QLatin1String("nobody")) {
        // A port that was just free and is closed again.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        online.update =
            QUrl(QStringLiteral("http://127.0.0.1:%1/files/vermo.txt").arg(probe.serverPort()));
    }
    online.download = QUrl(QStringLiteral("http://forum.test/thread-4123-1-2.html"));
    online.updateTimeout = std::chrono::milliseconds(300);

    FakePlatform platform;
    platform.answers.push_back(answer);
    Form1 form(platform, online);
    form.Form_Load();
    form.timer3()->stop();
    form.Timer3_Timer();

    QTEST(form.s1()->panelText(2), "panel2");
    QTEST(form.s1()->panelText(3), "panel3");
    if (message.isEmpty()) {
        QVERIFY(platform.messages.isEmpty());
    } else {
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages.at(0).text, message);
        QTEST(platform.messages.at(0).style, "style");
    }
    QCOMPARE(form.text1()->isEnabled(), enabled);
    QCOMPARE(form.command1()->isEnabled(), enabled);
    QVERIFY(!form.command2()->isEnabled());
    QCOMPARE(platform.shellCalls.size(), opensDownload ? 1 : 0);
    if (opensDownload) {
        QCOMPARE(platform.shellCalls.at(0).target,
                 QStringLiteral("http://forum.test/thread-4123-1-2.html"));
        QCOMPARE(platform.shellCalls.at(0).window, ShellWindow::Minimised);
    }
    QCOMPARE(platform.endCount, ends ? 1 : 0);
    QVERIFY(!form.timer3()->isActive());
    QCOMPARE(platform.fetches.size(), 1);
}

void TestUpdateCheck::windowPaintsWhileWaiting() {
    LoopbackHttpServer http;
    http.stayMute();
    const OnlineSettings online = silentServer(http, std::chrono::milliseconds(800));

    FakePlatform platform;
    Form1 form(platform, online);
    form.Form_Load();
    form.timer3()->stop();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    PaintCounter counter;
    form.installEventFilter(&counter);
    QTimer repaint;
    repaint.setInterval(50);
    connect(&repaint, &QTimer::timeout, &form, [&form] { form.update(); });
    repaint.start();
    form.Timer3_Timer();
    repaint.stop();

    QCOMPARE(http.requestCount(), 1);
    QVERIFY2(counter.paints > 3, "the window did not paint while the check waited");
    QCOMPARE(form.s1()->panelText(2), kFailed);
}

void TestUpdateCheck::oneCheckPerStart() {
    LoopbackHttpServer http;
    http.stayMute();
    // Longer than the timer's interval: further ticks arrive while the first check waits.
    const OnlineSettings online = silentServer(http, std::chrono::milliseconds(2500));

    FakePlatform platform;
    Form1 form(platform, online);
    form.Form_Load();
    QTRY_COMPARE_WITH_TIMEOUT(platform.messages.size(), 1, 8000);
    QTest::qWait(1200);
    QCOMPARE(platform.fetches.size(), 1);
    QCOMPARE(http.requestCount(), 1);
    QCOMPARE(platform.messages.size(), 1);
    QVERIFY(!form.timer3()->isActive());
}

void TestUpdateCheck::environmentReplacesAddresses() {
    qputenv("INKVALE_UPDATE_URL", "http://127.0.0.1:9/v.txt");
    qputenv("INKVALE_DOWNLOAD_URL", "http://127.0.0.1:9/get");
    qputenv("INKVALE_FORUM_URL", "http://127.0.0.1:9/");
    const OnlineSettings replaced = OnlineSettings::fromEnvironment();
    qunsetenv("INKVALE_UPDATE_URL");
    qunsetenv("INKVALE_DOWNLOAD_URL");
    qunsetenv("INKVALE_FORUM_URL");
    QCOMPARE(replaced.update, QUrl(QStringLiteral("http://127.0.0.1:9/v.txt")));
    QCOMPARE(replaced.download, QUrl(QStringLiteral("http://127.0.0.1:9/get")));
    QCOMPARE(replaced.forum, QUrl(QStringLiteral("http://127.0.0.1:9/")));

    const OnlineSettings defaults = OnlineSettings::fromEnvironment();
    for (const QUrl& url : {defaults.update, defaults.download, defaults.forum}) {
        QVERIFY2(url.host().endsWith(QLatin1String(".example")), qPrintable(url.toString()));
        QCOMPARE(url.scheme(), QStringLiteral("http"));
    }
    QCOMPARE(defaults.update.path(), QStringLiteral("/files/vermo.txt"));
    QCOMPARE(defaults.download.path(), QStringLiteral("/thread-4123-1-2.html"));
    QCOMPARE(defaults.download.host(), defaults.forum.host());
    QCOMPARE(defaults.forum.path(), QStringLiteral("/"));
    QCOMPARE(defaults.updateTimeout, std::chrono::milliseconds(60000));
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
