#pragma once

#include "core/PracticeSheet.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QSpinBox;

namespace inkvale {

/// "生成练习字帖": the paper, its grid, the tracing colour and the number of rows of a practice
/// sheet, with the sheet's first page previewed as the choices change.
class PracticeSheetDialog final : public QDialog {
    Q_OBJECT

public:
    /// The dialog for the sheet of `name` in the style of catalogue slot `slot`, in `look`.
    PracticeSheetDialog(const SignatureLook& look, int slot, const QString& name,
                        QWidget* parent = nullptr);

    /// The layout chosen.
    [[nodiscard]] PracticeSheetLayout layout() const;

    [[nodiscard]] QComboBox* paper() const { return m_paper; }
    [[nodiscard]] QComboBox* orientation() const { return m_orientation; }
    [[nodiscard]] QComboBox* grid() const { return m_grid; }
    [[nodiscard]] QComboBox* tracing() const { return m_tracing; }
    [[nodiscard]] QSpinBox* traceRows() const { return m_traceRows; }
    [[nodiscard]] QSpinBox* guideRows() const { return m_guideRows; }
    /// The preview of the first page.
    [[nodiscard]] QLabel* preview() const { return m_preview; }

private:
    void showPreview();

    SignatureLook m_look;
    int m_slot = 0;
    QString m_name;
    QComboBox* m_paper = nullptr;
    QComboBox* m_orientation = nullptr;
    QComboBox* m_grid = nullptr;
    QComboBox* m_tracing = nullptr;
    QSpinBox* m_traceRows = nullptr;
    QSpinBox* m_guideRows = nullptr;
    QLabel* m_preview = nullptr;
};

} // namespace inkvale
