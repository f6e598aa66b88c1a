#pragma once

#include "core/AnimationFrames.h"
#include "core/SignatureAnimation.h" // the frames they are mostly given

#include <QByteArray>

namespace inkvale {

/// `animation` as an animated WebP that loops for ever (or without `loop` plays once), every frame
/// lossless with its alpha channel, so that the last frame is the finished signature pixel for
/// pixel; frame times are the timeline's in milliseconds. Empty when it cannot be encoded.
/// `progress`, when given, is told of every frame as it is taken in.
[[nodiscard]] QByteArray encodeWebpAnimation(const AnimationFrames& animation, bool loop = true,
                                             const FrameProgress& progress = {});

} // namespace inkvale
