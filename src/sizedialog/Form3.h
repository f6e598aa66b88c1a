#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace inkvale {

class Dialogs;
class TextSize;

/// The signature size dialog: shows the canvas's text size and sets a new one for the next
/// rendering. A new dialog is made for every opening.
class Form3 final : public QDialog {
    Q_OBJECT

public:
    /// A dialog for the text size of `canvas`. It has no owner window.
    Form3(Dialogs& dialogs, TextSize& canvas);

    /// Shows the current size in the frame's caption.
    void Form_Load();
    /// "确定": checks the entry and sets the size.
    void Command1_Click();

    [[nodiscard]] QGroupBox* frame1() const { return m_frame1; }
    [[nodiscard]] QLineEdit* text1() const { return m_text1; }
    [[nodiscard]] QPushButton* command1() const { return m_command1; }

private:
    Dialogs& m_platform;
    TextSize& m_canvas;
    QGroupBox* m_frame1 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QPushButton* m_command1 = nullptr;
};

} // namespace inkvale
