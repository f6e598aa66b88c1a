#include "platform/Platform.h"

namespace inkvale {

Platform::~Platform() = default;

std::optional<FileRange> ProgramFiles::embeddedResourceFile(const QString& /*type*/,
                                                            int /*id*/) const {
    return std::nullopt;
}

} // namespace inkvale
