#include "cli/Reporter.h"

#include "cli/BatchNames.h"

namespace inkvale {

namespace {

const QString kProgram = QStringLiteral("inkvale-render");

} // namespace

int Reporter::fail(const QString& message) const {
    say(message);
    return kRenderFailed;
}

void Reporter::warn(const QString& message) const {
    if (!m_quiet) {
        say(QStringLiteral("warning: ") + message);
    }
}

void Reporter::note(const QString& message) const {
    if (!m_quiet) {
        say(QStringLiteral("note: ") + message);
    }
}

void Reporter::wrote(const QString& path) const {
    if (m_verbose) {
        // A path that would break the line, or the terminal, is escaped as every message is.
        [[maybe_unused]] const Outcome ignored =
            m_console.out((terminalSafe(path) + QLatin1Char('\n')).toUtf8());
    }
}

Outcome Reporter::writeToStandardOutput(QByteArrayView bytes) const {
    return m_console.out(bytes);
}

void Reporter::say(const QString& line) const {
    // On a terminal the progress line is cleared, the message written, the progress shown again.
    const QString clear = m_progressLine.isEmpty() ? QString() : QStringLiteral("\r\x1b[K");
    m_console.err(clear + kProgram + QStringLiteral(": ") + terminalSafe(line) + QLatin1Char('\n') +
                  m_progressLine);
}

void Reporter::showProgress(qsizetype done, qsizetype total) {
    if (!m_console.progress) {
        return;
    }
    const qsizetype percent = total == 0 ? 100 : done * 100 / total;
    if (done != 0 && done != total && percent == (done - 1) * 100 / total) {
        return;
    }
    m_progressLine =
        QStringLiteral("%1: %2 of %3 names (%4%)").arg(kProgram).arg(done).arg(total).arg(percent);
    m_console.err(QLatin1Char('\r') + m_progressLine);
}

void Reporter::endProgress() {
    if (!m_progressLine.isEmpty()) {
        m_console.err(QStringLiteral("\n"));
        m_progressLine.clear();
    }
}

} // namespace inkvale
