#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>

#include <chrono>

namespace inkvale {

/// What a plain HTTP GET brought back.
struct HttpReply {
    bool answered = false; ///< the server sent a response (any status)
    bool complete = false; ///< all of it arrived: no broken connection, no time-out
    int statusCode = 0;    ///< the HTTP status, 0 when none arrived
    bool tooLarge = false; ///< the body outgrew the limit and was not read further
    QByteArray body;       ///< the body read so far
    QString error;         ///< why the fetch failed, for people, empty on success

    /// A complete response with a 2xx status and a body within the limit.
    [[nodiscard]] bool succeeded() const {
        return answered && complete && !tooLarge && statusCode >= 200 && statusCode < 300;
    }
};

/// Plain HTTP GETs over Qt Network.
class HttpFetcher final {
public:
    HttpFetcher();

    /// Fetches `url` and returns when the reply is complete, has failed, has been silent for
    /// `timeout`, or has grown beyond `maxBytes`. While it waits, windows keep painting and
    /// timers keep running, but no user input is handled.
    [[nodiscard]] HttpReply get(const QUrl& url, std::chrono::milliseconds timeout,
                                qint64 maxBytes);

    /// Starts a GET of `url` whose page is loaded and thrown away; failures are ignored.
    void getAndDiscard(const QUrl& url);

private:
    QNetworkAccessManager m_manager;
};

} // namespace inkvale
