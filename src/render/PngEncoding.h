#pragma once

#include <QByteArray>
#include <QImage>

namespace inkvale {

/// The zlib compression level (0 to 9) of the PNG files inkvale-render writes. Chosen by
/// measuring file size against encoding time on signatures (docs/performance.md): beyond it a
/// file shrinks by a few percent for several times the time.
inline constexpr int kRenderPngCompression = 1;

/// `image` as the bytes of a PNG file compressed at zlib level `compressionLevel` (0 to 9),
/// its resolution and alpha channel kept; empty when it cannot be encoded. The bytes depend on
/// the image and the level only, so the same picture always gives the same file. Safe to call
/// on any thread.
[[nodiscard]] QByteArray encodePng(const QImage& image, int compressionLevel);

} // namespace inkvale
