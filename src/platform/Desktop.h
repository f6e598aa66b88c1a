#pragma once

#include <QDateTime>
#include <QString>

namespace inkvale {

/// How a window opened through the shell should come up.
enum class ShellWindow : int {
    Normal = 1,    ///< normal window with focus (folders)
    Minimised = 2, ///< minimised with focus (web addresses)
};

/// The session the program runs in: the desktop's opener, the clock, the end of the program.
class Desktop {
public:
    virtual ~Desktop() = default;

    /// Opens `target` (a web address or a folder path) with the desktop's opener, passing it as
    /// one argument. Returns false when the opener could not be started.
    virtual bool openInShell(const QString& target, ShellWindow window) = 0;

    /// The local date and time.
    [[nodiscard]] virtual QDateTime currentDateTime() const = 0;

    /// Ends the program at once: no window gets a close event. The real platform does not
    /// return; a fake does, so callers return straight after calling it.
    virtual void endProgram() = 0;
};

} // namespace inkvale
