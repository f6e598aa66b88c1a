#pragma once

#include "platform/files/Failure.h"

#include <QString>

namespace inkvale {

/// What went wrong writing into `folder`, in words a user can act on: the folder by name, and
/// what to do about it. The common causes are the program's own sentences; only rare ones
/// carry the system's words.
[[nodiscard]] QString folderWriteFailureText(const Outcome& result, const QString& folder);

/// What went wrong saving a signature into the user's own `folder` (the pictures folder of an
/// installed copy), which the user may fix without moving the program.
[[nodiscard]] QString signatureFolderFailureText(const Outcome& result, const QString& folder);

/// `path` as the user's file manager shows it, in quotation marks.
[[nodiscard]] QString shownFolder(const QString& path);

/// Why the picture at `path` could not be read, for the background picture choice.
[[nodiscard]] QString pictureReadFailureText(const Outcome& result, const QString& path);

} // namespace inkvale
