#pragma once

#include "core/SignatureRenderer.h"
#include "core/StyleCatalogue.h"

#include <QAbstractButton>
#include <QImage>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace inkvale {

class StyleTileGrid;

/// One style of the gallery: its caption over the name drawn in it, as the canvas would draw it
/// with the grid's look. A button to the keyboard and to screen readers, named by its caption;
/// a click, Return, Enter or Space chooses it.
class StyleTile final : public QAbstractButton {
    Q_OBJECT

public:
    StyleTile(StyleTileGrid& grid, int slot);

    [[nodiscard]] int slot() const { return m_slot; }
    /// The picture the tile shows, drawn now if the name or the look changed since it last was.
    [[nodiscard]] QImage image();
    /// Forgets the picture: the next paint draws it again.
    void invalidate();

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    StyleTileGrid& m_grid;
    int m_slot = 0;
    QImage m_image;
    bool m_stale = true;
};

/// The fifteen styles side by side, as many to a row as the width takes, each drawing one name
/// with one look. Only the tiles that are painted draw their picture, so a change costs what can
/// be seen; all tiles share one renderer, made again only when the look changes.
///
/// To the keyboard the grid is one stop: Tab comes to the tile last chosen or visited, the arrow
/// keys move among the tiles as they stand on the screen.
class StyleTileGrid final : public QWidget {
    Q_OBJECT

public:
    explicit StyleTileGrid(QWidget* parent = nullptr);
    ~StyleTileGrid() override;

    /// Draws `name` in every style; none draws each style's sample name (sampleNameFor()).
    void setName(const std::optional<QString>& name);
    /// Draws every style with `look`, at the screen's pixel ratio whatever resolution it names.
    void setLook(const SignatureLook& look);
    /// Marks `slot` as the style chosen in the window, or none.
    void setChosen(std::optional<int> slot);

    /// The name the tile of `slot` draws.
    [[nodiscard]] QString nameFor(int slot) const;
    /// The look the tiles are drawn with, at the screen's pixel ratio.
    [[nodiscard]] const SignatureLook& look() const { return m_look; }
    [[nodiscard]] std::optional<int> chosen() const { return m_chosen; }
    /// The tile of `slot` (0 to 14).
    [[nodiscard]] StyleTile* tile(int slot) const;
    /// Tiles to a row at the present width.
    [[nodiscard]] int columns() const;

    /// The picture of `slot` with the present name and look, from the shared renderer.
    [[nodiscard]] QImage draw(int slot);
    /// Moves the keyboard from `from` by `columns` tiles across and `rows` down, stopping at the
    /// edges.
    void moveFocus(const StyleTile& from, int across, int down);
    /// Makes `tile` the grid's one tab stop.
    void makeTabStop(StyleTile& tile);
    /// The tile Tab comes to: the one chosen or last visited.
    [[nodiscard]] StyleTile* tabStop() const;

    [[nodiscard]] bool hasHeightForWidth() const override { return true; }
    [[nodiscard]] int heightForWidth(int width) const override;
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

signals:
    /// A tile was clicked or pressed from the keyboard.
    void tileChosen(int slot);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeTiles();
    void invalidateAll();
    [[nodiscard]] int columnsFor(int width) const;
    [[nodiscard]] SignatureRenderer& renderer();

    std::array<StyleTile*, kStyleCount> m_tiles{};
    std::optional<QString> m_name; ///< none: the sample names
    SignatureLook m_look;
    std::optional<int> m_chosen;
    /// Made on first use for the present look and pixel ratio.
    std::unique_ptr<SignatureRenderer> m_renderer;
};

} // namespace inkvale
