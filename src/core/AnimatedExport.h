#pragma once

#include "core/AnimationFormat.h"
#include "core/RevealTimeline.h"
#include "core/SignatureRenderer.h"

#include <QByteArray>
#include <QString>

namespace inkvale {

/// `name` in the style of `slot` being written, as an animated file of `format` at `renderer`'s
/// look, paced by `pace`: the bytes `inkvale-render --animate` writes for the same look. Empty
/// when it could not be made (no memory for the frames, or an encoder that failed).
[[nodiscard]] QByteArray animatedSignature(SignatureRenderer& renderer, int slot,
                                           const QString& name, AnimationFormat format,
                                           const AnimationPace& pace = {});

} // namespace inkvale
