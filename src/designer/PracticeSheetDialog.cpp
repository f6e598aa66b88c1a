#include "designer/PracticeSheetDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace inkvale {

namespace {

/// The preview's width in logical pixels.
constexpr int kPreviewWidth = 320;

QSpinBox* rowBox(QWidget* parent, int value, const QString& name) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, kMostPracticeRows);
    box->setValue(value);
    box->setSuffix(QStringLiteral(" 行"));
    box->setAccessibleName(name);
    return box;
}

/// A list of `items`, each with the value it stands for, showing `current`.
template <typename Value>
QComboBox* choiceBox(QWidget* parent, const QString& name,
                     std::initializer_list<std::pair<QString, Value>> items, Value current) {
    auto* box = new QComboBox(parent);
    for (const auto& [text, value] : items) {
        box->addItem(text, int(value));
        if (value == current) {
            box->setCurrentIndex(box->count() - 1);
        }
    }
    box->setAccessibleName(name);
    return box;
}

} // namespace

PracticeSheetDialog::PracticeSheetDialog(const SignatureLook& look, int slot, const QString& name,
                                         QWidget* parent)
    : QDialog(parent)
    , m_look(look)
    , m_slot(slot)
    , m_name(name) {
    setObjectName(QStringLiteral("PracticeSheetDialog"));
    setWindowTitle(QStringLiteral("生成练习字帖"));
    const PracticeSheetLayout defaults;

    m_paper = choiceBox(this, QStringLiteral("纸张"),
                        {std::pair{QStringLiteral("A4 (210 × 297 毫米)"), Paper::A4},
                         std::pair{QStringLiteral("A5 (148 × 210 毫米)"), Paper::A5},
                         std::pair{QStringLiteral("Letter (8.5 × 11 英寸)"), Paper::Letter}},
                        defaults.paper);
    m_orientation = choiceBox(
        this, QStringLiteral("方向"),
        {std::pair{QStringLiteral("纵向"), false}, std::pair{QStringLiteral("横向"), true}},
        defaults.landscape);
    m_grid = choiceBox(this, QStringLiteral("格子"),
                       {std::pair{QStringLiteral("无格子(高度线和基线)"), SheetGrid::None},
                        std::pair{QStringLiteral("田字格"), SheetGrid::Tian},
                        std::pair{QStringLiteral("米字格"), SheetGrid::Mi}},
                       defaults.grid);
    m_tracing = choiceBox(this, QStringLiteral("描红颜色"),
                          {std::pair{QStringLiteral("红色(描红)"), TraceColour::Red},
                           std::pair{QStringLiteral("签名颜色变淡"), TraceColour::Ink}},
                          defaults.tracing);
    m_traceRows = rowBox(this, defaults.traceRows, QStringLiteral("描红行数"));
    m_guideRows = rowBox(this, defaults.guideRows, QStringLiteral("书写行数"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("纸张(&P):"), m_paper);
    form->addRow(QStringLiteral("方向(&O):"), m_orientation);
    form->addRow(QStringLiteral("格子(&G):"), m_grid);
    form->addRow(QStringLiteral("描红颜色(&C):"), m_tracing);
    form->addRow(QStringLiteral("描红行数(&T):"), m_traceRows);
    form->addRow(QStringLiteral("书写行数(&W):"), m_guideRows);

    auto* note = new QLabel(QStringLiteral("第一行是范例;描红行由深到浅,最后几行只有格子。"
                                           "描红行数为 0 得到只有格子的字帖,书写行数为 0 "
                                           "得到只有描红的字帖;一页写不下的行接到下一页。"),
                            this);
    note->setWordWrap(true);

    m_preview = new QLabel(this);
    m_preview->setAccessibleName(QStringLiteral("字帖预览"));
    m_preview->setMinimumSize(kPreviewWidth, kPreviewWidth);
    m_preview->setAlignment(Qt::AlignCenter);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("生成"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QComboBox* box : {m_paper, m_orientation, m_grid, m_tracing}) {
        connect(box, &QComboBox::currentIndexChanged, this, &PracticeSheetDialog::showPreview);
    }
    for (QSpinBox* box : {m_traceRows, m_guideRows}) {
        connect(box, &QSpinBox::valueChanged, this, &PracticeSheetDialog::showPreview);
    }

    auto* controls = new QVBoxLayout;
    controls->addLayout(form);
    controls->addWidget(note);
    controls->addStretch();
    auto* sides = new QHBoxLayout;
    sides->addLayout(controls);
    sides->addWidget(m_preview);
    auto* column = new QVBoxLayout(this);
    column->addLayout(sides);
    column->addWidget(buttons);
    showPreview();
}

PracticeSheetLayout PracticeSheetDialog::layout() const {
    PracticeSheetLayout chosen;
    chosen.paper = Paper(m_paper->currentData().toInt());
    chosen.landscape = m_orientation->currentData().toBool();
    chosen.grid = SheetGrid(m_grid->currentData().toInt());
    chosen.tracing = TraceColour(m_tracing->currentData().toInt());
    chosen.traceRows = m_traceRows->value();
    chosen.guideRows = m_guideRows->value();
    return chosen;
}

void PracticeSheetDialog::showPreview() {
    const PracticeSheet sheet(m_look, m_slot, m_name, layout());
    const qreal ratio = devicePixelRatioF();
    const qreal scale = std::min(kPreviewWidth / sheet.pageSize().width(),
                                 kPreviewWidth / sheet.pageSize().height());
    QImage page = sheet.pageImage(0, qRound(sheet.pageSize().width() * scale * ratio));
    page.setDevicePixelRatio(ratio);
    m_preview->setPixmap(QPixmap::fromImage(page));
}

} // namespace inkvale
