#pragma once

#include "core/LineShape.h"

#include <QGroupBox>

#include <span>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

namespace inkvale {

/// "排版": the line's shape (字距, 倾斜, 上扬, 姓氏放大, 竖排) and the seal (印章), each with a
/// button that puts it back to its default, and buttons for presets that set them together.
class LayoutControls final : public QGroupBox {
    Q_OBJECT

public:
    /// The controls, with a button for each of `presets`.
    explicit LayoutControls(std::span<const LineShapePreset> presets, QWidget* parent = nullptr);

    [[nodiscard]] LineShape shape() const;
    [[nodiscard]] SealText seal() const;
    /// Shows `shape`; tells changed() once.
    void setShape(const LineShape& shape);

signals:
    /// The shape or the seal has changed.
    void changed();

private:
    void tell();

    QDoubleSpinBox* m_spacing = nullptr;
    QDoubleSpinBox* m_slant = nullptr;
    QDoubleSpinBox* m_rise = nullptr;
    QDoubleSpinBox* m_firstScale = nullptr;
    QCheckBox* m_vertical = nullptr;
    QComboBox* m_seal = nullptr;
    bool m_quiet = false; ///< while several controls are set at once
};

} // namespace inkvale
