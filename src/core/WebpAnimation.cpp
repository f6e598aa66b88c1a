#include "core/WebpAnimation.h"

#include <memory>
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
bool addFrame(WebPAnimEncoder* encoder, const QImage& frame, int ms, const WebPConfig& config) {
    const QImage bytes = frame.convertToFormat(QImage::Format_RGBA8888);
    if (bytes.isNull()) {
        return false;
    }
    Picture picture;
    picture.picture.use_argb = 1;
    picture.picture.width = bytes.width();
    picture.picture.height = bytes.height();
    return WebPPictureImportRGBA(&picture.picture, bytes.constBits(), int(bytes.bytesPerLine())) !=
               0 &&
           WebPAnimEncoderAdd(encoder, &picture.picture, ms, &config) != 0;
}

} // namespace

QByteArray encodeWebpAnimation(const SignatureAnimation& animation) {
    if (animation.isNull()) {
        return {};
    }
    const QSize size = animation.finished().size();
    WebPAnimEncoderOptions options;
    if (WebPAnimEncoderOptionsInit(&options) == 0) {
        return {};
    }
    options.anim_params.loop_count = 0; // for ever
    options.allow_mixed = 0;            // every frame lossless
    const std::unique_ptr<WebPAnimEncoder, EncoderDeleter> encoder(
        WebPAnimEncoderNew(size.width(), size.height(), &options));
    WebPConfig config;
    if (!encoder || WebPConfigInit(&config) == 0) {
        return {};
    }
    config.lossless = 1;
    // Clear pixels keep their colour values, so that frames compare as they were drawn.
    config.exact = 1;
    const RevealTimeline& timeline = animation.timeline();
    for (int index = 0; index < animation.frameCount(); ++index) {
        // Equal frames in a row the encoder merges into one shown longer.
        if (!addFrame(encoder.get(), animation.frame(index), int(timeline.frameStartMs(index)),
                      config)) {
            return {};
        }
    }
    if (WebPAnimEncoderAdd(encoder.get(), nullptr,
                           int(timeline.frameStartMs(animation.frameCount())), nullptr) == 0) {
        return {};
    }
    WebPData data;
    WebPDataInit(&data);
    QByteArray bytes;
    if (WebPAnimEncoderAssemble(encoder.get(), &data) != 0) {
        bytes = QByteArray(reinterpret_cast<const char*>(data.bytes), qsizetype(data.size));
    }
    WebPDataClear(&data);
    return bytes;
}

} // namespace inkvale
