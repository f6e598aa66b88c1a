#include "platform/Platform.h"

namespace inkvale {

Platform::~Platform() = default;

std::optional<FileRange> ProgramFiles::embeddedResourceFile(const QString& /*type*/,
                                                            int /*id*/) const {
    return std::nullopt;
}

Result<QByteArray> ProgramFiles::readFile(const QString& path, qint64 maxBytes) const {
    return readWholeFile(path, maxBytes);
}

} // namespace inkvale
