#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace inkvale {

/// The names of a batch, or why there are none.
struct NameList {
    QStringList names; ///< in file order, duplicates kept
    QString error;     ///< empty when the names could be read
};

/// The names in UTF-8 text: one a line (LF or CR LF), blanks around each name trimmed, blank
/// lines skipped, a leading byte order mark ignored. Text that is not UTF-8 is an error naming
/// the first bad line; so is text without a single name.
[[nodiscard]] NameList parseNames(QByteArrayView text);

/// The names in the file at `path`, as parseNames() reads them; an unreadable file is an error.
[[nodiscard]] NameList readNamesFile(const QString& path);

/// The longest base name safeFileName() gives, in UTF-8 bytes: room is left for a counter and
/// an extension within the 255 bytes most file systems allow.
inline constexpr int kLongestBaseName = 200;

/// A file base name (without extension) that stands for `name` in any folder: the characters
/// / \ : * ? " < > |, control characters and halves of surrogate pairs become '_', surrounding blanks and dots are
/// removed (no hidden files, nothing Windows rejects), the result is cut to kLongestBaseName
/// bytes at a character boundary, and "_" stands for a name that leaves nothing.
[[nodiscard]] QString safeFileName(const QString& name);

/// One file name per name, in order: safeFileName() plus "." and `extension`, the second and
/// later names that would share a file (letter case ignored) getting " (2)", " (3)", ...
[[nodiscard]] QStringList batchFileNames(const QStringList& names, const QString& extension);

} // namespace inkvale
