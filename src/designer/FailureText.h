#pragma once

#include "platform/files/AtomicFile.h"

#include <QString>

namespace inkvale {

/// What went wrong writing into `folder`, in words a user can act on: the folder by name, and
/// what to do about it. The common causes are the program's own sentences; only rare ones
/// carry the system's words.
[[nodiscard]] QString folderWriteFailureText(const WriteResult& result, const QString& folder);

/// Why the picture at `path` could not be read, for the background picture choice.
[[nodiscard]] QString pictureReadFailureText(const ReadResult& result, const QString& path);

/// The reason alone for a system error class, as a short phrase ("没有权限", "磁盘空间不足"),
/// falling back to `systemReason` for causes without a sentence of their own.
[[nodiscard]] QString failureReasonText(WriteFailure failure, const QString& systemReason);

} // namespace inkvale
