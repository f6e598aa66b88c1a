#pragma once

#include "platform/files/Failure.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

class QImageReader;

namespace inkvale {

/// Pictures larger than this many pixels are refused before they are decoded.
inline constexpr qint64 kLargestBackgroundPixels = 100'000'000;

/// Picture files larger than this are refused unread: no picture within the pixel limit needs
/// them.
inline constexpr qint64 kLargestPictureFile = 512LL * 1024 * 1024;

/// Whether `bytes` are a JPEG stream that runs to its end-of-image marker: a file cut short
/// lacks it, and the decoder would fill the missing rows with grey instead of failing. Segments
/// are walked by their lengths, so a marker inside an embedded thumbnail is not taken for the
/// end.
[[nodiscard]] bool jpegRunsToItsEnd(const QByteArray& bytes);

/// Whether a picture of `size` is beyond kLargestBackgroundPixels.
[[nodiscard]] bool exceedsPixelLimit(QSize size);

/// Reads the picture at `reader`'s device, refusing one beyond the pixel limit before it is
/// decoded. A null image when it cannot; `reader` then says why, unless the size was refused.
[[nodiscard]] QImage readPictureWithinLimit(QImageReader& reader);

/// A picture decoded from bytes, or why its bytes cannot serve as a picture: Cause::NotAPicture
/// (no image format recognises it), Cause::PictureTooLarge (beyond kLargestBackgroundPixels) or
/// Cause::DamagedPicture (recognised, but truncated or with errors in its data).
struct DecodedPicture {
    QImage image;    ///< null unless outcome.ok()
    Outcome outcome; ///< why there is no picture
    QSize size;      ///< the size its header gives, when known
};

/// Decodes `bytes`, refusing what readPictureWithinLimit refuses and any picture that is cut
/// short or that the decoder had to patch up (a JPEG without its end marker, data errors): such
/// a picture would show a grey band or garbage.
[[nodiscard]] DecodedPicture decodeIntactPicture(const QByteArray& bytes);

} // namespace inkvale
