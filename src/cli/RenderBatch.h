#pragma once

namespace inkvale {

struct RenderRequest;
class Reporter;
class SignatureDrawer;

/// Draws every name of the request's names file into a file of its own in its output folder:
/// the drawing on this thread, the writing on every core, each outcome reported in the file's
/// order. Nothing is written when a file of the batch exists already, unless the request says
/// --force. Names that cannot be drawn are reported and skipped; a failed write stops the
/// batch. Returns the exit status.
[[nodiscard]] int runBatch(const RenderRequest& request, SignatureDrawer& drawer,
                           Reporter& reporter);

} // namespace inkvale
