#pragma once

#include <QString>
#include <QStringList>

namespace inkvale {

/// The fonts installed on the system and the user's own font folder.
class Fonts {
public:
    virtual ~Fonts() = default;

    /// The folder where the user installs fonts for themselves, created when missing.
    [[nodiscard]] virtual QString userFontFolder() const = 0;

    /// The face names of the installed fonts, in the order the system reports them.
    [[nodiscard]] virtual QStringList installedFontFaces() const = 0;
};

} // namespace inkvale
