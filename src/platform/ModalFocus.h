#pragma once

class QApplication;

namespace inkvale {

/// Gives every modal window of the program the keyboard when it comes up: message boxes, the
/// size dialog, the colour and file dialogs. Window managers usually do this themselves; where
/// none does (or it keeps the focus on the owner), the keyboard would otherwise stay with a
/// window that the modal one blocks, and the user could not answer it without the mouse. When a
/// modal window closes, the keyboard goes back to its owner; for one without an owner, to the
/// modal window still open below it, or else to the program's window.
void giveModalWindowsTheKeyboard(QApplication& app);

} // namespace inkvale
