// The update check's HTTP client: a response is read within fixed bounds whatever the server
// sends, and a fetch ends, with a verdict, long before its deadline when a server will not stop.

#include "platform/HttpFetcher.h"
#include "platform/HttpResponseReader.h"
#include "support/LoopbackHttpServer.h"

#include <QFile>
#include <QNetworkProxyFactory>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTest>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

using namespace inkvale;
using inkvale::test::LoopbackHttpServer;
using State = HttpResponseReader::State;

Q_DECLARE_METATYPE(HttpResponseReader::State)

namespace {

constexpr HttpResponseReader::Limits kLimits{
    .line = 64, .headerBlock = 256, .interimResponses = 2, .body = 16};

/// Runs a GET of `url` to its end and returns the reply, or nothing when `done` never ran.
std::optional<HttpReply> fetched(const QUrl& url, std::chrono::milliseconds deadline,
                                 qint64 maxBytes,
                                 const HostResolver& resolve = systemHostResolver()) {
    HttpFetcher fetcher(resolve);
    QObject context;
    std::optional<HttpReply> reply;
    fetcher.get(url, deadline, maxBytes, &context, [&reply](const HttpReply& r) { reply = r; });
    // An empty answer tells the caller that `done` never ran.
    static_cast<void>(QTest::qWaitFor([&reply] { return reply.has_value(); }, 30000));
    return reply;
}

} // namespace

class TestHttp final : public QObject {
    Q_OBJECT

private slots:
    void reader_data();
    void reader();
    void closeThatIsNotVouchedForEndsNoBody_data();
    void closeThatIsNotVouchedForEndsNoBody();
    void readerStopsAtItsLimits_data();
    void readerStopsAtItsLimits();
    void fetch_data();
    void fetch();
    void endlessReplies_data();
    void endlessReplies();
    void secure_data();
    void secure();
    void endlessTunnelAnswerIsBounded();
    void redirectToAnotherHostIsNeverFollowed();
    void throughAProxy_data();
    void throughAProxy();
    void namesAreLookedUp_data();
    void namesAreLookedUp();
    void hangingLookupEndsAtTheDeadline();
    void hangingLookupNeverHoldsTheExit();
};

void TestHttp::reader_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("closes"); // the connection closes after the bytes
    QTest::addColumn<State>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("tooLarge");

    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    QTest::newRow("length") << ok + "Content-Length: 5\r\n\r\nhello and more" << false
                            << State::Done << 200 << QByteArray("hello") << false;
    QTest::newRow("line feeds alone") << QByteArray("HTTP/1.0 200 OK\nContent-Length: 2\n\nhi")
                                      << false << State::Done << 200 << QByteArray("hi") << false;
    QTest::newRow("status without a reason")
        << QByteArray("HTTP/1.1 404\r\nContent-Length: 0\r\n\r\n") << false << State::Done << 404
        << QByteArray() << false;
    QTest::newRow("blank lines before the status")
        << "\r\n\r\n" + ok + "Content-Length: 1\r\n\r\nx" << false << State::Done << 200
        << QByteArray("x") << false;
    QTest::newRow("to the close") << ok + "\r\nall of it" << true << State::Done << 200
                                  << QByteArray("all of it") << false;
    QTest::newRow("to the close, still open") << ok + "\r\nall of it" << false << State::Reading
                                              << 200 << QByteArray("all of it") << false;
    QTest::newRow("chunked, extensions and trailers")
        << ok + "Transfer-Encoding: Chunked\r\n\r\n3;name=\"v\"\r\nabc\r\n2 ; x\r\nde\r\n0\r\n"
                "Trailer-One: 1\r\n\r\n"
        << false << State::Done << 200 << QByteArray("abcde") << false;
    QTest::newRow("chunked, upper-case size")
        << ok + "Transfer-Encoding: chunked\r\n\r\n"
                "A\r\n0123456789\r\n0\r\n\r\n"
        << false << State::Done << 200 << QByteArray("0123456789") << false;
    QTest::newRow("interim responses first")
        << "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n" + ok +
               "Content-Length: 2\r\n\r\nok"
        << false << State::Done << 200 << QByteArray("ok") << false;
    QTest::newRow("no content") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false
                                << State::Done << 204 << QByteArray() << false;
    QTest::newRow("repeated lengths that agree")
        << ok + "Content-Length: 2, 2\r\nContent-Length: 2\r\n\r\nok" << false << State::Done << 200
        << QByteArray("ok") << false;
    QTest::newRow("length among blanks") << ok + "Content-Length:  2 \t\r\n\r\nok" << false
                                         << State::Done << 200 << QByteArray("ok") << false;
    QTest::newRow("chunked among blanks, and a length")
        << ok + "Transfer-Encoding:  chunked \r\nContent-Length: 9\r\n\r\n2\r\nok\r\n0\r\n\r\n"
        << false << State::Done << 200 << QByteArray("ok") << false;
    QTest::newRow("not modified, with a length and an encoding")
        << QByteArray("HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n"
                      "Content-Encoding: gzip\r\n\r\n")
        << false << State::Done << 304 << QByteArray() << false;
    // 64 bytes before the line feed, the carriage return among them.
    QTest::newRow("header line at the limit")
        << ok + "X: " + QByteArray(60, 'h') + "\r\nContent-Length: 0\r\n\r\n"
        << false << State::Done << 200 << QByteArray() << false;
    QTest::newRow("body at the limit")
        << ok + "Content-Length: 16\r\n\r\n" + QByteArray(16, 'b') << false << State::Done << 200
        << QByteArray(16, 'b') << false;

    // Cut short.
    QTest::newRow("closed mid-body") << ok + "Content-Length: 9\r\n\r\nhalf" << true
                                     << State::Failed << 200 << QByteArray("half") << false;
    QTest::newRow("closed mid-headers")
        << ok + "Content-Type: text/pl" << true << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("closed before the last chunk")
        << ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nab\r\n"
        << true << State::Failed << 200 << QByteArray("ab") << false;

    // Over a limit: refused as soon as it is known, never read to the end.
    QTest::newRow("length over the limit") << ok + "Content-Length: 17\r\n\r\n"
                                           << false << State::Failed << 200 << QByteArray() << true;
    QTest::newRow("length of twenty digits")
        << ok + "Content-Length: 99999999999999999999\r\n\r\n"
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("to the close, over the limit")
        << ok + "\r\n" + QByteArray(17, 'b') << false << State::Failed << 200 << QByteArray(16, 'b')
        << true;
    QTest::newRow("chunks over the limit")
        << ok + "Transfer-Encoding: chunked\r\n\r\n8\r\n12345678\r\n9\r\n"
        << false << State::Failed << 200 << QByteArray("12345678") << true;
    QTest::newRow("chunk size of sixteen digits")
        << ok + "Transfer-Encoding: chunked\r\n\r\n1000000000000000\r\n"
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("header line over the limit")
        << ok + "X: " + QByteArray(62, 'h') + "\r\n"
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("chunk extension over the limit")
        << ok + "Transfer-Encoding: chunked\r\n\r\n1;" + QByteArray(63, 'e') << false
        << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("header block over the limit")
        << ok + QByteArray("X-Many: 0123456789012345678901234567890123456789\r\n").repeated(5)
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("trailers over the limit")
        << ok + "Transfer-Encoding: chunked\r\n\r\n0\r\n" +
               QByteArray("Trailer: 0123456789012345678901234567890123456789\r\n").repeated(5)
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("interim responses over the limit")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(3) << false << State::Failed << 0
        << QByteArray() << false;
    QTest::newRow("blank lines over the limit")
        << QByteArray("\r\n").repeated(129) << false << State::Failed << 0 << QByteArray() << false;

    // Malformed, or what was not asked for.
    QTest::newRow("not HTTP/1") << QByteArray("HTTP/2 200\r\n\r\n") << false << State::Failed << 0
                                << QByteArray() << false;
    QTest::newRow("a web page without a status")
        << QByteArray("<html>\r\n") << false << State::Failed << 0 << QByteArray() << false;
    QTest::newRow("status of four digits") << QByteArray("HTTP/1.1 2000 OK\r\n\r\n") << false
                                           << State::Failed << 0 << QByteArray() << false;
    QTest::newRow("switching protocols") << QByteArray("HTTP/1.1 101 Switching\r\n\r\n") << false
                                         << State::Failed << 0 << QByteArray() << false;
    QTest::newRow("folded header") << ok + "X: a\r\n b\r\n\r\n"
                                   << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("blank before the colon") << ok + "Content-Length : 2\r\n\r\nok" << false
                                            << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("lengths that disagree")
        << ok + "Content-Length: 2\r\nContent-Length: 3\r\n\r\n"
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("empty length") << ok + "Content-Length:\r\n\r\nok" << true << State::Failed
                                  << 200 << QByteArray() << false;
    QTest::newRow("empty length after a length")
        << ok + "Content-Length: 2\r\nContent-Length: \r\n\r\nok" << true << State::Failed << 200
        << QByteArray() << false;
    QTest::newRow("empty transfer coding") << ok + "Transfer-Encoding:\r\n\r\nok" << true
                                           << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("negative length") << ok + "Content-Length: -1\r\n\r\n"
                                     << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("gzip body") << ok + "Content-Encoding: gzip\r\nContent-Length: 2\r\n\r\n\x1f\x8b"
                               << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("gzip transfer coding") << ok + "Transfer-Encoding: gzip, chunked\r\n\r\n"
                                          << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("chunk size that is not hex")
        << ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\n"
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("chunk longer than announced")
        << ok + "Transfer-Encoding: chunked\r\n\r\n1\r\nab\r\n"
        << false << State::Failed << 200 << QByteArray("a") << false;
}

void TestHttp::reader() {
    QFETCH(QByteArray, response);
    QFETCH(bool, closes);
    QFETCH(State, state);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, tooLarge);

    // The same verdict however the bytes are split on the way.
    for (const qsizetype piece : {response.size(), qsizetype{1}, qsizetype{7}}) {
        HttpResponseReader reader(kLimits);
        for (qsizetype at = 0; at < response.size(); at += piece) {
            reader.feed(QByteArrayView(response).sliced(at, std::min(piece, response.size() - at)));
        }
        if (closes) {
            reader.finish();
        }
        const QByteArray split = "in pieces of " + QByteArray::number(piece);
        QVERIFY2(reader.state() == state, split + ": " + reader.error().toUtf8());
        QVERIFY2(reader.statusCode() == status, split);
        QVERIFY2(reader.body() == body, split + ": " + reader.body());
        QVERIFY2(reader.tooLarge() == tooLarge, split);
        QVERIFY2(reader.error().isEmpty() == (state != State::Failed), split);
    }

    // A body that is only counted meets the same limits, and nothing of it is kept.
    HttpResponseReader::Limits counting = kLimits;
    counting.keepBody = false;
    HttpResponseReader reader(counting);
    reader.feed(response);
    if (closes) {
        reader.finish();
    }
    QCOMPARE(reader.state(), state);
    QCOMPARE(reader.tooLarge(), tooLarge);
    QVERIFY(reader.body().isEmpty());
}

void TestHttp::closeThatIsNotVouchedForEndsNoBody_data() {
    // Over TLS a close may be an attacker's cut: only a framed body is whole there.
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<State>("vouched");   // the close is the server's own (plain HTTP)
    QTest::addColumn<State>("unvouched"); // it may not be (TLS)
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    QTest::newRow("body to the close") << ok + "\r\nSp2" << State::Done << State::Failed;
    QTest::newRow("empty body to the close") << ok + "\r\n" << State::Done << State::Failed;
    QTest::newRow("length") << ok + "Content-Length: 3\r\n\r\nSp2" << State::Done << State::Done;
    QTest::newRow("chunks") << ok + "Transfer-Encoding: chunked\r\n\r\n3\r\nSp2\r\n0\r\n\r\n"
                            << State::Done << State::Done;
    QTest::newRow("length, cut") << ok + "Content-Length: 3\r\n\r\nSp" << State::Failed
                                 << State::Failed;
}

void TestHttp::closeThatIsNotVouchedForEndsNoBody() {
    QFETCH(QByteArray, response);
    QFETCH(State, vouched);
    QFETCH(State, unvouched);
    for (const bool closeEndsBody : {true, false}) {
        HttpResponseReader reader(kLimits);
        reader.feed(response);
        QCOMPARE(reader.finish(closeEndsBody), closeEndsBody ? vouched : unvouched);
    }
}

void TestHttp::readerStopsAtItsLimits_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("endless");

    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    QTest::newRow("status line") << QByteArray("HTTP/1.1 200 ") << QByteArray("x");
    QTest::newRow("header line") << ok + "X-Endless: " << QByteArray("x");
    QTest::newRow("header lines") << ok << QByteArray("X-Again: x\r\n");
    QTest::newRow("chunk extension") << chunked + "1;" << QByteArray("x");
    QTest::newRow("chunk size") << chunked << QByteArray("0");
    QTest::newRow("chunks") << chunked << QByteArray("1\r\nx\r\n");
    QTest::newRow("trailers") << chunked + "0\r\n" << QByteArray("T: x\r\n");
    QTest::newRow("interim responses") << QByteArray() << QByteArray("HTTP/1.1 100 Go\r\n\r\n");
    QTest::newRow("to the close") << ok + "\r\n" << QByteArray("x");
}

void TestHttp::readerStopsAtItsLimits() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, endless);

    // The default limits, as the update check uses them: a mebibyte of any endless stream is
    // refused, and nothing it kept grows with it.
    HttpResponseReader reader({});
    reader.feed(head);
    const QByteArray piece = endless.repeated(64 * 1024 / endless.size() + 1);
    for (int i = 0; i < 16 && reader.state() == State::Reading; ++i) {
        reader.feed(piece);
    }
    QCOMPARE(reader.state(), State::Failed);
    QVERIFY(!reader.error().isEmpty());
    QVERIFY(reader.body().size() <= HttpResponseReader::Limits{}.body);
}

void TestHttp::fetch_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<QString>("redirect"); // "": none, "loop": to itself, or the new address
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    QTest::newRow("chunked") << ok + "Transfer-Encoding: chunked\r\n\r\n2;a=b\r\nSp\r\n1\r\n2\r\n0"
                                     "\r\n\r\n"
                             << QString() << true << 200 << QByteArray("Sp2");
    QTest::newRow("after an interim response")
        << "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 3\r\n\r\nSp2" << QString()
        << true << 200 << QByteArray("Sp2");
    QTest::newRow("gzip it was not asked for")
        << ok + "Content-Encoding: gzip\r\nContent-Length: 3\r\n\r\nSp2" << QString() << false
        << 200 << QByteArray();
    QTest::newRow("HTTP/1.0 to the close") << QByteArray("HTTP/1.0 200 OK\r\n\r\nSp2") << QString()
                                           << true << 200 << QByteArray("Sp2");
    QTest::newRow("relative redirect")
        << ok + "Content-Length: 3\r\n\r\nSp2"
        << "../moved/vermo.txt?v=2" << true << 200 << QByteArray("Sp2");
    QTest::newRow("IPv6 loopback") << ok + "Content-Length: 3\r\n\r\nSp2"
                                   << "[::1]" << true << 200 << QByteArray("Sp2");
    QTest::newRow("redirect loop") << QByteArray() << "loop" << false << 302 << QByteArray();
    for (const char* away : {"file:///etc/passwd", "ftp://127.0.0.1/vermo.txt", "data:,Sp2"}) {
        QTest::addRow("redirect to %s", away)
            << QByteArray() << away << false << 302 << QByteArray();
    }
}

void TestHttp::fetch() {
    QFETCH(QByteArray, response);
    QFETCH(QString, redirect);

    const bool ipv6 = redirect == QLatin1String("[::1]");
    LoopbackHttpServer server(
        QHostAddress(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost));
    if (ipv6 && server.url().port() <= 0) {
        QSKIP("this machine has no IPv6 loopback");
    }
    server.serveRaw(response);
    if (redirect == QLatin1String("loop")) {
        server.redirectTo(server.url());
    } else if (redirect.startsWith(QLatin1String(".."))) {
        server.redirectTo(QUrl(redirect), true);
    } else if (!redirect.isEmpty() && !ipv6) {
        server.redirectTo(QUrl(redirect));
    }
    const std::optional<HttpReply> reply =
        fetched(server.url(), std::chrono::seconds(20), 64 * 1024);
    QVERIFY(reply.has_value());
    QTEST(reply->succeeded(), "succeeded");
    QTEST(reply->statusCode, "status");
    QTEST(reply->body, "body");
    QVERIFY(!reply->timedOut);
    QCOMPARE(reply->error.isEmpty(), reply->succeeded());
    if (redirect == QLatin1String("loop")) {
        QCOMPARE(server.requestCount(), 11);
    }
    if (redirect.startsWith(QLatin1String(".."))) {
        QCOMPARE(server.requestCount(), 2);
        QVERIFY2(server.lastRequest().startsWith("GET /moved/vermo.txt?v=2 HTTP/1.1\r\n"),
                 server.lastRequest());
    }
}

void TestHttp::endlessReplies_data() {
    readerStopsAtItsLimits_data();
}

void TestHttp::endlessReplies() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, endless);

    // A server that would send without end, as fast as loopback goes: the client hangs up once
    // a limit is passed, long before the deadline, having taken in little of it.
    LoopbackHttpServer server;
    server.serveRaw(head.isEmpty() ? endless : head, endless);
    const std::optional<HttpReply> reply =
        fetched(server.url(), std::chrono::seconds(20), 64 * 1024);
    QVERIFY(reply.has_value());
    QVERIFY(!reply->succeeded());
    QVERIFY2(!reply->timedOut, qPrintable(reply->error));
    QVERIFY(!reply->error.isEmpty());
    QTRY_VERIFY(server.clientHungUp());
    // What the kernel's buffers hold on top of the client's own limits; without the limits this
    // runs into gigabytes before the deadline.
    QVERIFY2(server.rawBytesSent() < 32 * 1024 * 1024, QByteArray::number(server.rawBytesSent()));
}

void TestHttp::redirectToAnotherHostIsNeverFollowed() {
    // The same server under another name: a fetch that followed the redirect would reach it.
    LoopbackHttpServer elsewhere;
    elsewhere.serveRaw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nSp2");
    QUrl otherHost = elsewhere.url();
    otherHost.setHost(QStringLiteral("localhost"));
    LoopbackHttpServer redirecting;
    redirecting.redirectTo(otherHost);
    const std::optional<HttpReply> reply =
        fetched(redirecting.url(), std::chrono::seconds(20), 64 * 1024);
    QVERIFY(reply.has_value());
    QVERIFY(!reply->succeeded());
    QCOMPARE(reply->error, QStringLiteral("redirected to another host"));
    QCOMPARE(redirecting.requestCount(), 1);
    QCOMPARE(elsewhere.requestCount(), 0);
    // The same host is followed.
    LoopbackHttpServer sameHost;
    sameHost.redirectTo(elsewhere.url());
    const std::optional<HttpReply> followed =
        fetched(sameHost.url(), std::chrono::seconds(20), 64 * 1024);
    QVERIFY(followed.has_value() && followed->succeeded());
    QCOMPARE(elsewhere.requestCount(), 1);
}

void TestHttp::secure_data() {
    QTest::addColumn<bool>("trusted");   // the server's certificate is one the client trusts
    QTest::addColumn<QString>("onward"); // "": the page itself; "http", "https": a redirect there
    QTest::addColumn<bool>("succeeded");
    QTest::addColumn<bool>("framed"); // the page's body has a length

    QTest::newRow("trusted") << true << QString() << true << true;
    QTest::newRow("self-signed") << false << QString() << false << true;
    QTest::newRow("redirect to https") << true << "https" << true << true;
    QTest::newRow("redirect to http") << true << "http" << false << true;
    // A cut that Qt cannot tell from the server's close would pass for the whole body.
    QTest::newRow("trusted, body to the close") << true << QString() << false << false;
}

void TestHttp::secure() {
    QFETCH(bool, trusted);
    QFETCH(QString, onward);
    if (!QSslSocket::supportsSsl()) {
        QSKIP("Qt has no TLS backend here");
    }

    // A certificate for 127.0.0.1 made for this test alone, trusted only where a row says so.
    const auto pem = [](const char* name) {
        QFile file(QFINDTESTDATA(QStringLiteral("support/tls/") + QLatin1String(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QSslCertificate certificate(pem("cert.pem"));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(QSslKey(pem("key.pem"), QSsl::Rsa));
    QVERIFY(!tls.localCertificate().isNull() && !tls.privateKey().isNull());

    const QSslConfiguration systemDefault = QSslConfiguration::defaultConfiguration();
    const auto restore =
        qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(systemDefault); });
    if (trusted) {
        QSslConfiguration trusting = systemDefault;
        trusting.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
    }

    QFETCH(bool, framed);
    LoopbackHttpServer page(tls);
    page.serveRaw(framed ? "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nSp2"
                         : "HTTP/1.1 200 OK\r\n\r\nSp2");
    LoopbackHttpServer plainPage;
    plainPage.serveRaw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nSp2");
    LoopbackHttpServer redirecting(tls);
    redirecting.redirectTo(onward == QLatin1String("http") ? plainPage.url() : page.url());

    const std::optional<HttpReply> reply = fetched(
        onward.isEmpty() ? page.url() : redirecting.url(), std::chrono::seconds(20), 64 * 1024);
    QVERIFY(reply.has_value());
    QFETCH(bool, succeeded);
    QVERIFY2(reply->succeeded() == succeeded, qPrintable(reply->error));
    QCOMPARE(reply->error.isEmpty(), succeeded);
    QCOMPARE(reply->body, reply->succeeded() || !framed ? QByteArray("Sp2") : QByteArray());
    // Nothing is asked of a server the client does not trust, nor over http after https.
    QCOMPARE(page.requestCount(), trusted && onward != QLatin1String("http") ? 1 : 0);
    QCOMPARE(redirecting.requestCount(), onward.isEmpty() ? 0 : 1);
    QCOMPARE(plainPage.requestCount(), 0);
}

namespace {

/// Names one proxy for every address, as a desktop's proxy setting does.
class OneProxyForAll final : public QNetworkProxyFactory {
public:
    explicit OneProxyForAll(QNetworkProxy proxy)
        : m_proxy(std::move(proxy)) {}
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& /*query*/) override {
        return {m_proxy};
    }

private:
    QNetworkProxy m_proxy;
};

} // namespace

void TestHttp::throughAProxy_data() {
    QTest::addColumn<QNetworkProxy::ProxyType>("type"); // NoProxy: straight to the server
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("address"); // "%server": the loopback server's own
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("succeeded");

    const QByteArray rest = "User-Agent: Inkvale\r\nAccept: */*\r\nAccept-Encoding: identity\r\n";
    QTest::newRow("no proxy") << QNetworkProxy::NoProxy << QString()
                              << "%server/files/vermo.txt?a=1%20b"
                              << "GET /files/vermo.txt?a=1%20b HTTP/1.1\r\nHost: %host\r\n" + rest +
                                     "Connection: close\r\n\r\n"
                              << true;
    // A plain http address is asked of the proxy whole, as browsers ask.
    QTest::newRow("http proxy") << QNetworkProxy::HttpProxy << QString()
                                << "http://update.inkvale.example:8080/files/vermo.txt"
                                << "GET http://update.inkvale.example:8080/files/vermo.txt "
                                   "HTTP/1.1\r\nHost: update.inkvale.example:8080\r\n" +
                                       rest + "Connection: close\r\n\r\n"
                                << true;
    QTest::newRow("http proxy with a user")
        << QNetworkProxy::HttpProxy << "u"
        << "http://update.inkvale.example/files/vermo.txt"
        << "GET http://update.inkvale.example/files/vermo.txt HTTP/1.1\r\nHost: "
           "update.inkvale.example\r\n" +
               rest + "Proxy-Authorization: Basic dTpw\r\nConnection: close\r\n\r\n"
        << true;
    // https goes through a tunnel; this proxy refuses it.
    QTest::newRow("https through an http proxy")
        << QNetworkProxy::HttpProxy << QString() << "https://update.inkvale.example/files/vermo.txt"
        << QByteArray("CONNECT update.inkvale.example:443 HTTP/1.1\r\n") << false;
}

void TestHttp::throughAProxy() {
    QFETCH(QNetworkProxy::ProxyType, type);
    QFETCH(QString, user);
    QFETCH(QString, address);
    QFETCH(QByteArray, request);

    LoopbackHttpServer server;
    const QUrl own = server.url(QString());
    if (type == QNetworkProxy::NoProxy) {
        server.serveRaw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nSp2");
        address.replace(QLatin1String("%server"), own.toString());
        request.replace("%host", QStringLiteral("127.0.0.1:%1").arg(own.port()).toLatin1());
    } else {
        // What a proxy answers a tunnel it will not open, or the page it fetched.
        server.serveRaw(address.startsWith(QLatin1String("https"))
                            ? "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n"
                            : "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nSp2");
        QNetworkProxyFactory::setApplicationProxyFactory(new OneProxyForAll(
            QNetworkProxy(type, own.host(), static_cast<quint16>(own.port()), user,
                          user.isEmpty() ? QString() : QStringLiteral("p"))));
    }
    const auto restore =
        qScopeGuard([] { QNetworkProxyFactory::setApplicationProxyFactory(nullptr); });

    const std::optional<HttpReply> reply =
        fetched(QUrl(address), std::chrono::seconds(20), 64 * 1024);
    QVERIFY(reply.has_value());
    QFETCH(bool, succeeded);
    QVERIFY2(reply->succeeded() == succeeded, qPrintable(reply->error));
    QCOMPARE(reply->body, succeeded ? QByteArray("Sp2") : QByteArray());
    QCOMPARE(server.requestCount(), 1);
    if (request.endsWith("\r\n\r\n")) {
        QCOMPARE(server.lastRequest(), request);
    } else {
        QVERIFY2(server.lastRequest().startsWith(request), server.lastRequest());
    }
}

void TestHttp::endlessTunnelAnswerIsBounded() {
    // A proxy that says yes to the tunnel and never ends its headers: read within the bounds
    // of any answer, then given up, long before the deadline.
    LoopbackHttpServer proxy;
    proxy.serveRaw("HTTP/1.1 200 Connection established\r\n",
                   "X-Pad: " + QByteArray(100, 'x') + "\r\n");
    const QUrl own = proxy.url(QString());
    QNetworkProxyFactory::setApplicationProxyFactory(new OneProxyForAll(
        QNetworkProxy(QNetworkProxy::HttpProxy, own.host(), static_cast<quint16>(own.port()))));
    const auto restore =
        qScopeGuard([] { QNetworkProxyFactory::setApplicationProxyFactory(nullptr); });
    const std::optional<HttpReply> reply =
        fetched(QUrl(QStringLiteral("https://update.inkvale.example/files/vermo.txt")),
                std::chrono::seconds(60), 64 * 1024);
    QVERIFY(reply.has_value());
    QVERIFY(!reply->succeeded());
    QVERIFY(!reply->timedOut);
    QVERIFY2(reply->error.startsWith(QStringLiteral("the proxy's answer to the tunnel: ")),
             qPrintable(reply->error));
    QVERIFY2(proxy.lastRequest().startsWith("CONNECT update.inkvale.example:443 HTTP/1.1\r\n"),
             proxy.lastRequest());
    // What the proxy got out before the client hung up: the header limit and the buffers on
    // the way, not the gigabyte Qt's own tunnel read.
    QTRY_VERIFY(proxy.clientHungUp());
    QVERIFY2(proxy.rawBytesSent() < 16 * 1024 * 1024, QByteArray::number(proxy.rawBytesSent()));
}

void TestHttp::namesAreLookedUp_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("addresses"); // the resolver's answer; empty: the system's
    QTest::addColumn<bool>("succeeded");

    QTest::newRow("the system's resolver") << "localhost" << QStringList() << true;
    // Nothing listens on the first address (or the machine has no IPv6): the next one is tried.
    QTest::newRow("every address in turn")
        << "update.inkvale.example" << QStringList{"::1", "127.0.0.1"} << true;
    QTest::newRow("only an address where nothing listens")
        << "update.inkvale.example" << QStringList{"127.0.0.2"} << false;
    QTest::newRow("a name without addresses")
        << "update.inkvale.example" << QStringList{"none"} << false;
}

void TestHttp::namesAreLookedUp() {
    QFETCH(QString, host);
    QFETCH(QStringList, addresses);

    LoopbackHttpServer server;
    server.serveRaw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nSp2");
    QUrl url = server.url();
    url.setHost(host);
    auto asked = std::make_shared<QStringList>();
    HostResolver resolve = systemHostResolver();
    if (!addresses.isEmpty()) {
        resolve = [asked, addresses](const QString& name) {
            asked->append(name);
            QList<QHostAddress> found;
            for (const QString& one : addresses) {
                if (one != QLatin1String("none")) {
                    found.append(QHostAddress(one));
                }
            }
            return found;
        };
    }
    const std::optional<HttpReply> reply =
        fetched(url, std::chrono::seconds(20), 64 * 1024, resolve);
    QVERIFY(reply.has_value());
    QFETCH(bool, succeeded);
    QVERIFY2(reply->succeeded() == succeeded, qPrintable(reply->error));
    QVERIFY(!reply->timedOut);
    QCOMPARE(server.requestCount(), succeeded ? 1 : 0);
    if (succeeded) {
        QCOMPARE(reply->body, QByteArray("Sp2"));
        QVERIFY2(server.lastRequest().startsWith(
                     QStringLiteral("GET /files/vermo.txt HTTP/1.1\r\nHost: %1:%2\r\n")
                         .arg(host)
                         .arg(url.port())
                         .toLatin1()),
                 server.lastRequest());
    }
    if (!addresses.isEmpty()) {
        QCOMPARE(*asked, QStringList{host});
    }
    if (addresses == QStringList{"none"}) {
        QCOMPARE(reply->error, QStringLiteral("the host name was not found"));
    }
}

namespace {

/// A resolver that never answers, as a name server that swallows every question; it counts
/// the questions.
HostResolver hangingResolver(const std::shared_ptr<std::atomic<int>>& asked) {
    return [asked](const QString&) -> QList<QHostAddress> {
        asked->fetch_add(1);
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    };
}

} // namespace

void TestHttp::hangingLookupEndsAtTheDeadline() {
    // The lookup never ends: the fetch fails at its deadline all the same, and the fetcher and
    // the context go at once, the lookup's thread still hanging.
    const auto asked = std::make_shared<std::atomic<int>>(0);
    const std::optional<HttpReply> reply =
        fetched(QUrl(QStringLiteral("http://update.inkvale.example/files/vermo.txt")),
                std::chrono::milliseconds(300), 64 * 1024, hangingResolver(asked));
    QVERIFY(reply.has_value());
    QVERIFY(reply->timedOut);
    QVERIFY(!reply->answered);
    QCOMPARE(reply->error, QStringLiteral("no complete response before the deadline"));
    QCOMPARE(asked->load(), 1);
}

void TestHttp::hangingLookupNeverHoldsTheExit() {
    // A program whose lookups hang, one waited for and one not: it reports the first at its
    // deadline and ends, its event loop and its application object gone, the lookups still
    // hanging. Were any of them waited for, it would never end.
    QProcess program;
    program.start(QStringLiteral(INKVALE_HANGING_LOOKUP_PROGRAM), {});
    QVERIFY2(program.waitForFinished(60000), "the program is still waiting for a lookup");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(program.readAllStandardOutput(),
             QByteArray("no complete response before the deadline\nasked 2\n"));
}

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
