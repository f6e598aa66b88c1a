#include "core/StrokeOrder.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

// The file tools/strokes/build.py makes, assembled into the program (StrokeData.s).
extern "C" const unsigned char inkvale_stroke_data[];
extern "C" const unsigned char inkvale_stroke_data_end[];

namespace inkvale {

namespace {

constexpr char kMagic[] = "IVSTROK2";
constexpr std::size_t kMagicSize = sizeof(kMagic) - 1;
constexpr std::size_t kIndexEntry = 8;
constexpr std::size_t kHeader = kMagicSize + 8;
/// The grid's steps per em: points are whole steps of a 1024-unit em square, four units each.
constexpr double kGridPerEm = 256.0;

struct StrokeFile {
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
    std::size_t characters = 0;
    std::size_t variantsAt = 0; ///< where the variants' pairs begin
    std::size_t variants = 0;
};

StrokeFile strokeFile() {
    StrokeFile file{inkvale_stroke_data, std::size_t(inkvale_stroke_data_end - inkvale_stroke_data),
                    0};
    if (file.size < kHeader || std::memcmp(file.bytes, kMagic, kMagicSize) != 0) {
        return {};
    }
    file.characters = qFromLittleEndian<quint32>(file.bytes + kMagicSize);
    const std::size_t variants = qFromLittleEndian<quint32>(file.bytes + kMagicSize + 4);
    if (file.characters > (file.size - kHeader) / kIndexEntry || variants < kHeader ||
        variants > file.size - 4) {
        return {};
    }
    file.variantsAt = variants + 4;
    file.variants = qFromLittleEndian<quint32>(file.bytes + variants);
    if (file.variants > (file.size - file.variantsAt) / 8) {
        file.variants = 0;
    }
    return file;
}

const StrokeFile& data() {
    static const StrokeFile file = strokeFile();
    return file;
}

quint32 codeAt(const StrokeFile& file, std::size_t index) {
    return qFromLittleEndian<quint32>(file.bytes + kHeader + index * kIndexEntry);
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
    std::size_t at = qFromLittleEndian<quint32>(file.bytes + kHeader + low * kIndexEntry + 4);
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

std::vector<char32_t> strokeVariants(char32_t character) {
    const StrokeFile& file = data();
    const auto codeOf = [&file](std::size_t index, std::size_t part) {
        return char32_t(
            qFromLittleEndian<quint32>(file.bytes + file.variantsAt + index * 8 + part));
    };
    std::size_t low = 0;
    std::size_t high = file.variants;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (codeOf(middle, 0) < character) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    std::vector<char32_t> variants;
    for (; low < file.variants && codeOf(low, 0) == character; ++low) {
        variants.push_back(codeOf(low, 4));
    }
    return variants;
}

int strokeOrderCharacters() {
    return int(data().characters);
}

} // namespace inkvale
