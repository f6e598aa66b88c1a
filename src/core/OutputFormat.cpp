#include "core/OutputFormat.h"

#include "core/ImageConversion.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <array>
#include <new>
#include <utility>

namespace inkvale {

namespace {

// The first extension of a format is the one its files get.
constexpr std::array<std::pair<OutputFormat, QStringView>, 6> kExtensions{{
    {OutputFormat::Bitmap, u"bmp"},
    {OutputFormat::Png, u"png"},
    {OutputFormat::Svg, u"svg"},
    {OutputFormat::Pdf, u"pdf"},
    {OutputFormat::Jpeg, u"jpg"},
    {OutputFormat::Jpeg, u"jpeg"},
}};

} // namespace

std::optional<OutputFormat> formatOfFileName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix();
    return suffix.isEmpty() ? std::nullopt : formatNamed(suffix);
}

std::optional<OutputFormat> formatNamed(QStringView name) {
    for (const auto& [format, extension] : kExtensions) {
        if (name.compare(extension, Qt::CaseInsensitive) == 0) {
            return format;
        }
    }
    return std::nullopt;
}

QString extensionOf(OutputFormat format) {
    for (const auto& [known, extension] : kExtensions) {
        if (known == format) {
            return extension.toString();
        }
    }
    return {};
}

QByteArray encodeRaster(const QImage& image, OutputFormat format, PngContent content,
                        int jpegQuality) {
    if (format == OutputFormat::Png) {
        return encodePng(image, content);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == OutputFormat::Jpeg) {
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(jpegQuality);
        writer.setOptimizedWrite(true);
        if (!writer.write(convertedOnThisThread(image, QImage::Format_RGB32))) {
            // Any picture is a JPEG: libjpeg fails only when its allocations do.
            throw std::bad_alloc();
        }
        return bytes;
    }
    return image.save(&buffer, "BMP") ? bytes : QByteArray();
}

Outcome writeOutputFile(const QString& path, const QByteArray& bytes, WriteMode mode) {
    return writeFileAtomically(path, bytes, mode);
}

Outcome writeRaster(const QImage& image, const QString& path, OutputFormat format,
                    PngContent content, WriteMode mode) {
    if (image.isNull()) {
        return Outcome::failed(Cause::NoMemory); // the picture itself could not be allocated
    }
    const QByteArray bytes = encodeRaster(image, format, content);
    if (bytes.isEmpty()) {
        return Outcome::failed(Cause::NotEncoded);
    }
    return writeOutputFile(path, bytes, mode);
}

} // namespace inkvale
