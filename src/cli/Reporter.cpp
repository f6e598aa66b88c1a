#include "cli/Reporter.h"

#include "cli/BatchNames.h"
#include "core/StyleCatalogue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

Outcome Reporter::wrote(const WrittenFile& file) const {
    // Paths as they are, byte for byte, so that a script can open them; a path with a line end
    // in it needs --print0 or --json.
    switch (m_listing) {
    case Listing::None:
        return {};
    case Listing::Lines:
        return m_console.out(QFile::encodeName(file.path) + '\n');
    case Listing::Nul:
        return m_console.out(QFile::encodeName(file.path) + '\0');
    case Listing::Json:
        break;
    }
    QJsonObject object{
        {QStringLiteral("path"), file.path},
        {QStringLiteral("name"), file.name},
        {QStringLiteral("format"), file.format},
        {QStringLiteral("width"), file.pixels.width()},
        {QStringLiteral("height"), file.pixels.height()},
        {QStringLiteral("dpi"), file.dotsPerInch},
        {QStringLiteral("faces"), QJsonArray::fromStringList(file.faces)},
        {QStringLiteral("notes"), QJsonArray::fromStringList(file.notes)},
    };
    object.insert(QStringLiteral("line"), file.line > 0 ? QJsonValue(file.line) : QJsonValue());
    if (file.slot) {
        object.insert(QStringLiteral("style"), *file.slot);
        object.insert(QStringLiteral("caption"), styleSlot(*file.slot).caption.toString());
    } else {
        object.insert(QStringLiteral("style"), QJsonValue());
        object.insert(QStringLiteral("caption"), QJsonValue());
    }
    return m_console.out(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
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

void Reporter::showFrames(qsizetype done, qsizetype total) {
    if (!m_console.progress || m_quiet || total <= 0) {
        return;
    }
    const qsizetype percent = done * 100 / total;
    if (done != 0 && done != total && percent == (done - 1) * 100 / total) {
        return;
    }
    m_progressLine =
        QStringLiteral("%1: frame %2 of %3 (%4%)").arg(kProgram).arg(done).arg(total).arg(percent);
    m_console.err(QLatin1Char('\r') + m_progressLine);
}

void Reporter::clearFrames() {
    if (!m_progressLine.isEmpty()) {
        m_console.err(QStringLiteral("\r\x1b[K"));
        m_progressLine.clear();
    }
}

void Reporter::endProgress() {
    if (!m_progressLine.isEmpty()) {
        m_console.err(QStringLiteral("\n"));
        m_progressLine.clear();
    }
}

} // namespace inkvale
