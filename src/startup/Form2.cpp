#include "startup/Form2.h"

#include "platform/Platform.h"
#include "startup/Deployment.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace inkvale {

namespace {

constexpr int kFadeInterval = 50;
constexpr quint8 kFadeStep = 15;
constexpr quint8 kLastStepBelowOpaque = 240;

} // namespace

QSize sizeInDevicePixels(QSize logical, qreal ratio) {
    // nearbyint rounds halves to the even neighbour.
    return {static_cast<int>(std::nearbyint(logical.width() * ratio)),
            static_cast<int>(std::nearbyint(logical.height() * ratio))};
}

QRegion roundedRectRegion(QSize size, int cornerWidth, int cornerHeight) {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), cornerWidth / 2.0, cornerHeight / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

Form2::Form2(Platform& platform, std::function<void()> showMainWindow)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    , m_platform(platform)
    , m_showMainWindow(std::move(showMainWindow))
    , m_picture(QStringLiteral(":/artwork/splash.jpg")) {
    setObjectName(QStringLiteral("Form2"));
    // The form keeps its name; the task bar and the window switcher show the program's.
    setWindowTitle(QStringLiteral("Inkvale 艺术签名"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resize(kSize);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kFadeInterval);
    connect(m_timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(kFadeInterval);
    connect(m_timer2, &QTimer::timeout, this, &Form2::Timer2_Timer);
}

void Form2::loadAndShow() {
    Form_Load();
    if (const QScreen* target = screen()) {
        move(target->availableGeometry().center() - rect().center());
    }
    show();
    // Frameless windows are not always given the keyboard: the splash asks for it.
    activateWindow();
}

void Form2::Form_Load() {
    // No sizing frame: the splash keeps its designed size.
    setFixedSize(kSize);

    ExStyle = m_platform.extendedWindowStyle(*this);
    ExStyle |= kLayeredWindowStyle;
    m_platform.setExtendedWindowStyle(*this, ExStyle);

    DeployEmbeddedFiles(m_platform);
    m_timer1->start();
}

void Form2::Form_Activate() {
    ApplyRoundRegion(*this, 50, 50);
}

void Form2::ApplyRoundRegion(QWidget& form, int cornerWidth, int cornerHeight) {
    const QSize size = sizeInDevicePixels(form.size(), form.devicePixelRatioF());
    const QRegion region = roundedRectRegion(size, cornerWidth, cornerHeight);
    m_platform.setWindowRegion(form, region);
    if (&form == this) {
        m_region = region;
    }
}

void Form2::Timer1_Timer() {
    m_platform.setWindowAlpha(*this, FadeInLevel);
    if (FadeInLevel <= kLastStepBelowOpaque) {
        FadeInLevel += kFadeStep;
    } else {
        m_timer1->stop();
        FadeInLevel = 0;
    }
}

void Form2::Form_Click() {
    // Once the fade-out has begun, further clicks neither restart nor hasten it.
    if (m_handingOver || m_timer2->isActive()) {
        return;
    }
    m_timer1->stop();
    m_timer2->start();
}

void Form2::Timer2_Timer() {
    m_platform.setWindowAlpha(*this, static_cast<quint8>(255 - FadeOutLevel));
    if (FadeOutLevel <= kLastStepBelowOpaque) {
        FadeOutLevel += kFadeStep;
        return;
    }
    // The main window's load may open message boxes, whose event loops would run this timer
    // again: stop it before handing over, and hand over only once.
    m_timer2->stop();
    m_timer1->stop();
    if (m_handingOver) {
        return;
    }
    m_handingOver = true;
    m_showMainWindow();
    close();
}

bool Form2::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        Form_Activate();
    }
    return QWidget::event(event);
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Some window systems never activate a frameless window; it is rounded all the same.
    ApplyRoundRegion(*this, 50, 50);
}

void Form2::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(QPointF(0, 0), m_picture);
}

void Form2::mouseReleaseEvent(QMouseEvent* event) {
    // The cut-off corners are not part of the splash.
    const QPoint at = event->position().toPoint();
    const QPoint device = (event->position() * devicePixelRatioF()).toPoint();
    if (event->button() == Qt::LeftButton && rect().contains(at) &&
        (m_region.isEmpty() || m_region.contains(device))) {
        Form_Click();
    }
    QWidget::mouseReleaseEvent(event);
}

void Form2::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Escape:
        Form_Click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace inkvale
