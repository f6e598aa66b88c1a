#include "render/PngEncoding.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>

namespace inkvale {

QByteArray encodePng(const QImage& image, int compressionLevel) {
    const int level = std::clamp(compressionLevel, 0, 9);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // Qt's PNG writer takes a quality and sets zlib's level to (100 - quality) * 9 / 91; this is
    // the quality that gives `level`.
    writer.setQuality(100 - (level * 91 + 8) / 9);
    if (!writer.write(image)) {
        return {};
    }
    return bytes;
}

} // namespace inkvale
