#pragma once

#include <QByteArray>

class QWidget;

namespace inkvale {

/// Brings `window` to the front and gives it the keyboard: restores it when minimised, raises it
/// above the other windows and asks the window system to activate it. A window system that
/// refuses focus to a program the user is not working in will usually mark it as asking for
/// attention instead.
void bringWindowForward(QWidget& window);

/// The id under which a launcher shows this start as busy (empty when none does). Read it
/// before the application object exists: the window system's plugin takes it out of the
/// environment.
[[nodiscard]] QByteArray launchFeedbackId();

/// Tells the desktop that the start shown as busy under `id` has ended without a window of its
/// own, so that the launcher stops showing it as busy.
void endLaunchFeedback(const QByteArray& id);

} // namespace inkvale
