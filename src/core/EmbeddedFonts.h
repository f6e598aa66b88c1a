#pragma once

#include "platform/files/Failure.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace inkvale {

/// Reads the program's embedded resource "CUSTOM" number `id`, in place; empty when missing.
using CustomResources = std::function<QByteArrayView(int id)>;

/// Makes the fifteen style fonts that the program carries, read through `resources`, available
/// to this process's text drawing, read in place: nothing is installed or written. A failure
/// says what is missing or unreadable.
[[nodiscard]] Outcome useEmbeddedStyleFonts(const CustomResources& resources);

/// As above, for the styles in `styles` (catalogue slots 0 to 14) only, their fonts read through
/// `resources`: each font registered costs time at start, a large CJK face most, so a command
/// registers the ones it draws with.
[[nodiscard]] Outcome useEmbeddedStyleFonts(const CustomResources& resources,
                                            const QList<int>& styles);

/// The face names of the styles in `styles` (catalogue slots 0 to 14) that no font available to
/// this process carries, each once, in slot order. Text in those styles is drawn in a substitute
/// font.
[[nodiscard]] QStringList unavailableStyleFaces(const QList<int>& styles);

} // namespace inkvale
