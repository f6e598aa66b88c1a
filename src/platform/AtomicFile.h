#pragma once

#include <QByteArrayView>
#include <QString>

namespace inkvale {

/// Why a file could not be written, in the classes a person can act on.
enum class WriteFailure {
    None,               ///< the file is complete at its final name
    NoPermission,       ///< the folder or the file may not be written by this user
    NoSpace,            ///< the disk or the user's quota is full
    ReadOnlyFileSystem, ///< the folder lies on a file system mounted read-only
    FileTooLarge,       ///< the file is larger than the system lets this process write
    FolderMissing,      ///< the target folder does not exist
    NameTaken,          ///< the name exists already and was not to be replaced
    Other,              ///< anything else: see WriteResult::systemReason
};

/// The outcome of writeFileAtomically.
struct WriteResult {
    WriteFailure failure = WriteFailure::None;
    int systemError = 0;  ///< the system's error number, 0 on success
    QString systemReason; ///< the system's own words for systemError, empty on success

    [[nodiscard]] bool ok() const { return failure == WriteFailure::None; }
};

/// How the finished file takes its name.
enum class WriteMode {
    /// Replaces whatever has the name, and is on the disk before the name points at it, so
    /// that a crash right after leaves the old file or the new one, never an empty one.
    ReplaceDurably,
    /// Replaces whatever has the name, without waiting for the disk: for files that are written
    /// again anyway (at every start); a reader still never sees a torn file.
    ReplaceQuickly,
    /// Takes the name only when it is free, atomically, so that two writers can never both
    /// believe they own it; fails with WriteFailure::NameTaken otherwise. Durable like
    /// ReplaceDurably.
    ClaimNewName,
};

/// Writes `bytes` to `path` so that no byte reaches `path` before the whole file is complete:
/// the bytes go to a temporary file in the same folder, every write and the close are checked,
/// and only then is it renamed into place. On any failure the temporary file is removed and
/// whatever was at `path` stays as it was. A replaced file's permissions are kept; a new file
/// gets the usual permissions for the user's umask.
[[nodiscard]] WriteResult writeFileAtomically(const QString& path, QByteArrayView bytes,
                                              WriteMode mode = WriteMode::ReplaceDurably);

/// The failure class of a system error number.
[[nodiscard]] WriteFailure classifyWriteError(int systemError);

} // namespace inkvale
