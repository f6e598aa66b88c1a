#pragma once

#include "core/AnimationFrames.h"
#include "core/SignatureAnimation.h" // the frames they are mostly given

#include <QByteArray>

namespace inkvale {

/// `animation` as an animated GIF that loops for ever (NETSCAPE2.0), or without `loop` plays
/// once and keeps its last frame. The palette holds the
/// colours of the finished signature, the 256 most used (255 and a transparent index when the
/// look is transparent, where half-transparent pixels turn wholly clear or opaque), in the
/// smallest table of a power of two entries that leaves one free; every frame
/// is mapped to it, to the nearest colour. Delays are whole centiseconds, never below the two
/// that viewers honour: at more than 50 frames per second, frames too short for that are left
/// out and the next shows their ink. Equal frames in a row are one frame; after the first, each
/// frame is stored as the rectangle that changed, its unchanged pixels clear (through an index
/// the picture's colours leave free). Empty when it cannot be encoded. `progress`, when given, is
/// told of every frame as it is taken in.
[[nodiscard]] QByteArray encodeGifAnimation(const AnimationFrames& animation, bool loop = true,
                                            const FrameProgress& progress = {});

} // namespace inkvale
