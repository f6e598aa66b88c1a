#pragma once

#include <QIcon>

#include <array>

namespace inkvale {

/// The sizes in pixels at which the program icon is drawn.
inline constexpr std::array<int, 7> kProgramIconSizes{16, 24, 32, 48, 64, 128, 256};

/// The program's icon, the seal, at every size of kProgramIconSizes: what every window of the
/// program shows in its title bar, the task bar and the window switcher.
[[nodiscard]] QIcon programIcon();

} // namespace inkvale
