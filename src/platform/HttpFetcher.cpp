#include "platform/HttpFetcher.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace inkvale {

HttpFetcher::HttpFetcher() {
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

namespace {

/// Whether `url` is fetched over HTTP: Qt Network reads file:, data: and qrc: addresses too, which
/// have no status, no deadline of their own and may never end (a FIFO, a device).
bool isHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

void HttpFetcher::get(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                      QObject* context, FetchDone done) {
    if (!isHttp(url)) {
        auto refused = std::make_shared<HttpReply>();
        refused->requestedUrl = url;
        refused->error = QStringLiteral("not an http or https address");
        // Like every outcome, from the event loop and only while `context` lives.
        QMetaObject::invokeMethod(
            context, [refused, done] { done(*refused); }, Qt::QueuedConnection);
        return;
    }
    QNetworkReply* reply = m_manager.get(QNetworkRequest(url));
    auto result = std::make_shared<HttpReply>();
    result->requestedUrl = url;

    // Qt's own transfer time-out only measures silence: a server that trickles a byte now and
    // then would keep it from ever firing. The deadline counts from the request.
    auto* deadlineTimer = new QTimer(reply);
    deadlineTimer->setSingleShot(true);
    deadlineTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(deadlineTimer, &QTimer::timeout, reply, [result, reply] {
        result->timedOut = true;
        reply->abort();
    });
    deadlineTimer->start(deadline);

    const auto overLimit = [result, reply, maxBytes](qint64 size) {
        if (size > maxBytes && !result->tooLarge) {
            result->tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, overLimit] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) {
            overLimit(length.toLongLong());
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [result, reply, overLimit] {
        overLimit(result->body.size() + reply->bytesAvailable());
        if (!result->tooLarge) {
            result->body += reply->readAll();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [result, reply, context, done] {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        result->answered = status.isValid();
        result->complete = reply->error() == QNetworkReply::NoError && !result->timedOut;
        result->statusCode = status.toInt();
        result->contentType = reply->rawHeader("Content-Type");
        result->finalUrl = reply->url();
        if (!result->tooLarge && !result->timedOut && reply->isOpen()) {
            result->body += reply->readAll();
        }
        if (result->tooLarge) {
            result->error = QStringLiteral("response larger than allowed");
        } else if (result->timedOut) {
            result->error = QStringLiteral("no complete response before the deadline");
        } else if (!result->complete) {
            result->error = reply->errorString();
        }
        reply->deleteLater();
        // Queued, so that the caller may run dialogs of its own without being inside the
        // network stack's signal; a context destroyed meanwhile drops the call.
        QMetaObject::invokeMethod(
            context, [result, done] { done(*result); }, Qt::QueuedConnection);
    });
    QObject::connect(context, &QObject::destroyed, reply, [reply] {
        QObject::disconnect(reply, nullptr, nullptr, nullptr);
        reply->abort();
        reply->deleteLater();
    });
}

void HttpFetcher::getAndDiscard(const QUrl& url) {
    if (!isHttp(url)) {
        return;
    }
    QNetworkReply* reply = m_manager.get(QNetworkRequest(url));
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply] { reply->readAll(); });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

} // namespace inkvale
