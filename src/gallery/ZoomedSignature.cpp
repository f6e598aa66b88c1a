#include "gallery/ZoomedSignature.h"

#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QWheelEvent>

#include <algorithm>

namespace inkvale {

ZoomedPicture::ZoomedPicture(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("ZoomedPicture"));
    setAccessibleName(QStringLiteral("签名放大预览"));
}

void ZoomedPicture::setPicture(const QImage& picture) {
    m_picture = picture;
    setFixedSize(picture.isNull() ? QSize(0, 0)
                                  : (QSizeF(picture.size()) / picture.devicePixelRatio()).toSize());
    update();
}

QSize ZoomedPicture::sizeHint() const {
    return m_picture.isNull() ? QSize()
                              : (QSizeF(m_picture.size()) / m_picture.devicePixelRatio()).toSize();
}

void ZoomedPicture::paintEvent(QPaintEvent* /*event*/) {
    if (!m_picture.isNull()) {
        QPainter painter(this);
        // One device pixel for one pixel of the picture: nothing is scaled.
        painter.drawImage(QPointF(0, 0), m_picture);
    }
}

ZoomedSignature::ZoomedSignature(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("ZoomedSignature"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);

    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ZoomedArea"));
    m_scroll->setAccessibleName(QStringLiteral("签名放大预览区"));
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Mid);
    m_scroll->setMinimumSize(360, 140);
    // However large the zoomed picture, it scrolls: the styles beside it keep their room.
    m_scroll->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
    m_picture = new ZoomedPicture;
    m_scroll->setWidget(m_picture);
    m_scroll->viewport()->installEventFilter(this);
    m_picture->installEventFilter(this);
    column->addWidget(m_scroll, 1);

    m_nothing = new QLabel(
        QStringLiteral("还没有设计签名:在主窗口按“设计签名”,或在上面选用一种风格后,这里放大显示。"),
        this);
    m_nothing->setObjectName(QStringLiteral("NothingDesigned"));
    m_nothing->setWordWrap(true);
    column->addWidget(m_nothing);

    auto* row = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("缩放(&M):"), this);
    m_zoomOut = new QPushButton(QStringLiteral("−"), this);
    m_zoomOut->setObjectName(QStringLiteral("ZoomOut"));
    m_zoomOut->setAccessibleName(QStringLiteral("缩小"));
    m_zoomOut->setToolTip(QStringLiteral("缩小 (Ctrl+滚轮)"));
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("ZoomSlider"));
    m_slider->setAccessibleName(QStringLiteral("缩放比例"));
    m_slider->setRange(kMinZoom, kMaxZoom);
    m_slider->setSingleStep(kZoomStep);
    m_slider->setPageStep(100);
    m_slider->setValue(200);
    caption->setBuddy(m_slider);
    m_zoomIn = new QPushButton(QStringLiteral("+"), this);
    m_zoomIn->setObjectName(QStringLiteral("ZoomIn"));
    m_zoomIn->setAccessibleName(QStringLiteral("放大"));
    m_zoomIn->setToolTip(QStringLiteral("放大 (Ctrl+滚轮)"));
    m_percent = new QLabel(this);
    m_percent->setObjectName(QStringLiteral("ZoomPercent"));
    m_percent->setMinimumWidth(m_percent->fontMetrics().horizontalAdvance(QStringLiteral("800%")));
    for (QPushButton* button : {m_zoomOut, m_zoomIn}) {
        button->setAutoDefault(true);
        button->setFixedWidth(button->sizeHint().height() * 3 / 2);
    }
    row->addWidget(caption);
    row->addWidget(m_zoomOut);
    row->addWidget(m_slider, 1);
    row->addWidget(m_zoomIn);
    row->addWidget(m_percent);
    column->addLayout(row);

    connect(m_zoomOut, &QPushButton::clicked, this, [this] { setZoom(zoom() - kZoomStep); });
    connect(m_zoomIn, &QPushButton::clicked, this, [this] { setZoom(zoom() + kZoomStep); });
    connect(m_slider, &QSlider::valueChanged, this, &ZoomedSignature::redraw);
    redraw();
}

int ZoomedSignature::zoom() const {
    return m_slider->value();
}

void ZoomedSignature::setZoom(int percent) {
    m_slider->setValue(std::clamp(percent, kMinZoom, kMaxZoom));
}

void ZoomedSignature::setSignature(const std::optional<GallerySignature>& signature) {
    m_signature = signature;
    redraw();
}

void ZoomedSignature::redraw() {
    m_percent->setText(QStringLiteral("%1%").arg(zoom()));
    m_zoomOut->setEnabled(zoom() > kMinZoom);
    m_zoomIn->setEnabled(zoom() < kMaxZoom);
    m_nothing->setVisible(!m_signature);
    if (!m_signature) {
        m_picture->setPicture({});
        return;
    }
    // The point of the signature in the middle of the view stays there as the zoom changes; a
    // first picture shows its middle, where the name stands.
    const auto middleOf = [](const QScrollBar* bar, bool had) {
        const int length = bar->maximum() + bar->pageStep();
        return had && length > 0 ? (bar->value() + bar->pageStep() / 2.0) / length : 0.5;
    };
    const bool had = !m_picture->picture().isNull();
    const qreal across = middleOf(m_scroll->horizontalScrollBar(), had);
    const qreal down = middleOf(m_scroll->verticalScrollBar(), had);
    SignatureLook look = m_signature->look;
    const qreal ratio = devicePixelRatioF();
    look.dotsPerInch = 96.0 * ratio * zoom() / 100.0;
    SignatureRenderer renderer(look);
    QImage drawn = renderer.image(m_signature->slot, m_signature->name);
    drawn.setDevicePixelRatio(ratio);
    m_picture->setPicture(drawn);
    m_scroll->widget()->adjustSize();
    for (auto [bar, middle] : {std::pair{m_scroll->horizontalScrollBar(), across},
                               std::pair{m_scroll->verticalScrollBar(), down}}) {
        bar->setValue(qRound(middle * (bar->maximum() + bar->pageStep()) - bar->pageStep() / 2.0));
    }
}

bool ZoomedSignature::eventFilter(QObject* watched, QEvent* event) {
    // Moved to a screen of another scale: the picture is drawn again at its pixel ratio.
    if (watched == m_picture && event->type() == QEvent::Paint && m_signature &&
        m_picture->picture().devicePixelRatio() != devicePixelRatioF()) {
        redraw();
    }
    if (watched == m_scroll->viewport() && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if ((wheel->modifiers() & Qt::ControlModifier) != 0) {
            const int notches = wheel->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
            if (notches != 0) {
                setZoom(zoom() + notches * kZoomStep);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace inkvale
