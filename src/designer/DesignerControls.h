#pragma once

#include <QCursor>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace inkvale {

/// A label that reports a click (a left button press and release inside it): the image
/// controls, which show their picture stretched to the box, and the link labels. A label that
/// takes keyboard focus (a link in the tab chain) is also clicked by Return, Enter or Space and
/// shows a focus frame while it has the focus.
class ClickableLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_pressed = false;
};

/// A style option button. Choosing it again leaves it chosen; which other option it clears is
/// the window's business, so that every option is a tab stop of its own and arrow keys move
/// along the tab chain rather than through a group that spans covered controls.
class OptionButton final : public QRadioButton {
    Q_OBJECT

public:
    OptionButton(const QString& caption, QWidget* parent);

protected:
    void nextCheckState() override;
};

/// A line control: a one-pixel line between two designed points.
class LineControl final : public QWidget {
    Q_OBJECT

public:
    /// A line named `name` from (x1, y1) to (x2, y2) in twips of the parent.
    LineControl(QWidget* parent, const QString& name, int x1, int y1, int x2, int y2);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPoint m_from;
    QPoint m_to;
};

/// Takes `root` and every control inside it out of the tab chain while `covered`, and gives them
/// back the focus policy they had when they are uncovered: a control that lies under another
/// one cannot be seen, so the keyboard must not reach it either.
void setCovered(QWidget& root, bool covered);

/// The pointing-hand cursor of the option buttons, preview pictures and links: 32 x 32,
/// monochrome, hot spot at the fingertip (5, 0).
[[nodiscard]] QCursor pointingHandCursor();

} // namespace inkvale
