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

QByteArray animatedSvgDocument(const VectorPicture& picture, const RevealTimeline& timeline,
                               const StrokeReveal& strokes, const QString& title) {
    TextReveal reveal;
    const double scale = timeline.scale();
    for (const PenStroke& pen : strokes.strokes()) {
        reveal.strokes.push_back(
            {pen.path, pen.reach, pen.spread, pen.begin * scale, pen.duration * scale});
    }
    reveal.complete = timeline.writingSeconds();
    if (reveal.strokes.empty()) {
        return svgDocument(picture, title); // nothing is written: the blank drawing as it is
    }
    return svgDocument(picture, title, reveal);
}

} // namespace inkvale
