#pragma once

#include "core/EmbeddedFonts.h"
#include "platform/files/Failure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <variant>

namespace inkvale {

/// Exit status of inkvale-render: done.
inline constexpr int kRenderDone = 0;
/// Exit status: a file could not be read or written, or a name could not be drawn (a control
/// character in it, or no ink to trim to); a batch skips such names and writes the others.
inline constexpr int kRenderFailed = 1;
/// Exit status: the command line is wrong (an unknown option or style, a value out of range,
/// options that do not go together, an empty value, a name that cannot be drawn); nothing was
/// read or written.
inline constexpr int kRenderBadCommandLine = 2;

/// Where the command's text goes.
struct RenderConsole {
    /// Standard output: help, version, the style list, the paths of --verbose, the bytes of a
    /// file written to "-". How the write went.
    std::function<Outcome(QByteArrayView)> out;
    std::function<void(const QString&)> err; ///< standard error: errors, warnings, progress
    bool progress = false;      ///< show the progress of batches (standard error is a terminal)
    bool outIsTerminal = false; ///< standard output is a terminal, no place for a file's bytes
};

/// The command line as text, each argument decoded as UTF-8 (the only encoding Qt's file names
/// and this program's names take); or the message for an argument that is not UTF-8 text,
/// which would otherwise be changed silently: a name drawn with U+FFFD, a file name read or
/// written as another.
[[nodiscard]] std::variant<QStringList, QString>
decodeRenderArguments(const QList<QByteArray>& arguments);

/// The text that reports a bad command line with `message`: a line of its own, then a pointer
/// to --help.
[[nodiscard]] QString badCommandLineText(const QString& message);

/// Runs inkvale-render on `arguments` (the program's name first): draws one signature, a batch
/// of them or a contact sheet as the command line asks, and returns the exit status. Fonts come
/// from this process's font database, and with --fonts-from-executable also from the style
/// fonts read through `resources`. Every output file is written whole or not at all.
[[nodiscard]] int runRenderCommand(const QStringList& arguments, const CustomResources& resources,
                                   const RenderConsole& console);

} // namespace inkvale
