#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

namespace inkvale {

/// Counts the modal dialogs open at once and holds back work until the last one has closed.
/// The gate must outlive the contexts of the work it holds.
class ModalGate final {
public:
    /// A modal dialog opens.
    void enter() { ++m_depth; }
    /// A modal dialog has closed; when it was the last, the held work is started.
    void leave();
    /// Whether a modal dialog is open.
    [[nodiscard]] bool isOpen() const { return m_depth > 0; }

    /// Runs `run` from the event loop once no modal dialog is open, unless `context` is
    /// destroyed first.
    void whenClosed(QObject* context, std::function<void()> run);

    /// Holds the gate for as long as it lives.
    class Scope final {
    public:
        explicit Scope(ModalGate& gate)
            : m_gate(gate) {
            m_gate.enter();
        }
        ~Scope() { m_gate.leave(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ModalGate& m_gate;
    };

private:
    void schedule(QObject* context, std::function<void()> run);

    struct Held {
        QPointer<QObject> context;
        std::function<void()> run;
    };

    int m_depth = 0;
    std::vector<Held> m_held;
};

} // namespace inkvale
