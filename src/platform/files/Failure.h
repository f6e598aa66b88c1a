#pragma once

#include <QString>

#include <utility>

namespace inkvale {

/// Why something could not be done, in the classes a person can act on. Each has its words in
/// English and in Chinese in one table (Failure.cpp).
enum class Cause {
    None,               ///< done
    NoPermission,       ///< this user may not read or write there
    NoSpace,            ///< the disk or the user's quota is full
    ReadOnlyFileSystem, ///< the folder lies on a file system mounted read-only
    FileTooLarge,       ///< larger than the system lets this process write, or than is read
    NoSuchFile,         ///< the file, or the folder it was to go into, does not exist
    NameTaken,          ///< the name exists already and was not to be replaced
    IsFolder,           ///< a folder stands where a file was meant
    NotARegularFile,    ///< a FIFO, a device or a socket stands where a file was meant
    NotAPicture,        ///< no image format recognises it; detail: the formats that are read
    PictureTooLarge,    ///< beyond the pixel limit; detail: the limit in millions of pixels
    DamagedPicture,     ///< recognised, but cut short or with errors in its data
    NotEncoded,         ///< the picture or document could not be made
    NoMemory,           ///< there was not enough memory to make it
    HardLinked,         ///< the file has other hard links that a new file would split off
    UntrustedLink,      ///< a symbolic link of another user's in a shared sticky folder
    Other,              ///< anything else: see Outcome::detail
};

/// Whether a file was being read or written: the same cause reads differently for each.
enum class Access { Write, Read };

/// The outcome of anything that can fail: done, or the cause, the system's error number and
/// the words the cause's own text leaves to the occasion.
struct Outcome {
    Cause cause = Cause::None;
    Access access = Access::Write;
    int systemError = 0; ///< the system's error number, 0 when the system gave none
    QString detail;      ///< the system's own words, or what the cause's text takes; see Cause

    [[nodiscard]] bool ok() const { return cause == Cause::None; }

    /// The outcome of a system call that failed with `systemError` while accessing a file (0:
    /// it did not fail).
    [[nodiscard]] static Outcome ofSystemError(int systemError, Access access = Access::Write);
    /// A failure of `cause` without a system error.
    [[nodiscard]] static Outcome failed(Cause cause, QString detail = {},
                                        Access access = Access::Write) {
        return {cause, access, 0, std::move(detail)};
    }
};

/// A value, or why there is none.
template <typename T>
struct Result {
    T value{};       ///< meaningful only when ok()
    Outcome outcome; ///< why there is no value

    [[nodiscard]] bool ok() const { return outcome.ok(); }
};

/// The cause of `outcome` in English, as a command-line tool says it: "the disk is full". Empty
/// on success.
[[nodiscard]] QString englishText(const Outcome& outcome);

/// The cause of `outcome` as a short Chinese phrase for a sentence of the window's: "磁盘空间不足".
/// Empty on success.
[[nodiscard]] QString chineseText(const Outcome& outcome);

} // namespace inkvale
