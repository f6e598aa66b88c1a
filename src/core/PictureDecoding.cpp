#include "core/PictureDecoding.h"

#include <QBuffer>
#include <QImageReader>
#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

namespace inkvale {

namespace {

constexpr char kDecoderCategories[] = "qt.gui.imageio";

bool isDecoderCategory(const char* name) {
    return name != nullptr &&
           std::strncmp(name, kDecoderCategories, sizeof kDecoderCategories - 1) == 0;
}

/// Counts the warnings Qt's image decoders log while it is alive; everything else goes on to
/// wherever it went before. A decoder warns where it patches up damaged data, so those warnings
/// are switched on meanwhile even where the user's logging rules silence them.
class DecoderWarnings final {
public:
    DecoderWarnings() {
        s_count = 0;
        s_previousHandler = qInstallMessageHandler(&DecoderWarnings::handle);
        s_previousFilter = QLoggingCategory::installFilter(&DecoderWarnings::filter);
    }
    ~DecoderWarnings() {
        QLoggingCategory::installFilter(s_previousFilter);
        qInstallMessageHandler(s_previousHandler);
    }
    DecoderWarnings(const DecoderWarnings&) = delete;
    DecoderWarnings& operator=(const DecoderWarnings&) = delete;

    [[nodiscard]] int count() const { return s_count; }

private:
    static void filter(QLoggingCategory* category) {
        if (s_previousFilter != nullptr) {
            s_previousFilter(category);
        }
        if (isDecoderCategory(category->categoryName())) {
            category->setEnabled(QtWarningMsg, true);
        }
    }

    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type == QtWarningMsg && isDecoderCategory(context.category)) {
            ++s_count;
            return;
        }
        if (s_previousHandler != nullptr) {
            s_previousHandler(type, context, text);
        }
    }

    static inline int s_count = 0;
    static inline QtMessageHandler s_previousHandler = nullptr;
    static inline QLoggingCategory::CategoryFilter s_previousFilter = nullptr;
};

} // namespace

bool jpegRunsToItsEnd(const QByteArray& bytes) {
    const auto at = [&bytes](qsizetype i) {
        return static_cast<unsigned char>(bytes.at(i));
    };
    const qsizetype n = bytes.size();
    if (n < 4 || at(0) != 0xFF || at(1) != 0xD8) {
        return false;
    }
    qsizetype i = 2;
    while (i < n) {
        if (at(i) != 0xFF) {
            return false; // not at a marker: the stream is broken
        }
        while (i < n && at(i) == 0xFF) {
            ++i; // fill bytes
        }
        if (i >= n) {
            return false;
        }
        const unsigned char marker = at(i++);
        if (marker == 0xD9) {
            return true;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // markers without a segment
        }
        if (i + 2 > n) {
            return false;
        }
        const qsizetype length = (qsizetype(at(i)) << 8) | at(i + 1);
        if (length < 2 || i + length > n) {
            return false;
        }
        i += length;
        if (marker == 0xDA) {
            // Entropy-coded data follows the scan header, up to the next real marker.
            while (i < n) {
                if (at(i) == 0xFF && i + 1 < n && at(i + 1) != 0x00 && at(i + 1) != 0xFF &&
                    !(at(i + 1) >= 0xD0 && at(i + 1) <= 0xD7)) {
                    break;
                }
                ++i;
            }
            if (i + 1 >= n) {
                return false;
            }
        }
    }
    return false;
}

bool exceedsPixelLimit(QSize size) {
    return size.isValid() && qint64(size.width()) * size.height() > kLargestBackgroundPixels;
}

QImage readPictureWithinLimit(QImageReader& reader) {
    if (exceedsPixelLimit(reader.size())) {
        return {};
    }
    // Up to the pixel limit, 32-bit pixels must fit within the reader's allocation limit.
    constexpr int kAllocationMegabytes =
        static_cast<int>(4 * kLargestBackgroundPixels / (1024 * 1024) + 1);
    QImageReader::setAllocationLimit(
        std::max(QImageReader::allocationLimit(), kAllocationMegabytes));
    return reader.read();
}

DecodedPicture decodeIntactPicture(const QByteArray& bytes) {
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device);
    if (!reader.canRead()) {
        return {
            QImage(),
            Outcome::failed(Cause::NotAPicture,
                            QString::fromLatin1(QImageReader::supportedImageFormats().join(", "))),
            QSize()};
    }
    const QSize size = reader.size();
    if (exceedsPixelLimit(size)) {
        return {QImage(),
                Outcome::failed(Cause::PictureTooLarge,
                                QString::number(kLargestBackgroundPixels / 1'000'000)),
                size};
    }
    const Outcome damaged = Outcome::failed(Cause::DamagedPicture);
    if (reader.format() == "jpeg" && !jpegRunsToItsEnd(bytes)) {
        return {QImage(), damaged, size};
    }
    QImage image;
    int warnings = 0;
    {
        const DecoderWarnings watch;
        image = readPictureWithinLimit(reader);
        warnings = watch.count();
    }
    if (image.isNull() || warnings > 0) {
        return {QImage(), damaged, size};
    }
    return {image, Outcome{}, size};
}

} // namespace inkvale
