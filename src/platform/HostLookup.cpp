#include "platform/HostLookup.h"

#include <QMetaObject>
#include <QObject>

#include <mutex>
#include <netdb.h>
#include <sys/socket.h>
#include <thread>
#include <utility>

namespace inkvale {

struct HostLookup::Pending {
    std::mutex mutex;
    /// Whom the answer goes to; null once the lookup is given up. Guarded by `mutex`: the
    /// receiver owns the lookup and gives it up before it goes, so that while this is set the
    /// receiver exists.
    QObject* receiver = nullptr;
    HostFound found;

    void giveUp() {
        const std::lock_guard lock(mutex);
        receiver = nullptr;
        found = {};
    }
};

namespace {

/// Posts `addresses` to the receiver of `pending`, unless the lookup was given up meanwhile;
/// the receiver's own thread runs the call, and only while the lookup is still wanted.
void answer(const std::shared_ptr<HostLookup::Pending>& pending,
            const QList<QHostAddress>& addresses) {
    const std::lock_guard lock(pending->mutex);
    if (pending->receiver == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        pending->receiver,
        [pending, addresses] {
            HostFound call;
            {
                const std::lock_guard again(pending->mutex);
                if (pending->receiver == nullptr) {
                    return;
                }
                call = std::exchange(pending->found, {});
            }
            if (call) {
                call(addresses);
            }
        },
        Qt::QueuedConnection);
}

} // namespace

HostResolver systemHostResolver() {
    return [](const QString& host) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* found = nullptr;
        QList<QHostAddress> addresses;
        if (::getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &found) != 0) {
            return addresses;
        }
        for (const addrinfo* one = found; one != nullptr; one = one->ai_next) {
            const QHostAddress address(one->ai_addr);
            if (!address.isNull() && !addresses.contains(address)) {
                addresses.append(address);
            }
        }
        ::freeaddrinfo(found);
        return addresses;
    };
}

HostLookup::HostLookup(const QString& host, const HostResolver& resolve, QObject* receiver,
                       HostFound found)
    : m_pending(std::make_shared<Pending>()) {
    m_pending->receiver = receiver;
    m_pending->found = std::move(found);
    if (const QHostAddress literal(host); !literal.isNull()) {
        answer(m_pending, {literal});
        return;
    }
    // Detached: the thread holds what it needs, and nothing ever joins it, so that a resolver
    // that never returns keeps neither this object nor the process's end waiting.
    std::thread([pending = m_pending, host, resolve] { answer(pending, resolve(host)); }).detach();
}

HostLookup::~HostLookup() {
    m_pending->giveUp();
}

} // namespace inkvale
