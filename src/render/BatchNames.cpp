#include "render/BatchNames.h"

#include <QFile>
#include <QSet>
#include <QStringDecoder>

namespace inkvale {

namespace {

bool isUnsafe(QChar c) {
    static const QString kReserved = QStringLiteral("/\\:*?\"<>|");
    return c.unicode() < 0x20 || c.unicode() == 0x7f || kReserved.contains(c) ||
           c.category() == QChar::Other_Control;
}

bool isTrimmed(QChar c) {
    return c == QLatin1Char('.') || c.isSpace();
}

} // namespace

NameList parseNames(QByteArrayView text) {
    if (text.startsWith("\xEF\xBB\xBF")) {
        text = text.sliced(3);
    }
    NameList list;
    int lineNumber = 0;
    for (const QByteArray& line : text.toByteArray().split('\n')) {
        ++lineNumber;
        // Stateless, so that a sequence cut short at the end of a line counts as an error.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder(line);
        if (decoder.hasError()) {
            return {{}, QStringLiteral("line %1 is not UTF-8 text").arg(lineNumber)};
        }
        const QString name = decoded.trimmed();
        if (!name.isEmpty()) {
            list.names.append(name);
        }
    }
    if (list.names.isEmpty()) {
        list.error = QStringLiteral("it holds no names");
    }
    return list;
}

NameList readNamesFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, file.errorString()};
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{}, file.errorString()};
    }
    return parseNames(text);
}

QString safeFileName(const QString& name) {
    QString safe = name;
    for (qsizetype i = 0; i < safe.size(); ++i) {
        const QChar c = safe.at(i);
        // Half a surrogate pair has no encoding in a file name.
        const bool lone =
            (c.isHighSurrogate() && (i + 1 == safe.size() || !safe.at(i + 1).isLowSurrogate())) ||
            (c.isLowSurrogate() && (i == 0 || !safe.at(i - 1).isHighSurrogate()));
        if (lone || isUnsafe(c)) {
            safe[i] = QLatin1Char('_');
        }
    }
    qsizetype begin = 0;
    qsizetype end = safe.size();
    while (begin < end && isTrimmed(safe.at(begin))) {
        ++begin;
    }
    while (end > begin && isTrimmed(safe.at(end - 1))) {
        --end;
    }
    safe = safe.mid(begin, end - begin);
    if (safe.size() > kLongestBaseName) {
        safe.truncate(kLongestBaseName);
        if (safe.back().isHighSurrogate()) {
            safe.chop(1);
        }
    }
    while (safe.toUtf8().size() > kLongestBaseName) {
        // Never split a surrogate pair.
        safe.chop(safe.size() >= 2 && safe.back().isLowSurrogate() ? 2 : 1);
    }
    while (!safe.isEmpty() && isTrimmed(safe.back())) {
        safe.chop(1);
    }
    return safe.isEmpty() ? QStringLiteral("_") : safe;
}

QStringList batchFileNames(const QStringList& names, const QString& extension) {
    QStringList files;
    QSet<QString> taken;
    for (const QString& name : names) {
        const QString base = safeFileName(name);
        QString file = base + QLatin1Char('.') + extension;
        for (int n = 2; taken.contains(file.toCaseFolded()); ++n) {
            file = QStringLiteral("%1 (%2).%3").arg(base).arg(n).arg(extension);
        }
        taken.insert(file.toCaseFolded());
        files.append(file);
    }
    return files;
}

} // namespace inkvale
