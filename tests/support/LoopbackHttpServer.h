#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <chrono>
#include <memory>

namespace inkvale::test {

/// A one-page HTTP server on a loopback address for tests: answers every GET with the scripted
/// status and body, late, slowly, by a redirect, or never at all.
class LoopbackHttpServer final : public QObject {
    Q_OBJECT

public:
    /// Listens on `address`, which must be a loopback address (127.0.0.1 unless told).
    explicit LoopbackHttpServer(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost),
                                QObject* parent = nullptr);
    /// Listens on 127.0.0.1 for https, with the certificate and key of `tls`.
    explicit LoopbackHttpServer(const QSslConfiguration& tls, QObject* parent = nullptr);

    /// Answers with `status` and `body`; with `announceLength` false the body's length is only
    /// known when the connection closes.
    void serve(int status, const QByteArray& body, bool announceLength = true);
    /// The Content-Type header sent with the body; "text/plain" unless told, none when empty.
    void setContentType(const QByteArray& type) { m_contentType = type; }
    /// Announces `length` bytes but sends only the scripted body, then closes the connection
    /// (or, with `thenStayOpen`, keeps it open and silent).
    void announceMore(qint64 length, bool thenStayOpen = false) {
        m_announcedLength = length;
        m_stayOpen = thenStayOpen;
    }
    /// Accepts connections and never answers.
    void stayMute() { m_mute = true; }
    /// Waits `delay` after the request before it answers.
    void answerAfter(std::chrono::milliseconds delay) { m_delay = delay; }
    /// Holds every reply until releaseReplies(), however long the test takes meanwhile.
    void holdReplies() { m_holding = true; }
    /// Sends the held replies (after the delay, if one was set) and stops holding.
    void releaseReplies();
    /// Sends the headers at once, then the body one byte every `interval`.
    void trickle(std::chrono::milliseconds interval) { m_trickle = interval; }
    /// Answers with "302 Found" and `target` (as it is, relative or not) as the new location
    /// instead of the page; with `onlyFirst`, only the first request, and the page after it.
    void redirectTo(const QUrl& target, bool onlyFirst = false) {
        m_redirect = target;
        m_redirectOnlyFirst = onlyFirst;
    }
    /// Answers with exactly `response`, then sends `endless` over and over for as long as the
    /// client keeps the connection open (nothing more when it is empty), then closes.
    void serveRaw(const QByteArray& response, const QByteArray& endless = {}) {
        m_raw = response;
        m_endless = endless;
    }

    /// The address of `path` on this server.
    [[nodiscard]] QUrl url(const QString& path = QStringLiteral("/files/vermo.txt")) const;
    /// Requests received so far.
    [[nodiscard]] int requestCount() const { return m_requests; }
    /// The last request received, as it came: request line and headers.
    [[nodiscard]] const QByteArray& lastRequest() const { return m_lastRequest; }
    /// Bytes handed to connections by serveRaw() so far.
    [[nodiscard]] qint64 rawBytesSent() const { return m_rawSent; }
    /// Whether a client closed a connection that serveRaw() was still sending on.
    [[nodiscard]] bool clientHungUp() const { return m_hungUp; }
    /// Requests whose client closed the connection before they were answered: held, delayed
    /// or never answered, and given up.
    [[nodiscard]] int abandonedRequests() const { return m_abandoned; }

private:
    void listen(const QHostAddress& address);
    void answer();
    void respond(QTcpSocket* socket);
    void sendByByte(QTcpSocket* socket, qsizetype next);
    void topUp(QTcpSocket* socket);

    std::unique_ptr<QTcpServer> m_server;
    QString m_scheme = QStringLiteral("http");
    int m_status = 200;
    QByteArray m_body;
    QByteArray m_contentType = "text/plain";
    bool m_announceLength = true;
    bool m_mute = false;
    qint64 m_announcedLength = -1;
    bool m_stayOpen = false;
    std::chrono::milliseconds m_delay{0};
    std::chrono::milliseconds m_trickle{0};
    QUrl m_redirect;
    bool m_redirectOnlyFirst = false;
    QByteArray m_lastRequest;
    QByteArray m_raw;
    QByteArray m_endless;
    qint64 m_rawSent = 0;
    bool m_hungUp = false;
    int m_requests = 0;
    int m_abandoned = 0;
    bool m_holding = false;
    QList<QPointer<QTcpSocket>> m_held;
};

} // namespace inkvale::test
