#include "platform/HttpFetcher.h"

#include "platform/HttpResponseReader.h"

#include <QNetworkProxy>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <array>
#include <optional>
#include <utility>

namespace inkvale {

namespace {

constexpr int kMaxRedirects = 10;
constexpr qint64 kReadPiece = 16 * 1024;
constexpr std::chrono::minutes kDiscardDeadline{1};
constexpr qint64 kDiscardBytes = 1024 * 1024;

/// Whether `url` is fetched over HTTP: file:, data: and other addresses have no status, no
/// deadline of their own and may never end (a FIFO, a device).
bool isHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool isHttps(const QUrl& url) {
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

/// The proxy the system or the application names for `url`, as a socket can use it. The whole
/// address is asked about, as a browser asks: a socket of its own would ask only about a TCP
/// connection, and miss a proxy set for http or https.
QNetworkProxy proxyFor(const QUrl& url) {
    for (const QNetworkProxy& proxy :
         QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url))) {
        switch (proxy.type()) {
        case QNetworkProxy::NoProxy:
        case QNetworkProxy::Socks5Proxy:
            return proxy;
        case QNetworkProxy::HttpProxy:
        case QNetworkProxy::HttpCachingProxy:
            return {QNetworkProxy::HttpProxy, proxy.hostName(), proxy.port(), proxy.user(),
                    proxy.password()};
        default:
            break;
        }
    }
    return QNetworkProxy(QNetworkProxy::NoProxy);
}

/// Whether the request for `url` goes to `proxy` as a plain HTTP request, naming the whole
/// address; otherwise the socket talks to the server itself, through a tunnel if need be.
bool askedOfProxy(const QUrl& url, const QNetworkProxy& proxy) {
    return proxy.type() == QNetworkProxy::HttpProxy && !isHttps(url);
}

/// The request that asks `proxy` for a tunnel to the server of the https address `url`, or
/// empty when the host holds what a request cannot carry.
QByteArray tunnelRequestFor(const QUrl& url, const QNetworkProxy& proxy) {
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':')) {
        host = '[' + host + ']';
    }
    const QByteArray authority = host + ':' + QByteArray::number(url.port(443));
    for (const char c : authority) {
        if (c <= ' ' || c == '\x7f') {
            return {};
        }
    }
    QByteArray credentials;
    if (!proxy.user().isEmpty()) {
        credentials = "Proxy-Authorization: Basic " +
                      (proxy.user() + QLatin1Char(':') + proxy.password()).toUtf8().toBase64() +
                      "\r\n";
    }
    return "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority +
           "\r\nUser-Agent: Inkvale\r\n" + credentials + "\r\n";
}

/// The request for `url`, or empty when the address holds what a request cannot carry. With
/// `httpProxy`, the request that asks that proxy for the whole address.
QByteArray requestFor(const QUrl& url, const QNetworkProxy* httpProxy) {
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty()) {
        target = "/";
    }
    if (url.hasQuery()) {
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    }
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':')) {
        host = '[' + host + ']';
    }
    const int defaultPort = isHttps(url) ? 443 : 80;
    if (url.port(defaultPort) != defaultPort) {
        host += ':' + QByteArray::number(url.port());
    }
    QByteArray credentials;
    if (httpProxy) {
        target = "http://" + host + target;
        if (!httpProxy->user().isEmpty()) {
            credentials =
                "Proxy-Authorization: Basic " +
                (httpProxy->user() + QLatin1Char(':') + httpProxy->password()).toUtf8().toBase64() +
                "\r\n";
        }
    }
    for (const QByteArray* part : {&target, &host}) {
        for (const char c : *part) {
            if (c <= ' ' || c == '\x7f') {
                return {};
            }
        }
    }
    return "GET " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nUser-Agent: Inkvale\r\nAccept: */*\r\nAccept-Encoding: identity\r\n" + credentials +
           "Connection: close\r\n\r\n";
}

/// One GET, its redirects followed, from the first connection to the outcome. It ends by
/// deleting itself; destroying it earlier (with its parent) abandons the request.
class HttpExchange final : public QObject {
public:
    /// `done` is called, queued, on `parent` once the exchange ends; it may be empty.
    HttpExchange(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                 QObject* parent, FetchDone done)
        : QObject(parent)
        , m_url(url)
        , m_done(std::move(done))
        , m_limits{.body = maxBytes, .keepBody = static_cast<bool>(m_done)} {
        m_result.requestedUrl = url;
        m_deadline.setSingleShot(true);
        m_deadline.setTimerType(Qt::PreciseTimer);
        // The deadline counts from the request, however the bytes trickle in meanwhile.
        connect(&m_deadline, &QTimer::timeout, this, [this] {
            m_result.timedOut = true;
            finish(QStringLiteral("no complete response before the deadline"));
        });
        m_deadline.start(deadline);
    }

    void start() {
        if (!isHttp(m_url)) {
            finish(QStringLiteral("not an http or https address"));
            return;
        }
        connectTo(m_url);
    }

private:
    void connectTo(const QUrl& url) {
        dropSocket();
        const QNetworkProxy proxy = proxyFor(url);
        const bool viaProxy = askedOfProxy(url, proxy);
        const QByteArray request = requestFor(url, viaProxy ? &proxy : nullptr);
        // Through an http proxy an https address takes a tunnel, asked for here rather than by
        // Qt, whose reading of the proxy's answer has no bound.
        const bool tunnel = isHttps(url) && proxy.type() == QNetworkProxy::HttpProxy;
        const QByteArray tunnelRequest = tunnel ? tunnelRequestFor(url, proxy) : QByteArray();
        if (request.isEmpty() || (tunnel && tunnelRequest.isEmpty())) {
            finish(QStringLiteral("the address holds characters a request cannot carry"));
            return;
        }
        if (isHttps(url) && !QSslSocket::supportsSsl()) {
            finish(QStringLiteral("https is not available on this system"));
            return;
        }
        m_url = url;
        m_reader.emplace(m_limits);
        m_tunnel.reset();
        if (tunnel) {
            // The proxy's answer is headers only: the limits of the response's own.
            m_tunnel.emplace(HttpResponseReader::Limits{.body = 0, .keepBody = false});
        }
        QAbstractSocket* socket = nullptr;
        if (isHttps(url)) {
            auto* secure = new QSslSocket(this);
            connect(secure, &QSslSocket::encrypted, this,
                    [secure, request] { secure->write(request); });
            socket = secure;
        } else {
            socket = new QTcpSocket(this);
            connect(socket, &QAbstractSocket::connected, this,
                    [socket, request] { socket->write(request); });
        }
        m_socket = socket;
        socket->setProxy(viaProxy || tunnel ? QNetworkProxy(QNetworkProxy::NoProxy) : proxy);
        // Qt buffers no more than this between our reads.
        socket->setReadBufferSize(kReadPiece);
        connect(socket, &QIODevice::readyRead, this, &HttpExchange::readAvailable);
        connect(socket, &QAbstractSocket::disconnected, this, &HttpExchange::closed);
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [this](QAbstractSocket::SocketError error) {
                    if (error == QAbstractSocket::RemoteHostClosedError) {
                        closed();
                    } else {
                        finish(m_socket->errorString());
                    }
                });
        if (tunnel) {
            connect(socket, &QAbstractSocket::connected, this,
                    [socket, tunnelRequest] { socket->write(tunnelRequest); });
            socket->connectToHost(proxy.hostName(), proxy.port());
        } else if (auto* secure = qobject_cast<QSslSocket*>(socket)) {
            secure->connectToHostEncrypted(url.host(QUrl::FullyEncoded),
                                           static_cast<quint16>(url.port(443)));
        } else if (viaProxy) {
            socket->connectToHost(proxy.hostName(), proxy.port());
        } else {
            socket->connectToHost(url.host(QUrl::FullyEncoded), static_cast<quint16>(url.port(80)));
        }
    }

    /// Reads the proxy's answer to the tunnel's request, within the reader's bounds; once its
    /// headers say yes, TLS starts inside the tunnel, with the server's own name.
    void readTunnelAnswer() {
        std::array<char, kReadPiece> piece;
        while (m_socket && m_tunnel) {
            const qint64 got = m_socket->read(piece.data(), piece.size());
            if (got <= 0) {
                return;
            }
            m_tunnel->feed(QByteArrayView(piece.data(), got));
            if (m_tunnel->state() == HttpResponseReader::State::Failed) {
                finish(
                    QStringLiteral("the proxy's answer to the tunnel: %1").arg(m_tunnel->error()));
                return;
            }
            if (m_tunnel->headersRead()) {
                const int status = m_tunnel->statusCode();
                if (status < 200 || status > 299) {
                    finish(
                        QStringLiteral("the proxy did not open a tunnel (status %1)").arg(status));
                    return;
                }
                m_tunnel.reset();
                auto* secure = qobject_cast<QSslSocket*>(m_socket);
                secure->setPeerVerifyName(m_url.host());
                secure->startClientEncryption();
                return;
            }
        }
    }

    void readAvailable() {
        if (m_tunnel) {
            readTunnelAnswer();
            return;
        }
        std::array<char, kReadPiece> piece; // filled by read(); no need to clear it first
        while (m_socket && m_reader->state() == HttpResponseReader::State::Reading) {
            const qint64 got = m_socket->read(piece.data(), piece.size());
            if (got <= 0) {
                return;
            }
            m_reader->feed(QByteArrayView(piece.data(), got));
            if (m_reader->headersRead() && isRedirect(m_reader->statusCode())) {
                redirect();
                return;
            }
        }
        if (m_socket) {
            responseEnded();
        }
    }

    void closed() {
        QAbstractSocket* const socket = m_socket;
        if (!socket) {
            return;
        }
        readAvailable();
        if (m_socket == socket && m_tunnel) {
            finish(QStringLiteral("the proxy closed the connection before it opened a tunnel"));
            return;
        }
        // Unless what was read ended the exchange or moved it to another connection.
        if (m_socket == socket) {
            // Qt does not tell a TLS close_notify from a cut connection.
            m_reader->finish(!isHttps(m_url));
            responseEnded();
        }
    }

    void redirect() {
        const QByteArray location = m_reader->header("Location");
        const QUrl target = m_url.resolved(QUrl::fromEncoded(location));
        if (location.isEmpty() || !isHttp(target)) {
            finish(QStringLiteral("redirected to an address that is not http or https"));
        } else if (isHttps(m_url) && !isHttps(target)) {
            finish(QStringLiteral("redirected from https to http"));
        } else if (m_done &&
                   target.host().compare(m_result.requestedUrl.host(), Qt::CaseInsensitive) != 0) {
            // An answer that is read comes from the host asked only: judged here, before
            // anything is sent to the other host.
            finish(QStringLiteral("redirected to another host"));
        } else if (++m_redirects > kMaxRedirects) {
            finish(QStringLiteral("too many redirects"));
        } else {
            connectTo(target);
        }
    }

    void responseEnded() {
        finish(m_reader->state() == HttpResponseReader::State::Done ? QString()
                                                                    : m_reader->error());
    }

    void dropSocket() {
        if (QAbstractSocket* socket = std::exchange(m_socket, nullptr)) {
            disconnect(socket, nullptr, this, nullptr);
            socket->abort();
            socket->deleteLater();
        }
    }

    void finish(const QString& error) {
        if (m_finished) {
            return;
        }
        m_finished = true;
        m_deadline.stop();
        dropSocket();
        if (m_reader) {
            m_result.answered = m_reader->statusCode() != 0;
            m_result.statusCode = m_reader->statusCode();
            m_result.tooLarge = m_reader->tooLarge();
            m_result.contentType = m_reader->header("Content-Type");
            m_result.body = m_reader->body();
        }
        m_result.complete = error.isEmpty();
        m_result.error = error;
        m_result.finalUrl = m_url;
        if (m_done) {
            // Queued, so that the caller may run dialogs of its own from it; a parent destroyed
            // meanwhile drops the call.
            QMetaObject::invokeMethod(
                parent(), [result = m_result, done = m_done] { done(result); },
                Qt::QueuedConnection);
        }
        deleteLater();
    }

    QUrl m_url;
    FetchDone m_done;
    HttpResponseReader::Limits m_limits;
    HttpReply m_result;
    QTimer m_deadline;
    QAbstractSocket* m_socket = nullptr;
    std::optional<HttpResponseReader> m_reader;
    std::optional<HttpResponseReader> m_tunnel; ///< the proxy's answer, while a tunnel is asked for
    int m_redirects = 0;
    bool m_finished = false;
};

} // namespace

void HttpFetcher::get(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                      QObject* context, FetchDone done) {
    // A child of the context: destroying the context abandons the request.
    (new HttpExchange(url, deadline, maxBytes, context, std::move(done)))->start();
}

void HttpFetcher::getAndDiscard(const QUrl& url) {
    if (!isHttp(url)) {
        return;
    }
    (new HttpExchange(url, kDiscardDeadline, kDiscardBytes, &m_background, {}))->start();
}

} // namespace inkvale
