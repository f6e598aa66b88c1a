#include "designer/GalleryLink.h"

#include "core/LineShape.h"
#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "designer/SignatureUse.h"
#include "gallery/GalleryWindow.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

namespace inkvale {

namespace {

/// The presets of the line's shape that the window offers: the drawing core's list, which is
/// not linked in yet, so none.
std::span<const LineShapePreset> offeredPresets() {
    return lineShapePresets();
}

} // namespace

GalleryLink::GalleryLink(Form1& form)
    : QObject(&form)
    , m_form(form) {
    m_open = new QAction(QStringLiteral("全部风格预览…"), this);
    m_open->setObjectName(QStringLiteral("StyleGalleryAction"));
    m_open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    m_open->setShortcutContext(Qt::WindowShortcut);
    m_open->setToolTip(m_open->text());
    m_open->setStatusTip(m_open->text());
    form.addAction(m_open);
    connect(m_open, &QAction::triggered, this, &GalleryLink::open);
}

void GalleryLink::open() {
    if (m_window == nullptr) {
        m_window = new GalleryWindow(offeredPresets(), &m_form);
        SignatureUse& use = *m_form.signatureUse();
        // The same actions as the canvas's menu, and their shortcuts in this window too.
        m_window->addActionButton(*use.copyAction(), QStringLiteral("复制(&C)"));
        m_window->addActionButton(*use.exportAction(), QStringLiteral("导出(&E)"));
        m_window->addActionButton(*use.printAction(), QStringLiteral("打印(&P)"));
        m_window->addActionButton(*use.practiceAction(), QStringLiteral("字帖(&T)"));
        m_window->addActionButton(*use.animationAction(), QStringLiteral("动画(&A)"));
        m_window->addActions({use.copyAction(), use.exportAction(), use.printAction()});
        connect(m_form.text1(), &QLineEdit::textChanged, this, &GalleryLink::showName);
        m_nameBox = m_form.text1();
        m_nameBox->installEventFilter(this);
        connect(&use, &SignatureUse::designChanged, this, &GalleryLink::showDesign);
        for (int slot = 0; slot < kStyleCount; ++slot) {
            connect(m_form.option1(slot), &QRadioButton::toggled, this,
                    &GalleryLink::showChosenStyle);
        }
        connect(m_window, &GalleryWindow::styleChosen, &m_form, &Form1::chooseAndDesign);
        // The shape chosen here goes into every new output of the window.
        connect(m_window, &GalleryWindow::layoutChanged, this,
                [this] { m_form.signatureUse()->setLayout(m_window->shape(), m_window->seal()); });
        lookChanged();
        showName();
        showDesign();
        showChosenStyle();
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void GalleryLink::lookChanged() {
    if (m_window != nullptr) {
        m_window->setLook(lookOf(*m_form.picture1()));
    }
}

GalleryWindow* GalleryLink::window() const {
    return m_window;
}

void GalleryLink::showName() {
    m_window->setName(m_form.text1()->text(), m_form.text1()->isEnabled());
}

void GalleryLink::showDesign() {
    // "设计签名" draws no empty name: before the first design there is none.
    const DesignedSignature designed = m_form.signatureUse()->output();
    if (designed.name.isEmpty()) {
        m_window->setDesign(std::nullopt);
        return;
    }
    m_window->setDesign(GallerySignature{designed.slot, designed.name, designed.look});
}

void GalleryLink::showChosenStyle() {
    m_window->setChosenStyle(selectedStyle(m_form.optionStates()));
}

bool GalleryLink::eventFilter(QObject* watched, QEvent* event) {
    // The box itself, kept from the start: its events also come while the window is torn down,
    // when the window is no longer one to ask.
    if (watched == m_nameBox && event->type() == QEvent::EnabledChange && m_window != nullptr &&
        m_window->isVisible()) {
        showName();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace inkvale
