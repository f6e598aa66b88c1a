#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

namespace inkvale {

/// The name a signature saved at `when` gets: "QM", the fourteen-digit local date and time
/// (year, month, day, 24-hour clock, minute, second) and ".jpg", e.g. QM20250101090507.jpg.
[[nodiscard]] QString signatureFileName(const QDateTime& when);

/// Writes `image` as a Windows bitmap to `path`. The bytes go to a temporary file beside it that
/// replaces `path` only when complete, so a failed save never leaves a truncated picture.
/// Returns an empty string on success, otherwise why it failed.
[[nodiscard]] QString writeBitmap(const QImage& image, const QString& path);

} // namespace inkvale
