#pragma once

#include "cli/BatchNames.h"
#include "core/AnimationFormat.h"
#include "core/OutputFormat.h"
#include "core/PracticeSheet.h"
#include "core/RevealTimeline.h"
#include "core/SignatureRenderer.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace inkvale {

/// How a run names the files it writes on standard output, for scripts.
enum class Listing {
    None,  ///< not at all
    Lines, ///< --verbose: each path as it is, on a line of its own
    Nul,   ///< --print0: each path as it is, ended by a zero byte
    Json,  ///< --json: a JSON object per file, on a line of its own
};

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
    /// The format; for an animation, the still it ends on: PNG for GIF and WebP, else SVG.
    OutputFormat format = OutputFormat::Png;
    bool animate = false; ///< the name written before the eyes, in `animation`'s format
    AnimationFormat animation = AnimationFormat::Gif;
    AnimationPace pace; ///< how fast an animation writes
    bool loop = true;   ///< a GIF or WebP loops for ever; false: it plays once
    QString namesFile;
    NamesEncoding encoding =
        NamesEncoding::Guess; ///< of the names file; Utf8 also takes --name as it is
    QString outDir;
    bool force = false;
    std::optional<int> trim;
    int jpegQuality = kDefaultJpegQuality;    ///< 1 to 100
    std::optional<PrintedWidth> printedWidth{}; ///< --width of an SVG or PDF
    QString backgroundFile;
    bool embeddedFonts = false;
    QString fileNamePattern; ///< a batch's file names, with {name} and {n}; empty: the names
    bool quiet = false;      ///< no warnings or notes, only what makes the run fail
    Listing listing = Listing::None; ///< how each written file is named on standard output
    int jobs = 0; ///< the files a batch draws and writes at once; 0: one per processor
    PracticeSheetLayout practice; ///< the paper, grid and rows of --practice-sheet
    SignatureLook look;
    QString strokesFile; ///< --strokes: a hand drawing to draw instead of a name
};

/// The extension of the files `request` writes, without the dot.
[[nodiscard]] QString extensionOf(const RenderRequest& request);

/// The file name that stands for standard output (-o, --sheet) or input (--names-file).
inline const QString kStandardStream = QStringLiteral("-");

/// A command line that cannot be carried out, and why.
struct BadCommandLine {
    QString message;
};

/// --help: show the help and do nothing else.
struct ShowHelp {};
/// --version: show the version and do nothing else.
struct ShowVersion {};
/// --list-styles: list the styles, one a line, and do nothing else.
struct ShowStyles {};

using ParsedCommandLine =
    std::variant<RenderRequest, BadCommandLine, ShowHelp, ShowVersion, ShowStyles>;

/// Reads `arguments` (the program's name first) against the option table: every value is
/// checked, and options that do not go together are refused, before anything is read or
/// written.
[[nodiscard]] ParsedCommandLine parseRenderCommandLine(const QStringList& arguments);

/// The text of --help: usage, the options with their defaults, examples, the styles, the exit
/// statuses.
[[nodiscard]] QString renderHelpText();

/// The text of --list-styles: a line per style, its number, caption and face name apart by tabs.
[[nodiscard]] QString styleListText();

/// The colour `text` names: #RGB, #RRGGBB, #RRGGBBAA (the last pair the opacity) or an SVG
/// colour name such as "darkblue", in any case; nothing for anything else.
[[nodiscard]] std::optional<QColor> colourNamed(const QString& text);

} // namespace inkvale
