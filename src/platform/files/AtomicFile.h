#pragma once

#include "platform/files/Failure.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace inkvale {

/// How the finished file takes its name.
enum class WriteMode {
    /// Replaces whatever has the name, and is on the disk before the name points at it, so
    /// that a crash right after leaves the old file or the new one, never an empty one.
    ReplaceDurably,
    /// Replaces whatever has the name, without waiting for the disk: for files that are written
    /// again anyway (at every start); a reader still never sees a torn file.
    ReplaceQuickly,
    /// Takes the name only when it is free, atomically, so that two writers can never both
    /// believe they own it; fails with Cause::NameTaken otherwise. Durable like
    /// ReplaceDurably.
    ClaimNewName,
    /// Like ClaimNewName, without waiting for the disk: for the many files of a batch.
    ClaimNewNameQuickly,
    /// Like ReplaceQuickly, but the old file's name is removed just before the complete file
    /// takes it: some file systems (ext4) push a file's data to the disk when it replaces
    /// another by rename, and a file that takes a free name is not held up that way. A reader
    /// may, for an instant, find no file at all; it never finds a torn one. Processes that have
    /// the old file open or mapped keep it whole.
    RemoveThenReplace,
    /// Like ReplaceQuickly, for a file a user named (on the command line, in a file dialog), by
    /// one rule for every such name:
    /// - a symbolic link is followed and the file it points at is replaced (the link stays a
    ///   link), as `cp` does; but never a link that the kernel's protected_symlinks rule would
    ///   not follow: one in a sticky folder that everyone may write (/tmp), belonging neither
    ///   to the folder's owner nor to this user (Cause::UntrustedLink), whether the system has
    ///   the rule switched on or not; every link on the way is judged so;
    /// - a FIFO, a device or a socket is refused unopened (Cause::NotARegularFile), never
    ///   replaced by a file;
    /// - a file this user may not write is refused (Cause::NoPermission) rather than replaced
    ///   through the folder's permission;
    /// - a file with other hard links is refused (Cause::HardLinked), since a new file would
    ///   leave the other names on the old picture;
    /// - a replaced file keeps its owner and group where the system lets us, and its
    ///   permissions.
    ReplaceNamedFile,
    /// ReplaceNamedFile, durable like ReplaceDurably: for a file the user saves in the window.
    ReplaceNamedFileDurably,
};

/// A run of bytes inside another file: where a payload lies in the program's own executable.
struct FileRange {
    QString path;      ///< the file that holds the bytes (e.g. "/proc/self/exe")
    qint64 offset = 0; ///< where they start
    qint64 size = 0;   ///< how many there are
};

/// Writes `bytes` to `path` so that no byte reaches `path` before the whole file is complete:
/// the bytes go to a temporary file in the same folder, every write and the close are checked,
/// and only then is it renamed into place. On any failure the temporary file is removed and
/// whatever was at `path` stays as it was. A replaced file's permissions are kept; a new file
/// gets the usual permissions for the user's umask.
[[nodiscard]] Outcome writeFileAtomically(const QString& path, QByteArrayView bytes,
                                          WriteMode mode = WriteMode::ReplaceDurably);

/// Like writeFileAtomically above, with the bytes taken from `source`. Where the system can, they
/// are copied inside the kernel and never pass through this process's memory; otherwise they
/// are read and written in pieces. A source that cannot be opened or is shorter than its range
/// fails like any write.
[[nodiscard]] Outcome writeFileAtomically(const QString& path, const FileRange& source,
                                          WriteMode mode = WriteMode::ReplaceDurably);

/// Makes the folder `path` with the folders above it that are missing; the system's reason for
/// the first one that cannot be made (a folder the user may not write, a file in the way).
[[nodiscard]] Outcome makeFolders(const QString& path);

/// Whether `path` may be written with ReplaceNamedFile, by the same rule, without writing it: for
/// a name that something else (a print engine) is about to open.
[[nodiscard]] Outcome checkNamedFile(const QString& path);

/// Removes from `folder` the temporary files that writes into it left when they were stopped
/// before they ended (the process killed, the power lost), whatever file they were writing.
/// Each temporary file's name carries a marker that no other file's has ("." name
/// ".inkvale-tmp-" thirteen base-36 digits ".part"), and only regular files of this user's
/// with no other link are removed, so that nothing of anyone else's is ever touched. While any
/// write is under way in the folder (in this or another process; each holds a lock on the
/// folder that ends with its process) nothing is removed.
void removeLeftoverTemporaries(const QString& folder);

/// Reads the whole file at `path`, with the system's reason when it cannot. A file larger than
/// `maxBytes` fails with Cause::FileTooLarge before anything is read; anything but a regular
/// file is refused unopened, as openRegularFile does.
[[nodiscard]] Result<QByteArray> readWholeFile(const QString& path, qint64 maxBytes);

/// From now on, an interrupt, hang-up, quit or termination signal first removes the temporary
/// files of the writes under way, then ends the process as the signal would have. Signals the
/// process ignores (as under `nohup`) stay ignored. For command-line programs.
void removeTemporaryFilesOnSignals();

} // namespace inkvale
