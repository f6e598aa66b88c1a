#pragma once

#include <QImage>

namespace inkvale {

/// `image` in `format`, converted on the calling thread, with its resolution and texts. Qt's
/// own conversion of a large picture hands stripes of it to its thread pool and waits for them:
/// for ever when a thread cannot be started for want of memory. Throws std::bad_alloc when there
/// is no memory for the converted picture.
[[nodiscard]] QImage convertedOnThisThread(const QImage& image, QImage::Format format);

} // namespace inkvale
