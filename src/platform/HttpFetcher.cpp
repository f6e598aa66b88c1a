#include "platform/HttpFetcher.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace inkvale {

HttpFetcher::HttpFetcher() {
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

HttpReply HttpFetcher::get(const QUrl& url, std::chrono::milliseconds timeout, qint64 maxBytes) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(timeout.count()));
    QNetworkReply* reply = m_manager.get(request);

    HttpReply result;
    QEventLoop loop;
    const auto overLimit = [&result, reply, maxBytes](qint64 size) {
        if (size > maxBytes && !result.tooLarge) {
            result.tooLarge = true;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [reply, overLimit] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid()) {
            overLimit(length.toLongLong());
        }
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&result, reply, overLimit] {
        overLimit(result.body.size() + reply->bytesAvailable());
        if (!result.tooLarge) {
            result.body += reply->readAll();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.answered = status.isValid();
    result.complete = reply->error() == QNetworkReply::NoError;
    result.statusCode = status.toInt();
    if (!result.tooLarge && reply->isOpen()) {
        result.body += reply->readAll();
    }
    if (result.tooLarge) {
        result.error = QStringLiteral("response larger than %1 bytes").arg(maxBytes);
    } else if (!result.complete) {
        result.error = reply->errorString();
    }
    reply->deleteLater();
    return result;
}

void HttpFetcher::getAndDiscard(const QUrl& url) {
    QNetworkReply* reply = m_manager.get(QNetworkRequest(url));
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply] { reply->readAll(); });
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

} // namespace inkvale
