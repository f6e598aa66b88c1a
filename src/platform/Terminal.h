#pragma once

namespace inkvale {

/// Whether the process's standard error goes to a terminal (and not to a file or a pipe).
[[nodiscard]] bool standardErrorIsTerminal();

} // namespace inkvale
