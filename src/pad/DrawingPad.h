#pragma once

#include "core/PenStrokes.h"

#include <QImage>
#include <QWidget>

#include <optional>

class QTabletEvent;

namespace inkvale {

/// The surface a hand draws on: strokes from the mouse, a touch screen or a pen tablet (with
/// its pressure), smoothed as they come (StrokeSmoother) and painted at once. Each event paints
/// only the piece of the curve it settles into an ink layer kept between paints, and the widget
/// repaints only the rectangle that changed, so that a pen reporting a thousand points a second
/// is followed. Behind the ink it may show a model, faintly, to trace over.
class DrawingPad final : public QWidget {
    Q_OBJECT

public:
    explicit DrawingPad(QWidget* parent = nullptr);

    [[nodiscard]] const HandDrawing& drawing() const { return m_drawing; }
    /// Replaces the drawing, its area becoming the pad's size.
    void setDrawing(const HandDrawing& drawing);
    /// Removes the last stroke; nothing when there is none.
    void undo();
    /// Removes every stroke.
    void clear();
    void setPenColour(const QColor& colour);
    void setPenWidth(double width);
    /// The picture shown faintly behind the ink, filling the pad; null for none.
    void setModel(const QImage& model);
    [[nodiscard]] const QImage& model() const { return m_model; }
    /// The rectangle the last pointer event changed, in widget pixels.
    [[nodiscard]] QRect lastChange() const { return m_lastChange; }

    /// The pen comes down at `at` (widget pixels) at `ms` (the event's time stamp), with
    /// `pressure` 0 to 1 when the device reports it.
    void penDown(QPointF at, qint64 ms, std::optional<double> pressure);
    void penMove(QPointF at, qint64 ms, std::optional<double> pressure);
    void penUp();

    [[nodiscard]] QSize sizeHint() const override;

signals:
    /// The strokes changed: one added, undone or cleared, or a drawing set.
    void drawingChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;
    bool event(QEvent* event) override;

private:
    /// Paints every stroke again into a fresh ink layer.
    void repaintInk();
    /// Paints samples `from` on of the stroke being drawn into the ink layer; the rectangle.
    QRect paintSettled(std::size_t from);
    [[nodiscard]] double clock(qint64 stamp);

    HandDrawing m_drawing;
    QImage m_ink; ///< the settled ink, at the screen's pixel ratio
    QImage m_model;
    std::optional<StrokeSmoother> m_smoother; ///< while a stroke is being drawn
    HandStroke m_current;
    std::optional<qint64> m_firstStamp; ///< the time stamp of the drawing's first point
    double m_lastMs = 0;
    QRect m_lastChange;
};

} // namespace inkvale
