#include "core/EmbeddedFonts.h"

#include "core/StyleCatalogue.h"

#include <QFontDatabase>

namespace inkvale {

Outcome useEmbeddedStyleFonts(const CustomResources& resources) {
    QList<int> styles;
    for (const StyleSlot& slot : styleCatalogue()) {
        if (slot.isStyle()) {
            styles.append(slot.index);
        }
    }
    return useEmbeddedStyleFonts(resources, styles);
}

Outcome useEmbeddedStyleFonts(const CustomResources& resources, const QList<int>& styles) {
    for (const int index : styles) {
        const StyleSlot& slot = styleSlot(index);
        const QByteArrayView bytes = resources(slot.fontResource());
        if (bytes.isEmpty()) {
            return Outcome::failed(Cause::Other,
                                   QStringLiteral("the program carries no font for style %1 (%2)")
                                       .arg(slot.index)
                                       .arg(slot.fontFileName()));
        }
        // The payload lives as long as the program, so Qt may read it in place.
        const int id = QFontDatabase::addApplicationFontFromData(
            QByteArray::fromRawData(bytes.data(), bytes.size()));
        if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(slot.faceName)) {
            return Outcome::failed(
                Cause::Other,
                QStringLiteral("the font the program carries for style %1 (%2) is not the face %3")
                    .arg(slot.index)
                    .arg(slot.fontFileName(), slot.faceName.toString()));
        }
    }
    return {};
}

QStringList unavailableStyleFaces(const QList<int>& styles) {
    QStringList missing;
    for (const int slot : styles) {
        const QString face = styleSlot(slot).faceName.toString();
        if (!QFontDatabase::hasFamily(face) && !missing.contains(face)) {
            missing.append(face);
        }
    }
    return missing;
}

} // namespace inkvale
