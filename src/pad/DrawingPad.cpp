#include "pad/DrawingPad.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTabletEvent>
#include <QTouchEvent>

#include <algorithm>
#include <cmath>

namespace inkvale {

namespace {

/// How faint the model is behind the ink.
constexpr double kModelOpacity = 0.22;
/// The pause put between a loaded drawing and the first stroke added to it, in milliseconds.
constexpr double kResumePauseMs = 500;

/// The widget pixels that `samples` ink, a pixel of antialiasing around.
QRect reachOf(const std::vector<InkSample>& samples, std::size_t from) {
    QRectF reach;
    for (std::size_t i = from == 0 ? 0 : from - 1; i < samples.size(); ++i) {
        const double r = samples[i].radius + 1;
        reach |= QRectF(samples[i].at - QPointF(r, r), QSizeF(2 * r, 2 * r));
    }
    return reach.toAlignedRect();
}

} // namespace

DrawingPad::DrawingPad(QWidget* parent)
    : QWidget(parent) {
    setAttribute(Qt::WA_AcceptTouchEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setFixedSize(m_drawing.area.toSize());
    repaintInk();
}

QSize DrawingPad::sizeHint() const {
    return m_drawing.area.toSize();
}

void DrawingPad::setDrawing(const HandDrawing& drawing) {
    penUp();
    m_drawing = drawing;
    m_firstStamp.reset();
    m_lastMs = drawing.lastMs();
    setFixedSize(drawing.area.toSize());
    repaintInk();
    update();
    emit drawingChanged();
}

void DrawingPad::undo() {
    if (m_drawing.strokes.empty()) {
        return;
    }
    m_drawing.strokes.pop_back();
    repaintInk();
    update();
    emit drawingChanged();
}

void DrawingPad::clear() {
    if (m_drawing.strokes.empty()) {
        return;
    }
    m_drawing.strokes.clear();
    m_firstStamp.reset();
    m_lastMs = 0;
    repaintInk();
    update();
    emit drawingChanged();
}

void DrawingPad::setPenColour(const QColor& colour) {
    m_drawing.colour = colour;
    repaintInk();
    update();
}

void DrawingPad::setPenWidth(double width) {
    m_drawing.penWidth = std::clamp(width, kThinnestPen, kWidestPen);
    repaintInk();
    update();
}

void DrawingPad::setModel(const QImage& model) {
    m_model = model;
    update();
}

double DrawingPad::clock(qint64 stamp) {
    if (!m_firstStamp) {
        m_firstStamp = stamp - qint64(m_drawing.isEmpty() ? 0 : m_lastMs + kResumePauseMs);
    }
    // Time stamps of different devices may not agree: the clock never runs backwards.
    m_lastMs = std::max(m_lastMs, double(stamp - *m_firstStamp));
    return m_lastMs;
}

void DrawingPad::penDown(QPointF at, qint64 ms, std::optional<double> pressure) {
    penUp();
    m_current = HandStroke();
    m_current.hasPressure = pressure.has_value();
    m_smoother.emplace(m_drawing.penWidth, m_current.hasPressure);
    penMove(at, ms, pressure);
}

void DrawingPad::penMove(QPointF at, qint64 ms, std::optional<double> pressure) {
    if (!m_smoother) {
        return;
    }
    const HandPoint point{at, clock(ms), std::clamp(pressure.value_or(1.0), 0.0, 1.0)};
    const std::vector<InkSample> tailBefore = m_smoother->tail();
    m_current.points.push_back(point);
    m_smoother->add(point);
    // What changed: the newly settled samples, the tail that was shown and the new tail.
    QRect changed = paintSettled(m_smoother->settledBefore());
    changed |= reachOf(tailBefore, 0);
    changed |= reachOf(m_smoother->tail(), 0);
    m_lastChange = changed;
    update(changed);
}

void DrawingPad::penUp() {
    if (!m_smoother) {
        return;
    }
    // The tail is settled where the pen lifts.
    const std::vector<InkSample> tail = m_smoother->tail();
    if (!tail.empty()) {
        QPainter painter(&m_ink);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_drawing.colour);
        std::vector<InkSample> joined{m_smoother->settled().back()};
        joined.insert(joined.end(), tail.begin(), tail.end());
        QPainterPath path;
        addInkOutline(path, joined);
        painter.drawPath(path);
    }
    m_smoother.reset();
    m_drawing.strokes.push_back(std::move(m_current));
    m_current = HandStroke();
    emit drawingChanged();
}

QRect DrawingPad::paintSettled(std::size_t from) {
    const std::vector<InkSample>& settled = m_smoother->settled();
    if (from >= settled.size()) {
        return {};
    }
    // The band from the last sample painted joins the new ones on.
    const std::vector<InkSample> piece(settled.begin() + std::ptrdiff_t(from == 0 ? 0 : from - 1),
                                       settled.end());
    QPainterPath path;
    addInkOutline(path, piece);
    QPainter painter(&m_ink);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_drawing.colour);
    painter.drawPath(path);
    return reachOf(settled, from);
}

void DrawingPad::repaintInk() {
    const qreal ratio = devicePixelRatioF();
    m_ink = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_ink.setDevicePixelRatio(ratio);
    m_ink.fill(Qt::transparent);
    QPainter painter(&m_ink);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_drawing.colour);
    for (const HandStroke& stroke : m_drawing.strokes) {
        painter.drawPath(strokeOutline(stroke, m_drawing.penWidth));
    }
    if (m_smoother) {
        QPainterPath path;
        addInkOutline(path, m_smoother->settled());
        painter.drawPath(path);
    }
}

void DrawingPad::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    repaintInk();
}

void DrawingPad::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.fillRect(rect(), Qt::white);
    if (!m_model.isNull()) {
        painter.setOpacity(kModelOpacity);
        painter.drawImage(QRectF(rect()), m_model);
        painter.setOpacity(1);
    }
    painter.drawImage(QPointF(0, 0), m_ink);
    if (m_smoother) {
        std::vector<InkSample> tail{m_smoother->settled().back()};
        const std::vector<InkSample> rest = m_smoother->tail();
        tail.insert(tail.end(), rest.begin(), rest.end());
        QPainterPath path;
        addInkOutline(path, tail);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_drawing.colour);
        painter.drawPath(path);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void DrawingPad::mousePressEvent(QMouseEvent* event) {
    // Touch and tablet events come on their own; Qt's mouse copies of them are left alone.
    if (event->button() != Qt::LeftButton || event->source() != Qt::MouseEventNotSynthesized) {
        event->ignore();
        return;
    }
    penDown(event->position(), qint64(event->timestamp()), std::nullopt);
}

void DrawingPad::mouseMoveEvent(QMouseEvent* event) {
    if (event->source() != Qt::MouseEventNotSynthesized ||
        (event->buttons() & Qt::LeftButton) == 0) {
        return;
    }
    penMove(event->position(), qint64(event->timestamp()), std::nullopt);
}

void DrawingPad::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && event->source() == Qt::MouseEventNotSynthesized) {
        penUp();
    }
}

void DrawingPad::tabletEvent(QTabletEvent* event) {
    // A device without pressure reports none as full pressure throughout.
    const bool hasPressure =
        event->pointingDevice() != nullptr &&
        event->pointingDevice()->capabilities().testFlag(QInputDevice::Capability::Pressure);
    const std::optional<double> pressure =
        hasPressure ? std::optional(double(event->pressure())) : std::nullopt;
    switch (event->type()) {
    case QEvent::TabletPress:
        penDown(event->position(), qint64(event->timestamp()), pressure);
        break;
    case QEvent::TabletMove:
        penMove(event->position(), qint64(event->timestamp()), pressure);
        break;
    case QEvent::TabletRelease:
        penUp();
        break;
    default:
        break;
    }
    event->accept();
}

bool DrawingPad::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd: {
        auto* touch = static_cast<QTouchEvent*>(event);
        if (touch->points().isEmpty()) {
            return true;
        }
        // One finger writes; a second finger on the pad is a palm or a slip.
        const QEventPoint& point = touch->points().constFirst();
        const auto stamp = qint64(touch->timestamp());
        if (event->type() == QEvent::TouchBegin) {
            penDown(point.position(), stamp, std::nullopt);
        } else if (event->type() == QEvent::TouchUpdate) {
            penMove(point.position(), stamp, std::nullopt);
        } else {
            penMove(point.position(), stamp, std::nullopt);
            penUp();
        }
        event->accept();
        return true;
    }
    default:
        return QWidget::event(event);
    }
}

} // namespace inkvale
