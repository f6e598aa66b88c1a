#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace inkvale {

/// The encoding a names file is read in.
enum class NamesEncoding {
    /// UTF-8; text that is another encoding the program knows (UTF-16, GB18030) is refused with
    /// the way to convert it, even where its bytes happen to be UTF-8 too, rather than drawn as
    /// gibberish.
    Guess,
    Utf8,    ///< UTF-8, taken as it is
    Gb18030, ///< GB18030, which GBK and GB2312 are part of: what Chinese Windows saves
    Utf16,   ///< UTF-16, in the byte order of its byte order mark, else little-endian
    Utf16Le, ///< UTF-16, little-endian
    Utf16Be, ///< UTF-16, big-endian
};

/// The encoding `text` names: utf-8, gb18030 (gbk, gb2312), utf-16, utf-16le or utf-16be, in
/// any case; nothing for anything else.
[[nodiscard]] std::optional<NamesEncoding> namesEncodingNamed(const QString& text);

/// The most bytes a names file may hold, and a line of it.
inline constexpr qint64 kLargestNamesFile = 16 * 1024 * 1024;
inline constexpr qsizetype kLongestNamesLine = 4096;

/// The names of a batch, or why there are none.
struct NameList {
    QStringList names; ///< in file order, duplicates kept, each as drawableName() gives it
    QList<int> lines;  ///< the line each name stands on, counted from 1
    QString error;     ///< empty when the names could be read
};

/// `text` as a name is drawn: a leading byte order mark is dropped, every tab becomes a space,
/// and blanks around the name (spaces, tabs, line ends and the other Unicode spaces) are
/// removed. The same for a name given on the
/// command line and one read from a names file.
[[nodiscard]] QString drawableName(QStringView text);

/// Why `name` cannot be drawn, or an empty string when it can: a control character other than
/// the tab (which drawableName() has made a space), a line or paragraph separator, or half of
/// a surrogate pair. Such characters draw as boxes in some formats and as nothing in others.
[[nodiscard]] QString nameProblem(QStringView name);

/// `text` fit for a terminal: characters that do not show (control, format and direction
/// characters, separators other than the space) are written as <U+XXXX>, so that no escape
/// sequence or reordering reaches the terminal. Every message of the program goes through it.
[[nodiscard]] QString terminalSafe(QStringView text);

/// `name` in double quotes, fit for a message: characters that do not show (control, format
/// and direction characters, separators other than the space) are written as <U+XXXX>, and a
/// long name is shortened with "...".
[[nodiscard]] QString quotedName(QStringView name);

/// The names in `text`: one a line, lines ending in LF, CR LF or CR alone; each name as
/// drawableName() gives it; blank lines skipped; a leading byte order mark ignored. Text that
/// is not in `encoding` is an error naming the first bad line, and with the way to convert it
/// when it is in another encoding the program knows; so is a line longer than
/// kLongestNamesLine bytes, and text without a single name. Names that cannot be drawn (see
/// nameProblem()) are kept: the batch reports and skips them.
[[nodiscard]] NameList parseNames(QByteArrayView text,
                                  NamesEncoding encoding = NamesEncoding::Guess);

/// The names in the file at `path`, or on standard input for "-", as parseNames() reads them;
/// an unreadable file, or one larger than kLargestNamesFile, is an error that names its cause.
[[nodiscard]] NameList readNamesFile(const QString& path,
                                     NamesEncoding encoding = NamesEncoding::Guess);

/// `bytes` read as GB18030 when they are Chinese text: readable, and every character beyond
/// ASCII a Chinese character, a full-width or Chinese punctuation mark or the middle dot of
/// transcribed names. Nothing otherwise.
[[nodiscard]] std::optional<QString> chineseReading(QByteArrayView bytes);

/// Why `name`, given as UTF-8, looks like GB18030 (GBK) text taken for UTF-8, as a shell hands
/// over a name from a file saved by Chinese Windows: its UTF-8 reading mixes scripts no name
/// mixes, while its GB18030 reading is Chinese. Empty when it does not.
[[nodiscard]] QString misreadNameProblem(QStringView name);

/// The longest base name safeFileName() and batchFileNames() give (counter included), in UTF-8
/// bytes: room is left for an extension within the 255 bytes most file systems allow.
inline constexpr int kLongestBaseName = 200;

/// A file base name (without extension) that stands for `name` in any folder of Linux, macOS
/// and Windows:
/// - the characters / \ : * ? " < > |, control characters, separators other than blanks and
///   broken surrogates become '_';
/// - format and direction characters (zero-width joiners and spaces, direction marks and
///   overrides, the byte order mark, soft hyphens) are left out, since they do not show;
/// - the result is in Unicode normal form C, and blanks and dots around it are removed (no
///   hidden files, nothing Windows trims or rejects);
/// - a device name of DOS and Windows before the first dot (CON, PRN, AUX, NUL, COM0 to COM9,
///   LPT0 to LPT9, their superscript forms, CONIN$, CONOUT$, CLOCK$, in any case, blanks
///   after it ignored) gets a '_' after it, so "com1.txt" gives "com1_.txt";
/// - it is cut to kLongestBaseName bytes at the end of a character as a person sees it (a
///   letter keeps its accents, an emoji its modifiers);
/// - "_" stands for a name that leaves nothing.
[[nodiscard]] QString safeFileName(QStringView name);

/// One file name per name, in order: safeFileName() plus "." and `extension`, the second and
/// later names that would share a file (letter case ignored) getting " (2)", " (3)", ..., the
/// base cut as safeFileName() cuts it where the counter would take it past kLongestBaseName. Takes
/// time in proportion to the number of names, however many of them are alike.
[[nodiscard]] QStringList batchFileNames(const QStringList& names, const QString& extension);

} // namespace inkvale
