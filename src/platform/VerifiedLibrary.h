#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace inkvale {

/// The entry point `symbol` of the shared library at `path`, loaded only when the file holds
/// exactly the bytes `expected`, and then loaded from those bytes held in a sealed memory file,
/// not from the file again, so that a file swapped in after the check is never run. `path` must be
/// absolute and is used as it is: no prefix, suffix or search path is tried, so nothing but that
/// file is ever loaded. Once loaded it stays loaded. nullptr when `expected` is empty, when the
/// file is missing, unreadable or holds anything else (then no code of it runs), and when the
/// library lacks `symbol`.
[[nodiscard]] QFunctionPointer resolveVerifiedLibrary(const QString& path, QByteArrayView expected,
                                                      const char* symbol);

} // namespace inkvale
