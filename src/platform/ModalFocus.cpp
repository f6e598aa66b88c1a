#include "platform/ModalFocus.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

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
        }
        return false;
    }
};

} // namespace

void giveModalWindowsTheKeyboard(QApplication& app) {
    app.installEventFilter(new ModalFocus(&app));
}

} // namespace inkvale
