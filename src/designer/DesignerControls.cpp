#include "designer/DesignerControls.h"

#include "core/Twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QBitmap>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QVariant>

#include <array>
#include <string_view>

namespace inkvale {

namespace {

/// The pixels `text` inks in `font`, from its baseline: the bounds of its outlines, fallback
/// faces included, which the font metrics' tight bounds do not always reach.
QRect inkOf(const QFont& font, const QString& text) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    return path.boundingRect().toAlignedRect();
}

} // namespace

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

bool paintLineWhole(QLabel& label) {
    const QString text = label.text();
    const QRect box = label.contentsRect();
    const QFontMetrics metrics(label.font());
    const Qt::Alignment alignment = label.alignment();
    if (text.isEmpty() || !label.pixmap().isNull() || label.wordWrap() || label.frameWidth() != 0 ||
        text.contains(QLatin1Char('\n')) || (alignment & Qt::AlignVCenter) == 0 ||
        metrics.height() <= box.height()) {
        return false;
    }
    // The ink of this text, from its baseline: centred in the box, it shows whole wherever the
    // box is at least as high as the characters themselves.
    const QRect ink = inkOf(label.font(), text);
    const int baseline = box.top() + (box.height() - ink.height()) / 2 - ink.top();
    const int advance = metrics.horizontalAdvance(text);
    int left = box.left();
    if ((alignment & Qt::AlignHCenter) != 0) {
        left += (box.width() - advance) / 2;
    } else if ((alignment & Qt::AlignRight) != 0) {
        left = box.right() + 1 - advance;
    }
    QPainter painter(&label);
    painter.setFont(label.font());
    painter.setPen(label.palette().color(label.isEnabled() ? QPalette::Normal : QPalette::Disabled,
                                         label.foregroundRole()));
    painter.drawText(QPoint(left, baseline), text);
    return true;
}

void keepTypedTextWhole(QLineEdit& edit) {
    // A line box centred in the box puts the characters' ink below the middle: East Asian
    // characters and Latin descenders reach further down than capitals reach up. Where the
    // box is lower than the line, the text area reaches up by twice the difference (and a
    // pixel more for rounding), which centres the ink instead.
    const QFontMetrics metrics(edit.font());
    const QRect ink = inkOf(edit.font(), QStringLiteral("国Jgjy"));
    const int lineMiddle = (metrics.descent() - metrics.ascent()) / 2;
    const int shift = ink.center().y() - lineMiddle;
    if (shift > 0) {
        edit.setTextMargins(0, -2 * shift - 1, 0, 0);
    }
}

LineLabel::LineLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent) {}

void LineLabel::paintEvent(QPaintEvent* event) {
    if (!paintLineWhole(*this)) {
        QLabel::paintEvent(event);
    }
}

void ClickableLabel::paintEvent(QPaintEvent* event) {
    if (!paintLineWhole(*this)) {
        QLabel::paintEvent(event);
    }
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
    // Exclusive among the options of its page: that is what makes it a radio button to a
    // screen reader, and what moves the arrow keys through the page's options.
    setAutoExclusive(true);
}

void OptionButton::clear() {
    setAutoExclusive(false);
    setChecked(false);
    setAutoExclusive(true);
}

void OptionButton::focusInEvent(QFocusEvent* event) {
    // The button's own handler would take the group's other options out of the tab chain;
    // each option is a stop of its own.
    QWidget::focusInEvent(event);
}

void OptionButton::keyPressEvent(QKeyEvent* event) {
    QRadioButton::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        break;
    default:
        return;
    }
    // The group moves the keyboard but chooses only when the option left was chosen; a
    // one-of-many group chooses as it moves.
    auto* reached = qobject_cast<OptionButton*>(QApplication::focusWidget());
    if (reached != nullptr && reached != this && !reached->isChecked()) {
        reached->click();
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

namespace {

constexpr const char* kNeverSeen = "inkvaleNeverSeen";

/// The plain widget interface: no rows or items of its own, invisible while hidden.
class NeverSeenInterface final : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
};

QAccessibleInterface* neverSeenInterface(const QString& /*className*/, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || !widget->property(kNeverSeen).toBool()) {
        return nullptr;
    }
    return new NeverSeenInterface(widget);
}

} // namespace

void keepNeverSeen(QWidget& widget) {
    static const bool installed = [] {
        QAccessible::installFactory(&neverSeenInterface);
        return true;
    }();
    Q_UNUSED(installed);
    widget.setProperty(kNeverSeen, true);
    widget.setFocusPolicy(Qt::NoFocus);
    widget.hide();
    // With a screen reader listening, the widget may have announced itself while it was made
    // (a list announces its rows): that interface goes, and the plain one takes its place.
    QAccessibleInterface* met = QAccessible::queryAccessibleInterface(&widget);
    if (met != nullptr && dynamic_cast<NeverSeenInterface*>(met) == nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(met));
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
