#include "designer/StatusLine.h"

#include "core/Twips.h"

#include <QHBoxLayout>
#include <QLabel>

namespace inkvale {

StatusLine::StatusLine(QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    for (int i = 0; i < kPanelCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("S1Panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setFixedWidth(twipsToPixels(kPanelWidths.at(static_cast<std::size_t>(i))));
        label->setIndent(4);
        // Panels show texts from the network too: never as markup.
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
        m_panels.at(static_cast<std::size_t>(i)) = label;
    }
    layout->addStretch(1);
}

QLabel* StatusLine::panel(int number) const {
    return m_panels.at(static_cast<std::size_t>(number - 1));
}

void StatusLine::setPanelText(int number, const QString& text) {
    panel(number)->setText(text);
}

QString StatusLine::panelText(int number) const {
    return panel(number)->text();
}

} // namespace inkvale
