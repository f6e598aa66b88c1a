#pragma once

#include "core/OutputFormat.h"
#include "core/SignatureRenderer.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace inkvale {

/// What a run of inkvale-render draws.
enum class RenderMode {
    Single,   ///< one name into the file of -o
    Batch,    ///< one file per name of --names-file, into --out-dir
    Sheet,    ///< the name in all fifteen styles on one sheet, into the file of --sheet
    Practice, ///< a practice sheet of the name, into the PDF of --practice-sheet
};

/// What the command line asks for, checked.
struct RenderRequest {
    RenderMode mode = RenderMode::Single;
    int slot = 0;
    QString name;
    QString output; ///< the file of -o, --sheet or --practice-sheet
    OutputFormat format = OutputFormat::Png;
    QString namesFile;
    QString outDir;
    bool force = false;
    std::optional<int> trim;
    QString backgroundFile;
    bool embeddedFonts = false;
    SignatureLook look;
};

/// A command line that cannot be carried out, and why.
struct BadCommandLine {
    QString message;
};

/// --help: show the help and do nothing else.
struct ShowHelp {};
/// --version: show the version and do nothing else.
struct ShowVersion {};

using ParsedCommandLine = std::variant<RenderRequest, BadCommandLine, ShowHelp, ShowVersion>;

/// Reads `arguments` (the program's name first) against the option table: every value is
/// checked, and options that do not go together are refused, before anything is read or
/// written.
[[nodiscard]] ParsedCommandLine parseRenderCommandLine(const QStringList& arguments);

/// The text of --help: usage, the options with their defaults, the styles, the exit statuses.
[[nodiscard]] QString renderHelpText();

} // namespace inkvale
