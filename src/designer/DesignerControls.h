#pragma once

#include <QCursor>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

class QLineEdit;

namespace inkvale {

/// Paints `label`'s one line of text whole when its box is lower than the font's line (a label
/// of the designed layout, a little lower than the line of our interface font): the line is
/// placed so that the characters' ink, not the line with its leading, is centred in the box.
/// False, painting nothing, where the label's own painting shows the text whole or the label
/// is no single line of text; the caller then paints it as usual.
bool paintLineWhole(QLabel& label);

/// Places the text of `edit` so that the ink of what is typed (descenders and East Asian
/// characters too) shows whole in its designed box, which is a little lower than the line of
/// our interface font.
void keepTypedTextWhole(QLineEdit& edit);

/// A label of one line of text that shows its text whole in its designed box (paintLineWhole).
class LineLabel final : public QLabel {
    Q_OBJECT

public:
    explicit LineLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

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

/// A style option button: one of a one-of-many group, as screen readers announce it (a radio
/// button) and as the keyboard works it (the arrow keys choose as they move among the shown
/// options of its page). Choosing it again leaves it chosen. Which option of the other page it
/// clears is the window's business; every option stays a tab stop of its own.
class OptionButton final : public QRadioButton {
    Q_OBJECT

public:
    explicit OptionButton(const QString& caption, QWidget* parent);

    /// Clears the option, which its group would refuse for the chosen one.
    void clear();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
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

/// Makes `widget` a helper that is never seen: hidden, out of the tab chain, and to a screen
/// reader one invisible control without parts (a hidden list would still announce its rows as
/// showing), also where a screen reader met it while it was made.
void keepNeverSeen(QWidget& widget);

/// The pointing-hand cursor of the option buttons, preview pictures and links: 32 x 32,
/// monochrome, hot spot at the fingertip (5, 0).
[[nodiscard]] QCursor pointingHandCursor();

} // namespace inkvale
