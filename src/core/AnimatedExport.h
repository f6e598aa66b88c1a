#pragma once

#include "core/AnimationFormat.h"
#include "core/RevealTimeline.h"
#include "core/SignatureRenderer.h"
#include "platform/files/Failure.h"

#include <QByteArray>
#include <QString>

namespace inkvale {

/// `name` in the style of `slot` being written, as an animated file of `format` at `renderer`'s
/// look, paced by `pace`: the bytes `inkvale-render --animate` writes for the same look. When it
/// could not be made, why: Cause::NoMemory when memory ran out (for the frames, the encoder or
/// the document), Cause::NotEncoded when the encoder failed otherwise.
[[nodiscard]] Result<QByteArray> animatedSignature(SignatureRenderer& renderer, int slot,
                                                   const QString& name, AnimationFormat format,
                                                   const AnimationPace& pace = {});

} // namespace inkvale
