#pragma once

#include <QFont>

namespace inkvale {

/// The font of the program's windows and of the captions it draws: a plain CJK sans-serif at
/// 12 pixels, so that Chinese text never falls back to one of the style fonts.
[[nodiscard]] QFont interfaceFont();

} // namespace inkvale
