// The size dialog's entry: any text the user can type, with any digit-group separator.

#include "FuzzCheck.h"
#include "core/SizeRule.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Separators that locales use between digit groups, and the full stop, which never is one.
constexpr char16_t kSeparators[] = {u',', u'.', u' ', u'\u00a0', u'\u202f', u'\'', u'\u066c'};

/// The text as plain C-locale ASCII for strtod, when it is that.
bool asAscii(const QString& text, QByteArray& ascii) {
    for (const QChar c : text) {
        if (c.unicode() > 0x7e) {
            return false;
        }
    }
    ascii = text.toLatin1();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const QChar separator(kSeparators[data[0] % std::size(kSeparators)]);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                           static_cast<qsizetype>(size - 1));

    const double value = inkvale::leadingNumber(text);
    FUZZ_CHECK(!std::isnan(value));
    if (!inkvale::isNumericEntry(text, separator)) {
        return 0;
    }

    // Tabs, form feeds and line breaks may stand around a number, never inside one.
    const QString entry = text.trimmed();
    for (const QChar c : entry) {
        FUZZ_CHECK(!(c.isSpace() && c.unicode() < 0x20));
    }

    // A number without group separators or blanks reads as the C library reads it, rounding
    // included.
    QByteArray ascii;
    if (!entry.contains(separator) && !entry.contains(QLatin1Char(' ')) && asAscii(entry, ascii)) {
        FUZZ_CHECK(value == std::strtod(ascii.constData(), nullptr));
    }

    // Finite and within the canvas's range, or refused: never a size the canvas cannot take.
    const std::optional<float> points = inkvale::usableFontSize(value);
    if (!points) {
        return 0;
    }
    FUZZ_CHECK(std::isfinite(*points) && *points > 0.0F && *points <= inkvale::kLargestFontSize);

    // The dialog's caption shows the size so that typing it back gives the same size.
    const QString caption = inkvale::formatFontSize(*points);
    FUZZ_CHECK(inkvale::isNumericEntry(caption, separator));
    const double shown = inkvale::leadingNumber(caption);
    FUZZ_CHECK(std::abs(shown - *points) <= 1e-6 * *points);
    return 0;
}
