#include "core/StrokeOrder.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

// The file tools/strokes/build.py makes, assembled into the program (StrokeData.s).
extern "C" const unsigned char inkvale_stroke_data[];
extern "C" const unsigned char inkvale_stroke_data_end[];

namespace inkvale {

namespace {

constexpr char kMagic[] = "IVSTROK1";
constexpr std::size_t kMagicSize = sizeof(kMagic) - 1;
constexpr std::size_t kIndexEntry = 8;
/// The grid's steps per em: points are whole steps of a 1024-unit em square, four units each.
constexpr double kGridPerEm = 256.0;

struct StrokeFile {
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
    std::size_t characters = 0;
};

StrokeFile strokeFile() {
    StrokeFile file{inkvale_stroke_data, std::size_t(inkvale_stroke_data_end - inkvale_stroke_data),
                    0};
    if (file.size < kMagicSize + 4 || std::memcmp(file.bytes, kMagic, kMagicSize) != 0) {
        return {};
    }
    file.characters = qFromLittleEndian<quint32>(file.bytes + kMagicSize);
    if (file.characters > (file.size - kMagicSize - 4) / kIndexEntry) {
        return {};
    }
    return file;
}

const StrokeFile& data() {
    static const StrokeFile file = strokeFile();
    return file;
}

quint32 codeAt(const StrokeFile& file, std::size_t index) {
    return qFromLittleEndian<quint32>(file.bytes + kMagicSize + 4 + index * kIndexEntry);
}

} // namespace

std::vector<StrokeMedian> strokeMedians(char32_t character) {
    const StrokeFile& file = data();
    std::size_t low = 0;
    std::size_t high = file.characters;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (codeAt(file, middle) < character) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == file.characters || codeAt(file, low) != character) {
        return {};
    }
    std::size_t at =
        qFromLittleEndian<quint32>(file.bytes + kMagicSize + 4 + low * kIndexEntry + 4);
    const auto byteAt = [&file, &at](bool& ok) -> int {
        if (at >= file.size) {
            ok = false;
            return 0;
        }
        return file.bytes[at++];
    };
    bool ok = true;
    std::vector<StrokeMedian> strokes(std::size_t(byteAt(ok)));
    for (StrokeMedian& stroke : strokes) {
        stroke.resize(std::size_t(byteAt(ok)));
        for (QPointF& point : stroke) {
            const int x = byteAt(ok);
            const int y = byteAt(ok);
            point = QPointF(x / kGridPerEm, y / kGridPerEm);
        }
    }
    if (!ok) {
        return {};
    }
    std::erase_if(strokes, [](const StrokeMedian& stroke) { return stroke.empty(); });
    return strokes;
}

int strokeOrderCharacters() {
    return int(data().characters);
}

} // namespace inkvale
