#include "core/AnimatedExport.h"

#include "core/GifAnimation.h"
#include "core/SignatureAnimation.h"
#include "core/SignatureExport.h"
#include "core/SvgAnimation.h"
#include "core/VectorPicture.h"
#include "core/WebpAnimation.h"

#include <new>

namespace inkvale {

namespace {

Result<QByteArray> madeOrNot(QByteArray bytes) {
    if (bytes.isEmpty()) {
        return {{}, Outcome::failed(Cause::NotEncoded)};
    }
    return {std::move(bytes), {}};
}

Result<QByteArray> noMemory() {
    return {{}, Outcome::failed(Cause::NoMemory)};
}

} // namespace

Result<QByteArray> animatedSignature(SignatureRenderer& renderer, int slot, const QString& name,
                                     AnimationFormat format, const AnimationPace& pace) {
    try {
        if (format == AnimationFormat::Svg && pace.reveal == RevealKind::Strokes) {
            // The strokes are planned on the drawn ink and uncover its outlines. The outlines
            // come first: drawn after a raster of the name they land a few hundredths of a pixel
            // away from the still document's.
            const VectorPicture outlines = renderer.outlines(slot, name);
            const SignatureAnimation animation(renderer, slot, name, pace);
            if (animation.isNull()) {
                return noMemory();
            }
            if (animation.strokes() == nullptr) {
                return madeOrNot({});
            }
            return madeOrNot(animatedSvgDocument(outlines, animation.timeline(),
                                                 *animation.strokes(), documentTitle(name)));
        }
        if (format == AnimationFormat::Svg) {
            const RevealTimeline timeline(renderer.layout(slot, name), pace);
            return madeOrNot(
                animatedSvgDocument(renderer.outlines(slot, name), timeline, documentTitle(name)));
        }
        const SignatureAnimation animation(renderer, slot, name, pace);
        if (animation.isNull()) {
            return noMemory();
        }
        return madeOrNot(format == AnimationFormat::Gif ? encodeGifAnimation(animation)
                                                        : encodeWebpAnimation(animation));
    } catch (const std::bad_alloc&) {
        return noMemory();
    }
}

} // namespace inkvale
