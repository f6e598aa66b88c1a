#include "core/SizeRule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace inkvale {

namespace {

// Entries are read after halfWidthEntry(), which makes every blank a plain space.
bool isBlank(QChar c) {
    return c == QLatin1Char(' ');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isExponent(QChar c) {
    return c == QLatin1Char('E') || c == QLatin1Char('e');
}

bool isSign(QChar c) {
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

/// Whether the unsigned decimal `number` (digits with a point, perhaps an exponent) is below one
/// in magnitude; for numbers too large or too small for a double.
bool isBelowOne(std::string_view number) {
    const std::size_t e = number.find('e');
    const std::string_view mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string_view::npos) {
        const std::string_view digits = number.substr(e + 1);
        const bool negative = !digits.empty() && digits.front() == '-';
        for (const char c : digits) {
            if (c >= '0' && c <= '9') {
                exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000'000LL);
            }
        }
        exponent = negative ? -exponent : exponent;
    }
    // The mantissa's own power of ten: that of its first digit other than zero.
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos) {
        return true;
    }
    const long long power = first < point ? static_cast<long long>(point - first) - 1
                                          : -static_cast<long long>(first - point);
    return power + exponent < 0;
}

/// A space that locales group digits by, or that people type for one.
bool isGroupingSpace(QChar c) {
    return c == QLatin1Char(' ') || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x3000);
}

/// Whether `typed`, as typed, separates digit groups where the locale's separator is
/// `separator`: the separator itself, or, where the locale groups by a space, any such space.
/// Never a tab, a form feed or a line break: those are not written between digits.
bool isGroupSeparator(QChar typed, QChar separator) {
    if (separator.isNull() || separator == QLatin1Char('.')) {
        return false;
    }
    return typed == separator || (isGroupingSpace(separator) && isGroupingSpace(typed));
}

} // namespace

QString halfWidthEntry(const QString& text) {
    QString entry = text;
    for (QChar& c : entry) {
        const char16_t u = c.unicode();
        if (u >= u'\uFF01' && u <= u'\uFF5E') {
            // Full-width forms of ASCII, as Chinese input methods type them.
            const char16_t ascii = static_cast<char16_t>(u - 0xFEE0);
            if ((ascii >= u'0' && ascii <= u'9') || ascii == u'+' || ascii == u'-' ||
                ascii == u'.' || ascii == u'E' || ascii == u'e') {
                c = QChar(ascii);
            }
        } else if (u == u'\u3002' || u == u'\uFF61') {
            // The ideographic full stop, which the input method types for "." in Chinese
            // punctuation mode.
            c = QLatin1Char('.');
        } else if (c.isSpace()) {
            // Every blank, the ideographic space (U+3000) included, is a plain space.
            c = QLatin1Char(' ');
        }
    }
    return entry;
}

bool isNumericEntry(const QString& text, QChar groupSeparator) {
    // halfWidthEntry changes characters one for one, so `typed` keeps what stood where.
    QString entry = halfWidthEntry(text);
    qsizetype start = 0;
    qsizetype end = entry.size();
    while (start < end && isBlank(entry.at(start))) {
        ++start;
    }
    while (end > start && isBlank(entry.at(end - 1))) {
        --end;
    }
    entry = entry.mid(start, end - start);
    const QString typed = text.mid(start, end - start);
    qsizetype i = 0;
    const qsizetype n = entry.size();
    if (i < n && isSign(entry.at(i))) {
        ++i;
    }
    int digits = 0;
    while (i < n && (isDigit(entry.at(i)) ||
                     (digits > 0 && isGroupSeparator(typed.at(i), groupSeparator)))) {
        digits += isDigit(entry.at(i)) ? 1 : 0;
        ++i;
    }
    if (i < n && entry.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(entry.at(i))) {
            ++digits;
            ++i;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < n && isExponent(entry.at(i))) {
        ++i;
        if (i < n && isSign(entry.at(i))) {
            ++i;
        }
        const qsizetype exponentStart = i;
        while (i < n && isDigit(entry.at(i))) {
            ++i;
        }
        if (i == exponentStart) {
            return false;
        }
    }
    return i == n;
}

double leadingNumber(const QString& entry) {
    const QString text = halfWidthEntry(entry);
    std::string number;
    bool point = false;
    bool mantissaDigits = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (isBlank(c)) {
            continue;
        }
        if (number.empty() && isSign(c)) {
            number += static_cast<char>(c.unicode());
        } else if (isDigit(c)) {
            number += static_cast<char>(c.unicode());
            mantissaDigits = true;
        } else if (c == QLatin1Char('.') && !point) {
            number += '.';
            point = true;
        } else if (isExponent(c) && mantissaDigits) {
            // The exponent counts only when digits follow it.
            std::string exponent = "e";
            qsizetype j = i + 1;
            while (j < text.size() && isBlank(text.at(j))) {
                ++j;
            }
            if (j < text.size() && isSign(text.at(j))) {
                exponent += static_cast<char>(text.at(j).unicode());
                ++j;
            }
            bool exponentDigits = false;
            for (; j < text.size(); ++j) {
                if (isDigit(text.at(j))) {
                    exponent += static_cast<char>(text.at(j).unicode());
                    exponentDigits = true;
                } else if (!isBlank(text.at(j))) {
                    break;
                }
            }
            if (exponentDigits) {
                number += exponent;
            }
            break;
        } else {
            break;
        }
    }
    if (!mantissaDigits) {
        return 0.0;
    }
    const char* first = number.data();
    const bool negative = number.front() == '-';
    if (number.front() == '+' || negative) {
        ++first;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, number.data() + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large is infinite.
        value = isBelowOne(first) ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

std::optional<float> usableFontSize(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const auto points = static_cast<float>(value);
    if (!(points > 0.0F) || points > kLargestFontSize) {
        return std::nullopt;
    }
    return points;
}

QString formatFontSize(float points) {
    QString text = QString::number(static_cast<double>(points), 'g', 7);
    return text.replace(QLatin1Char('e'), QLatin1Char('E'));
}

} // namespace inkvale
