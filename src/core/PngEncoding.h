#pragma once

#include <QByteArray>
#include <QImage>

namespace inkvale {

/// What a PNG holds, which decides how it is packed. Both pack with zlib's run-length strategy;
/// docs/performance.md has the sizes and times that chose them against Qt's own PNG writer.
enum class PngContent {
    /// Text on a plain colour (the canvas without a background picture): rows are stored
    /// unfiltered, since long runs of one colour pack best as they are.
    Drawing,
    /// A photograph or other picture under the text: each row is predicted from its neighbours
    /// (the Paeth filter), which packs smooth shading far better.
    Picture,
};

/// `image` as the bytes of a PNG file: 8-bit RGB, or RGBA when the image has an alpha channel,
/// with the image's resolution; empty when it cannot be encoded. The bytes depend on the pixels,
/// the resolution and `content` only, so the same picture always gives the same file. Safe to
/// call on any thread.
[[nodiscard]] QByteArray encodePng(const QImage& image, PngContent content);

} // namespace inkvale
