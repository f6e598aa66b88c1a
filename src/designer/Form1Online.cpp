#include "designer/DesignerControls.h"
#include "designer/Form1.h"
#include "designer/StatusLine.h"
#include "online/HiddenBrowser.h"
#include "online/Links.h"
#include "online/UpdateCheck.h"
#include "platform/Platform.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

// The main window's online side: the update check, the links and the exit question.

namespace inkvale {

void Form1::enableDesigning() {
    // Until now the name box could not take the keyboard, so the window gave it to the first
    // control that could. Left there, the user's typing would go nowhere: it moves to the name
    // box, unless the user has put it somewhere else meanwhile.
    QWidget* focused = focusWidget();
    const bool whereTheWindowPutIt = focused == nullptr || focused == firstEnabledStop();
    m_text1->setEnabled(true);
    m_command1->setEnabled(true);
    if (whereTheWindowPutIt) {
        m_text1->setFocus(Qt::OtherFocusReason);
    }
}

QWidget* Form1::firstEnabledStop() const {
    for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain()) {
        if (next->isEnabled() && (next->focusPolicy() & Qt::TabFocus) != 0 &&
            next->isVisibleTo(this)) {
            return next;
        }
    }
    return nullptr;
}

void Form1::Timer3_Timer() {
    // One check per start, whatever ticks or calls come later.
    m_timer3->stop();
    if (m_updateStarted) {
        return;
    }
    m_updateStarted = true;
    // The check's own lifetime: when the window closes it goes, and a late reply with it.
    m_updateCheck = new QObject(this);
    setCursor(Qt::BusyCursor);
    QObject* check = m_updateCheck;
    m_platform.fetch(m_online.update, m_online.updateDeadline, kVersionFileLimit, check,
                     [this, check](const HttpReply& reply) {
                         // A dialog the user is busy with is finished first: the outcome's own
                         // boxes never pop up over it.
                         m_platform.whenNoModalOpen(check,
                                                    [this, verdict = judgeUpdateReply(reply)] {
                                                        showUpdateOutcome(verdict);
                                                    });
                     });
}

void Form1::abandonUpdateCheck() {
    // Closed before the first tick: no check starts at all.
    m_timer3->stop();
    m_updateStarted = true;
    delete m_updateCheck;
    m_updateCheck = nullptr;
    unsetCursor();
}

void Form1::showUpdateOutcome(const UpdateVerdict& verdict) {
    unsetCursor();
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
        // The window is going: a reply or a picture that comes later has nobody to tell.
        abandonUpdateCheck();
        giveUpPictureRead();
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

} // namespace inkvale
