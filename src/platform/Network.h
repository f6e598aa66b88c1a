#pragma once

#include "platform/HttpFetcher.h"

#include <QUrl>

#include <chrono>

class QObject;

namespace inkvale {

/// Requests to web servers, none of which ever blocks a window.
class Network {
public:
    virtual ~Network() = default;

    /// Starts a plain HTTP GET of `url` and returns at once (see HttpFetcher::get): `done` runs
    /// later from the event loop with the reply, unless `context` has been destroyed first.
    /// Nothing waits meanwhile: windows keep working.
    virtual void fetch(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                       QObject* context, FetchDone done) = 0;

    /// never shows anything, never reports a failure.
    virtual void loadInBackground(const QUrl& url) = 0;
};

} // namespace inkvale
