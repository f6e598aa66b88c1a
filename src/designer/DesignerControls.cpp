#include "designer/DesignerControls.h"

#include "core/Twips.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QVariant>

#include <array>
#include <string_view>

namespace inkvale {

ClickableLabel::ClickableLabel(QWidget* parent)
    : QLabel(parent) {}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click) {
        emit clicked();
    }
}

void ClickableLabel::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (focusPolicy() != Qt::NoFocus && !event->isAutoRepeat() &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickableLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

OptionButton::OptionButton(const QString& caption, QWidget* parent)
    : QRadioButton(caption, parent) {
    setAutoExclusive(false);
}

void OptionButton::nextCheckState() {
    if (!isChecked()) {
        setChecked(true);
    }
}

LineControl::LineControl(QWidget* parent, const QString& name, int x1, int y1, int x2, int y2)
    : QWidget(parent) {
    setObjectName(name);
    const QPoint from(twipsToPixels(x1), twipsToPixels(y1));
    const QPoint to(twipsToPixels(x2), twipsToPixels(y2));
    const QRect box = QRect(from, to).normalized();
    setGeometry(box.x(), box.y(), box.width(), box.height());
    m_from = from - box.topLeft();
    m_to = to - box.topLeft();
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineControl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(m_from, m_to);
}

void setCovered(QWidget& root, bool covered) {
    // The designed policy is kept on the control while it is covered.
    static constexpr const char* kDesignedFocus = "inkvaleDesignedFocus";
    QList<QWidget*> controls = root.findChildren<QWidget*>();
    controls.prepend(&root);
    for (QWidget* control : controls) {
        const QVariant designed = control->property(kDesignedFocus);
        if (covered && !designed.isValid()) {
            control->setProperty(kDesignedFocus, static_cast<int>(control->focusPolicy()));
            control->setFocusPolicy(Qt::NoFocus);
            if (control->hasFocus()) {
                control->clearFocus();
            }
        } else if (!covered && designed.isValid()) {
            control->setFocusPolicy(static_cast<Qt::FocusPolicy>(designed.toInt()));
            control->setProperty(kDesignedFocus, QVariant());
        }
    }
}

QCursor pointingHandCursor() {
    // 'X' black, '.' white, ' ' transparent. The fingertip is the top of column 5.
    static constexpr std::array<std::string_view, 22> kRows{
        "     XX",           "    X..X",          "    X..X",          "    X..X",
        "    X..X",          "    X..XXX",        "    X..X..XXX",     "    X..X..X..XX",
        "    X..X..X..X.X",  "XXX X..X..X..X..X", "X..XX........X..X", "X...X...........X",
        " X..............X", "  X.............X", "  X............X",  "   X...........X",
        "   X..........X",   "    X.........X",   "    X.........X",   "     X.......X",
        "     X.......X",    "     XXXXXXXXX",
    };
    constexpr int kSize = 32;
    constexpr int kBytesPerRow = kSize / 8;
    std::array<uchar, kSize * kBytesPerRow> shape{};
    std::array<uchar, kSize * kBytesPerRow> mask{};
    for (std::size_t y = 0; y < kRows.size(); ++y) {
        const std::string_view row = kRows.at(y);
        for (std::size_t x = 0; x < row.size(); ++x) {
            const std::size_t byte = y * kBytesPerRow + x / 8;
            const auto bit = static_cast<uchar>(1U << (x % 8));
            if (row[x] != ' ') {
                mask.at(byte) |= bit;
            }
            if (row[x] == 'X') {
                shape.at(byte) |= bit;
            }
        }
    }
    const QBitmap bitmap =
        QBitmap::fromData(QSize(kSize, kSize), shape.data(), QImage::Format_MonoLSB);
    const QBitmap maskBitmap =
        QBitmap::fromData(QSize(kSize, kSize), mask.data(), QImage::Format_MonoLSB);
    return QCursor(bitmap, maskBitmap, 5, 0);
}

} // namespace inkvale
