#include "cli/Reporter.h"

namespace inkvale {

namespace {

const QString kProgram = QStringLiteral("inkvale-render");

} // namespace

int Reporter::fail(const QString& message) const {
    say(message);
    return kRenderFailed;
}

void Reporter::warn(const QString& message) const {
    say(QStringLiteral("warning: ") + message);
}

void Reporter::say(const QString& line) const {
    // On a terminal the progress line is cleared, the message written, the progress shown again.
    const QString clear = m_progressLine.isEmpty() ? QString() : QStringLiteral("\r\x1b[K");
    m_console.err(clear + kProgram + QStringLiteral(": ") + line + QLatin1Char('\n') +
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
