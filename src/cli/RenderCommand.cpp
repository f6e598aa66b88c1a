#include "cli/RenderCommand.h"

#include "cli/RenderJob.h"
#include "cli/RenderOptions.h"
#include "cli/Reporter.h"

#include <QCoreApplication>

namespace inkvale {

int runRenderCommand(const QStringList& arguments, const CustomResources& resources,
                     const RenderConsole& console) {
    const QString program = QStringLiteral("inkvale-render");
    const ParsedCommandLine parsed = parseRenderCommandLine(arguments);
    if (const auto* bad = std::get_if<BadCommandLine>(&parsed)) {
        console.err(
            QStringLiteral("%1: %2\nTry '%1 --help' for more.\n").arg(program, bad->message));
        return kRenderBadCommandLine;
    }
    if (std::holds_alternative<ShowHelp>(parsed)) {
        console.out(renderHelpText());
        return kRenderDone;
    }
    if (std::holds_alternative<ShowVersion>(parsed)) {
        console.out(QStringLiteral("%1 %2\n").arg(program, QCoreApplication::applicationVersion()));
        return kRenderDone;
    }
    Reporter reporter(console);
    return runRenderJob(std::get<RenderRequest>(parsed), resources, reporter);
}

} // namespace inkvale
