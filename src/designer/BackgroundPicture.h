#pragma once

#include <QImage>
#include <QString>

namespace inkvale {

/// The outcome of adopting a background picture.
struct BackgroundPicture {
    QImage image;  ///< the loaded picture; null when it could not be adopted
    QString error; ///< why not, for the user; empty on success
};

/// Reads `chosen`, checks that it is a whole picture, and writes its bytes to "xxx.jpg" in
/// `programFolder` (replacing an earlier copy only once the new one is complete). Any failure
/// (the file cannot be read, is not a picture or is damaged, the folder cannot be written)
/// leaves an earlier copy as it was and says why, naming the file or the folder.
[[nodiscard]] BackgroundPicture adoptBackgroundPicture(const QString& chosen,
                                                       const QString& programFolder);

} // namespace inkvale
