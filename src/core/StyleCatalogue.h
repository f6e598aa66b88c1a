#pragma once

#include <QSize>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <span>

namespace inkvale {

/// One slot of the style catalogue: where the style is shown, what it is called and which
/// font face draws it. Positions are in twips inside the slot's page frame.
struct StyleSlot {
    int index = 0;           ///< index in the Option1 array
    int page = 1;            ///< 1 (Frame3) or 2 (Frame14)
    int row = 1;             ///< grid row, 1 to 3
    int column = 1;          ///< grid column, 1 to 3
    QStringView frameName;   ///< the cell frame's object name
    QStringView caption;     ///< the cell frame's caption
    QStringView previewName; ///< the preview picture's object name
    QSize previewSize;       ///< the preview bitmap's size in pixels
    QStringView statusLabel; ///< follows the status prefix in panel 2; empty for placeholders
    QStringView faceName;    ///< the font face rendering uses; empty for placeholders
    QStringView faceNameBox; ///< the hidden text box holding faceName; empty for placeholders
    int fontNumber = 0;      ///< deployment number M of its font (fonts/M.ttf); 0 for placeholders
    int cellLeft = 0;        ///< cell frame position in the page frame (twips)
    int cellTop = 0;
    int optionLeft = 0; ///< option button position and width in the page frame (twips)
    int optionTop = 0;
    int optionWidth = 0;

    /// True for the fifteen working styles, false for the three placeholders.
    [[nodiscard]] constexpr bool isStyle() const { return !faceName.isEmpty(); }
    /// The id of the embedded resource that carries the style's font; 0 for placeholders.
    [[nodiscard]] int fontResource() const;
    /// The file name under the fonts folder that the style's font is deployed to, e.g. "8.ttf".
    [[nodiscard]] QString fontFileName() const;
};

inline constexpr int kSlotCount = 18;
inline constexpr int kStyleCount = 15;

/// The whole catalogue, indexed by slot.
[[nodiscard]] const std::array<StyleSlot, kSlotCount>& styleCatalogue();

/// The slot with the given index; `index` must be 0 to 17.
[[nodiscard]] const StyleSlot& styleSlot(int index);

/// The selected style: the first of slots 0 to 14, in index order, whose option is selected.
/// `selected` holds the selection state of the options by slot; entries past 14 are ignored.
[[nodiscard]] std::optional<int> selectedStyle(std::span<const bool> selected);

/// The text panel 2 shows when `slot` (0 to 14) is chosen.
[[nodiscard]] QString statusTextFor(int slot);

/// The sample name a style's preview picture shows: "John Smith" for the Latin-script styles
/// (slots 6 to 8), "张伟" for every other style.
[[nodiscard]] QString sampleNameFor(int slot);

/// The fifteen face names in the order of their boxes, Text2 to Text16.
[[nodiscard]] std::array<QString, kStyleCount> faceNamesInBoxOrder();

/// Caption shared by every Option1 button.
inline constexpr QStringView kOptionCaption = u"使用此签名";
/// Caption of the placeholder cells.
inline constexpr QStringView kPlaceholderCaption = u"待添加";

} // namespace inkvale
