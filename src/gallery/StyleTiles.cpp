#include "gallery/StyleTiles.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace inkvale {

namespace {

/// Room around the picture for the frame that marks the chosen and the focused tile.
constexpr int kMargin = 4;
constexpr int kSpacing = 6;

/// The drawing area of the designed canvas: every tile shows the whole of it.
QSize pictureSize() {
    SignatureLook look;
    return look.canvas - QSize(2 * SignatureSurface::kDesignedBorderPixels,
                               2 * SignatureSurface::kDesignedBorderPixels);
}

} // namespace

StyleTile::StyleTile(StyleTileGrid& grid, int slot)
    : QAbstractButton(&grid)
    , m_grid(grid)
    , m_slot(slot) {
    setObjectName(QStringLiteral("StyleTile(%1)").arg(slot));
    setText(styleSlot(slot).caption.toString());
    setAccessibleName(text());
    setCheckable(false);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize StyleTile::sizeHint() const {
    return pictureSize() + QSize(2 * kMargin, 2 * kMargin + fontMetrics().height() + kMargin);
}

QImage StyleTile::image() {
    if (m_stale) {
        m_image = m_grid.draw(m_slot);
        m_stale = false;
    }
    return m_image;
}

void StyleTile::invalidate() {
    m_stale = true;
    update();
}

void StyleTile::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const bool chosen = m_grid.chosen() == m_slot;
    const QPalette& colours = palette();
    const QRect caption(kMargin, kMargin, width() - 2 * kMargin, fontMetrics().height());
    painter.setPen(colours.color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, caption.width()));

    const QRect picture(QPoint(kMargin, caption.bottom() + 1 + kMargin), pictureSize());
    const QImage shown = image();
    if (!shown.isNull()) {
        painter.drawImage(picture, shown);
    }
    if (chosen || hasFocus() || underMouse()) {
        painter.setPen(
            QPen(chosen ? colours.color(QPalette::Highlight) : colours.color(QPalette::Mid),
                 chosen ? 3 : 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(picture.adjusted(-2, -2, 1, 1));
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void StyleTile::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        m_grid.moveFocus(*this, -1, 0);
        return;
    case Qt::Key_Right:
        m_grid.moveFocus(*this, 1, 0);
        return;
    case Qt::Key_Up:
        m_grid.moveFocus(*this, 0, -1);
        return;
    case Qt::Key_Down:
        m_grid.moveFocus(*this, 0, 1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        click();
        return;
    default:
        // Space presses the button as every button does.
        QAbstractButton::keyPressEvent(event);
    }
}

void StyleTile::focusInEvent(QFocusEvent* event) {
    m_grid.makeTabStop(*this);
    // Inside a scroll area (its viewport's widget), the tile the keyboard reaches is scrolled
    // into sight.
    for (QWidget* outer = m_grid.parentWidget(); outer != nullptr; outer = outer->parentWidget()) {
        if (auto* area = qobject_cast<QScrollArea*>(outer)) {
            area->ensureWidgetVisible(this);
            break;
        }
    }
    QAbstractButton::focusInEvent(event);
}

StyleTileGrid::StyleTileGrid(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("StyleTiles"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    for (int slot = 0; slot < kStyleCount; ++slot) {
        auto* tile = new StyleTile(*this, slot);
        m_tiles.at(std::size_t(slot)) = tile;
        connect(tile, &QAbstractButton::clicked, this, [this, slot] { emit tileChosen(slot); });
    }
    makeTabStop(*m_tiles.front());
}

StyleTileGrid::~StyleTileGrid() = default;

StyleTile* StyleTileGrid::tile(int slot) const {
    return m_tiles.at(std::size_t(slot));
}

QString StyleTileGrid::nameFor(int slot) const {
    return m_name.value_or(sampleNameFor(slot));
}

void StyleTileGrid::setName(const std::optional<QString>& name) {
    if (name == m_name) {
        return;
    }
    m_name = name;
    invalidateAll();
}

void StyleTileGrid::setLook(const SignatureLook& look) {
    m_look = look;
    m_look.dotsPerInch = 96.0 * devicePixelRatioF();
    m_renderer.reset();
    invalidateAll();
}

void StyleTileGrid::setChosen(std::optional<int> slot) {
    m_chosen = slot;
    if (slot) {
        makeTabStop(*tile(*slot));
    }
    for (StyleTile* each : m_tiles) {
        each->update();
    }
}

SignatureRenderer& StyleTileGrid::renderer() {
    if (!m_renderer) {
        m_renderer = std::make_unique<SignatureRenderer>(m_look);
    }
    return *m_renderer;
}

QImage StyleTileGrid::draw(int slot) {
    // Moved to a screen of another scale: every picture is drawn again at its pixel ratio.
    if (m_look.dotsPerInch != 96.0 * devicePixelRatioF()) {
        setLook(m_look);
    }
    return renderer().image(slot, nameFor(slot));
}

void StyleTileGrid::invalidateAll() {
    for (StyleTile* each : m_tiles) {
        each->invalidate();
    }
}

int StyleTileGrid::columnsFor(int width) const {
    const int tileWidth = m_tiles.front()->sizeHint().width();
    return std::clamp((width + kSpacing) / (tileWidth + kSpacing), 1, kStyleCount);
}

int StyleTileGrid::columns() const {
    return columnsFor(width());
}

int StyleTileGrid::heightForWidth(int width) const {
    const int across = columnsFor(width);
    const int rows = (kStyleCount + across - 1) / across;
    return rows * (m_tiles.front()->sizeHint().height() + kSpacing) - kSpacing;
}

QSize StyleTileGrid::sizeHint() const {
    const int width = 3 * (m_tiles.front()->sizeHint().width() + kSpacing) - kSpacing;
    return {width, heightForWidth(width)};
}

QSize StyleTileGrid::minimumSizeHint() const {
    const QSize one = m_tiles.front()->sizeHint();
    return {one.width(), heightForWidth(one.width())};
}

void StyleTileGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeTiles();
}

void StyleTileGrid::placeTiles() {
    const QSize one = m_tiles.front()->sizeHint();
    const int across = columns();
    for (int slot = 0; slot < kStyleCount; ++slot) {
        tile(slot)->setGeometry((slot % across) * (one.width() + kSpacing),
                                (slot / across) * (one.height() + kSpacing), one.width(),
                                one.height());
    }
    // Tab and the arrows visit the tiles as they stand, row by row.
    for (int slot = 1; slot < kStyleCount; ++slot) {
        setTabOrder(tile(slot - 1), tile(slot));
    }
}

void StyleTileGrid::moveFocus(const StyleTile& from, int across, int down) {
    const int perRow = columns();
    const int column = from.slot() % perRow + across;
    const int row = from.slot() / perRow + down;
    const int to = row * perRow + column;
    if (column < 0 || column >= perRow || row < 0 || to >= kStyleCount) {
        return;
    }
    tile(to)->setFocus(Qt::OtherFocusReason);
}

StyleTile* StyleTileGrid::tabStop() const {
    for (StyleTile* each : m_tiles) {
        if (each->focusPolicy() == Qt::StrongFocus) {
            return each;
        }
    }
    return m_tiles.front();
}

void StyleTileGrid::makeTabStop(StyleTile& stop) {
    for (StyleTile* each : m_tiles) {
        each->setFocusPolicy(each == &stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

} // namespace inkvale
