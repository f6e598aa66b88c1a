#include "core/GifAnimation.h"

#include "core/ImageConversion.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cmath>
#include <gif_lib.h>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace inkvale {

namespace {

constexpr int kPaletteSize = 256;
/// Viewers show shorter delays (0 or 1 centisecond) as ten.
constexpr int kShortestDelay = 2;
/// Below this opacity a pixel of a transparent look is clear in the GIF.
constexpr int kOpaqueFrom = 128;

/// The frame's pixels as straight (not premultiplied) ARGB.
QImage straight(const QImage& image) {
    return image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32
               ? image
               : convertedOnThisThread(image, QImage::Format_ARGB32);
}

/// The palette of an animation and the mapping of colours to it.
class Palette final {
public:
    /// The most used colours of `finished`; `transparent` keeps the last index for clear pixels.
    Palette(const QImage& finished, bool transparent)
        : m_transparent(transparent) {
        QHash<QRgb, qint64> counts;
        for (int y = 0; y < finished.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(finished.constScanLine(y));
            for (int x = 0; x < finished.width(); ++x) {
                if (!isClear(row[x])) {
                    ++counts[opaque(row[x])];
                }
            }
        }
        std::vector<std::pair<qint64, QRgb>> byUse;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            byUse.emplace_back(it.value(), it.key());
        }
        // Most used first; equal counts by colour, so that the same picture gives the same file.
        std::sort(byUse.begin(), byUse.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        const std::size_t room = std::size_t(transparent ? kPaletteSize - 1 : kPaletteSize);
        for (std::size_t i = 0; i < std::min(room, byUse.size()); ++i) {
            m_colours.push_back(byUse[i].second);
        }
        if (m_colours.empty()) {
            m_colours.push_back(qRgb(0, 0, 0));
        }
    }

    [[nodiscard]] int transparentIndex() const {
        return m_transparent ? kPaletteSize - 1 : NO_TRANSPARENT_COLOR;
    }

    /// The palette as giflib takes it, 256 entries; null when there is no memory for it.
    [[nodiscard]] ColorMapObject* colourMap() const {
        std::array<GifColorType, kPaletteSize> entries{};
        for (std::size_t i = 0; i < m_colours.size(); ++i) {
            entries[i] = {GifByteType(qRed(m_colours[i])), GifByteType(qGreen(m_colours[i])),
                          GifByteType(qBlue(m_colours[i]))};
        }
        return GifMakeMapObject(kPaletteSize, entries.data());
    }

    /// The index of `pixel` (straight ARGB).
    [[nodiscard]] GifByteType indexOf(QRgb pixel) {
        if (pixel == m_lastPixel && m_hasLast) {
            return m_lastIndex; // runs of one colour are most of a signature
        }
        m_lastPixel = pixel;
        m_hasLast = true;
        m_lastIndex = map(pixel);
        return m_lastIndex;
    }

private:
    [[nodiscard]] GifByteType map(QRgb pixel) {
        if (isClear(pixel)) {
            return GifByteType(transparentIndex());
        }
        const QRgb colour = opaque(pixel);
        const auto known = m_indices.constFind(colour);
        if (known != m_indices.cend()) {
            return known.value();
        }
        GifByteType best = 0;
        int bestDistance = std::numeric_limits<int>::max();
        for (std::size_t i = 0; i < m_colours.size(); ++i) {
            const int dr = qRed(colour) - qRed(m_colours[i]);
            const int dg = qGreen(colour) - qGreen(m_colours[i]);
            const int db = qBlue(colour) - qBlue(m_colours[i]);
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = GifByteType(i);
            }
        }
        m_indices.insert(colour, best);
        return best;
    }
    [[nodiscard]] bool isClear(QRgb pixel) const {
        return m_transparent && qAlpha(pixel) < kOpaqueFrom;
    }
    [[nodiscard]] static QRgb opaque(QRgb pixel) { return pixel | 0xff000000U; }

    bool m_transparent = false;
    std::vector<QRgb> m_colours;
    QHash<QRgb, GifByteType> m_indices; ///< colours already mapped
    QRgb m_lastPixel = 0;
    GifByteType m_lastIndex = 0;
    bool m_hasLast = false;
};

/// Collects giflib's output.
/// The file as giflib writes it, and whether memory ran out on the way.
struct GifOutput {
    QByteArray bytes;
    bool noMemory = false;
};

int appendBytes(GifFileType* gif, const GifByteType* bytes, int length) {
    auto* output = static_cast<GifOutput*>(gif->UserData);
    // No exception may pass through giflib's C frames: a short write fails the file instead.
    try {
        output->bytes.append(reinterpret_cast<const char*>(bytes), length);
    } catch (const std::bad_alloc&) {
        output->noMemory = true;
        return 0;
    }
    return length;
}

/// A frame in palette indices, row after row.
struct IndexedFrame {
    std::vector<GifByteType> pixels;
    qint64 startMs = 0;
};

/// The smallest rectangle where `next` differs from `previous` (`width` pixels a row); the
/// whole frame without a previous one.
QRect changedRect(const std::vector<GifByteType>& previous, const std::vector<GifByteType>& next,
                  int width, int height) {
    if (previous.empty()) {
        return {0, 0, width, height};
    }
    int left = width;
    int right = -1;
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < height; ++y) {
        const GifByteType* a = previous.data() + qsizetype(y) * width;
        const GifByteType* b = next.data() + qsizetype(y) * width;
        for (int x = 0; x < width; ++x) {
            if (a[x] != b[x]) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
    }
    // Equal frames are merged before they get here; a frame must hold at least a pixel.
    return top < 0 ? QRect(0, 0, 1, 1) : QRect(QPoint(left, top), QPoint(right, bottom));
}

/// Centiseconds from the start, rounded.
int centiseconds(qint64 ms) {
    return int(std::lround(double(ms) / 10.0));
}

/// Writes the GIF, frame after frame; false when giflib fails.
class GifWriter final {
public:
    GifWriter(GifFileType* gif, QSize size, int transparentIndex, bool loop)
        : m_gif(gif)
        , m_size(size)
        , m_transparentIndex(transparentIndex)
        , m_loop(loop) {}

    [[nodiscard]] bool start(ColorMapObject* palette) {
        EGifSetGifVersion(m_gif, true);
        if (EGifPutScreenDesc(m_gif, m_size.width(), m_size.height(), 8, 0, palette) != GIF_OK) {
            return false;
        }
        if (!m_loop) {
            return true; // without the extension, viewers play the frames once
        }
        // Loop for ever: NETSCAPE2.0, sub-block 1, loop count 0.
        static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A',
                                                   'P', 'E', '2', '.', '0'};
        static const GifByteType kLoop[] = {1, 0, 0};
        return EGifPutExtensionLeader(m_gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
               EGifPutExtensionBlock(m_gif, sizeof kApplication, kApplication) == GIF_OK &&
               EGifPutExtensionBlock(m_gif, sizeof kLoop, kLoop) == GIF_OK &&
               EGifPutExtensionTrailer(m_gif) == GIF_OK;
    }

    /// Writes `frame` shown for `delay` centiseconds; the last frame clears the canvas for the
    /// next loop, so that clear pixels of its first frame do not show the finished signature.
    [[nodiscard]] bool put(IndexedFrame& frame, int delay, bool last) {
        const QRect rect = changedRect(m_previous, frame.pixels, m_size.width(), m_size.height());
        GraphicsControlBlock control{};
        control.DisposalMode = last ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = delay;
        control.TransparentColor = m_transparentIndex;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension) !=
                GIF_OK ||
            EGifPutImageDesc(m_gif, rect.left(), rect.top(), rect.width(), rect.height(), false,
                             nullptr) != GIF_OK) {
            return false;
        }
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            GifByteType* row = frame.pixels.data() + qsizetype(y) * m_size.width() + rect.left();
            if (EGifPutLine(m_gif, row, rect.width()) != GIF_OK) {
                return false;
            }
        }
        m_previous = frame.pixels;
        return true;
    }

private:
    GifFileType* m_gif = nullptr;
    QSize m_size;
    int m_transparentIndex = NO_TRANSPARENT_COLOR;
    bool m_loop = true;
    std::vector<GifByteType> m_previous; ///< the frame written last
};

/// Writes the animation's frames through `writer`; false when a frame or giflib fails.
bool writeFrames(const AnimationFrames& animation, Palette& palette, GifWriter& writer) {
    std::optional<IndexedFrame> pending; ///< read, not yet written: its length is not known
    for (int index = 0; index < animation.frameCount(); ++index) {
        const QImage frame = straight(animation.frame(index));
        if (frame.isNull()) {
            throw std::bad_alloc(); // a frame there was no memory for
        }
        IndexedFrame indexed;
        indexed.startMs = animation.frameStartMs(index);
        indexed.pixels.reserve(std::size_t(frame.width()) * std::size_t(frame.height()));
        for (int y = 0; y < frame.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x) {
                indexed.pixels.push_back(palette.indexOf(row[x]));
            }
        }
        if (pending && indexed.pixels == pending->pixels) {
            continue; // shown longer
        }
        if (pending) {
            const int delay = centiseconds(indexed.startMs) - centiseconds(pending->startMs);
            if (delay < kShortestDelay) {
                // Too short to show as it is: this frame takes its place and time.
                indexed.startMs = pending->startMs;
                pending = std::move(indexed);
                continue;
            }
            if (!writer.put(*pending, delay, false)) {
                return false;
            }
        }
        pending = std::move(indexed);
    }
    const int end = centiseconds(animation.frameStartMs(animation.frameCount()));
    return pending &&
           writer.put(*pending, std::max(kShortestDelay, end - centiseconds(pending->startMs)),
                      true);
}

} // namespace

QByteArray encodeGifAnimation(const AnimationFrames& animation, bool loop) {
    if (animation.isNull()) {
        return {};
    }
    const QImage finished = straight(animation.finished());
    Palette palette(finished, finished.hasAlphaChannel());
    GifOutput output;
    int error = 0;
    GifFileType* gif = EGifOpen(&output, &appendBytes, &error);
    if (gif == nullptr) {
        if (error == E_GIF_ERR_NOT_ENOUGH_MEM) {
            throw std::bad_alloc();
        }
        return {};
    }
    ColorMapObject* colours = palette.colourMap();
    GifWriter writer(gif, finished.size(), palette.transparentIndex(), loop);
    bool written = false;
    try {
        written =
            colours != nullptr && writer.start(colours) && writeFrames(animation, palette, writer);
    } catch (const std::bad_alloc&) {
        output.noMemory = true;
    }
    GifFreeMapObject(colours);
    const bool closed = EGifCloseFile(gif, &error) == GIF_OK;
    // giflib's own allocations fail as E_GIF_ERR_NOT_ENOUGH_MEM; the palette's map as null.
    if (output.noMemory || colours == nullptr || error == E_GIF_ERR_NOT_ENOUGH_MEM) {
        throw std::bad_alloc();
    }
    return written && closed ? output.bytes : QByteArray();
}

} // namespace inkvale
