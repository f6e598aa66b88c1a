#pragma once

#include "core/RevealTimeline.h"
#include "core/VectorPicture.h"

#include <QByteArray>
#include <QString>

namespace inkvale {

/// `picture`, a signature's outlines, as an SVG document in which the name is written glyph
/// after glyph as `timeline` paces it: each glyph's box is uncovered in its writing direction
/// by SMIL animation alone, no script, so that browsers play it as it is. It plays once and
/// then shows the same drawing as svgDocument() of `picture`.
[[nodiscard]] QByteArray animatedSvgDocument(const VectorPicture& picture,
                                             const RevealTimeline& timeline, const QString& title);

} // namespace inkvale
