#pragma once

#include "core/EmbeddedFonts.h"

#include <QString>
#include <QStringList>

#include <functional>

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
    std::function<void(const QString&)> out; ///< standard output: help and version
    std::function<void(const QString&)> err; ///< standard error: errors, warnings, progress
    bool progress = false; ///< show the progress of batches (standard error is a terminal)
};

/// Runs inkvale-render on `arguments` (the program's name first): draws one signature, a batch
/// of them or a contact sheet as the command line asks, and returns the exit status. Fonts come
/// from this process's font database, and with --fonts-from-executable also from the style
/// fonts read through `resources`. Every output file is written whole or not at all.
[[nodiscard]] int runRenderCommand(const QStringList& arguments, const CustomResources& resources,
                                   const RenderConsole& console);

} // namespace inkvale
