#include "core/OutputFormat.h"

#include <QBuffer>
#include <QFileInfo>

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

QByteArray encodeRaster(const QImage& image, OutputFormat format, PngContent content) {
    if (format == OutputFormat::Png) {
        return encodePng(image, content);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "BMP") ? bytes : QByteArray();
}

QString writeFailureText(const WriteResult& result) {
    switch (result.failure) {
    case WriteFailure::None:
        return {};
    case WriteFailure::NoPermission:
        return QStringLiteral("permission denied: this user may not write there");
    case WriteFailure::NoSpace:
        return QStringLiteral("the disk is full");
    case WriteFailure::ReadOnlyFileSystem:
        return QStringLiteral("the folder is on a read-only file system");
    case WriteFailure::FileTooLarge:
        return QStringLiteral("the file is larger than this process may write");
    case WriteFailure::FolderMissing:
        return QStringLiteral("its folder does not exist");
    case WriteFailure::NameTaken:
        return QStringLiteral("a file of that name exists already");
    case WriteFailure::Other:
        break;
    }
    return result.systemReason.isEmpty() ? QStringLiteral("the file could not be written")
                                         : result.systemReason;
}

QString writeOutputFile(const QString& path, const QByteArray& bytes, WriteMode mode) {
    return writeFailureText(writeFileAtomically(path, bytes, mode));
}

QString writeRaster(const QImage& image, const QString& path, OutputFormat format,
                    PngContent content, WriteMode mode) {
    const QByteArray bytes = encodeRaster(image, format, content);
    if (bytes.isEmpty()) {
        return QStringLiteral("the picture could not be encoded");
    }
    return writeOutputFile(path, bytes, mode);
}

} // namespace inkvale
