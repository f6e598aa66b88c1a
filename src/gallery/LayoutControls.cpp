#include "gallery/LayoutControls.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace inkvale {

namespace {

QPushButton* resetButton(QWidget* parent, const QString& what, const QString& objectName) {
    auto* button = new QPushButton(QStringLiteral("重置"), parent);
    button->setObjectName(objectName + QStringLiteral("Reset"));
    button->setAccessibleName(QStringLiteral("重置") + what);
    button->setToolTip(QStringLiteral("恢复默认") + what);
    button->setAutoDefault(true);
    return button;
}

} // namespace

LayoutControls::LayoutControls(std::span<const LineShapePreset> presets, QWidget* parent)
    : QGroupBox(QStringLiteral("排版"), parent) {
    setObjectName(QStringLiteral("LayoutControls"));
    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto number = [this, grid, &row](const QString& caption, const QString& what,
                                           const QString& objectName, double low, double high,
                                           double step, double plain, const QString& suffix) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(objectName);
        box->setAccessibleName(what);
        box->setRange(low, high);
        box->setSingleStep(step);
        box->setDecimals(2);
        box->setSuffix(suffix);
        box->setValue(plain);
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        QPushButton* reset = resetButton(this, what, objectName);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(reset, row, 2);
        ++row;
        connect(box, &QDoubleSpinBox::valueChanged, this, &LayoutControls::tell);
        connect(reset, &QPushButton::clicked, box, [box, plain] { box->setValue(plain); });
        return box;
    };
    const LineShape plain;
    m_spacing = number(QStringLiteral("字距(&J):"), QStringLiteral("字距"),
                       QStringLiteral("Spacing"), LineShape::kMinSpacingEm,
                       LineShape::kMaxSpacingEm, 0.05, plain.spacingEm, QStringLiteral(" em"));
    m_slant = number(QStringLiteral("倾斜(&X):"), QStringLiteral("倾斜"), QStringLiteral("Slant"),
                     -LineShape::kMaxSlantDegrees, LineShape::kMaxSlantDegrees, 1.0,
                     plain.slantDegrees, QStringLiteral("°"));
    m_rise = number(QStringLiteral("上扬(&R):"), QStringLiteral("上扬"), QStringLiteral("Rise"),
                    -LineShape::kMaxRiseDegrees, LineShape::kMaxRiseDegrees, 1.0, plain.riseDegrees,
                    QStringLiteral("°"));
    m_firstScale = number(QStringLiteral("姓氏放大(&F):"), QStringLiteral("姓氏放大"),
                          QStringLiteral("FirstScale"), LineShape::kMinFirstScale,
                          LineShape::kMaxFirstScale, 0.1, plain.firstScale, QStringLiteral(" 倍"));

    m_vertical = new QCheckBox(QStringLiteral("竖排(&V)"), this);
    m_vertical->setObjectName(QStringLiteral("Vertical"));
    m_vertical->setAccessibleName(QStringLiteral("竖排"));
    QPushButton* verticalReset =
        resetButton(this, QStringLiteral("竖排"), m_vertical->objectName());
    grid->addWidget(m_vertical, row, 0, 1, 2);
    grid->addWidget(verticalReset, row, 2);
    ++row;
    connect(m_vertical, &QCheckBox::toggled, this, &LayoutControls::tell);
    connect(verticalReset, &QPushButton::clicked, m_vertical,
            [this] { m_vertical->setChecked(false); });

    m_seal = new QComboBox(this);
    m_seal->setObjectName(QStringLiteral("Seal"));
    m_seal->setAccessibleName(QStringLiteral("印章"));
    m_seal->addItem(QStringLiteral("无"), int(SealText::None));
    m_seal->addItem(QStringLiteral("姓"), int(SealText::Surname));
    m_seal->addItem(QStringLiteral("全名"), int(SealText::Name));
    auto* sealLabel = new QLabel(QStringLiteral("印章(&Z):"), this);
    sealLabel->setBuddy(m_seal);
    QPushButton* sealReset = resetButton(this, QStringLiteral("印章"), m_seal->objectName());
    grid->addWidget(sealLabel, row, 0);
    grid->addWidget(m_seal, row, 1);
    grid->addWidget(sealReset, row, 2);
    ++row;
    connect(m_seal, &QComboBox::currentIndexChanged, this, &LayoutControls::tell);
    connect(sealReset, &QPushButton::clicked, m_seal, [this] { m_seal->setCurrentIndex(0); });

    if (!presets.empty()) {
        auto* presetRow = new QHBoxLayout;
        auto* caption = new QLabel(QStringLiteral("预设:"), this);
        presetRow->addWidget(caption);
        for (const LineShapePreset& preset : presets) {
            auto* button = new QPushButton(preset.caption, this);
            button->setObjectName(QStringLiteral("Preset_") + preset.id);
            button->setAccessibleName(QStringLiteral("预设") + preset.caption);
            button->setAutoDefault(true);
            presetRow->addWidget(button);
            connect(button, &QPushButton::clicked, this,
                    [this, shape = preset.shape] { setShape(shape); });
        }
        presetRow->addStretch(1);
        grid->addLayout(presetRow, row, 0, 1, 3);
    }
    grid->setColumnStretch(1, 1);
}

LineShape LayoutControls::shape() const {
    LineShape shape;
    shape.spacingEm = m_spacing->value();
    shape.slantDegrees = m_slant->value();
    shape.riseDegrees = m_rise->value();
    shape.firstScale = m_firstScale->value();
    shape.vertical = m_vertical->isChecked();
    return shape;
}

SealText LayoutControls::seal() const {
    return SealText(m_seal->currentData().toInt());
}

void LayoutControls::setShape(const LineShape& shape) {
    m_quiet = true;
    m_spacing->setValue(shape.spacingEm);
    m_slant->setValue(shape.slantDegrees);
    m_rise->setValue(shape.riseDegrees);
    m_firstScale->setValue(shape.firstScale);
    m_vertical->setChecked(shape.vertical);
    m_quiet = false;
    tell();
}

void LayoutControls::tell() {
    if (!m_quiet) {
        emit changed();
    }
}

} // namespace inkvale
