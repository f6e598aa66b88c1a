#include "designer/Form1.h"

#include "designer/DesignerControls.h"
#include "designer/SignatureCanvas.h"
#include "designer/StatusLine.h"
#include "online/HiddenBrowser.h"
#include "platform/Platform.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

namespace inkvale {

void Form1::loadAndShow() {
    Form_Load();
    if (const QScreen* target = screen()) {
        move(target->availableGeometry().center() - rect().center());
    }
    show();
}

void Form1::Form_Load() {
    // 1. The skin is attached here once the skin library is deployed with the program.

    // 2. The window keeps its designed size: no sizing frame, no maximise button.
    setFixedSize(kClientSize);

    // 3. The status line lies along the bottom edge at the full width of the client area.
    m_s1->setGeometry(0, height() - m_s1->height(), width(), m_s1->height());

    // 4. The style font check runs here.

    // 5-6. The hidden browser loads the forum page; nothing waits for it.
    m_webBrowser1->navigate(m_online.forum);
}

void Form1::showPage(int page) {
    m_frame3->setVisible(page == 1);
    m_frame14->setVisible(page == 2);
    // Clearing an option raises no click, so the status panels keep their texts.
    for (int i = 0; i < kStyleCount; ++i) {
        QRadioButton* option = m_option1.at(static_cast<std::size_t>(i));
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

void Form1::Command6_Click() {
    showPage(2);
}

void Form1::Command4_Click() {
    showPage(1);
}

void Form1::Command5_Click() {
    m_platform.showMessage(this, QStringLiteral("没有下一页咯!"), MessageStyle::Information);
}

void Form1::Option1_Click(int /*index*/) {
    if (const auto style = selectedStyle(optionStates())) {
        m_s1->setPanelText(2, statusTextFor(*style));
    }
}

void Form1::Image_Click(int slot) {
    m_option1.at(static_cast<std::size_t>(slot))->setChecked(true);
}

void Form1::Command1_Click() {
    const auto style = selectedStyle(optionStates());
    if (!style) {
        m_s1->setPanelText(2, QStringLiteral("请您先选择签名.."));
        return;
    }
    // A name of blanks is a name: the text is not trimmed.
    const QString name = m_text1->text();
    if (name.isEmpty()) {
        m_s1->setPanelText(2, QStringLiteral("请输入您的名字后在进行生成!"));
        m_text1->setFocus();
        return;
    }
    // The canvas keeps everything it draws in its persistent image.
    drawSignature(*m_picture1, styleSlot(*style).faceName.toString(), name);
    m_command2->setEnabled(true);
    m_s1->setPanelText(2, QStringLiteral("签名生成成功!"));
    m_label2->hide();
}

QRadioButton* Form1::option1(int index) const {
    return m_option1.at(static_cast<std::size_t>(index));
}

std::array<bool, kSlotCount> Form1::optionStates() const {
    std::array<bool, kSlotCount> states{};
    for (std::size_t i = 0; i < states.size(); ++i) {
        states.at(i) = m_option1.at(i)->isChecked();
    }
    return states;
}

} // namespace inkvale
