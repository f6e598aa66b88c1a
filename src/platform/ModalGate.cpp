#include "platform/ModalGate.h"

#include <QTimer>

namespace inkvale {

void ModalGate::leave() {
    if (--m_depth > 0) {
        return;
    }
    m_depth = 0;
    std::vector<Held> held;
    held.swap(m_held);
    for (Held& work : held) {
        if (work.context) {
            schedule(work.context.data(), std::move(work.run));
        }
    }
}

void ModalGate::whenClosed(QObject* context, std::function<void()> run) {
    if (isOpen()) {
        m_held.push_back({context, std::move(run)});
    } else {
        schedule(context, std::move(run));
    }
}

void ModalGate::schedule(QObject* context, std::function<void()> run) {
    // From the event loop, so that a dialog's caller finishes first; a dialog opened in the
    // meantime holds the work again.
    QTimer::singleShot(0, context, [this, context, run = std::move(run)]() mutable {
        if (isOpen()) {
            m_held.push_back({context, std::move(run)});
        } else {
            run();
        }
    });
}

} // namespace inkvale
