#include "render/OutputFormat.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <array>
#include <utility>

namespace inkvale {

namespace {

constexpr std::array<std::pair<OutputFormat, QStringView>, 4> kExtensions{{
    {OutputFormat::Bitmap, u"bmp"},
    {OutputFormat::Png, u"png"},
    {OutputFormat::Svg, u"svg"},
    {OutputFormat::Pdf, u"pdf"},
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

namespace {

QByteArray encode(const QImage& image, const char* format, int compressionLevel) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (compressionLevel >= 0) {
        writer.setCompression(compressionLevel);
    }
    return writer.write(image) ? bytes : QByteArray();
}

} // namespace

QByteArray encodePng(const QImage& image, int compressionLevel) {
    return encode(image, "PNG", compressionLevel);
}

QByteArray encodeBitmap(const QImage& image) {
    return encode(image, "BMP", -1);
}

QByteArray encodeRaster(const QImage& image, OutputFormat format, int pngCompressionLevel) {
    return format == OutputFormat::Bitmap ? encodeBitmap(image)
                                          : encodePng(image, pngCompressionLevel);
}

QString writeOutputFile(const QString& path, const QByteArray& bytes, WriteMode mode) {
    const WriteResult result = writeFileAtomically(path, bytes, mode);
    if (result.ok()) {
        return {};
    }
    return result.systemReason.isEmpty() ? QStringLiteral("the file could not be written")
                                         : result.systemReason;
}

QString writeRaster(const QImage& image, const QString& path, OutputFormat format, WriteMode mode) {
    const QByteArray bytes = encodeRaster(image, format);
    if (bytes.isEmpty()) {
        return QStringLiteral("the picture could not be encoded");
    }
    return writeOutputFile(path, bytes, mode);
}

} // namespace inkvale
