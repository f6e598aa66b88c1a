#include "cli/StyleLookup.h"

#include "core/StyleCatalogue.h"

#include <algorithm>

namespace inkvale {

namespace {

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<int> styleNamed(QStringView text) {
    // Plain decimal digits, without sign, blanks or leading zeros.
    const bool number = !text.isEmpty() && text.size() <= 2 &&
                        std::all_of(text.begin(), text.end(), isAsciiDigit) &&
                        !(text.size() == 2 && text.front() == QLatin1Char('0'));
    if (number) {
        const int slot = text.toInt();
        return slot < kStyleCount ? std::optional<int>(slot) : std::nullopt;
    }
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle() && (slot.caption == text || slot.faceName == text)) {
            return slot.index;
        }
    }
    return std::nullopt;
}

} // namespace inkvale
