#include "core/SvgAnimation.h"

namespace inkvale {

QByteArray animatedSvgDocument(const VectorPicture& picture, const RevealTimeline& timeline,
                               const QString& title) {
    TextReveal reveal;
    for (const GlyphStroke& stroke : timeline.strokes()) {
        reveal.wipes.push_back({stroke.box, stroke.rightToLeft, stroke.begin, stroke.duration});
    }
    reveal.complete = timeline.writingSeconds();
    return svgDocument(picture, title, reveal);
}

} // namespace inkvale
