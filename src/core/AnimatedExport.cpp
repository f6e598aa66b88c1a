#include "core/AnimatedExport.h"

#include "core/GifAnimation.h"
#include "core/SignatureAnimation.h"
#include "core/SignatureExport.h"
#include "core/SvgAnimation.h"
#include "core/VectorPicture.h"
#include "core/WebpAnimation.h"

#include <new>

namespace inkvale {

QByteArray animatedSignature(SignatureRenderer& renderer, int slot, const QString& name,
                             AnimationFormat format, const AnimationPace& pace) {
    try {
        if (format == AnimationFormat::Svg) {
            const RevealTimeline timeline(renderer.layout(slot, name), pace);
            return animatedSvgDocument(renderer.outlines(slot, name), timeline,
                                       documentTitle(name));
        }
        const SignatureAnimation animation(renderer, slot, name, pace);
        if (animation.isNull()) {
            return {};
        }
        return format == AnimationFormat::Gif ? encodeGifAnimation(animation)
                                              : encodeWebpAnimation(animation);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace inkvale
