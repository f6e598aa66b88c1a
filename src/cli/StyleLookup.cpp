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
    // Plain decimal digits, without sign or blanks; leading zeros are allowed ("07").
    if (!text.isEmpty() && std::all_of(text.begin(), text.end(), isAsciiDigit)) {
        while (text.size() > 1 && text.front() == QLatin1Char('0')) {
            text = text.sliced(1);
        }
        const int slot = text.size() <= 2 ? text.toInt() : kStyleCount;
        return slot < kStyleCount ? std::optional<int>(slot) : std::nullopt;
    }
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle() && (slot.caption.compare(text, Qt::CaseInsensitive) == 0 ||
                               slot.faceName.compare(text, Qt::CaseInsensitive) == 0)) {
            return slot.index;
        }
    }
    return std::nullopt;
}

} // namespace inkvale
