#pragma once

#include "cli/RenderCommand.h"

#include <QString>

namespace inkvale {

/// Where a run tells the user what happens: its messages on standard error, each on a line of
/// its own, and on a terminal a progress line that the messages keep clear of.
class Reporter final {
public:
    /// `quiet` keeps warnings and notes back; `verbose` names each written file on standard
    /// output.
    explicit Reporter(const RenderConsole& console, bool quiet = false, bool verbose = false)
        : m_console(console)
        , m_quiet(quiet)
        , m_verbose(verbose) {}

    /// Reports `message` as the reason the run fails; returns kRenderFailed.
    int fail(const QString& message) const;
    /// Reports `message` as a warning: the run goes on. Not when quiet.
    void warn(const QString& message) const;
    /// Tells the user `message` about what was drawn ("note: …"). Not when quiet.
    void note(const QString& message) const;
    /// Names `path` on a line of standard output when verbose, for scripts: the file is written.
    void wrote(const QString& path) const;
    /// Writes the finished `bytes` of a file to standard output; how it went.
    [[nodiscard]] Outcome writeToStandardOutput(QByteArrayView bytes) const;
    /// Whether standard output is a terminal, where a file's bytes do not belong.
    [[nodiscard]] bool standardOutputIsTerminal() const { return m_console.outIsTerminal; }
    /// A line of its own on standard error, clear of the progress line.
    void say(const QString& line) const;

    /// Shows that `done` of `total` names are done, when standard error is a terminal: a line
    /// rewritten in place, at most once per percent.
    void showProgress(qsizetype done, qsizetype total);
    /// Ends the progress line, so that what follows starts on a line of its own.
    void endProgress();

private:
    const RenderConsole& m_console;
    bool m_quiet = false;
    bool m_verbose = false;
    QString m_progressLine; ///< the progress line shown last, while it is on the terminal
};

} // namespace inkvale
