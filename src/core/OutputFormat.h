#pragma once

#include "core/PngEncoding.h"
#include "platform/files/AtomicFile.h"

#include <QByteArray>
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
    Jpeg,   ///< JPEG, for places that take no other picture; never transparent
};

/// The format named by the extension of `fileName` (".bmp", ".png", ".svg", ".pdf", ".jpg" or
/// ".jpeg", in any case); nothing for any other name.
[[nodiscard]] std::optional<OutputFormat> formatOfFileName(const QString& fileName);

/// The format named `name` ("bmp", "png", "svg", "pdf", "jpg" or "jpeg", in any case); nothing
/// otherwise.
[[nodiscard]] std::optional<OutputFormat> formatNamed(QStringView name);

/// The file name extension of `format`, without the dot, e.g. "png".
[[nodiscard]] QString extensionOf(OutputFormat format);

/// True for the formats made of pixels (bitmap, PNG and JPEG).
[[nodiscard]] constexpr bool isRaster(OutputFormat format) {
    return format == OutputFormat::Bitmap || format == OutputFormat::Png ||
           format == OutputFormat::Jpeg;
}

/// True for the formats that can leave the background out.
[[nodiscard]] constexpr bool canBeTransparent(OutputFormat format) {
    return format != OutputFormat::Bitmap && format != OutputFormat::Jpeg;
}

/// The JPEG quality the designer saves at.
inline constexpr int kDefaultJpegQuality = 92;

/// `image` encoded as `format`, which must be a raster format: a bitmap as the designer saves
/// it, a PNG packed for `content` (see PngEncoding.h), a JPEG at `jpegQuality` (1 to 100) on an
/// opaque background. Empty if it cannot be encoded; throws std::bad_alloc when memory runs out
/// while a JPEG is encoded. Safe to call from several threads at once
/// on different images.
[[nodiscard]] QByteArray encodeRaster(const QImage& image, OutputFormat format,
                                      PngContent content = PngContent::Drawing,
                                      int jpegQuality = kDefaultJpegQuality);

/// Writes the finished `bytes` of an output file to `path` with writeFileAtomically(): nothing
/// reaches `path` unless every byte was written, and a failed write leaves what was there.
/// Safe on any thread.
[[nodiscard]] Outcome writeOutputFile(const QString& path, const QByteArray& bytes,
                                      WriteMode mode = WriteMode::ReplaceDurably);

/// Writes `image` to `path` in a raster format (`format` must be one): encoded in
/// memory with encodeRaster(), then written with writeOutputFile(). Safe on any thread: it only
/// reads the image.
[[nodiscard]] Outcome writeRaster(const QImage& image, const QString& path, OutputFormat format,
                                  PngContent content = PngContent::Drawing,
                                  WriteMode mode = WriteMode::ReplaceDurably);

} // namespace inkvale
