#pragma once

#include "platform/files/Failure.h"

#include <QString>

namespace inkvale {

/// What went wrong writing into `folder`, in words a user can act on: the folder by name, and
/// what to do about it. The common causes are the program's own sentences; only rare ones
/// carry the system's words.
[[nodiscard]] QString folderWriteFailureText(const Outcome& result, const QString& folder);

/// Why the picture at `path` could not be read, for the background picture choice.
[[nodiscard]] QString pictureReadFailureText(const Outcome& result, const QString& path);

} // namespace inkvale
