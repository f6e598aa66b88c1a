#include "gallery/GalleryWindow.h"

#include "gallery/LayoutControls.h"
#include "gallery/StyleTiles.h"

#include <QAction>
#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

namespace inkvale {

GalleryWindow::GalleryWindow(std::span<const LineShapePreset> presets, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("StyleGallery"));
    setWindowTitle(QStringLiteral("全部风格预览"));
    setAccessibleName(windowTitle());
    // The skin's frames carry their titles inside their border, for the main window's fixed
    // layout; here each box keeps room above its border for its title, or the title is cut.
    setStyleSheet(QStringLiteral(
        "QGroupBox { margin-top: 1.4em; padding-top: 2px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0px 3px; }"));

    auto* columns = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("GalleryNote"));
    m_note->setWordWrap(true);
    left->addWidget(m_note);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("StyleTilesArea"));
    m_scroll->setWidgetResizable(true);
    // The tiles take the keyboard themselves; the area around them is no stop of its own.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_tiles = new StyleTileGrid;
    m_tiles->setAccessibleName(QStringLiteral("十五种签名风格"));
    m_scroll->setWidget(m_tiles);
    m_scroll->setMinimumWidth(m_tiles->minimumSizeHint().width() +
                              m_scroll->verticalScrollBar()->sizeHint().width() +
                              2 * m_scroll->frameWidth());
    left->addWidget(m_scroll, 1);
    columns->addLayout(left, 3);

    auto* right = new QVBoxLayout;
    m_previewBox = new QGroupBox(QStringLiteral("签名放大预览"), this);
    m_previewBox->setObjectName(QStringLiteral("PreviewBox"));
    auto* previewLayout = new QVBoxLayout(m_previewBox);
    m_zoomed = new ZoomedSignature(m_previewBox);
    previewLayout->addWidget(m_zoomed);
    right->addWidget(m_previewBox, 1);

    m_layout = new LayoutControls(presets, this);
    right->addWidget(m_layout);

    m_actionsBox = new QGroupBox(QStringLiteral("使用签名"), this);
    m_actionsBox->setObjectName(QStringLiteral("ActionsBox"));
    m_actions = new QHBoxLayout(m_actionsBox);
    right->addWidget(m_actionsBox);
    columns->addLayout(right, 2);

    connect(m_tiles, &StyleTileGrid::tileChosen, this, &GalleryWindow::styleChosen);
    connect(m_layout, &LayoutControls::changed, this, [this] {
        updateTiles();
        emit layoutChanged();
    });
    resize(1240, 760);
    updateTiles();
}

void GalleryWindow::setName(const QString& typed, bool canType) {
    if (!canType) {
        m_note->setText(QStringLiteral(
            "程序正在检测更新,检测完成后才能输入名字。下面先显示各风格的示例签名。"));
        m_tiles->setName(std::nullopt);
    } else if (typed.isEmpty()) {
        m_note->setText(QStringLiteral(
            "请在主窗口的名字框中输入您的名字。输入之前,下面显示各风格的示例签名。"));
        m_tiles->setName(std::nullopt);
    } else {
        m_note->setText(
            QStringLiteral("您的名字的十五种风格:单击一种,或用方向键选中后按回车键或空格键,"
                           "即在主窗口选用并设计。"));
        m_tiles->setName(typed);
    }
}

void GalleryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The keyboard starts among the styles.
    if (focusWidget() == nullptr) {
        m_tiles->tabStop()->setFocus(Qt::ActiveWindowFocusReason);
    }
}

void GalleryWindow::setLook(const SignatureLook& look) {
    m_look = look;
    updateTiles();
}

void GalleryWindow::updateTiles() {
    SignatureLook shaped = m_look;
    shaped.shape = shape();
    shaped.seal = seal();
    m_tiles->setLook(shaped);
}

LineShape GalleryWindow::shape() const {
    return m_layout->shape();
}

SealText GalleryWindow::seal() const {
    return m_layout->seal();
}

void GalleryWindow::setDesign(const std::optional<GallerySignature>& design) {
    m_zoomed->setSignature(design);
}

void GalleryWindow::setChosenStyle(std::optional<int> slot) {
    m_tiles->setChosen(slot);
}

QPushButton* GalleryWindow::addActionButton(QAction& action, const QString& caption) {
    auto* button = new QPushButton(caption, m_actionsBox);
    button->setObjectName(action.objectName() + QStringLiteral("Button"));
    button->setAccessibleName(action.text());
    button->setToolTip(action.toolTip());
    button->setAutoDefault(true);
    button->setEnabled(action.isEnabled());
    connect(button, &QPushButton::clicked, &action, &QAction::trigger);
    connect(&action, &QAction::changed, button,
            [button, &action] { button->setEnabled(action.isEnabled()); });
    m_actions->addWidget(button);
    return button;
}

} // namespace inkvale
