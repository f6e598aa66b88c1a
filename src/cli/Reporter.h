#pragma once

#include "cli/RenderCommand.h"

#include <QString>

namespace inkvale {

/// Where a run tells the user what happens: its messages on standard error, each on a line of
/// its own, and on a terminal a progress line that the messages keep clear of.
class Reporter final {
public:
    explicit Reporter(const RenderConsole& console)
        : m_console(console) {}

    /// Reports `message` as the reason the run fails; returns kRenderFailed.
    int fail(const QString& message) const;
    /// Reports `message` as a warning: the run goes on.
    void warn(const QString& message) const;
    /// A line of its own on standard error, clear of the progress line.
    void say(const QString& line) const;

    /// Shows that `done` of `total` names are done, when standard error is a terminal: a line
    /// rewritten in place, at most once per percent.
    void showProgress(qsizetype done, qsizetype total);
    /// Ends the progress line, so that what follows starts on a line of its own.
    void endProgress();

private:
    const RenderConsole& m_console;
    QString m_progressLine; ///< the progress line shown last, while it is on the terminal
};

} // namespace inkvale
