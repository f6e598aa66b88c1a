#include "platform/files/EmbeddedResource.h"

namespace inkvale {

/// One row of the table the build assembles beside the payloads (see CMakeLists.txt).
struct EmbeddedPayload {
    quint64 id;       ///< 0 ends the table
    const char* data; ///< the payload's first byte, in the executable's read-only image
    quint64 size;
};
static_assert(sizeof(EmbeddedPayload) == 3 * 8, "the table is three 64-bit words a row");

} // namespace inkvale

// Only programs that carry the payloads define it; in the others it stays null.
extern "C" __attribute__((weak)) const inkvale::EmbeddedPayload inkvale_payload_table[];

namespace inkvale {

QByteArrayView embeddedResource(const QString& type, int id) {
    // Read in place: the bytes lie in the executable's own image, each on a page of its own.
    const EmbeddedPayload* row = inkvale_payload_table;
    if (type != QLatin1String("CUSTOM") || row == nullptr || id <= 0) {
        return {};
    }
    for (; row->id != 0; ++row) {
        if (row->id == static_cast<quint64>(id)) {
            return {row->data, static_cast<qsizetype>(row->size)};
        }
    }
    return {};
}

} // namespace inkvale
