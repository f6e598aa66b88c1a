#include "platform/ModalFocus.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace inkvale {

namespace {

class ModalFocus final : public QObject {
public:
    explicit ModalFocus(QObject* parent)
        : QObject(parent) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool shown = event->type() == QEvent::Show;
        if ((!shown && event->type() != QEvent::Hide) || !watched->isWidgetType()) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->isWindow() || widget->windowModality() == Qt::NonModal) {
            return false;
        }
        if (shown) {
            // Asked before the window is mapped: the window system grants it once mapped.
            widget->activateWindow();
        } else if (QWidget* owner = widget->parentWidget(); owner && owner->isVisible()) {
            // The keyboard goes back to the window the modal one blocked; without a window
            // manager to hand it back it would go nowhere.
            owner->window()->activateWindow();
        } else if (!owner) {
            // A modal window of its own blocked every window: once it is gone, the keyboard
            // goes to the modal window still open, or else to the program's window.
            QTimer::singleShot(0, this, [closed = QPointer<QWidget>(widget)] {
                if (QWidget* next = windowBelow(closed)) {
                    next->activateWindow();
                }
            });
        }
        return false;
    }

private:
    static QWidget* windowBelow(const QWidget* closed) {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            return modal;
        }
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto found = std::find_if(windows.cbegin(), windows.cend(), [closed](QWidget* w) {
            return w != closed && w->isVisible() &&
                   (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog);
        });
        return found == windows.cend() ? nullptr : *found;
    }
};

} // namespace

void giveModalWindowsTheKeyboard(QApplication& app) {
    app.installEventFilter(new ModalFocus(&app));
}

} // namespace inkvale
