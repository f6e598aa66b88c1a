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
#include <utility>

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
    // The byte order mark a file's text may start with, as `--name "$(cat name.txt)"` hands it
    // over: no part of the name.
    if (text.startsWith(QChar(0xFEFF))) {
        text = text.sliced(1);
    }
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

std::optional<QString> chineseReading(QByteArrayView bytes) {
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (!decoder.isValid() || decoder.hasError()) {
        return std::nullopt;
    }
    bool chinese = false;
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            continue;
        }
        const bool han = QChar::script(c.unicode()) == QChar::Script_Han;
        const bool mark = c.unicode() == 0xB7 || c.unicode() == 0x2014 || c.unicode() == 0x2026 ||
                          (c.unicode() >= 0x3000 && c.unicode() < 0x3040) ||
                          (c.unicode() >= 0xFF00 && c.unicode() < 0xFFF0);
        if (!han && !mark) {
            return std::nullopt;
        }
        chinese = chinese || han;
    }
    return chinese ? std::optional(text) : std::nullopt;
}

std::optional<NamesEncoding> namesEncodingNamed(const QString& text) {
    const QString name = text.toLower();
    if (name == QLatin1String("utf-8") || name == QLatin1String("utf8")) {
        return NamesEncoding::Utf8;
    }
    if (name == QLatin1String("gb18030") || name == QLatin1String("gbk") ||
        name == QLatin1String("gb2312")) {
        return NamesEncoding::Gb18030;
    }
    if (name == QLatin1String("utf-16") || name == QLatin1String("utf16")) {
        return NamesEncoding::Utf16;
    }
    if (name == QLatin1String("utf-16le") || name == QLatin1String("utf16le")) {
        return NamesEncoding::Utf16Le;
    }
    if (name == QLatin1String("utf-16be") || name == QLatin1String("utf16be")) {
        return NamesEncoding::Utf16Be;
    }
    return std::nullopt;
}

namespace {

const QString kGb18030Advice =
    QStringLiteral("convert it with iconv -f GB18030 -t UTF-8, or give --encoding gb18030");

/// Calls `line(number, start, end)` for each line of `text` (LF, CR LF or CR ends one), a
/// last line without an end included, and an empty text taken for one empty line; stops at the
/// first call that returns false.
template <typename Text, typename Line>
void forEachLine(Text text, Line&& line) {
    int number = 0;
    qsizetype start = 0;
    while (start < text.size() || (start == text.size() && number == 0)) {
        ++number;
        qsizetype end = start;
        while (end < text.size() && text.at(end) != u'\n' && text.at(end) != u'\r') {
            ++end;
        }
        if (!line(number, start, end)) {
            return;
        }
        if (end < text.size() && text.at(end) == u'\r' && end + 1 < text.size() &&
            text.at(end + 1) == u'\n') {
            ++end;
        }
        start = end + 1;
    }
}

/// Whether `script` is one a Chinese, Japanese or Korean name is written in.
bool isEastAsian(QChar::Script script) {
    return script == QChar::Script_Han || script == QChar::Script_Hiragana ||
           script == QChar::Script_Katakana || script == QChar::Script_Hangul ||
           script == QChar::Script_Bopomofo;
}

/// Letters and signs of their scripts that no modern name holds: archaic Greek and Coptic,
/// historic Cyrillic and its supplement, Yiddish ligatures, and the multiplication and division
/// signs of Latin-1. GBK's common characters read as them in UTF-8 ("魏霞" as "κϼ").
bool isForeignToNames(char32_t c) {
    return (c >= 0x370 && c <= 0x377) || (c >= 0x37A && c <= 0x37F) || (c >= 0x3CF && c <= 0x3FF) ||
           (c >= 0x460 && c <= 0x489) || (c >= 0x500 && c <= 0x52F) || (c >= 0x5EF && c <= 0x5F4) ||
           c == 0xD7 || c == 0xF7;
}

/// `c` without its accents, in lower case: the letter a vowel test looks at.
char32_t baseLetter(char32_t c) {
    const QString decomposed =
        QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D).toLower();
    return decomposed.isEmpty() ? c : char32_t(decomposed.at(0).unicode());
}

/// Whether `c` is a vowel of Russian, Ukrainian, Belarusian or Greek, accents aside.
bool isVowel(char32_t c) {
    static constexpr std::u32string_view kVowels = U"аеёиоуыэюяіїєўαεηιουω";
    return kVowels.find(baseLetter(c)) != std::u32string_view::npos;
}

/// Whether `c` carries a diaeresis, which in Greek only follows a vowel.
bool hasDiaeresis(char32_t c) {
    return QString::fromUcs4(&c, 1)
        .normalized(QString::NormalizationForm_D)
        .contains(QChar(0x0308));
}

/// Whether `c` is a Hebrew letter in the form it takes at the end of a word.
bool isHebrewFinal(char32_t c) {
    return c == 0x5DA || c == 0x5DD || c == 0x5DF || c == 0x5E3 || c == 0x5E5;
}

/// Whether `script` writes capitals and small letters.
bool isCased(QChar::Script script) {
    return script == QChar::Script_Latin || script == QChar::Script_Greek ||
           script == QChar::Script_Cyrillic || script == QChar::Script_Armenian ||
           script == QChar::Script_Coptic;
}

/// Whether the word `word` (no spaces) is written as no name is, in ways a single script
/// allows: the UTF-8 reading of a two- or three-character GBK name is a word of two or three
/// letters beyond ASCII, often of one script ("谢雪" reads "лѩ", "毛强" "ëǿ", "钱萍" "ǮƼ").
/// Names of those scripts start with a capital, have a vowel, carry no stray accents, and in
/// Latin have ASCII letters among their accented ones.
bool wordReadsAsNoName(QStringView word) {
    QList<char32_t> letters; // beyond ASCII
    bool asciiLetter = false;
    bool bmpHan = false;
    bool otherHan = false;
    char32_t previous = 0;
    bool implausible = false;
    forEachCodePoint(word, [&](char32_t c) {
        const QChar::Category category = QChar::category(c);
        const bool letter = category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other;
        const QChar::Script script = QChar::script(c);
        if (isForeignToNames(c) || (c >= 0x80 && category == QChar::Number_DecimalDigit) ||
            (isHebrewFinal(previous) && letter) ||
            (script == QChar::Script_Greek && hasDiaeresis(c) && !isVowel(previous)) ||
            (c == 0xB7 && previous >= 0x80 && QChar::script(previous) != QChar::Script_Han) ||
            (previous == 0xB7 && c >= 0x80 && script != QChar::Script_Han)) {
            implausible = true;
        }
        if (letter && c < 0x80) {
            asciiLetter = true;
        } else if (letter) {
            letters.append(c);
        }
        if (script == QChar::Script_Han) {
            (c > 0xFFFF ? otherHan : bmpHan) = true;
        }
        previous = c;
    });
    if (implausible) {
        return true;
    }
    // Accents people type decomposed still make up letters; GBK's leave marks on their own.
    const QString composed = word.toString().normalized(QString::NormalizationForm_C);
    for (const QChar c : composed) {
        if (c.unicode() >= 0x300 && c.unicode() < 0x370) {
            return true;
        }
    }
    // A name of Han characters beyond the first plane only: four GBK bytes read as one.
    if (otherHan && !bmpHan) {
        return true;
    }
    if (letters.isEmpty() || asciiLetter) {
        return false;
    }
    const QChar::Script script = QChar::script(letters.front());
    if (isCased(script) && QChar::category(letters.front()) == QChar::Letter_Lowercase) {
        return true;
    }
    if (script == QChar::Script_Latin && letters.size() >= 2) {
        return true;
    }
    if ((script == QChar::Script_Cyrillic || script == QChar::Script_Greek) &&
        letters.size() >= 2 && std::none_of(letters.begin(), letters.end(), isVowel)) {
        return true;
    }
    return false;
}

/// Whether `text` reads as no name is written: a character not in Unicode or for private use,
/// a symbol or phonetic sign that names do not hold, a combining mark that starts a word, a
/// lower-case letter before a capital, or a word whose letters beyond ASCII are of two scripts
/// (Chinese, Japanese and Korean count as one; each word may have a script of its own), or a
/// word that wordReadsAsNoName() finds unlike a name. The UTF-8 reading of GBK text looks like
/// this: "谢伟" reads "лΰ", "郑强" "֣ǿ".
bool readsAsNoName(QStringView text) {
    QChar::Script wordScript = QChar::Script_Unknown;
    bool afterLowerCase = false;
    bool wordStart = true;
    bool misread = false;
    forEachCodePoint(text, [&](char32_t c) {
        if (QChar::isSpace(c)) {
            wordScript = QChar::Script_Unknown;
            afterLowerCase = false;
            wordStart = true;
            return;
        }
        const QChar::Category category = QChar::category(c);
        const bool starts = std::exchange(wordStart, false);
        if (c >= 0x80) {
            if (category == QChar::Other_NotAssigned || category == QChar::Other_PrivateUse ||
                category == QChar::Other_Control || (c < 0xC0 && c != 0xA0 && c != 0xB7) ||
                (c >= 0x250 && c < 0x300) || (starts && category == QChar::Mark_NonSpacing) ||
                (afterLowerCase && category == QChar::Letter_Uppercase)) {
                misread = true;
            }
            afterLowerCase = category == QChar::Letter_Lowercase;
        } else {
            afterLowerCase = false;
        }
        // ASCII is never part of GBK's characters, so only the others are weighed.
        QChar::Script script = QChar::script(c);
        if (c < 0x80 || script == QChar::Script_Common || script == QChar::Script_Inherited) {
            return;
        }
        if (isEastAsian(script)) {
            script = QChar::Script_Han;
        }
        if (wordScript == QChar::Script_Unknown) {
            wordScript = script;
        } else if (wordScript != script) {
            misread = true;
        }
    });
    if (misread) {
        return true;
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text.at(i).isSpace()) {
            if (i > start && wordReadsAsNoName(text.sliced(start, i - start))) {
                return true;
            }
            start = i + 1;
        }
    }
    return false;
}

/// Whether `bytes` look like UTF-16 without a byte order mark, in the byte order `decoder`
/// reads: every character one a name or a line end may hold, the line ends where UTF-16 puts
/// them, and something UTF-8 would not read as text (a zero byte, a control character).
bool looksLikeUtf16(QByteArrayView bytes, QStringDecoder::Encoding encoding) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0) {
        return false;
    }
    bool strangeAsUtf8 = false;
    bool lineEndBytes = false;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        strangeAsUtf8 =
            strangeAsUtf8 || (value < 0x20 && value != '\t' && value != '\n' && value != '\r');
        lineEndBytes = lineEndBytes || value == '\n' || value == '\r';
    }
    if (!strangeAsUtf8) {
        return false;
    }
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        return false;
    }
    bool lineEnds = false;
    bool drawable = true;
    forEachCodePoint(text, [&](char32_t c) {
        if (c == U'\n' || c == U'\r') {
            lineEnds = true;
            return;
        }
        const QChar::Category category = QChar::category(c);
        drawable = drawable && c != U'\0' && category != QChar::Other_NotAssigned &&
                   category != QChar::Other_PrivateUse && category != QChar::Other_Surrogate &&
                   (category != QChar::Other_Control || c == U'\t');
    });
    return drawable && lineEnds == lineEndBytes;
}

/// Adds the name on each line of `text` to `list`.
NameList namesOfText(QStringView text) {
    NameList list;
    forEachLine(text, [&](int number, qsizetype start, qsizetype end) {
        const QString name = drawableName(text.sliced(start, end - start));
        if (!name.isEmpty()) {
            list.names.append(name);
            list.lines.append(number);
        }
        return true;
    });
    return list;
}

} // namespace

NameList parseNames(QByteArrayView text, NamesEncoding encoding) {
    int longLine = 0;
    forEachLine(text, [&longLine](int number, qsizetype start, qsizetype end) {
        longLine = end - start > kLongestNamesLine ? number : 0;
        return longLine == 0;
    });
    if (longLine != 0) {
        return {{},
                {},
                QStringLiteral("line %1 is longer than %2 bytes, the most a line may hold")
                    .arg(longLine)
                    .arg(kLongestNamesLine)};
    }
    if (encoding == NamesEncoding::Utf16 || encoding == NamesEncoding::Utf16Le ||
        encoding == NamesEncoding::Utf16Be) {
        bool bigEndian = encoding == NamesEncoding::Utf16Be;
        if (encoding == NamesEncoding::Utf16 &&
            (text.startsWith("\xFE\xFF") || text.startsWith("\xFF\xFE"))) {
            bigEndian = text.startsWith("\xFE\xFF");
        }
        if (text.startsWith(bigEndian ? "\xFE\xFF" : "\xFF\xFE")) {
            text = text.sliced(2);
        }
        QStringDecoder decoder(bigEndian ? QStringDecoder::Utf16BE : QStringDecoder::Utf16LE,
                               QStringDecoder::Flag::Stateless);
        const QString decoded = decoder(text);
        // The decoder would drop a last byte without its pair silently.
        if (decoder.hasError() || text.size() % 2 != 0) {
            return {{}, {}, QStringLiteral("it is not UTF-16 text")};
        }
        NameList list = namesOfText(decoded);
        if (list.names.isEmpty()) {
            list.error = QStringLiteral("it holds no names");
        }
        return list;
    }
    if (text.startsWith("\xEF\xBB\xBF")) {
        text = text.sliced(3);
    }
    if (encoding == NamesEncoding::Guess) {
        // Windows' editors save "Unicode" as UTF-16: its byte order mark, or a zero byte beside
        // every ASCII character, tells it from UTF-8, which never has either.
        const bool utf16 = text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF") ||
                           (text.size() >= 2 && (text.at(0) == '\0' || text.at(1) == '\0'));
        if (utf16) {
            return {{},
                    {},
                    QStringLiteral("it is UTF-16 text, not UTF-8: save it as UTF-8 (in Notepad: "
                                   "Save as, Encoding UTF-8), or convert it with iconv -f UTF-16 "
                                   "-t UTF-8, or give --encoding utf-16")};
        }
        // Without the mark, Chinese text in UTF-16 may have no zero byte at all.
        for (const auto& [order, name] : {std::pair{QStringDecoder::Utf16LE, "UTF-16LE"},
                                          std::pair{QStringDecoder::Utf16BE, "UTF-16BE"}}) {
            if (looksLikeUtf16(text, order)) {
                return {{},
                        {},
                        QStringLiteral("it is %1 text without a byte order mark, not UTF-8: "
                                       "convert it with iconv -f %1 -t UTF-8, or give "
                                       "--encoding %2")
                            .arg(QLatin1String(name), QString::fromLatin1(name).toLower())};
            }
        }
    }
    const bool gb18030 = encoding == NamesEncoding::Gb18030;
    NameList list;
    forEachLine(text, [&](int number, qsizetype start, qsizetype end) {
        const QByteArrayView bytes = text.sliced(start, end - start);
        // Stateless, so that a sequence cut short at the end of a line counts as an error.
        QStringDecoder decoder(gb18030 ? "GB18030" : "UTF-8", QStringDecoder::Flag::Stateless);
        const QString decoded = decoder(bytes);
        if (decoder.hasError()) {
            list.error = QStringLiteral("line %1 is not %2 text")
                             .arg(number)
                             .arg(gb18030 ? QStringLiteral("GB18030") : QStringLiteral("UTF-8"));
            if (encoding == NamesEncoding::Guess && chineseReading(text)) {
                list.error += QStringLiteral(" but GB18030 (GBK), as Chinese Windows saves it: ") +
                              kGb18030Advice;
            }
            return false;
        }
        if (encoding == NamesEncoding::Guess && readsAsNoName(decoded)) {
            if (const std::optional<QString> chinese = chineseReading(bytes)) {
                list.error =
                    QStringLiteral("line %1 reads \"%2\" as UTF-8 but \"%3\" as GB18030 (GBK): if "
                                   "it is GB18030, %4; if it is UTF-8, give --encoding utf-8")
                        .arg(number)
                        .arg(drawableName(decoded), drawableName(*chinese), kGb18030Advice);
                return false;
            }
        }
        const QString name = drawableName(decoded);
        if (!name.isEmpty()) {
            list.names.append(name);
            list.lines.append(number);
        }
        return true;
    });
    if (!list.error.isEmpty()) {
        return {{}, {}, list.error};
    }
    if (list.names.isEmpty()) {
        list.error = QStringLiteral("it holds no names");
    }
    return list;
}

QString misreadNameProblem(QStringView name) {
    if (!readsAsNoName(name)) {
        return {};
    }
    const std::optional<QString> chinese = chineseReading(name.toUtf8());
    if (!chinese) {
        return {};
    }
    return QStringLiteral("its bytes read \"%1\" as GB18030 (GBK): give it in UTF-8 (convert "
                          "it with iconv -f GB18030 -t UTF-8)")
        .arg(*chinese);
}

NameList readNamesFile(const QString& path, NamesEncoding encoding) {
    QFile file;
    const bool opened = path == QLatin1String("-")
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        return {{}, {}, file.errorString()};
    }
    // Read a piece at a time, so that an endless source (/dev/zero, a stuck pipe's writer
    // that never stops) is refused at the limit rather than filling the memory.
    QByteArray text;
    while (text.size() <= kLargestNamesFile) {
        const QByteArray piece =
            file.read(std::min<qint64>(1 << 20, kLargestNamesFile + 1 - text.size()));
        if (piece.isEmpty()) {
            break;
        }
        text += piece;
    }
    if (file.error() != QFileDevice::NoError) {
        return {{}, {}, file.errorString()};
    }
    if (text.size() > kLargestNamesFile) {
        return {{},
                {},
                QStringLiteral("it holds more than %1 MiB, the most a names file may hold")
                    .arg(kLargestNamesFile / (1024 * 1024))};
    }
    return parseNames(text, encoding);
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
