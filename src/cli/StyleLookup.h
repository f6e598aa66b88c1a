#pragma once

#include <QStringView>

#include <optional>

namespace inkvale {

/// The catalogue slot (0 to 14) a style is named by: its slot number in decimal, leading zeros
/// allowed, its caption (e.g. "疾风草书") or its face name (e.g. "Halwen疾风草书"), letter case
/// ignored. Nothing for anything else, the three placeholder slots included.
[[nodiscard]] std::optional<int> styleNamed(QStringView text);

} // namespace inkvale
