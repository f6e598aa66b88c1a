#pragma once

#include "core/LineShape.h"
#include "core/SignatureRenderer.h"
#include "gallery/ZoomedSignature.h"

#include <QWidget>

#include <optional>
#include <span>

class QAction;
class QBoxLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;

namespace inkvale {

class LayoutControls;
class StyleTileGrid;

/// "全部风格预览": the typed name in all fifteen styles at once, a large zoomable preview of the
/// design and buttons for what can be done with it. A window of its own beside the main
/// window, resizable; it is told the name and the look and tells which style is chosen.
class GalleryWindow final : public QWidget {
    Q_OBJECT

public:
    /// The window, offering `presets` of the line's shape.
    explicit GalleryWindow(std::span<const LineShapePreset> presets, QWidget* parent = nullptr);

    /// The name typed in the main window. While the name box cannot take a name (`canType`
    /// false: the update check has not finished), or while it is empty, the styles' sample names
    /// show instead, and the line above them says why.
    void setName(const QString& typed, bool canType);
    /// The colour, size and background of the signatures to show.
    void setLook(const SignatureLook& look);
    /// The design to show large, or none before the first.
    void setDesign(const std::optional<GallerySignature>& design);
    /// Marks the style chosen in the main window, or none.
    void setChosenStyle(std::optional<int> slot);
    /// Adds a button with `caption` (with its mnemonic) that triggers `action` and is enabled
    /// exactly when it is.
    QPushButton* addActionButton(QAction& action, const QString& caption);

    [[nodiscard]] StyleTileGrid* tiles() const { return m_tiles; }
    [[nodiscard]] ZoomedSignature* zoomed() const { return m_zoomed; }
    [[nodiscard]] LayoutControls* layoutControls() const { return m_layout; }
    /// The line's shape and the seal chosen in the window.
    [[nodiscard]] LineShape shape() const;
    [[nodiscard]] SealText seal() const;
    /// The line over the styles that says what they show.
    [[nodiscard]] QLabel* note() const { return m_note; }
    /// The look the styles are drawn with (before the screen's pixel ratio), without the shape.
    [[nodiscard]] const SignatureLook& look() const { return m_look; }

signals:
    /// A style was chosen by a click, Return, Enter or Space on its picture.
    void styleChosen(int slot);
    /// The line's shape or the seal has changed.
    void layoutChanged();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateTiles();

    SignatureLook m_look;
    QLabel* m_note = nullptr;
    QScrollArea* m_scroll = nullptr;
    StyleTileGrid* m_tiles = nullptr;
    QGroupBox* m_previewBox = nullptr;
    ZoomedSignature* m_zoomed = nullptr;
    LayoutControls* m_layout = nullptr;
    QGroupBox* m_actionsBox = nullptr;
    QBoxLayout* m_actions = nullptr;
};

} // namespace inkvale
