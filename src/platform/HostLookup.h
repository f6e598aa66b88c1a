#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace inkvale {

/// Finds the addresses of a host name, blocking until it has them: an empty list when the name
/// has none. It may block for as long as the system's resolver does, even forever.
using HostResolver = std::function<QList<QHostAddress>(const QString& host)>;

/// The system's resolver (getaddrinfo), the addresses in the order it prefers them.
[[nodiscard]] HostResolver systemHostResolver();

/// Called once, on the receiver's thread, with the addresses found.
using HostFound = std::function<void(const QList<QHostAddress>&)>;

/// One look-up of a host name that can be given up: it runs on a thread of its own that nobody
/// ever waits for, so that a resolver that hangs (a name server that never answers) holds up
/// neither its caller nor the end of the process. Giving it up (destroying it, or destroying
/// the receiver) drops the answer whenever it comes; the thread itself ends with the resolver,
/// or with the process.
class HostLookup final {
public:
    /// Looks up `host` with `resolve`. `found` runs queued on `receiver`, unless this lookup
    /// is destroyed first; `receiver` owns the lookup, so that it is given up before the
    /// receiver goes. A host that is an address already is answered without a thread, still
    /// queued.
    HostLookup(const QString& host, const HostResolver& resolve, QObject* receiver,
               HostFound found);
    /// Gives the lookup up: its answer is dropped.
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    /// What the look-up thread and this object share.
    struct Pending;

private:
    std::shared_ptr<Pending> m_pending;
};

} // namespace inkvale
