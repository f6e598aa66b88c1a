#pragma once

#include <QImage>

#include <functional>

namespace inkvale {

/// Told how far an encoder has come: `done` of an animation's `total` frames, from 0 to `total`.
using FrameProgress = std::function<void(int done, int total)>;

/// Frames of an animation as the animated writers (GIF, WebP) take them: each a picture of the
/// same size and format as the finished one, shown from its start to the next one's.
class AnimationFrames {
public:
    virtual ~AnimationFrames() = default;

    /// True when there was no memory for the pictures.
    [[nodiscard]] virtual bool isNull() const = 0;
    /// The last picture, which every frame's size and format follow.
    [[nodiscard]] virtual const QImage& finished() const = 0;
    [[nodiscard]] virtual int frameCount() const = 0;
    /// Frame `index`, 0 to frameCount() - 1; null when there is no memory for it.
    [[nodiscard]] virtual QImage frame(int index) const = 0;
    /// When frame `index` begins, in milliseconds (frameCount() for the end of the last).
    [[nodiscard]] virtual qint64 frameStartMs(int index) const = 0;
};

} // namespace inkvale
