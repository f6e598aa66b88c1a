#pragma once

#include "platform/files/AtomicFile.h"

#include <QDateTime>
#include <QImage>
#include <QString>

namespace inkvale {

/// The name a signature saved at `when` gets: "QM", the fourteen-digit local date and time
/// (year, month, day, 24-hour clock, minute, second) and ".jpg", e.g. QM20250101090507.jpg.
[[nodiscard]] QString signatureFileName(const QDateTime& when);

/// `image` as the bytes of a Windows bitmap file; empty when it cannot be encoded.
[[nodiscard]] QByteArray bitmapBytes(const QImage& image);

/// The outcome of saveSignature.
struct SavedSignature {
    QString name;   ///< the file name taken, without the folder; empty when none was
    Outcome result; ///< why nothing was saved, when it failed
};

/// Saves `image` as a bitmap into `folder` under a name no file has: signatureFileName(when),
/// or, when that name is taken, the next second whose name is free. The name is claimed in
/// one step with the complete file, so another program saving at the same moment can neither
/// take it nor be overwritten; an existing file is never replaced.
[[nodiscard]] SavedSignature saveSignature(const QImage& image, const QString& folder,
                                           const QDateTime& when);

} // namespace inkvale
