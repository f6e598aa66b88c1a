#pragma once

#include "cli/RenderOptions.h"
#include "cli/Reporter.h"

namespace inkvale {

/// Carries out `request` for --strokes: the drawing of the strokes file fitted to the canvas
/// (HandExport), written as `request` says, still or animated, as the pad writes it. The exit
/// status of inkvale-render.
[[nodiscard]] int runStrokesJob(const RenderRequest& request, const Reporter& reporter);

} // namespace inkvale
