#pragma once

#include <QChar>
#include <QString>

#include <optional>

namespace inkvale {

/// `text` as the two functions below read it: full-width digits, signs, full stop and the
/// letter E as typed by a Chinese input method, and the ideographic full stop "。", become
/// their ASCII forms, and every blank (tabs, line breaks, the ideographic space) becomes a
/// plain space.
[[nodiscard]] QString halfWidthEntry(const QString& text);

/// Whether `text` reads as one number: apart from leading and trailing blanks, an optional sign,
/// digits with at most one decimal point, and an optional exponent (E, an optional sign, digits).
/// `groupSeparator` (the locale's digit-group separator) may stand between integer digits; where
/// it is a space, any of the spaces people type for it does (a plain, no-break, narrow no-break or
/// ideographic space), but never a tab, form feed or line break.
[[nodiscard]] bool isNumericEntry(const QString& text, QChar groupSeparator);

/// The number at the start of `text` (read through halfWidthEntry, as isNumericEntry reads it):
/// blanks are skipped, the full stop is the decimal point,
/// and reading stops at the first character that cannot continue the number. 0 when no digits
/// start it; infinite when the number is too large for a double.
[[nodiscard]] double leadingNumber(const QString& text);

/// Text sizes the canvas can take, in points.
inline constexpr float kLargestFontSize = 1000.0F;

/// `value` narrowed to the canvas's single precision when the canvas can take it: finite,
/// greater than zero and at most kLargestFontSize.
[[nodiscard]] std::optional<float> usableFontSize(double value);

/// A size written in its shortest general form: up to seven significant digits, no trailing
/// zeros, no decimal point for whole numbers ("42", "10.5").
[[nodiscard]] QString formatFontSize(float points);

} // namespace inkvale
