#include "support/LoopbackHttpServer.h"

#include <QTcpSocket>

namespace inkvale::test {

LoopbackHttpServer::LoopbackHttpServer(QObject* parent)
    : QObject(parent) {
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::answer);
}

void LoopbackHttpServer::serve(int status, const QByteArray& body, bool announceLength) {
    m_status = status;
    m_body = body;
    m_announceLength = announceLength;
}

QUrl LoopbackHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LoopbackHttpServer::answer() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (!socket->peek(socket->bytesAvailable()).contains("\r\n\r\n")) {
                return;
            }
            socket->readAll();
            ++m_requests;
            if (m_mute) {
                return;
            }
            QByteArray response = "HTTP/1.1 " + QByteArray::number(m_status) + " Scripted\r\n";
            response += "Content-Type: text/plain\r\nConnection: close\r\n";
            if (m_announceLength) {
                const qint64 length = m_announcedLength >= 0 ? m_announcedLength : m_body.size();
                response += "Content-Length: " + QByteArray::number(length) + "\r\n";
            }
            response += "\r\n" + m_body;
            socket->write(response);
            if (!m_stayOpen) {
                socket->disconnectFromHost();
            }
        });
    }
}

} // namespace inkvale::test
