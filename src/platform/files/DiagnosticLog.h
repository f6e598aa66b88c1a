#pragma once

#include "platform/files/Failure.h"

#include <QString>

namespace inkvale {

/// The environment variable that names a log file, as --log FILE does.
inline constexpr char kLogFileVariable[] = "INKVALE_LOG_FILE";

/// Sends every message of the process, Qt's and the program's, to standard error as Qt does
/// and also, one line each, to the end of the file at `path`: "2026-12-11T08:00:00.123Z info
/// inkvale.update: …". The program's own categories are switched on for the file's sake, unless
/// QT_LOGGING_RULES says otherwise. The file is a file the user named and is opened by the same
/// rule as every such file: a link another user planted in a shared folder, a FIFO or a device,
/// a file this user may not write are refused (the outcome says why, for the caller to tell the
/// user).
[[nodiscard]] Outcome startDiagnosticLog(const QString& path);

/// Ends the file log started by startDiagnosticLog(): messages go to standard error only again,
/// and the file is closed.
void stopDiagnosticLog();

} // namespace inkvale
