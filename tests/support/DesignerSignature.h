#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

namespace inkvale::test {

/// What a user sets in the designer before pressing "设计签名".
struct DesignerChoice {
    int slot = 0;           ///< the style option chosen
    QString name;           ///< typed into the name box
    float points = 42.0F;   ///< the text size the size dialog sets
    QColor colour;          ///< picked in the colour dialog; invalid to keep the default
    QString backgroundFile; ///< chosen as background picture; empty for none
};

/// The designer's canvas image after "设计签名" with `choice`: a real main window on a fake
/// platform, driven through its own handlers.
[[nodiscard]] QImage designerSignature(const DesignerChoice& choice);

/// Adds the fifteen built style fonts in `folder` (1.ttf to 15.ttf) to this process and returns
/// the style faces that are still not available.
[[nodiscard]] QStringList useBuiltStyleFonts(const QString& folder);

} // namespace inkvale::test
