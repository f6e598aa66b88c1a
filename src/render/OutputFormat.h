#pragma once

#include <QImage>
#include <QString>
#include <QStringView>

#include <optional>

namespace inkvale {

/// The kinds of file the renderer writes.
enum class OutputFormat {
    Bitmap, ///< Windows bitmap, as the designer saves its signatures
    Png,    ///< PNG, with an alpha channel when the picture has one
    Svg,    ///< SVG with the text as outlines
    Pdf,    ///< one-page PDF with the text as outlines
};

/// The format named by the extension of `fileName` (".bmp", ".png", ".svg", ".pdf", in any
/// case); nothing for any other name.
[[nodiscard]] std::optional<OutputFormat> formatOfFileName(const QString& fileName);

/// The format named `name` ("bmp", "png", "svg" or "pdf", in any case); nothing otherwise.
[[nodiscard]] std::optional<OutputFormat> formatNamed(QStringView name);

/// The file name extension of `format`, without the dot, e.g. "png".
[[nodiscard]] QString extensionOf(OutputFormat format);

/// True for the formats made of pixels (bitmap and PNG).
[[nodiscard]] constexpr bool isRaster(OutputFormat format) {
    return format == OutputFormat::Bitmap || format == OutputFormat::Png;
}

/// True for the formats that can leave the background out.
[[nodiscard]] constexpr bool canBeTransparent(OutputFormat format) {
    return format != OutputFormat::Bitmap;
}

/// Writes `image` to `path` as a bitmap or PNG (`format` must be one of the two), through a
/// temporary file beside it that replaces `path` only when complete. Returns an empty string on
/// success, otherwise why it failed.
[[nodiscard]] QString writeRaster(const QImage& image, const QString& path, OutputFormat format);

} // namespace inkvale
