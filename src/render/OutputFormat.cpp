#include "render/OutputFormat.h"

#include "designer/SignatureFile.h"

#include <QFileInfo>
#include <QSaveFile>

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

QString writeRaster(const QImage& image, const QString& path, OutputFormat format) {
    if (format == OutputFormat::Bitmap) {
        return writeBitmap(image, path);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return file.error() != QFileDevice::NoError
                   ? file.errorString()
                   : QStringLiteral("the picture could not be encoded");
    }
    return file.commit() ? QString() : file.errorString();
}

} // namespace inkvale
