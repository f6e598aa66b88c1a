#include "cli/RenderCommand.h"

#include "cli/BatchNames.h"
#include "cli/RenderJob.h"
#include "cli/RenderOptions.h"
#include "cli/Reporter.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace inkvale {

namespace {

/// `bytes` with every byte but printable ASCII written \xHH: safe on any terminal.
QString escapedBytes(const QByteArray& bytes) {
    QString text;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7F && value != '\\') {
            text += QLatin1Char(byte);
        } else {
            text += QStringLiteral("\\x") +
                    QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        }
    }
    return text;
}

} // namespace

std::variant<QStringList, QString> decodeRenderArguments(const QList<QByteArray>& arguments) {
    QStringList decoded;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        // A leading byte order mark is kept, so that the argument round-trips: for a file
        // name it is part of the name, and a name drops it as a names file does.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        const QString text = decoder(arguments.at(i));
        if (i > 0 && (decoder.hasError() || text.toUtf8() != arguments.at(i))) {
            QString message =
                QStringLiteral("argument %1, \"%2\", is not UTF-8 text: give names, file names "
                               "and colours in UTF-8 (a file named in another encoding can be "
                               "renamed with convmv)")
                    .arg(i)
                    .arg(escapedBytes(arguments.at(i)));
            if (const std::optional<QString> chinese = chineseReading(arguments.at(i))) {
                message += QStringLiteral("; it reads \"%1\" as GB18030 (GBK), which iconv -f "
                                          "GB18030 -t UTF-8 converts")
                               .arg(*chinese);
            }
            return message;
        }
        decoded.append(text);
    }
    return decoded;
}

QString badCommandLineText(const QString& message) {
    const QString program = QStringLiteral("inkvale-render");
    return QStringLiteral("%1: %2\nTry '%1 --help' for more.\n")
        .arg(program, terminalSafe(message));
}

int runRenderCommand(const QStringList& arguments, const CustomResources& resources,
                     const RenderConsole& console) {
    const QString program = QStringLiteral("inkvale-render");
    const ParsedCommandLine parsed = parseRenderCommandLine(arguments);
    if (const auto* bad = std::get_if<BadCommandLine>(&parsed)) {
        console.err(badCommandLineText(bad->message));
        return kRenderBadCommandLine;
    }
    QString shown;
    if (std::holds_alternative<ShowHelp>(parsed)) {
        shown = renderHelpText();
    } else if (std::holds_alternative<ShowVersion>(parsed)) {
        shown = QStringLiteral("%1 %2\n").arg(program, QCoreApplication::applicationVersion());
    } else if (std::holds_alternative<ShowStyles>(parsed)) {
        shown = styleListText();
    } else {
        const auto& request = std::get<RenderRequest>(parsed);
        Reporter reporter(console, request.quiet, request.listing);
        return runRenderJob(request, resources, reporter);
    }
    // Output that went nowhere (a full disk, a closed pipe) is a failure a script must see.
    const Outcome written = console.out(shown.toUtf8());
    if (!written.ok()) {
        console.err(QStringLiteral("%1: cannot write to standard output: %2\n")
                        .arg(program, englishText(written)));
        return kRenderFailed;
    }
    return kRenderDone;
}

} // namespace inkvale
