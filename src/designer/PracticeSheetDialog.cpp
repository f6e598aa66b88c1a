#include "designer/PracticeSheetDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace inkvale {

namespace {

QSpinBox* rowBox(QWidget* parent, int value, const QString& name) {
    auto* box = new QSpinBox(parent);
    box->setRange(0, kMostPracticeRows);
    box->setValue(value);
    box->setSuffix(QStringLiteral(" 行"));
    box->setAccessibleName(name);
    return box;
}

} // namespace

PracticeSheetDialog::PracticeSheetDialog(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PracticeSheetDialog"));
    setWindowTitle(QStringLiteral("生成练习字帖"));
    const PracticeSheetLayout defaults;

    m_paper = new QComboBox(this);
    m_paper->addItem(QStringLiteral("A4 (210 × 297 毫米)"));
    m_paper->addItem(QStringLiteral("Letter (8.5 × 11 英寸)"));
    m_paper->setAccessibleName(QStringLiteral("纸张"));
    m_traceRows = rowBox(this, defaults.traceRows, QStringLiteral("描红行数"));
    m_guideRows = rowBox(this, defaults.guideRows, QStringLiteral("书写行数"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("纸张(&P):"), m_paper);
    form->addRow(QStringLiteral("描红行数(&T):"), m_traceRows);
    form->addRow(QStringLiteral("书写行数(&W):"), m_guideRows);

    auto* note =
        new QLabel(QStringLiteral("第一行是范例;描红行由深到浅,最后几行只有基线和高度线。"), this);
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("生成"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(note);
    column->addWidget(buttons);
}

PracticeSheetLayout PracticeSheetDialog::layout() const {
    return {m_paper->currentIndex() == 1 ? Paper::Letter : Paper::A4, m_traceRows->value(),
            m_guideRows->value()};
}

} // namespace inkvale
