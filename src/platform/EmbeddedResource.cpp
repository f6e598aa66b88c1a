#include "platform/EmbeddedResource.h"

#include <QResource>

namespace inkvale {

QByteArrayView embeddedResource(const QString& type, int id) {
    // Payloads are stored uncompressed, so the data lies in the executable's own image.
    const QResource resource(QStringLiteral(":/%1/%2").arg(type).arg(id));
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression) {
        return {};
    }
    return {reinterpret_cast<const char*>(resource.data()),
            static_cast<qsizetype>(resource.size())};
}

} // namespace inkvale
