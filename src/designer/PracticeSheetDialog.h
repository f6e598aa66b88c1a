#pragma once

#include "core/PracticeSheet.h"

#include <QDialog>

class QComboBox;
class QSpinBox;

namespace inkvale {

/// "生成练习字帖": the paper and the number of rows of a practice sheet.
class PracticeSheetDialog final : public QDialog {
    Q_OBJECT

public:
    explicit PracticeSheetDialog(QWidget* parent = nullptr);

    /// The layout chosen.
    [[nodiscard]] PracticeSheetLayout layout() const;

    [[nodiscard]] QComboBox* paper() const { return m_paper; }
    [[nodiscard]] QSpinBox* traceRows() const { return m_traceRows; }
    [[nodiscard]] QSpinBox* guideRows() const { return m_guideRows; }

private:
    QComboBox* m_paper = nullptr;
    QSpinBox* m_traceRows = nullptr;
    QSpinBox* m_guideRows = nullptr;
};

} // namespace inkvale
