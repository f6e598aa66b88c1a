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
        // The table as small as the colours and one free index allow: LZW's codes start one
        // bit wider than the table's indices, so a smaller table packs every frame tighter.
        // Index 0 is left free, where the colours leave room, for what is clear: the frames
        // after the first, which write it for what stays as it was, then use few small indices.
        m_offset = m_colours.size() < std::size_t(kPaletteSize) ? 1 : 0;
        while (m_tableSize < kPaletteSize && m_tableSize < int(m_colours.size()) + m_offset) {
            m_tableSize *= 2;
        }
    }

    [[nodiscard]] int transparentIndex() const { return m_transparent ? 0 : NO_TRANSPARENT_COLOR; }

    /// An index no colour of the picture takes, to stand for "as the frame before" in the
    /// frames after the first: the transparent index, or the first one the colours leave free;
    /// NO_TRANSPARENT_COLOR when they take all 256.
    [[nodiscard]] int unchangedIndex() const {
        if (m_transparent) {
            return transparentIndex();
        }
        return m_offset == 1 ? 0 : NO_TRANSPARENT_COLOR;
    }

    /// The palette as giflib takes it, a power of two entries, the last free for a transparent
    /// look's clear pixels; null when there is no memory for it.
    [[nodiscard]] ColorMapObject* colourMap() const {
        std::array<GifColorType, kPaletteSize> entries{};
        for (std::size_t i = 0; i < m_colours.size(); ++i) {
            entries[i + std::size_t(m_offset)] = {GifByteType(qRed(m_colours[i])),
                                                  GifByteType(qGreen(m_colours[i])),
                                                  GifByteType(qBlue(m_colours[i]))};
        }
        return GifMakeMapObject(m_tableSize, entries.data());
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
                best = GifByteType(i + std::size_t(m_offset));
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
    int m_tableSize = 2;                ///< entries of the colour table
    int m_offset = 0;                   ///< the index of the first colour: 1 when index 0 is free
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

/// GIF's LZW for a frame whose unchanged pixels may be written either clear or in their own
/// colour: each takes whichever continues the string being matched, as gifsicle's optimizer
/// does, so that the codes stay long.
class LzwWriter final {
public:
    /// How the pixels that may be clear are written.
    enum class Choice {
        Own,     ///< in their own colour
        Clear,   ///< clear
        Matching ///< whichever continues the string being matched
    };

    /// `pixels` (with `free` those that may be `clear` instead) in codes of LZW for a colour
    /// table of 2^`bitsPerPixel` entries, packed in bytes.
    [[nodiscard]] std::vector<GifByteType> encode(const std::vector<GifByteType>& pixels,
                                                  const std::vector<bool>& free, GifByteType clear,
                                                  int bitsPerPixel, Choice how) {
        m_minimum = std::max(2, bitsPerPixel);
        m_clearCode = 1 << m_minimum;
        m_bytes = {};
        m_bits = 0;
        m_pending = 0;
        reset();
        put(m_clearCode);
        int prefix = -1;
        bool wroteClear = false; ///< the last free pixel was written clear
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const int own = how == Choice::Clear && free[i] ? clear : pixels[i];
            const bool choice = how == Choice::Matching && free[i];
            if (prefix < 0) {
                wroteClear = choice;
                prefix = choice ? clear : own;
                continue;
            }
            int next = child(prefix, own);
            int symbol = own;
            if (choice) {
                const int clearNext = child(prefix, clear);
                if (clearNext >= 0 && (next < 0 || wroteClear)) {
                    next = clearNext;
                    symbol = clear;
                }
            }
            if (next >= 0) {
                prefix = next;
                if (choice) {
                    wroteClear = symbol == clear;
                }
                continue;
            }
            // No longer string: write the one matched, and start anew.
            // A free pixel starts its string clear where the next may go on clear too.
            symbol = choice && (wroteClear || (i + 1 < pixels.size() && free[i + 1])) ? clear : own;
            put(prefix);
            if (m_next < 4096) {
                add(prefix, symbol);
            }
            if (m_next == 4096) {
                put(m_clearCode);
                reset();
            }
            prefix = symbol;
            if (choice) {
                wroteClear = symbol == clear;
            }
        }
        if (prefix >= 0) {
            put(prefix);
            // The reader adds an entry for that code too, and may widen its codes for it.
            if (m_next < 4096 && m_next + 1 > (1 << m_width) && m_width < 12) {
                ++m_width;
            }
        }
        put(m_clearCode + 1);
        if (m_bits > 0) {
            m_bytes.push_back(GifByteType(m_pending));
        }
        return std::move(m_bytes);
    }

private:
    void reset() {
        m_width = m_minimum + 1;
        m_next = m_clearCode + 2;
        ++m_generation;
    }
    [[nodiscard]] static std::size_t slotOf(int prefix, int symbol) {
        return (std::size_t(prefix) * 257 + std::size_t(symbol)) % kSlots;
    }
    /// The code of `prefix` followed by `symbol`, or -1.
    [[nodiscard]] int child(int prefix, int symbol) const {
        const quint32 key = quint32(prefix) << 8 | quint32(symbol);
        for (std::size_t slot = slotOf(prefix, symbol);; slot = (slot + 1) % kSlots) {
            const Entry& entry = m_entries[slot];
            if (entry.generation != m_generation) {
                return -1;
            }
            if (entry.key == key) {
                return entry.code;
            }
        }
    }
    void add(int prefix, int symbol) {
        std::size_t slot = slotOf(prefix, symbol);
        while (m_entries[slot].generation == m_generation) {
            slot = (slot + 1) % kSlots;
        }
        m_entries[slot] = {quint32(prefix) << 8 | quint32(symbol), m_next, m_generation};
        ++m_next;
        if (m_next > (1 << m_width) && m_width < 12) {
            ++m_width;
        }
    }
    void put(int code) {
        m_pending |= quint32(code) << m_bits;
        m_bits += m_width;
        while (m_bits >= 8) {
            m_bytes.push_back(GifByteType(m_pending & 0xff));
            m_pending >>= 8;
            m_bits -= 8;
        }
    }

    struct Entry {
        quint32 key = 0;
        int code = 0;
        quint32 generation = 0;
    };
    static constexpr std::size_t kSlots = 8191; ///< a prime, twice the codes
    std::vector<Entry> m_entries = std::vector<Entry>(kSlots);
    quint32 m_generation = 0;
    int m_minimum = 8;
    int m_clearCode = 256;
    int m_width = 9;
    int m_next = 258;
    quint32 m_pending = 0;
    int m_bits = 0;
    std::vector<GifByteType> m_bytes;
};

/// Writes the GIF, frame after frame; false when giflib fails.
class GifWriter final {
public:
    GifWriter(GifFileType* gif, GifOutput* output, QSize size, int transparentIndex,
              int unchangedIndex, bool loop)
        : m_gif(gif)
        , m_output(output)
        , m_size(size)
        , m_transparentIndex(transparentIndex)
        , m_unchangedIndex(unchangedIndex)
        , m_loop(loop) {}

    [[nodiscard]] bool start(ColorMapObject* palette) {
        m_bitsPerPixel = palette->BitsPerPixel;
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
        // After the first frame, the pixels of the rectangle that stay as they were may be
        // written clear: whichever way of writing them packs smallest is taken. Not where a
        // pixel turns clear, which only a whole repaint shows.
        const bool keep = !m_previous.empty() && m_unchangedIndex != NO_TRANSPARENT_COLOR &&
                          !turnsClear(frame.pixels, rect);
        m_pixels.clear();
        m_free.clear();
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const qsizetype start = qsizetype(y) * m_size.width() + rect.left();
            for (int x = 0; x < rect.width(); ++x) {
                const GifByteType pixel = frame.pixels[std::size_t(start + x)];
                m_pixels.push_back(pixel);
                m_free.push_back(keep && pixel == m_previous[std::size_t(start + x)]);
            }
        }
        const auto clear = GifByteType(keep ? m_unchangedIndex : 0);
        // The codes start as wide as the frame's largest index needs, not the table's: for
        // pixels written clear, only the largest index of those that change.
        const auto bitsFor = [](int largest) {
            int bits = 1;
            while ((1 << bits) <= largest) {
                ++bits;
            }
            return bits;
        };
        int largest = keep ? clear : 0;
        int largestChanged = largest;
        for (std::size_t i = 0; i < m_pixels.size(); ++i) {
            largest = std::max<int>(largest, m_pixels[i]);
            if (!m_free[i]) {
                largestChanged = std::max<int>(largestChanged, m_pixels[i]);
            }
        }
        m_codeBits = bitsFor(largest);
        std::vector<GifByteType> best =
            m_lzw.encode(m_pixels, m_free, clear, m_codeBits, LzwWriter::Choice::Own);
        bool clearUsed = false;
        if (keep) {
            for (const auto how : {LzwWriter::Choice::Clear, LzwWriter::Choice::Matching}) {
                const int bits =
                    how == LzwWriter::Choice::Clear ? bitsFor(largestChanged) : bitsFor(largest);
                std::vector<GifByteType> tried = m_lzw.encode(m_pixels, m_free, clear, bits, how);
                if (tried.size() < best.size()) {
                    best = std::move(tried);
                    m_codeBits = bits;
                    clearUsed = true;
                }
            }
        }
        GraphicsControlBlock control{};
        control.DisposalMode = last ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = delay;
        control.TransparentColor = clearUsed ? m_unchangedIndex : m_transparentIndex;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension) !=
                GIF_OK ||
            !putImage(rect, best)) {
            return false;
        }
        m_previous = std::move(frame.pixels);
        return true;
    }

private:
    GifFileType* m_gif = nullptr;
    GifOutput* m_output = nullptr; ///< where giflib writes, and the images go beside it
    QSize m_size;
    /// Appends the image descriptor of `rect` and `data`, LZW codes from LzwWriter, as GIF's
    /// sub-blocks. giflib writes each of its parts straight through, so the image can go beside
    /// them: giflib would start the codes as wide as the whole table.
    [[nodiscard]] bool putImage(const QRect& rect, const std::vector<GifByteType>& data) {
        const auto word = [](int value) {
            return std::array<char, 2>{char(value & 0xff), char((value >> 8) & 0xff)};
        };
        QByteArray& bytes = m_output->bytes;
        try {
            bytes.append(',');
            for (const int value : {rect.left(), rect.top(), rect.width(), rect.height()}) {
                const auto pair = word(value);
                bytes.append(pair.data(), 2);
            }
            bytes.append(char(0)); // no colour table of its own, not interlaced
            bytes.append(char(std::max(2, m_codeBits)));
            for (std::size_t at = 0; at < data.size(); at += 255) {
                const std::size_t length = std::min<std::size_t>(255, data.size() - at);
                bytes.append(char(length));
                bytes.append(reinterpret_cast<const char*>(data.data() + at), qsizetype(length));
            }
            bytes.append(char(0));
        } catch (const std::bad_alloc&) {
            m_output->noMemory = true;
            return false;
        }
        return true;
    }

    /// Whether a pixel of `next` in `rect` is clear where the frame before was not.
    [[nodiscard]] bool turnsClear(const std::vector<GifByteType>& next, const QRect& rect) const {
        if (m_transparentIndex == NO_TRANSPARENT_COLOR) {
            return false;
        }
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const qsizetype start = qsizetype(y) * m_size.width();
            for (int x = rect.left(); x <= rect.right(); ++x) {
                if (next[std::size_t(start + x)] == m_transparentIndex &&
                    m_previous[std::size_t(start + x)] != m_transparentIndex) {
                    return true;
                }
            }
        }
        return false;
    }

    int m_transparentIndex = NO_TRANSPARENT_COLOR;
    int m_unchangedIndex = NO_TRANSPARENT_COLOR;
    int m_bitsPerPixel = 8; ///< of the colour table
    int m_codeBits = 8;     ///< the bits of the frame's indices, as LZW takes them
    bool m_loop = true;
    std::vector<GifByteType> m_previous; ///< the frame written last
    std::vector<GifByteType> m_pixels;   ///< the rectangle's pixels, row after row
    std::vector<bool> m_free;            ///< which of them may be written clear
    LzwWriter m_lzw;
};

/// Writes the animation's frames through `writer`; false when a frame or giflib fails.
bool writeFrames(const AnimationFrames& animation, Palette& palette, GifWriter& writer,
                 const FrameProgress& progress) {
    std::optional<IndexedFrame> pending; ///< read, not yet written: its length is not known
    for (int index = 0; index < animation.frameCount(); ++index) {
        if (progress) {
            progress(index, animation.frameCount());
        }
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
    if (progress) {
        progress(animation.frameCount(), animation.frameCount());
    }
    const int end = centiseconds(animation.frameStartMs(animation.frameCount()));
    return pending &&
           writer.put(*pending, std::max(kShortestDelay, end - centiseconds(pending->startMs)),
                      true);
}

} // namespace

QByteArray encodeGifAnimation(const AnimationFrames& animation, bool loop,
                              const FrameProgress& progress) {
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
    GifWriter writer(gif, &output, finished.size(), palette.transparentIndex(),
                     palette.unchangedIndex(), loop);
    bool written = false;
    try {
        written = colours != nullptr && writer.start(colours) &&
                  writeFrames(animation, palette, writer, progress);
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
