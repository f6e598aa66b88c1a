#include "core/PngEncoding.h"

#include "core/ImageConversion.h"

#include <QSysInfo>

#include <csetjmp>
#include <cstring>
#include <new>
#include <png.h>
#include <vector>
#include <zlib.h>

namespace inkvale {

namespace {

/// The file as libpng writes it, and whether memory ran out on the way.
struct PngOutput {
    QByteArray bytes;
    bool noMemory = false;
};

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    // No exception may pass through libpng's C frames: the error jumps back instead.
    bool appended = false;
    try {
        output->bytes.append(reinterpret_cast<const char*>(data), qsizetype(length));
        appended = true;
    } catch (const std::bad_alloc&) {
        output->noMemory = true;
    }
    if (!appended) {
        png_error(png, "out of memory");
    }
}

void flushNothing(png_structp) {}

/// libpng's errors jump back to writePng(), quietly: the caller says what failed, telling
/// memory that ran out from the rest. Its warnings are not ours to print either.
[[noreturn]] void jumpBack(png_structp png, png_const_charp message) {
    if (message != nullptr && std::strstr(message, "emory") != nullptr) {
        static_cast<PngOutput*>(png_get_error_ptr(png))->noMemory = true;
    }
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

/// The libpng calls, apart from anything with a destructor that the error jump would skip.
bool writePng(png_structp png, png_infop info, const QImage& image, bool alpha, int filter,
              std::vector<png_bytep>& rows) {
    const bool fromRgb32 = image.format() == QImage::Format_RGB32;
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_compression_strategy(png, Z_RLE);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        png_set_pHYs(png, info, png_uint_32(image.dotsPerMeterX()),
                     png_uint_32(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    if (fromRgb32) {
        // 0xffRRGGBB words: read in place, the byte order turned and the padding byte dropped.
        if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            png_set_bgr(png);
            png_set_filler(png, 0, PNG_FILLER_AFTER);
        } else {
            png_set_filler(png, 0, PNG_FILLER_BEFORE);
        }
    }
    png_write_image(png, rows.data());
    png_write_end(png, info);
    return true;
}

} // namespace

QByteArray encodePng(const QImage& image, PngContent content) {
    if (image.isNull()) {
        return {};
    }
    const bool alpha = image.hasAlphaChannel();
    // Opaque canvases are read as they are; anything else is brought to PNG's own byte order
    // (with the alpha not premultiplied).
    const QImage pixels =
        image.format() == QImage::Format_RGB32
            ? image
            : convertedOnThisThread(image, alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    std::vector<png_bytep> rows(std::size_t(pixels.height()));
    for (int y = 0; y < pixels.height(); ++y) {
        // libpng only reads the rows it is given.
        rows[std::size_t(y)] = const_cast<png_bytep>(pixels.constScanLine(y));
    }
    PngOutput output;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, jumpBack, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        // Either fails only for want of memory.
        png_destroy_write_struct(&png, nullptr);
        throw std::bad_alloc();
    }
    png_set_write_fn(png, &output, appendBytes, flushNothing);
    const int filter = content == PngContent::Drawing ? PNG_FILTER_NONE : PNG_FILTER_PAETH;
    const bool written = writePng(png, info, pixels, alpha, filter, rows);
    png_destroy_write_struct(&png, &info);
    if (output.noMemory) {
        throw std::bad_alloc();
    }
    return written ? output.bytes : QByteArray();
}

} // namespace inkvale
