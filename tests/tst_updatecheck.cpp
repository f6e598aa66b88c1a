#include "designer/Form1.h"
#include "designer/StatusLine.h"
#include "online/UpdateCheck.h"
#include "support/FakePlatform.h"
#include "support/LoopbackHttpServer.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/stat.h>

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
const QString kExitQuestion = QStringLiteral(
    "感谢您对Zanvi、对Kelda系列的软件的支持!\r \r是否退出并到论坛可以下载更多Zanvi的原创免费软件?");

/// The update question quoting `quoted`, spelt out here rather than by the program's builder.
QString questionQuoting(const QString& quoted) {
    return QStringLiteral("您当前使用的为旧版软件!\r\n \r\n最新版本为:【") + quoted +
           QStringLiteral("】是否更新?");
}

/// Whether the update check has shown its outcome: a box, or the ready text.
bool outcomeShown(const FakePlatform& platform, const Form1& form) {
    return !platform.messages.isEmpty() || form.s1()->panelText(2) != kChecking;
}

/// A reply as the fetcher hands it over.
HttpReply reply(int status, const QByteArray& contentType, const QByteArray& body,
                const QString& requested = QStringLiteral("http://update.test/files/vermo.txt"),
                const QString& final = QString()) {
    HttpReply result;
    result.answered = status != 0;
    result.complete = status != 0;
    result.statusCode = status;
    result.contentType = contentType;
    result.body = body;
    result.requestedUrl = QUrl(requested);
    result.finalUrl = QUrl(final.isEmpty() ? requested : final);
    return result;
}

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

/// Settings whose version file lies on `http`, with `deadline`.
OnlineSettings onServer(const LoopbackHttpServer& http, std::chrono::milliseconds deadline) {
    OnlineSettings online = OnlineSettings::fromEnvironment();
    online.update = http.url();
    online.download = QUrl(QStringLiteral("http://forum.test/thread-4123-1-2.html"));
    online.forum = QUrl(QStringLiteral("http://forum.test/"));
    online.updateDeadline = deadline;
    return online;
}

} // namespace

class TestUpdateCheck final : public QObject {
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
    void quotedText_data();
    void quotedText();
    void panelOnOneLine_data();
    void panelOnOneLine();
    void outcome_data();
    void outcome();
    void windowWorksWhileTheReplyIsPending();
    void windowPaintsWhileWaiting();
    void closingDuringTheCheck_data();
    void closingDuringTheCheck();
    void closingBeforeTheFirstTick();
    void lateReplyAfterTheWindowIsGone();
    void outcomeWaitsForAnOpenDialog_data();
    void outcomeWaitsForAnOpenDialog();
    void oneCheckPerStart();
    void keyboardGoesToTheNameBox_data();
    void keyboardGoesToTheNameBox();
    void environmentReplacesAddresses();
};

void TestUpdateCheck::verdict_data() {
    QTest::addColumn<HttpReply>("reply");
    QTest::addColumn<UpdateVerdict::Kind>("kind");

    const QByteArray exact = gbk(kExact);
    const auto failed = UpdateVerdict::Kind::Failed;
    const auto current = UpdateVerdict::Kind::Current;
    const auto other = UpdateVerdict::Kind::Other;
    const QString asked = QStringLiteral("http://update.test/files/vermo.txt");

    QTest::newRow("plain text, this version") << reply(200, "text/plain", exact) << current;
    QTest::newRow("no content type") << reply(200, {}, exact) << current;
    QTest::newRow("octet stream") << reply(200, "application/octet-stream", exact) << current;
    QTest::newRow("plain text without the prefix")
        << reply(200, "text/plain; charset=GBK", gbk(QStringLiteral("新版本 3.0 已发布"))) << other;
    QTest::newRow("text mentioning a tag further on")
        << reply(200, "text/plain", "Sp3 <html> fixed") << other;
    QTest::newRow("a tag-like word that opens no page")
        << reply(200, "text/plain", "<base2> Sp3") << other;
    // A portal or a plain file server sends its login page with any label.
    const QByteArray loginPage = "\xEF\xBB\xBF\r\n  <!DOCTYPE html>\n<html><head><title>Wi-Fi "
                                 "login</title></head><body><form></form></body></html>";
    QTest::newRow("login page as text/plain") << reply(200, "text/plain", loginPage) << failed;
    QTest::newRow("login page as octet stream")
        << reply(200, "application/octet-stream", loginPage) << failed;
    QTest::newRow("login page without a label") << reply(200, {}, loginPage) << failed;
    QTest::newRow("page in upper case, as text/plain")
        << reply(200, "text/plain", "<HTML>maintenance</HTML>") << failed;
    QTest::newRow("page opening with a head tag")
        << reply(200, "text/plain", "\t<head>\n<meta charset=gbk>") << failed;
    QTest::newRow("page opening with a script, as bytes")
        << reply(200, "application/octet-stream", "<script>location='/login'</script>") << failed;
    QTest::newRow("page opening with a comment")
        << reply(200, "text/plain", "<!-- portal -->\n<div>") << failed;
    QTest::newRow("XHTML page as text/plain")
        << reply(200, "text/plain", "<?xml version=\"1.0\"?><html/>") << failed;
    QTest::newRow("text/html, login page")
        << reply(200, "text/html", "<html><form>login</form></html>") << failed;
    QTest::newRow("text/html carrying the version") << reply(200, "text/html", exact) << failed;
    QTest::newRow("HTML, upper case with parameters")
        << reply(200, " Text/HTML ; charset=utf-8", "<p>portal</p>") << failed;
    QTest::newRow("XHTML") << reply(200, "application/xhtml+xml", "<html/>") << failed;
    QTest::newRow("redirected on the same host")
        << reply(200, "text/plain", exact, asked, QStringLiteral("http://update.test/v2/vermo.txt"))
        << current;
    QTest::newRow("redirected to https on the same host")
        << reply(200, "text/plain", exact, asked,
                 QStringLiteral("https://UPDATE.test/files/vermo.txt"))
        << current;
    QTest::newRow("redirected to another host")
        << reply(200, "text/plain", exact, asked, QStringLiteral("http://10.0.0.1/login"))
        << failed;
    QTest::newRow("another host, other text")
        << reply(200, "text/plain", "Sp3", asked, QStringLiteral("http://portal.test/")) << failed;
    QTest::newRow("status 302 without following") << reply(302, "text/plain", exact) << failed;
    QTest::newRow("status 206, a part") << reply(206, "text/plain", exact) << failed;
    QTest::newRow("status 203, another's copy") << reply(203, "text/plain", exact) << failed;
    QTest::newRow("no answer") << reply(0, {}, {}) << failed;
    QTest::newRow("empty body") << reply(200, "text/plain", {}) << failed;
    HttpReply late = reply(200, "text/plain", exact);
    late.complete = false;
    late.timedOut = true;
    QTest::newRow("deadline passed with all bytes read") << late << failed;
    HttpReply large = reply(200, "text/plain", exact);
    large.tooLarge = true;
    QTest::newRow("too large") << large << failed;
}

void TestUpdateCheck::verdict() {
    QFETCH(HttpReply, reply);
    const UpdateVerdict verdict = judgeUpdateReply(reply);
    QTEST(verdict.kind, "kind");
    if (verdict.kind == UpdateVerdict::Kind::Failed) {
        QVERIFY(verdict.fetchedText.isEmpty());
    }
}

void TestUpdateCheck::quotedText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted");

    const QString x200(200, QLatin1Char('x'));
    QTest::newRow("short") << kExact << kExact;
    QTest::newRow("200 characters, whole") << x200 << x200;
    QTest::newRow("201 characters") << x200 + QStringLiteral("y") << x200 + QStringLiteral("…");
    QTest::newRow("64 KiB") << QString(64 * 1024, QLatin1Char('x')) << x200 + QStringLiteral("…");
    QTest::newRow("six lines, whole") << QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6")
                                      << QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6");
    QTest::newRow("seven lines, CR LF") << QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7")
                                        << QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6…");
    QTest::newRow("seven lines, LF, CR and separators")
        << QStringLiteral("1\n2\r3\u20284\u20295\n6\n7")
        << QStringLiteral("1\n2\r3\u20284\u20295\n6…");
    QTest::newRow("120 lines of a page")
        << QStringLiteral("<p>line</p>\n").repeated(120)
        << QStringLiteral("<p>line</p>\n").repeated(5) + QStringLiteral("<p>line</p>…");
    QTest::newRow("CR LF across the cut")
        << QString(199, QLatin1Char('x')) + QStringLiteral("\r\nmore")
        << QString(199, QLatin1Char('x')) + QStringLiteral("…");
    QTest::newRow("no half character at the cut")
        << QString(199, QLatin1Char('x')) + QStringLiteral("😀z")
        << QString(199, QLatin1Char('x')) + QStringLiteral("…");
    QTest::newRow("Chinese, 201 characters")
        << QString(201, QChar(0x7B7E)) << QString(200, QChar(0x7B7E)) + QStringLiteral("…");
}

void TestUpdateCheck::quotedText() {
    QFETCH(QString, text);
    QTEST(quotedVersionText(text), "quoted");
}

void TestUpdateCheck::panelOnOneLine_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("panel");

    QTest::newRow("this version") << QStringLiteral(" Sp2")
                                  << kVersionPrefix + QStringLiteral(" Sp2");
    QTest::newRow("CR LF is one space")
        << QStringLiteral(" Sp2\r\n") << kVersionPrefix + QStringLiteral(" Sp2 ");
    QTest::newRow("every kind of break") << QStringLiteral("a\nb\rc\u2028d\u2029e\u0085f\vg\fh")
                                         << kVersionPrefix + QStringLiteral("a b c d e f g h");
    QTest::newRow("blank lines") << QStringLiteral("<html>\r\n\r\n</html>")
                                 << kVersionPrefix + QStringLiteral("<html>  </html>");
}

void TestUpdateCheck::panelOnOneLine() {
    QFETCH(QString, label);
    QTEST(versionPanelText(label), "panel");
}

void TestUpdateCheck::outcome_data() {
    // "serve", "cut", "stall", "nobody", "mute", "slow bytes" (one byte every 5 ms), "trickle"
    // (one byte every 150 ms, past the deadline), "html", "redirect away", "redirect here",
    // "file" (a file:// address of a file holding the body), "fifo" (of a FIFO), "data" (a data:
    // address of the body), "endless header" (a header line that never ends, sent as fast as
    // loopback goes)
    QTest::addColumn<QString>("server");
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

    const MessageAnswer none = MessageAnswer::Ok;
    const MessageStyle warning = MessageStyle::Warning;
    const MessageStyle yesNo = MessageStyle::InformationYesNo;
    const QString ready = QStringLiteral("程序加载完毕.请您选择签名..");
    const QString sp2 = kVersionPrefix + QStringLiteral(" Sp2");

    QTest::newRow("same version") << "serve" << 200 << gbk(kExact) << true << none << ready << sp2
                                  << QString() << warning << true << false << false;
    QTest::newRow("trailing line break, No")
        << "serve" << 200 << gbk(kExact + QStringLiteral("\r\n")) << true << MessageAnswer::No
        << kChecking << kVersionPrefix + QStringLiteral(" Sp2 ")
        << questionQuoting(kExact + QStringLiteral("\r\n")) << yesNo << false << false << true;
    QTest::newRow("lower-case sp2, No")
        << "serve" << 200 << gbk(QStringLiteral("Ｋelda.系列软件のInkvale sp2")) << true
        << MessageAnswer::No << kChecking << kVersionPrefix + QStringLiteral(" sp2")
        << questionQuoting(QStringLiteral("Ｋelda.系列软件のInkvale sp2")) << yesNo << false
        << false << true;
    // The whole question, spelt out.
    QTest::newRow("Sp3, Yes") << "serve" << 200
                              << gbk(QStringLiteral("Ｋelda.系列软件のInkvale Sp3")) << true
                              << MessageAnswer::Yes << kChecking
                              << kVersionPrefix + QStringLiteral(" Sp3")
                              << QStringLiteral(
                                     "您当前使用的为旧版软件!\r\n "
                                     "\r\n最新版本为:【Ｋelda.系列软件のInkvale Sp3】是否更新?")
                              << yesNo << false << true << true;
    QTest::newRow("plain text without the prefix, No")
        << "serve" << 200 << QByteArray("Sp3 <b>maintenance</b>") << true << MessageAnswer::No
        << kChecking << kVersionPrefix + QStringLiteral("Sp3 <b>maintenance</b>")
        << questionQuoting(QStringLiteral("Sp3 <b>maintenance</b>")) << yesNo << false << false
        << true;
    QTest::newRow("login page as text/plain, 200")
        << "serve" << 200 << QByteArray("<html><form>Wi-Fi login</form></html>") << true << none
        << kFailed << kUnknown << kFailed << warning << true << false << false;
    QTest::newRow("login page as text/html, 200")
        << "html" << 200 << QByteArray("<html><form>Wi-Fi login</form></html>") << true << none
        << kFailed << kUnknown << kFailed << warning << true << false << false;
    QTest::newRow("redirect to another host")
        << "redirect away" << 200 << gbk(QStringLiteral("Ｋelda.系列软件のInkvale Sp3")) << true
        << none << kFailed << kUnknown << kFailed << warning << true << false << false;
    QTest::newRow("redirect on the same host")
        << "redirect here" << 200 << gbk(kExact) << true << none << ready << sp2 << QString()
        << warning << true << false << false;
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
    QTest::newRow("exactly 64 KiB is read, quoted cut")
        << "serve" << 200 << QByteArray(64 * 1024, 'x') << true << MessageAnswer::No << kChecking
        << kVersionPrefix + QString(64 * 1024, QLatin1Char('x'))
        << questionQuoting(QString(200, QLatin1Char('x')) + QStringLiteral("…")) << yesNo << false
        << false << true;
    QTest::newRow("bytes that are not GBK, No")
        << "serve" << 200 << QByteArray("Sp\x81 2\x81") << true << MessageAnswer::No << kChecking
        << kVersionPrefix + QStringLiteral("Sp\uFFFD 2\uFFFD")
        << questionQuoting(QStringLiteral("Sp\uFFFD 2\uFFFD")) << yesNo << false << false << true;
    QTest::newRow("connection lost mid-body")
        << "cut" << 200 << gbk(kExact).left(6) << true << none << kFailed << kUnknown << kFailed
        << warning << true << false << false;
    QTest::newRow("silent after the headers")
        << "stall" << 200 << gbk(kExact).left(6) << true << none << kFailed << kUnknown << kFailed
        << warning << true << false << false;
    QTest::newRow("slow bytes within the deadline")
        << "slow bytes" << 200 << gbk(kExact) << true << none << ready << sp2 << QString()
        << warning << true << false << false;
    // Never silent for long, yet the version would only be complete well after the deadline.
    QTest::newRow("trickle past the deadline")
        << "trickle" << 200 << gbk(kExact) << true << none << kFailed << kUnknown << kFailed
        << warning << true << false << false;
    QTest::newRow("header line without end")
        << "endless header" << 200 << QByteArray() << true << none << kFailed << kUnknown << kFailed
        << warning << true << false << false;
    QTest::newRow("nobody listening") << "nobody" << 0 << QByteArray() << true << none << kFailed
                                      << kUnknown << kFailed << warning << true << false << false;
    QTest::newRow("server never answers")
        << "mute" << 0 << QByteArray() << true << none << kFailed << kUnknown << kFailed << warning
        << true << false << false;
    // Addresses that are not http: a failed check at once, whatever they would hold.
    QTest::newRow("file address holding the version")
        << "file" << 0 << gbk(kExact) << true << none << kFailed << kUnknown << kFailed << warning
        << true << false << false;
    QTest::newRow("file address of a FIFO nobody writes")
        << "fifo" << 0 << QByteArray() << true << none << kFailed << kUnknown << kFailed << warning
        << true << false << false;
    QTest::newRow("data address holding the version")
        << "data" << 0 << gbk(kExact) << true << none << kFailed << kUnknown << kFailed << warning
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
    // Another host on this machine, for redirects away from the update server.
    LoopbackHttpServer elsewhere(QHostAddress(QStringLiteral("127.0.0.2")));
    elsewhere.serve(status, body, announceLength);
    LoopbackHttpServer redirecting;
    const QTemporaryDir files;
    if (server == QLatin1String("mute")) {
        http.stayMute();
    } else if (server == QLatin1String("cut") || server == QLatin1String("stall")) {
        http.announceMore(body.size() + 20, server == QLatin1String("stall"));
    } else if (server == QLatin1String("slow bytes")) {
        http.trickle(std::chrono::milliseconds(5));
    } else if (server == QLatin1String("trickle")) {
        http.trickle(std::chrono::milliseconds(150));
    } else if (server == QLatin1String("endless header")) {
        http.serveRaw("HTTP/1.1 200 OK\r\nX-Endless: ", "x");
    } else if (server == QLatin1String("html")) {
        http.setContentType("text/html; charset=utf-8");
    }
    OnlineSettings online = onServer(http, std::chrono::milliseconds(1000));
    if (server == QLatin1String("redirect away")) {
        redirecting.redirectTo(elsewhere.url());
        online.update = redirecting.url();
    } else if (server == QLatin1String("redirect here")) {
        redirecting.redirectTo(http.url());
        online.update = redirecting.url(QStringLiteral("/old/vermo.txt"));
    } else if (server == QLatin1String("file") || server == QLatin1String("fifo")) {
        const QString path = files.filePath(QStringLiteral("vermo.txt"));
        if (server == QLatin1String("file")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(body) == body.size());
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        online.update = QUrl::fromLocalFile(path);
    } else if (server == QLatin1String("data")) {
        online.update =
            QUrl(QStringLiteral("data:text/plain;base64,") + QString::fromLatin1(body.toBase64()));
    } else if (server == QLatin1String("nobody")) {
        // A port that was just free and is closed again.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        online.update =
            QUrl(QStringLiteral("http://127.0.0.1:%1/files/vermo.txt").arg(probe.serverPort()));
    }

    FakePlatform platform;
    platform.answers.push_back(answer);
    Form1 form(platform, online);
    form.Form_Load();
    form.timer3()->stop();
    form.Timer3_Timer();
    // The check has started and returned; its outcome follows from the event loop.
    QCOMPARE(form.cursor().shape(), Qt::BusyCursor);
    QVERIFY(!form.text1()->isEnabled());
    QVERIFY(!outcomeShown(platform, form));
    QTRY_VERIFY_WITH_TIMEOUT(outcomeShown(platform, form), 8000);

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
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    if (server == QLatin1String("redirect away")) {
        // Judged before anything is asked of the other host.
        QCOMPARE(elsewhere.requestCount(), 0);
    }
}

void TestUpdateCheck::windowWorksWhileTheReplyIsPending() {
    LoopbackHttpServer http;
    http.serve(200, gbk(kExact));
    http.holdReplies();
    FakePlatform platform;
    platform.colours.push_back(QColor(Qt::red));
    Form1 form(platform, onServer(http, std::chrono::seconds(20)));
    form.Form_Load();
    form.timer3()->stop();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Timer3_Timer();
    QTRY_COMPARE(http.requestCount(), 1);

    // The reply is pending: every control but the name box and the design button works.
    auto* next = form.findChild<QPushButton*>(QStringLiteral("Command6"));
    auto* back = form.findChild<QPushButton*>(QStringLiteral("Command4"));
    auto* settings = form.findChild<QPushButton*>(QStringLiteral("Command7"));
    QVERIFY(next && back && settings);
    QTest::mouseClick(next, Qt::LeftButton);
    QVERIFY(form.frame14()->isVisible());
    QVERIFY(!form.frame3()->isVisible());
    QTest::mouseClick(back, Qt::LeftButton);
    QVERIFY(form.frame3()->isVisible());

    QTest::mouseClick(form.option1(3), Qt::LeftButton);
    QVERIFY(form.option1(3)->isChecked());
    QCOMPARE(form.s1()->panelText(2), statusTextFor(3));

    QTest::mouseClick(settings, Qt::LeftButton);
    QTRY_VERIFY(form.set1()->isVisible());
    QAction* colour = form.set1()->findChild<QAction*>(QStringLiteral("qmwz"));
    QVERIFY(colour);
    QTest::mouseClick(form.set1(), Qt::LeftButton, {},
                      form.set1()->actionGeometry(colour).center());
    QTRY_COMPARE(platform.colourDialogs, 1);

    QTest::mouseClick(form.label3(), Qt::LeftButton);
    QCOMPARE(platform.shellCalls.size(), 1);
    QCOMPARE(platform.shellCalls.at(0).target, QStringLiteral("http://forum.test/"));

    // Still waiting, and showing it.
    QCOMPARE(form.cursor().shape(), Qt::BusyCursor);
    QVERIFY(!form.text1()->isEnabled());
    QVERIFY(!form.command1()->isEnabled());
    QCOMPARE(form.s1()->panelText(3), kUnknown);
    QVERIFY(platform.messages.isEmpty());

    http.releaseReplies();
    QTRY_COMPARE_WITH_TIMEOUT(form.s1()->panelText(2),
                              QStringLiteral("程序加载完毕.请您选择签名.."), 10000);
    QCOMPARE(form.s1()->panelText(3), kVersionPrefix + QStringLiteral(" Sp2"));
    QVERIFY(form.text1()->isEnabled());
    QVERIFY(form.command1()->isEnabled());
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(platform.messages.isEmpty());
    QCOMPARE(platform.endCount, 0);
}

void TestUpdateCheck::windowPaintsWhileWaiting() {
    LoopbackHttpServer http;
    http.stayMute();
    const OnlineSettings online = onServer(http, std::chrono::milliseconds(800));

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
    QTRY_VERIFY_WITH_TIMEOUT(outcomeShown(platform, form), 5000);
    repaint.stop();

    QCOMPARE(http.requestCount(), 1);
    QVERIFY2(counter.paints > 3, "the window did not paint while the check waited");
    QCOMPARE(form.s1()->panelText(2), kFailed);
}

void TestUpdateCheck::closingDuringTheCheck_data() {
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<bool>("opensForum");

    QTest::newRow("Yes") << MessageAnswer::Yes << true << true;
    QTest::newRow("No") << MessageAnswer::No << true << false;
    QTest::newRow("Cancel") << MessageAnswer::Cancel << false << false;
}

void TestUpdateCheck::closingDuringTheCheck() {
    QFETCH(MessageAnswer, answer);
    QFETCH(bool, closes);
    QFETCH(bool, opensForum);

    // A newer version: the outcome that would end the program if it came after all.
    const QString sp3 = QStringLiteral("Ｋelda.系列软件のInkvale Sp3");
    LoopbackHttpServer http;
    http.serve(200, gbk(sp3));
    http.holdReplies();
    FakePlatform platform;
    platform.answers = {answer, MessageAnswer::No};
    Form1 form(platform, onServer(http, std::chrono::seconds(20)));
    form.Form_Load();
    form.timer3()->stop();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Timer3_Timer();
    QTRY_COMPARE(http.requestCount(), 1);

    QCOMPARE(form.close(), closes);
    QCOMPARE(form.isVisible(), !closes);
    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages.at(0).text, kExitQuestion);
    QCOMPARE(platform.shellCalls.size(), opensForum ? 1 : 0);
    if (opensForum) {
        QCOMPARE(platform.shellCalls.at(0).target, QStringLiteral("http://forum.test/"));
    }

    if (closes) {
        // The check went with the window: the server sees its request given up, so the reply
        // sent now has nobody to tell.
        QTRY_COMPARE(http.abandonedRequests(), 1);
        http.releaseReplies();
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.endCount, 0);
        QCOMPARE(form.s1()->panelText(3), kUnknown);
    } else {
        http.releaseReplies();
        QTRY_COMPARE_WITH_TIMEOUT(platform.messages.size(), 2, 8000);
        QCOMPARE(platform.messages.at(1).text, questionQuoting(sp3));
        QCOMPARE(form.s1()->panelText(3), kVersionPrefix + QStringLiteral(" Sp3"));
        QCOMPARE(platform.endCount, 1);
    }
}

void TestUpdateCheck::closingBeforeTheFirstTick() {
    LoopbackHttpServer http;
    http.serve(200, QByteArray("Sp3"));
    FakePlatform platform;
    platform.answers = {MessageAnswer::No};
    Form1 form(platform, onServer(http, std::chrono::seconds(20)));
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.timer3()->isActive());
    QVERIFY(form.close());

    // The tick never comes: the closed window checks nothing and asks nothing more.
    QVERIFY(!form.timer3()->isActive());
    QVERIFY(platform.fetches.isEmpty());
    QCOMPARE(http.requestCount(), 0);
    QCOMPARE(platform.messages.size(), 1);
    form.Timer3_Timer();
    QVERIFY(platform.fetches.isEmpty());
}

void TestUpdateCheck::lateReplyAfterTheWindowIsGone() {
    LoopbackHttpServer http;
    http.serve(200, gbk(QStringLiteral("Ｋelda.系列软件のInkvale Sp3")));
    http.holdReplies();
    FakePlatform platform;
    auto form = std::make_unique<Form1>(platform, onServer(http, std::chrono::seconds(20)));
    form->Form_Load();
    form->timer3()->stop();
    form->Timer3_Timer();
    QTRY_COMPARE(http.requestCount(), 1);
    form.reset();
    // The request went with the window: the server sees it given up, so the reply sent now
    // has nobody to tell.
    QTRY_COMPARE(http.abandonedRequests(), 1);
    http.releaseReplies();
    QVERIFY(platform.messages.isEmpty());
    QCOMPARE(platform.endCount, 0);

    // The same through a held fetch answered after the window has gone.
    platform.holdFetches = true;
    form = std::make_unique<Form1>(platform, onServer(http, std::chrono::seconds(20)));
    form->Form_Load();
    form->timer3()->stop();
    form->Timer3_Timer();
    QVERIFY(platform.fetchHeld());
    form.reset();
    QVERIFY(platform.completeFetch(reply(200, "text/plain", "Sp3")));
    QTest::qWait(50);
    QVERIFY(platform.messages.isEmpty());
    QCOMPARE(platform.endCount, 0);
}

void TestUpdateCheck::outcomeWaitsForAnOpenDialog_data() {
    QTest::addColumn<QString>("dialog"); // "message box", "size dialog"
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("outcome"); // the outcome's box, empty for none
    QTest::addColumn<QString>("panel2");

    const QString ready = QStringLiteral("程序加载完毕.请您选择签名..");
    QTest::newRow("failure over a message box")
        << "message box" << QByteArray() << kFailed << kFailed;
    QTest::newRow("failure over the size dialog")
        << "size dialog" << QByteArray() << kFailed << kFailed;
    QTest::newRow("same version over a message box")
        << "message box" << gbk(kExact) << QString() << ready;
    QTest::newRow("newer version over the size dialog")
        << "size dialog" << QByteArray("Sp3") << questionQuoting(QStringLiteral("Sp3"))
        << kChecking;
}

void TestUpdateCheck::outcomeWaitsForAnOpenDialog() {
    QFETCH(QString, dialog);
    QFETCH(QByteArray, body);
    QFETCH(QString, outcome);

    FakePlatform platform;
    platform.holdFetches = true;
    Form1 form(platform, OnlineSettings::fromEnvironment());
    form.Form_Load();
    form.timer3()->stop();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Timer3_Timer();
    QVERIFY(platform.fetchHeld());

    // The reply arrives while the user has the dialog open; nothing of the outcome shows yet.
    int messagesWhileOpen = -1;
    QString panel2WhileOpen;
    const auto replyArrives = [&] {
        QVERIFY(platform.completeFetch(reply(200, "text/plain", body)));
        QTest::qWait(100);
        messagesWhileOpen = int(platform.messages.size());
        panel2WhileOpen = form.s1()->panelText(2);
    };
    int messagesBefore = 0;
    if (dialog == QLatin1String("message box")) {
        platform.onMessage = [&](const FakePlatform::Message& message) {
            if (message.text == QStringLiteral("没有下一页咯!")) {
                replyArrives();
            }
        };
        form.Command5_Click();
        messagesBefore = 1;
    } else {
        platform.onModal = [&](QDialog& /*sizeDialog*/) {
            replyArrives();
        };
        form.qmdz_Click();
    }
    QCOMPARE(messagesWhileOpen, messagesBefore);
    QCOMPARE(panel2WhileOpen, kChecking);
    QVERIFY(!form.text1()->isEnabled());

    // Once it has closed, the outcome follows.
    if (outcome.isEmpty()) {
        QTRY_VERIFY(form.text1()->isEnabled());
        QCOMPARE(platform.messages.size(), messagesBefore);
    } else {
        QTRY_COMPARE(platform.messages.size(), messagesBefore + 1);
        QCOMPARE(platform.messages.constLast().text, outcome);
    }
    QTEST(form.s1()->panelText(2), "panel2");
}

void TestUpdateCheck::keyboardGoesToTheNameBox_data() {
    QTest::addColumn<QByteArray>("body");   // empty: a failed check
    QTest::addColumn<QString>("userFocus"); // empty: the user has not moved the keyboard
    QTest::addColumn<QString>("focusAfter");

    QTest::newRow("failed, keyboard where the window put it")
        << QByteArray() << QString() << QStringLiteral("Text1");
    QTest::newRow("current, keyboard where the window put it")
        << gbk(kExact) << QString() << QStringLiteral("Text1");
    QTest::newRow("failed, user went on to the suggestion button")
        << QByteArray() << QStringLiteral("Command3") << QStringLiteral("Command3");
    QTest::newRow("current, user on a style option")
        << gbk(kExact) << QStringLiteral("Option1(4)") << QStringLiteral("Option1(4)");
}

void TestUpdateCheck::keyboardGoesToTheNameBox() {
    QFETCH(QByteArray, body);
    QFETCH(QString, userFocus);

    FakePlatform platform;
    platform.holdFetches = true;
    Form1 form(platform, OnlineSettings::fromEnvironment());
    form.loadAndShow();
    form.timer3()->stop();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    // With the name box disabled, the window gives the keyboard to "签名设定".
    QTRY_COMPARE(QApplication::focusWidget(), form.findChild<QWidget*>(QStringLiteral("Command7")));
    if (!userFocus.isEmpty()) {
        form.findChild<QWidget*>(userFocus)->setFocus(Qt::TabFocusReason);
    }
    form.Timer3_Timer();
    QVERIFY(
        platform.completeFetch(body.isEmpty() ? reply(0, {}, {}) : reply(200, "text/plain", body)));
    QTRY_VERIFY(form.text1()->isEnabled());
    QFETCH(QString, focusAfter);
    const auto focused = [] {
        const QWidget* widget = QApplication::focusWidget();
        return widget != nullptr ? widget->objectName() : QString();
    };
    QTRY_COMPARE(focused(), focusAfter);
    // Typing now goes where the keyboard is.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ab"));
    QCOMPARE(form.text1()->text(),
             focusAfter == QLatin1String("Text1") ? QStringLiteral("ab") : QString());
}

void TestUpdateCheck::oneCheckPerStart() {
    LoopbackHttpServer http;
    http.stayMute();
    // Longer than the timer's interval: further ticks arrive while the first check waits.
    const OnlineSettings online = onServer(http, std::chrono::milliseconds(2500));

    FakePlatform platform;
    Form1 form(platform, online);
    form.Form_Load();
    QTRY_COMPARE_WITH_TIMEOUT(platform.fetches.size(), 1, 5000);
    // Called again while the first check waits: nothing new starts.
    form.Timer3_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(platform.messages.size(), 1, 8000);
    form.Timer3_Timer();
    // Nor does a tick come later: a fetch is recorded as it starts.
    QVERIFY(!form.timer3()->isActive());
    QCOMPARE(platform.fetches.size(), 1);
    QCOMPARE(http.requestCount(), 1);
    QCOMPARE(platform.messages.size(), 1);
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
    QCOMPARE(defaults.updateDeadline, std::chrono::milliseconds(60000));
}

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
