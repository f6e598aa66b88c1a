#include "platform/SystemPlatform.h"

namespace inkvale {

void SystemPlatform::fetch(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                           QObject* context, FetchDone done) {
    m_http.get(url, deadline, maxBytes, context, std::move(done));
}

void SystemPlatform::loadInBackground(const QUrl& url) {
    m_http.getAndDiscard(url);
}

} // namespace inkvale
