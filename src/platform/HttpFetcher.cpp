#include "platform/HttpFetcher.h"

#include "platform/HostLookup.h"
#include "platform/HttpResponseReader.h"

#include <QNetworkProxy>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <array>
#include <memory>
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
                 HostResolver resolve, QObject* parent, FetchDone done)
        : QObject(parent)
        , m_url(url)
        , m_resolve(std::move(resolve))
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
        m_lookup.reset();
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
        m_route = {.proxy = proxy,
                   .viaProxy = viaProxy,
                   .tunnel = tunnel,
                   .request = request,
                   .tunnelRequest = tunnelRequest};
        // The first host the socket meets, looked up here rather than by Qt: Qt's lookups run
        // on threads that the process waits for as it ends, so that a name server that never
        // answers kept the program alive past its deadline. A lookup of our own is dropped.
        const QString host = proxy.type() == QNetworkProxy::NoProxy ? url.host(QUrl::FullyEncoded)
                                                                    : proxy.hostName();
        m_lookup = std::make_unique<HostLookup>(
            host, m_resolve, this, [this](const QList<QHostAddress>& addresses) {
                m_lookup.reset();
                m_addresses = addresses;
                if (m_addresses.isEmpty()) {
                    finish(QStringLiteral("the host name was not found"));
                } else {
                    connectToNextAddress();
                }
            });
    }

    /// Connects to the first address not yet tried; the others are tried in turn while a
    /// connection cannot be made, as Qt does with the addresses of a name.
    void connectToNextAddress() {
        dropSocket();
        const QHostAddress address = m_addresses.takeFirst();
        const Route& route = m_route;
        QAbstractSocket* socket = nullptr;
        if (isHttps(m_url)) {
            auto* secure = new QSslSocket(this);
            connect(secure, &QSslSocket::encrypted, this,
                    [secure, request = route.request] { secure->write(request); });
            socket = secure;
        } else {
            socket = new QTcpSocket(this);
            connect(socket, &QAbstractSocket::connected, this,
                    [socket, request = route.request] { socket->write(request); });
        }
        m_socket = socket;
        m_connected = false;
        // Each connection reads its answers afresh.
        m_reader.emplace(m_limits);
        m_tunnel.reset();
        if (route.tunnel) {
            // The proxy's answer is headers only: the limits of the response's own.
            m_tunnel.emplace(HttpResponseReader::Limits{.body = 0, .keepBody = false});
        }
        QNetworkProxy socketProxy(QNetworkProxy::NoProxy);
        if (!route.viaProxy && !route.tunnel && route.proxy.type() != QNetworkProxy::NoProxy) {
            // A SOCKS proxy, reached at the address found; it looks up the server's name.
            socketProxy = route.proxy;
            socketProxy.setHostName(address.toString());
        }
        socket->setProxy(socketProxy);
        // Qt buffers no more than this between our reads.
        socket->setReadBufferSize(kReadPiece);
        connect(socket, &QIODevice::readyRead, this, &HttpExchange::readAvailable);
        connect(socket, &QAbstractSocket::connected, this, [this] { m_connected = true; });
        connect(socket, &QAbstractSocket::disconnected, this, &HttpExchange::closed);
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [this](QAbstractSocket::SocketError error) {
                    if (error == QAbstractSocket::RemoteHostClosedError) {
                        closed();
                    } else if (!m_connected && !m_addresses.isEmpty()) {
                        connectToNextAddress();
                    } else {
                        finish(m_socket->errorString());
                    }
                });
        const quint16 port = static_cast<quint16>(m_url.port(isHttps(m_url) ? 443 : 80));
        if (route.tunnel) {
            connect(
                socket, &QAbstractSocket::connected, this,
                [socket, tunnelRequest = route.tunnelRequest] { socket->write(tunnelRequest); });
            socket->connectToHost(address, route.proxy.port());
        } else if (route.viaProxy) {
            socket->connectToHost(address, route.proxy.port());
        } else if (socketProxy.type() != QNetworkProxy::NoProxy) {
            if (auto* secure = qobject_cast<QSslSocket*>(socket)) {
                secure->connectToHostEncrypted(m_url.host(QUrl::FullyEncoded), port);
            } else {
                socket->connectToHost(m_url.host(QUrl::FullyEncoded), port);
            }
        } else if (auto* secure = qobject_cast<QSslSocket*>(socket)) {
            // The certificate is checked against the name, not the address.
            secure->connectToHostEncrypted(address.toString(), port,
                                           m_url.host(QUrl::FullyEncoded));
        } else {
            socket->connectToHost(address, port);
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
        // A lookup still under way is dropped, never waited for.
        m_lookup.reset();
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

    /// How a request reaches its server: straight, through a proxy, or through a tunnel.
    struct Route {
        QNetworkProxy proxy;
        bool viaProxy = false; ///< the request goes to an http proxy, naming the whole address
        bool tunnel = false;   ///< an http proxy is asked for a tunnel first
        QByteArray request;
        QByteArray tunnelRequest;
    };

    QUrl m_url;
    HostResolver m_resolve;
    FetchDone m_done;
    HttpResponseReader::Limits m_limits;
    HttpReply m_result;
    QTimer m_deadline;
    QAbstractSocket* m_socket = nullptr;
    std::optional<HttpResponseReader> m_reader;
    std::optional<HttpResponseReader> m_tunnel; ///< the proxy's answer, while a tunnel is asked for
    Route m_route;
    std::unique_ptr<HostLookup> m_lookup; ///< while the first host's addresses are looked up
    QList<QHostAddress> m_addresses;      ///< the addresses not yet tried
    bool m_connected = false;             ///< the current socket reached its host
    int m_redirects = 0;
    bool m_finished = false;
};

} // namespace

HttpFetcher::HttpFetcher(HostResolver resolve)
    : m_resolve(std::move(resolve)) {}

void HttpFetcher::get(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                      QObject* context, FetchDone done) {
    // A child of the context: destroying the context abandons the request.
    (new HttpExchange(url, deadline, maxBytes, m_resolve, context, std::move(done)))->start();
}

void HttpFetcher::getAndDiscard(const QUrl& url) {
    if (!isHttp(url)) {
        return;
    }
    (new HttpExchange(url, kDiscardDeadline, kDiscardBytes, m_resolve, &m_background, {}))->start();
}

} // namespace inkvale
