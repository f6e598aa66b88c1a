#include "core/WebpAnimation.h"

#include "core/ImageConversion.h"

#include <memory>
#include <new>
#include <webp/encode.h>
#include <webp/mux.h>

namespace inkvale {

namespace {

struct EncoderDeleter {
    void operator()(WebPAnimEncoder* encoder) const { WebPAnimEncoderDelete(encoder); }
};

/// A picture that frees what the encoder allocated for it.
struct Picture final {
    WebPPicture picture{};
    Picture() { WebPPictureInit(&picture); }
    ~Picture() { WebPPictureFree(&picture); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
};

/// Adds `frame` at `ms`; false when it cannot be encoded.
/// Memory that ran out in libwebp, which tells it apart from its other errors.
void throwIfOutOfMemory(const WebPPicture& picture) {
    if (picture.error_code == VP8_ENC_ERROR_OUT_OF_MEMORY ||
        picture.error_code == VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY) {
        throw std::bad_alloc();
    }
}

/// Adds `frame` at `ms`; false when it cannot be encoded. Throws std::bad_alloc when there is
/// no memory for it.
bool addFrame(WebPAnimEncoder* encoder, const QImage& frame, int ms, const WebPConfig& config) {
    if (frame.isNull()) {
        throw std::bad_alloc(); // a frame there was no memory for
    }
    const QImage bytes = convertedOnThisThread(frame, QImage::Format_RGBA8888);
    Picture picture;
    picture.picture.use_argb = 1;
    picture.picture.width = bytes.width();
    picture.picture.height = bytes.height();
    const bool added = WebPPictureImportRGBA(&picture.picture, bytes.constBits(),
                                             int(bytes.bytesPerLine())) != 0 &&
                       WebPAnimEncoderAdd(encoder, &picture.picture, ms, &config) != 0;
    if (!added) {
        throwIfOutOfMemory(picture.picture);
    }
    return added;
}

} // namespace

QByteArray encodeWebpAnimation(const AnimationFrames& animation, bool loop,
                               const FrameProgress& progress) {
    if (animation.isNull()) {
        return {};
    }
    const QSize size = animation.finished().size();
    WebPAnimEncoderOptions options;
    if (WebPAnimEncoderOptionsInit(&options) == 0) {
        return {};
    }
    options.anim_params.loop_count = loop ? 0 : 1; // 0: for ever
    options.allow_mixed = 0;                       // every frame lossless
    const std::unique_ptr<WebPAnimEncoder, EncoderDeleter> encoder(
        WebPAnimEncoderNew(size.width(), size.height(), &options));
    if (!encoder) {
        throw std::bad_alloc(); // the size and options are valid: only memory is missing
    }
    WebPConfig config;
    if (WebPConfigInit(&config) == 0) {
        return {};
    }
    config.lossless = 1;
    // Clear pixels keep their colour values, so that frames compare as they were drawn.
    config.exact = 1;
    for (int index = 0; index < animation.frameCount(); ++index) {
        if (progress) {
            progress(index, animation.frameCount());
        }
        // Equal frames in a row the encoder merges into one shown longer.
        if (!addFrame(encoder.get(), animation.frame(index), int(animation.frameStartMs(index)),
                      config)) {
            return {};
        }
    }
    if (progress) {
        progress(animation.frameCount(), animation.frameCount());
    }
    if (WebPAnimEncoderAdd(encoder.get(), nullptr,
                           int(animation.frameStartMs(animation.frameCount())), nullptr) == 0) {
        return {};
    }
    WebPData data;
    WebPDataInit(&data);
    QByteArray bytes;
    const bool assembled = WebPAnimEncoderAssemble(encoder.get(), &data) != 0;
    try {
        if (assembled) {
            bytes = QByteArray(reinterpret_cast<const char*>(data.bytes), qsizetype(data.size));
        }
    } catch (const std::bad_alloc&) {
        WebPDataClear(&data);
        throw;
    }
    WebPDataClear(&data);
    if (!assembled) {
        // With every frame added, assembling fails only for want of memory.
        throw std::bad_alloc();
    }
    return bytes;
}

} // namespace inkvale
