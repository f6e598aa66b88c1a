#pragma once

#include <QObject>
#include <QPointer>

class QAction;

namespace inkvale {

class Form1;
class GalleryWindow;

/// Ties the window "全部风格预览" to the main window: the menu item and the shortcut (Ctrl+G)
/// that open it, the name and the look it shows, the design it shows large, and the choice of a
/// style in it, which selects the style in the main window and designs it.
class GalleryLink final : public QObject {
    Q_OBJECT

public:
    explicit GalleryLink(Form1& form);

    /// "全部风格预览…": opens the gallery, or brings it to the front.
    [[nodiscard]] QAction* openAction() const { return m_open; }
    /// The gallery; null until it is first opened.
    [[nodiscard]] GalleryWindow* window() const;
    void open();
    /// The canvas's colour, size or background picture has changed.
    void lookChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showName();
    void showDesign();
    void showChosenStyle();

    Form1& m_form;
    QAction* m_open = nullptr;
    QPointer<GalleryWindow> m_window;
    QObject* m_nameBox = nullptr; ///< the name box whose enabling the gallery follows
};

} // namespace inkvale
