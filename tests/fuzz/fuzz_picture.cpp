// A background picture: any file a user may choose. Qt's decoders are not built instrumented, so
// the fuzzer steers by the code that is ours: the JPEG end-marker walk, on every input, and the
// checks decodeIntactPicture makes around the decoders.

#include "FuzzCheck.h"
#include "core/PictureDecoding.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The picture format plugins are found through the application, as in the program.
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The walk ends, and only ever at an end marker after a start marker.
    const bool runsToItsEnd = inkvale::jpegRunsToItsEnd(bytes);
    if (runsToItsEnd) {
        FUZZ_CHECK(bytes.startsWith("\xFF\xD8"));
        FUZZ_CHECK(bytes.indexOf("\xFF\xD9", 2) >= 2);
        // Whatever follows the end marker is not read: one more byte changes nothing.
        FUZZ_CHECK(inkvale::jpegRunsToItsEnd(bytes + '\0'));
    }

    const inkvale::DecodedPicture picture = inkvale::decodeIntactPicture(bytes);
    FUZZ_CHECK(picture.outcome.ok() == !picture.image.isNull());
    if (picture.outcome.ok()) {
        FUZZ_CHECK(!inkvale::exceedsPixelLimit(picture.image.size()));
        FUZZ_CHECK(picture.image.width() > 0 && picture.image.height() > 0);
        FUZZ_CHECK(picture.image.constBits() != nullptr);
        // A JPEG is only taken whole.
        if (bytes.startsWith("\xFF\xD8\xFF")) {
            FUZZ_CHECK(runsToItsEnd);
        }
    }
    if (picture.size.isValid() && inkvale::exceedsPixelLimit(picture.size)) {
        FUZZ_CHECK(!picture.outcome.ok());
    }
    return 0;
}
