// inkvale-render's names file and the file names a batch gets from it.

#include "FuzzCheck.h"
#include "cli/BatchNames.h"

#include <QSet>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

const QString kExtensions[] = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("bmp"),
                               QStringLiteral("svg"), QStringLiteral("pdf")};

bool isReserved(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("/\\:*?\"<>|").contains(c);
}

/// Whether `text` is whole UTF-16: no surrogate without its partner.
bool isWholeUtf16(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() &&
            text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (text.at(i).isSurrogate()) {
            return false;
        }
    }
    return true;
}

/// Whether `base` would name a device on DOS and Windows: CON, PRN, AUX, NUL, COM0-9, LPT0-9
/// (digits in superscript too), CONIN$, CONOUT$ or CLOCK$ before its first dot, in any case,
/// blanks after it ignored.
bool isDeviceName(const QString& base) {
    static const QSet<QString> kDevices = [] {
        QSet<QString> devices{QStringLiteral("CON"),    QStringLiteral("PRN"),
                              QStringLiteral("AUX"),    QStringLiteral("NUL"),
                              QStringLiteral("CONIN$"), QStringLiteral("CONOUT$"),
                              QStringLiteral("CLOCK$")};
        const QString digits = QStringLiteral("0123456789¹²³");
        for (const QChar digit : digits) {
            devices.insert(QStringLiteral("COM") + digit);
            devices.insert(QStringLiteral("LPT") + digit);
        }
        return devices;
    }();
    QString stem = base.section(QLatin1Char('.'), 0, 0);
    while (!stem.isEmpty() && stem.back().isSpace()) {
        stem.chop(1);
    }
    return kDevices.contains(stem.toUpper());
}

void checkBaseName(const QString& base) {
    FUZZ_CHECK(!isDeviceName(base));
    FUZZ_CHECK(base == base.normalized(QString::NormalizationForm_C));
    FUZZ_CHECK(!base.isEmpty());
    FUZZ_CHECK(base.toUtf8().size() <= inkvale::kLongestBaseName);
    FUZZ_CHECK(isWholeUtf16(base));
    FUZZ_CHECK(base.front() != QLatin1Char('.') && !base.front().isSpace());
    FUZZ_CHECK(base.back() != QLatin1Char('.') && !base.back().isSpace());
    for (const QChar c : base) {
        FUZZ_CHECK(!isReserved(c) && c.category() != QChar::Other_Control);
        // Nothing that does not show: no zero-width, direction or other format characters.
        FUZZ_CHECK(c.category() != QChar::Other_Format);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const QString& extension = kExtensions[(data[0] >> 1) % std::size(kExtensions)];
    const QByteArrayView rest(reinterpret_cast<const char*>(data + 1),
                              static_cast<qsizetype>(size - 1));
    QStringList names;
    if ((data[0] & 1) == 0) {
        // A names file.
        const inkvale::NameList list = inkvale::parseNames(rest);
        FUZZ_CHECK(list.error.isEmpty() != list.names.isEmpty());
        for (const QString& name : list.names) {
            FUZZ_CHECK(!name.isEmpty() && name == name.trimmed());
            FUZZ_CHECK(!name.contains(QLatin1Char('\n')) && !name.contains(QLatin1Char('\r')));
            // A name from a file is drawn as the same name given on the command line would be.
            FUZZ_CHECK(name == inkvale::drawableName(name));
            FUZZ_CHECK(!name.contains(QLatin1Char('\t')));
            FUZZ_CHECK(isWholeUtf16(name));
        }
        names = list.names;
    } else {
        // Any text at all, broken surrogates included, one name a line.
        QString text(rest.size() / 2, Qt::Uninitialized);
        std::memcpy(text.data(), rest.data(), static_cast<std::size_t>(text.size()) * 2);
        names = text.split(QLatin1Char('\n'));
    }

    for (const QString& name : names) {
        checkBaseName(inkvale::safeFileName(name));
    }
    const QStringList files = inkvale::batchFileNames(names, extension);
    FUZZ_CHECK(files.size() == names.size());
    QSet<QString> seen;
    for (const QString& file : files) {
        FUZZ_CHECK(file.endsWith(QLatin1Char('.') + extension));
        checkBaseName(file.chopped(extension.size() + 1));
        // Room for it in any file system that allows 255 bytes for a name.
        FUZZ_CHECK(file.toUtf8().size() <= 255);
        const QString folded = file.toCaseFolded();
        FUZZ_CHECK(!seen.contains(folded));
        seen.insert(folded);
    }
    return 0;
}
