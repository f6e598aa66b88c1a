#pragma once

#include "core/RevealTimeline.h"
#include "core/StrokeReveal.h"
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

/// `picture`, a signature's outlines, as an SVG document in which the name is written stroke
/// after stroke as `strokes` says and `timeline` paces it: each pen's movement uncovers the ink
/// along its path by an animated mask, SMIL alone, no script. The document's own state, shown
/// by viewers that do not play SMIL, is the finished drawing; it plays once and ends on it.
[[nodiscard]] QByteArray animatedSvgDocument(const VectorPicture& picture,
                                             const RevealTimeline& timeline,
                                             const StrokeReveal& strokes, const QString& title);

} // namespace inkvale
