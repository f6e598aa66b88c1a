#pragma once

#include "platform/HostLookup.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

namespace inkvale {

/// What a plain HTTP GET brought back.
struct HttpReply {
    bool answered = false;  ///< the server sent a response (any status)
    bool complete = false;  ///< all of it arrived: no broken connection, no deadline passed
    bool timedOut = false;  ///< the deadline passed before the last byte arrived
    int statusCode = 0;     ///< the HTTP status, 0 when none arrived
    bool tooLarge = false;  ///< the body outgrew the limit and was not read further
    QByteArray contentType; ///< the Content-Type header as sent, empty when none
    QUrl requestedUrl;      ///< the address asked for
    QUrl finalUrl;          ///< where the response came from, after any redirects
    QByteArray body;        ///< the body read so far
    QString error;          ///< why the fetch failed, for people, empty on success

    /// A complete response with a 2xx status and a body within the limit.
    [[nodiscard]] bool succeeded() const {
        return answered && complete && !tooLarge && statusCode >= 200 && statusCode < 300;
    }
};

/// Called once with the outcome of a fetch.
using FetchDone = std::function<void(const HttpReply&)>;

/// Plain HTTP/1.1 GETs over Qt's sockets, without blocking: the caller's event loop runs on.
/// The response is read within fixed bounds (see HttpResponseReader), so that no server, however
/// it answers, makes the program hold more than the limits' worth of memory or wait past the
/// deadline. Bodies are asked for and accepted unencoded only.
class HttpFetcher final {
public:
    /// Host names are looked up with `resolve`, each on a thread that nothing waits for: a
    /// lookup that never ends is dropped at the deadline, and neither the fetcher nor the
    /// process's end waits for it.
    explicit HttpFetcher(HostResolver resolve = systemHostResolver());
    HttpFetcher(const HttpFetcher&) = delete;
    HttpFetcher& operator=(const HttpFetcher&) = delete;

    /// Starts a GET of `url` and returns at once. `done` runs later from the event loop, once,
    /// when the reply is complete, has failed, has grown beyond `maxBytes` or `deadline` has
    /// passed since the request, however slowly the bytes keep coming. Up to ten redirects are
    /// followed, to http or https only, never from https to http, and on the host of `url`
    /// only: a redirect to another host fails without connecting there. An address that is not
    /// http or https fails at once
    /// (still from the event loop). When `context` is destroyed first, the request is
    /// abandoned and `done` never runs.
    void get(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes, QObject* context,
             FetchDone done);

    /// Starts a GET of `url` whose page is loaded and thrown away, within a minute and its first
    /// mebibyte; failures are ignored, and so is an address that is not http or https.
    void getAndDiscard(const QUrl& url);

private:
    HostResolver m_resolve;
    /// Owns the fetches nobody waits for, so that they end with the fetcher.
    QObject m_background;
};

} // namespace inkvale
