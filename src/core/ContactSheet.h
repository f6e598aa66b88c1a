#pragma once

#include "core/VectorPicture.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace inkvale {

class SignatureRenderer;

/// Where things go on a contact sheet, in canvas pixels: the fifteen styles in catalogue order,
/// three to a row, each canvas under a caption band that names the style.
class ContactSheetLayout final {
public:
    static constexpr int kColumns = 3;
    static constexpr int kMargin = 16;
    static constexpr int kGap = 16;
    static constexpr int kCaptionHeight = 26;
    static constexpr int kCaptionPixels = 14;

    /// A layout for canvases whose drawing area is `canvas` pixels.
    explicit ContactSheetLayout(QSize canvas);

    /// The whole sheet.
    [[nodiscard]] QSize size() const;
    /// The caption band above style `slot` (0 to 14).
    [[nodiscard]] QRect captionRect(int slot) const;
    /// The canvas of style `slot`.
    [[nodiscard]] QRect canvasRect(int slot) const;
    /// The text of the caption of style `slot`: its slot number and its caption, then the
    /// characters of `name` that another font draws in that style and those no font draws,
    /// when there are any.
    [[nodiscard]] static QString captionText(int slot, const QString& name);

private:
    QSize m_canvas;
};

/// The characters of `name`, once each and in its order, that style `slot` draws with another
/// font: borrowed from a donor or drawn by a later face of its chain.
[[nodiscard]] QString borrowedCharacters(int slot, const QString& name);

/// The characters of `name`, once each and in its order, that no font of style `slot` draws.
[[nodiscard]] QString undrawnCharacters(int slot, const QString& name);

/// `name` in all fifteen styles on one sheet, drawn by `renderer` at its look and resolution.
/// Transparent looks leave the sheet's white background out too. Null when there is not
/// enough memory for it; throws std::bad_alloc when the captions' font or one of their glyphs
/// could not be loaded for want of memory.
[[nodiscard]] QImage renderContactSheet(SignatureRenderer& renderer, const QString& name);

/// The same sheet as outlines, captions included; throws std::bad_alloc as renderContactSheet()
/// does.
[[nodiscard]] VectorPicture outlineContactSheet(SignatureRenderer& renderer, const QString& name);

} // namespace inkvale
