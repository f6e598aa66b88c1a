#pragma once

#include <QByteArrayView>
#include <QString>

namespace inkvale {

/// The bytes of the resource of `type` and number `id` embedded in the running executable,
/// read in place (they live as long as the program); empty when there is none. Needs nothing but
/// Qt Core, so small tools can read payloads without the
/// designer's platform.
[[nodiscard]] QByteArrayView embeddedResource(const QString& type, int id);

} // namespace inkvale
