#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QUrl>

namespace inkvale::test {

/// A one-page HTTP server on 127.0.0.1 for tests: answers every GET with the scripted status
/// and body, or never answers at all.
class LoopbackHttpServer final : public QObject {
    Q_OBJECT

public:
    explicit LoopbackHttpServer(QObject* parent = nullptr);

    /// Answers with `status` and `body`; with `announceLength` false the body's length is only
    /// known when the connection closes.
    void serve(int status, const QByteArray& body, bool announceLength = true);
    /// Announces `length` bytes but sends only the scripted body, then closes the connection
    /// (or, with `thenStayOpen`, keeps it open and silent).
    void announceMore(qint64 length, bool thenStayOpen = false) {
        m_announcedLength = length;
        m_stayOpen = thenStayOpen;
    }
    /// Accepts connections and never answers.
    void stayMute() { m_mute = true; }

    /// The address of `path` on this server.
    [[nodiscard]] QUrl url(const QString& path = QStringLiteral("/files/vermo.txt")) const;
    /// Requests received so far.
    [[nodiscard]] int requestCount() const { return m_requests; }

private:
    void answer();

    QTcpServer m_server;
    int m_status = 200;
    QByteArray m_body;
    bool m_announceLength = true;
    bool m_mute = false;
    qint64 m_announcedLength = -1;
    bool m_stayOpen = false;
    int m_requests = 0;
};

} // namespace inkvale::test
