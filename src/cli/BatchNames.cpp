#include "cli/BatchNames.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace inkvale {

namespace {

/// Characters that draw as boxes or nothing, break the line, or cannot stand alone.
bool cannotBeDrawn(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph || category == QChar::Other_Surrogate;
}

/// Characters a message shows by number.
bool doesNotShow(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return cannotBeDrawn(c) || category == QChar::Other_Format || (QChar::isSpace(c) && c != U' ');
}

bool isReservedInFileNames(char32_t c) {
    static constexpr std::u32string_view kReserved = U"/\\:*?\"<>|";
    return kReserved.find(c) != std::u32string_view::npos;
}

bool isTrimmed(QChar c) {
    return c == QLatin1Char('.') || c.isSpace();
}

/// Calls `visit(codePoint)` for each code point of `text`; a lone surrogate is visited as
/// itself.
template <typename Visit>
void forEachCodePoint(QStringView text, Visit&& visit) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else {
            visit(char32_t(c.unicode()));
        }
    }
}

QString hexOf(char32_t c) {
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

/// Device names that Windows (and DOS before it) gives any file of that name, whatever its
/// extension; compared after case folding.
bool isDeviceName(QStringView stem) {
    static const QSet<QString> kDevices = [] {
        QSet<QString> devices{QStringLiteral("con"),    QStringLiteral("prn"),
                              QStringLiteral("aux"),    QStringLiteral("nul"),
                              QStringLiteral("conin$"), QStringLiteral("conout$"),
                              QStringLiteral("clock$")};
        const std::array<QString, 2> ports{QStringLiteral("com"), QStringLiteral("lpt")};
        for (const QString& port : ports) {
            for (const QChar digit : QStringLiteral("0123456789\u00B9\u00B2\u00B3")) {
                devices.insert(port + digit);
            }
        }
        return devices;
    }();
    while (!stem.isEmpty() && isTrimmed(stem.back())) {
        stem.chop(1);
    }
    return stem.size() <= 7 && kDevices.contains(stem.toString().toCaseFolded());
}

/// The longest start of `text` that ends on a grapheme boundary and takes at most `bytes`
/// bytes in UTF-8. A first grapheme longer than that (a letter under a pile of accents) is cut
/// between code points rather than lost.
QString cutAtGrapheme(const QString& text, qsizetype bytes) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype kept = 0;
    qsizetype keptBytes = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        // Never between the halves of a surrogate pair, whatever the finder says.
        if (next < text.size() && text.at(next - 1).isHighSurrogate() &&
            text.at(next).isLowSurrogate()) {
            continue;
        }
        keptBytes += QStringView(text).sliced(kept, next - kept).toUtf8().size();
        if (keptBytes > bytes) {
            break;
        }
        kept = next;
    }
    if (kept > 0) {
        return text.left(kept);
    }
    QString cut = text;
    while (cut.toUtf8().size() > bytes) {
        cut.chop(cut.size() >= 2 && cut.back().isLowSurrogate() ? 2 : 1);
    }
    return cut;
}

} // namespace

QString drawableName(QStringView text) {
    QString name = text.toString();
    name.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return name.trimmed();
}

QString nameProblem(QStringView name) {
    QString problem;
    forEachCodePoint(name, [&problem](char32_t c) {
        if (problem.isEmpty() && cannotBeDrawn(c)) {
            problem = QChar::category(c) == QChar::Other_Surrogate
                          ? QStringLiteral("it holds half of a character (%1)").arg(hexOf(c))
                          : QStringLiteral("it holds the control character %1, which cannot "
                                           "be drawn")
                                .arg(hexOf(c));
        }
    });
    return problem;
}

QString terminalSafe(QStringView text) {
    QString shown;
    shown.reserve(text.size());
    forEachCodePoint(text, [&shown](char32_t c) {
        if (doesNotShow(c)) {
            shown += QLatin1Char('<') + hexOf(c) + QLatin1Char('>');
        } else {
            shown += QString::fromUcs4(&c, 1);
        }
    });
    return shown;
}

QString quotedName(QStringView name) {
    constexpr qsizetype kLongest = 80;
    qsizetype kept = std::min(name.size(), kLongest);
    if (kept < name.size() && name.at(kept - 1).isHighSurrogate()) {
        --kept; // never half a character
    }
    QString shown = terminalSafe(name.left(kept));
    if (kept < name.size()) {
        shown += QStringLiteral("...");
    }
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

NameList parseNames(QByteArrayView text) {
    if (text.startsWith("\xEF\xBB\xBF")) {
        text = text.sliced(3);
    }
    // Windows' editors save "Unicode" as UTF-16: its byte order mark, or a zero byte beside
    // every ASCII character, tells it from UTF-8, which never has either.
    const bool utf16 = text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF") ||
                       (text.size() >= 2 && (text.at(0) == '\0' || text.at(1) == '\0'));
    if (utf16) {
        return {{},
                {},
                QStringLiteral("it is UTF-16 text, not UTF-8: save it as UTF-8 (in Notepad: Save "
                               "as, Encoding UTF-8), or convert it with iconv -f UTF-16 -t UTF-8")};
    }
    NameList list;
    int lineNumber = 0;
    qsizetype start = 0;
    while (start < text.size() || (start == text.size() && lineNumber == 0)) {
        ++lineNumber;
        qsizetype end = start;
        while (end < text.size() && text.at(end) != '\n' && text.at(end) != '\r') {
            ++end;
        }
        // Stateless, so that a sequence cut short at the end of a line counts as an error.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder(text.sliced(start, end - start));
        if (decoder.hasError()) {
            return {{}, {}, QStringLiteral("line %1 is not UTF-8 text").arg(lineNumber)};
        }
        const QString name = drawableName(decoded);
        if (!name.isEmpty()) {
            list.names.append(name);
            list.lines.append(lineNumber);
        }
        // One line end: CR LF, LF or CR.
        if (end < text.size() && text.at(end) == '\r' && end + 1 < text.size() &&
            text.at(end + 1) == '\n') {
            ++end;
        }
        start = end + 1;
    }
    if (list.names.isEmpty()) {
        list.error = QStringLiteral("it holds no names");
    }
    return list;
}

NameList readNamesFile(const QString& path) {
    QFile file;
    const bool opened = path == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        return {{}, {}, file.errorString()};
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{}, {}, file.errorString()};
    }
    return parseNames(text);
}

QString safeFileName(QStringView name) {
    QString safe;
    safe.reserve(name.size());
    forEachCodePoint(name, [&safe](char32_t c) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Format) {
            return;
        }
        if (cannotBeDrawn(c) || isReservedInFileNames(c)) {
            safe += QLatin1Char('_');
            return;
        }
        safe += QString::fromUcs4(&c, 1);
    });
    safe = safe.normalized(QString::NormalizationForm_C);

    qsizetype begin = 0;
    qsizetype end = safe.size();
    while (begin < end && isTrimmed(safe.at(begin))) {
        ++begin;
    }
    while (end > begin && isTrimmed(safe.at(end - 1))) {
        --end;
    }
    safe = safe.mid(begin, end - begin);

    const qsizetype dot = safe.indexOf(QLatin1Char('.'));
    const qsizetype stemEnd = dot < 0 ? safe.size() : dot;
    if (isDeviceName(QStringView(safe).left(stemEnd))) {
        safe.insert(stemEnd, QLatin1Char('_'));
    }

    if (safe.toUtf8().size() > kLongestBaseName) {
        safe = cutAtGrapheme(safe, kLongestBaseName);
    }
    while (!safe.isEmpty() && isTrimmed(safe.back())) {
        safe.chop(1);
    }
    return safe.isEmpty() ? QStringLiteral("_") : safe;
}

QStringList batchFileNames(const QStringList& names, const QString& extension) {
    QStringList files;
    files.reserve(names.size());
    QSet<QString> taken;
    taken.reserve(names.size());
    // Per base name, the counter to try next: each counter only grows, so every name is
    // tried at most once per number, and the whole batch takes linear time.
    QHash<QString, int> nextNumber;
    const QString dotExtension = QLatin1Char('.') + extension;
    for (const QString& name : names) {
        const QString base = safeFileName(name);
        QString file = base + dotExtension;
        if (taken.contains(file.toCaseFolded())) {
            int& number = nextNumber[base.toCaseFolded()];
            number = std::max(number, 2);
            do {
                // The counter fits within the longest base name: the base gives way to it.
                const QString counter = QStringLiteral(" (%1)").arg(number++);
                QString stem = base;
                if (stem.toUtf8().size() + counter.size() > kLongestBaseName) {
                    stem = cutAtGrapheme(stem, kLongestBaseName - counter.size());
                }
                file = stem + counter + dotExtension;
            } while (taken.contains(file.toCaseFolded()));
        }
        taken.insert(file.toCaseFolded());
        files.append(file);
    }
    return files;
}

} // namespace inkvale
