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
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && widget->windowModality() != Qt::NonModal) {
                // Asked before the window is mapped: the window system grants it once mapped.
                widget->activateWindow();
            }
        }
        return false;
    }
};

} // namespace

void giveModalWindowsTheKeyboard(QApplication& app) {
    app.installEventFilter(new ModalFocus(&app));
}

} // namespace inkvale
