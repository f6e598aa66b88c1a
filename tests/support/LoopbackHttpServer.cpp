#include "support/LoopbackHttpServer.h"

#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace inkvale::test {

namespace {

/// Set on a connection from its request until its answer begins.
constexpr const char* kAwaitingAnswer = "inkvaleAwaitingAnswer";

} // namespace

LoopbackHttpServer::LoopbackHttpServer(const QHostAddress& address, QObject* parent)
    : QObject(parent)
    , m_server(std::make_unique<QTcpServer>()) {
    listen(address);
}

LoopbackHttpServer::LoopbackHttpServer(const QSslConfiguration& tls, QObject* parent)
    : QObject(parent) {
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(tls);
    m_server = std::move(server);
    m_scheme = QStringLiteral("https");
    listen(QHostAddress(QHostAddress::LocalHost));
}

void LoopbackHttpServer::listen(const QHostAddress& address) {
    Q_ASSERT(address.isLoopback());
    m_server->listen(address);
    // Emitted once a connection can be taken, which for https is after the handshake.
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this,
            &LoopbackHttpServer::answer);
}

void LoopbackHttpServer::serve(int status, const QByteArray& body, bool announceLength) {
    m_status = status;
    m_body = body;
    m_announceLength = announceLength;
}

QUrl LoopbackHttpServer::url(const QString& path) const {
    const QHostAddress address = m_server->serverAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return QUrl(
        QStringLiteral("%1://%2:%3%4").arg(m_scheme, host).arg(m_server->serverPort()).arg(path));
}

void LoopbackHttpServer::answer() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (socket->property(kAwaitingAnswer).toBool()) {
                ++m_abandoned;
            }
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n")) {
                return;
            }
            m_lastRequest = socket->readAll();
            ++m_requests;
            socket->setProperty(kAwaitingAnswer, true);
            if (m_mute) {
                return;
            }
            if (m_holding) {
                m_held.append(socket);
                return;
            }
            QTimer::singleShot(m_delay, socket, [this, socket] { respond(socket); });
        });
    }
}

void LoopbackHttpServer::releaseReplies() {
    m_holding = false;
    for (const QPointer<QTcpSocket>& socket : std::exchange(m_held, {})) {
        // A client that has given up meanwhile has nobody to answer.
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            QTimer::singleShot(m_delay, socket.data(), [this, socket] { respond(socket.data()); });
        }
    }
}

void LoopbackHttpServer::respond(QTcpSocket* socket) {
    socket->setProperty(kAwaitingAnswer, false);
    if (m_redirect.isValid() && (!m_redirectOnlyFirst || m_requests == 1)) {
        socket->write("HTTP/1.1 302 Found\r\nLocation: " + m_redirect.toEncoded() +
                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (!m_raw.isEmpty()) {
        socket->write(m_raw);
        m_rawSent += m_raw.size();
        if (m_endless.isEmpty()) {
            socket->disconnectFromHost();
            return;
        }
        connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] { topUp(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this] { m_hungUp = true; });
        topUp(socket);
        return;
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + " Scripted\r\n";
    if (!m_contentType.isEmpty()) {
        head += "Content-Type: " + m_contentType + "\r\n";
    }
    head += "Connection: close\r\n";
    if (m_announceLength) {
        const qint64 length = m_announcedLength >= 0 ? m_announcedLength : m_body.size();
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    }
    head += "\r\n";
    if (m_trickle.count() > 0) {
        socket->write(head);
        sendByByte(socket, 0);
        return;
    }
    socket->write(head + m_body);
    if (!m_stayOpen) {
        socket->disconnectFromHost();
    }
}

void LoopbackHttpServer::sendByByte(QTcpSocket* socket, qsizetype next) {
    if (next >= m_body.size()) {
        socket->disconnectFromHost();
        return;
    }
    socket->write(m_body.mid(next, 1));
    QTimer::singleShot(m_trickle, socket, [this, socket, next] { sendByByte(socket, next + 1); });
}

void LoopbackHttpServer::topUp(QTcpSocket* socket) {
    // Enough queued to keep the connection busy, never the whole endless stream.
    constexpr qint64 kQueued = 256 * 1024;
    while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < kQueued) {
        socket->write(m_endless);
        m_rawSent += m_endless.size();
    }
}

} // namespace inkvale::test
