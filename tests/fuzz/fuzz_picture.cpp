// A background picture: any file a user may choose, read within the pixel limit.

#include "FuzzCheck.h"
#include "core/PictureDecoding.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The picture format plugins are found through the application, as in the program.
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize announced = reader.size();
    const QImage image = inkvale::readPictureWithinLimit(reader);
    if (inkvale::exceedsPixelLimit(announced)) {
        FUZZ_CHECK(image.isNull());
    }
    if (!image.isNull()) {
        FUZZ_CHECK(!inkvale::exceedsPixelLimit(image.size()));
        FUZZ_CHECK(image.width() > 0 && image.height() > 0);
        // Every pixel is there to be drawn.
        FUZZ_CHECK(image.constBits() != nullptr);
        FUZZ_CHECK(image.sizeInBytes() >= qsizetype(image.bytesPerLine()) * image.height());
    }
    return 0;
}
