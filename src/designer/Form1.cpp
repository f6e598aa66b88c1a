#include "designer/Form1.h"

#include "designer/DesignerControls.h"
#include "designer/SignatureCanvas.h"
#include "designer/StatusLine.h"
#include "online/HiddenBrowser.h"
#include "online/Links.h"
#include "online/UpdateCheck.h"
#include "platform/Platform.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
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

void Form1::enableDesigning() {
    m_text1->setEnabled(true);
    m_command1->setEnabled(true);
}

void Form1::Timer3_Timer() {
    // One check per start: a tick that arrives while the fetch below waits must start nothing.
    m_timer3->stop();

    const UpdateVerdict verdict = judgeUpdateReply(
        m_platform.fetch(m_online.update, m_online.updateTimeout, kVersionFileLimit));
    switch (verdict.kind) {
    case UpdateVerdict::Kind::Failed:
        m_platform.showMessage(this, kUpdateFailedText.toString(), MessageStyle::Warning);
        m_s1->setPanelText(2, kUpdateFailedText.toString());
        m_s1->setPanelText(3, kUnknownVersionPanel.toString());
        enableDesigning();
        break;
    case UpdateVerdict::Kind::Current:
        enableDesigning();
        m_s1->setPanelText(2, kUpdateReadyText.toString());
        m_s1->setPanelText(3, versionPanelText(verdict.networkLabel));
        break;
    case UpdateVerdict::Kind::Other:
        m_s1->setPanelText(3, versionPanelText(verdict.networkLabel));
        if (m_platform.showMessage(this, updateQuestion(verdict.fetchedText),
                                   MessageStyle::InformationYesNo) == MessageAnswer::Yes) {
            m_platform.openInShell(m_online.download.toString(), ShellWindow::Minimised);
        }
        m_platform.endProgram();
        break;
    }
}

QLabel* Form1::label3() const {
    return m_label3;
}

void Form1::setLinkColour(const QColor& colour) {
    QPalette palette = m_label3->palette();
    palette.setColor(QPalette::WindowText, colour);
    m_label3->setPalette(palette);
}

void Form1::Label3_Click() {
    m_platform.openInShell(m_online.forum.toString(), ShellWindow::Minimised);
}

void Form1::Label3_MouseMove() {
    setLinkColour(kLinkHoverColour);
}

void Form1::Label3_MouseDown() {
    setLinkColour(kLinkPressedColour);
}

void Form1::Frame13_MouseMove() {
    setLinkColour(kLinkResetColour);
}

void Form1::Command3_Click() {
    m_webBrowser2->navigate(m_online.makerChat);
}

void Form1::Label4_Click() {
    m_webBrowser2->navigate(m_online.studioChat);
}

void Form1::Form_QueryUnload(bool& cancel) {
    switch (m_platform.showMessage(this, kExitQuestion.toString(),
                                   MessageStyle::InformationYesNoCancel)) {
    case MessageAnswer::Yes:
        // The window closes whether or not the forum could be opened.
        m_platform.openInShell(m_online.forum.toString(), ShellWindow::Minimised);
        break;
    case MessageAnswer::No:
        break;
    default:
        cancel = true;
        break;
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    Form_QueryUnload(cancel);
    if (cancel) {
        event->ignore();
    } else {
        event->accept();
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_label3 && event->type() == QEvent::MouseMove) {
        Label3_MouseMove();
        // Handled here: the label would pass the move on to its frame, which resets the colour.
        return true;
    }
    if (watched == m_label3 && event->type() == QEvent::MouseButtonPress) {
        Label3_MouseDown();
    } else if (watched == m_frame13 && event->type() == QEvent::MouseMove) {
        Frame13_MouseMove();
    }
    return QWidget::eventFilter(watched, event);
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
