#pragma once

#include <QColor>
#include <QStringView>

namespace inkvale {

/// The question asked when the main window closes. Its line breaks are lone CRs.
inline constexpr QStringView kExitQuestion =
    u"感谢您对Zanvi、对Kelda系列的软件的支持!\r \r是否退出并到论坛可以下载更多Zanvi的原创免费软件?";

/// Colours of the forum link.
inline const QColor kLinkHoverColour(255, 0, 0);   ///< under the mouse
inline const QColor kLinkPressedColour(0, 255, 0); ///< a button pressed on it
inline const QColor kLinkResetColour(0, 0, 0);     ///< the mouse over its frame

} // namespace inkvale
