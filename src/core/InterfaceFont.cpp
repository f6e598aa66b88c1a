// The program's interface font, apart from the controls: tools that draw without a window (the
// contact sheet's captions) use it without bringing in the widgets.

#include "core/InterfaceFont.h"

#include <QStringList>

namespace inkvale {

QFont interfaceFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Microsoft YaHei"), QStringLiteral("Sans Serif")});
    font.setPixelSize(12);
    return font;
}

} // namespace inkvale
