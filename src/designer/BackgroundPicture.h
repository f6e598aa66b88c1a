#pragma once

#include <QImage>
#include <QString>

class QImageReader;

namespace inkvale {

/// Pictures larger than this many pixels are refused before they are decoded.
inline constexpr qint64 kLargestBackgroundPixels = 100'000'000;

/// Whether a picture of `size` is beyond kLargestBackgroundPixels.
[[nodiscard]] bool exceedsPixelLimit(QSize size);

/// Reads the picture at `reader`'s device, refusing one beyond the pixel limit before it is
/// decoded. A null image when it cannot; `reader` then says why, unless the size was refused.
[[nodiscard]] QImage readPictureWithinLimit(QImageReader& reader);

/// The outcome of adopting a background picture.
struct BackgroundPicture {
    QImage image;  ///< the loaded picture; null when it could not be adopted
    QString error; ///< why not, for the user; empty on success
};

/// Copies `chosen` to "xxx.jpg" in `programFolder` and loads the picture from the copy. The file
/// is checked first, so a file that is not a usable picture leaves an earlier copy in place;
/// choosing the copy itself loads it as it is.
[[nodiscard]] BackgroundPicture adoptBackgroundPicture(const QString& chosen,
                                                       const QString& programFolder);

} // namespace inkvale
