#include "core/ImageConversion.h"

#include <QColorSpace>

#include <algorithm>
#include <cstring>
#include <new>

namespace inkvale {

namespace {

/// The most pixels Qt converts on the calling thread: below two of its 65536-pixel segments.
constexpr qsizetype kPixelsConvertedAlone = 1 << 16;

} // namespace

QImage convertedOnThisThread(const QImage& image, QImage::Format format) {
    if (image.isNull() || image.format() == format) {
        return image;
    }
    if (qsizetype(image.width()) * image.height() <= kPixelsConvertedAlone) {
        QImage converted = image.convertToFormat(format);
        if (converted.isNull()) {
            throw std::bad_alloc();
        }
        return converted;
    }
    QImage converted(image.size(), format);
    if (converted.isNull()) {
        throw std::bad_alloc();
    }
    converted.setDotsPerMeterX(image.dotsPerMeterX());
    converted.setDotsPerMeterY(image.dotsPerMeterY());
    converted.setColorSpace(image.colorSpace());
    for (const QString& key : image.textKeys()) {
        converted.setText(key, image.text(key));
    }
    const int rows = std::max(1, int(kPixelsConvertedAlone / image.width()));
    for (int top = 0; top < image.height(); top += rows) {
        const int height = std::min(rows, image.height() - top);
        const QImage band = image.copy(0, top, image.width(), height).convertToFormat(format);
        if (band.isNull()) {
            throw std::bad_alloc();
        }
        const auto bytes = std::size_t(std::min(band.bytesPerLine(), converted.bytesPerLine()));
        for (int y = 0; y < height; ++y) {
            std::memcpy(converted.scanLine(top + y), band.constScanLine(y), bytes);
        }
    }
    return converted;
}

} // namespace inkvale
