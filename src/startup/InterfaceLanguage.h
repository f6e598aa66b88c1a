#pragma once

class QCoreApplication;

namespace inkvale {

/// Makes Qt's own texts Simplified Chinese, whatever the system's locale: the standard buttons
/// of message boxes, the colour and open-file dialogs and the context menus of text boxes.
/// The translation is carried inside the program; call this before the first window is made.
/// False when the program carries no translation (nothing is installed then).
bool installChineseQtTexts(QCoreApplication& app);

} // namespace inkvale
