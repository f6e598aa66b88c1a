#include "designer/Form1.h"

#include "core/SignatureFile.h"
#include "core/Twips.h"
#include "designer/BackgroundPicture.h"
#include "designer/DesignerControls.h"
#include "designer/FailureText.h"
#include "designer/GalleryLink.h"
#include "designer/GlyphNote.h"
#include "designer/SignatureCanvas.h"
#include "designer/SignatureUse.h"
#include "designer/StatusLine.h"
#include "online/HiddenBrowser.h"
#include "platform/Platform.h"
#include "platform/files/AtomicFile.h"
#include "sizedialog/Form3.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace inkvale {

void Form1::loadAndShow() {
    // Placed before loading: a message box of the load is centred on the window's place.
    if (const QScreen* target = screen()) {
        move(target->availableGeometry().center() - rect().center());
    }
    if (!Form_Load()) {
        return;
    }
    show();
    // The keyboard follows the window that the splash handed over to.
    activateWindow();
}

bool Form1::Form_Load() {
    // 1. The skin, from the library written beside the program at start.
    const QString folder = m_platform.programFolder();
    m_platform.attachSkin(folder + QStringLiteral("/SkinH_VB6.dll"),
                          folder + QStringLiteral("/skinh.she"));

    // 2. The window keeps its designed size: no sizing frame, no maximise button.
    setFixedSize(kClientSize);

    // 3. The status line lies along the bottom edge at the full width of the client area.
    m_s1->setGeometry(0, height() - m_s1->height(), width(), m_s1->height());

    // 4. Without its style fonts the program cannot draw: the check ends it.
    if (!CheckStyleFonts()) {
        return false;
    }

    // 5-6. The hidden browser loads the forum page; nothing waits for it.
    m_webBrowser1->navigate(m_online.forum);

    // Started only now: while the missing-fonts message waits for the user, its event loop
    // must not run the update check, which the font check's end of the program forbids.
    m_timer3->start();
    return true;
}

bool Form1::CheckStyleFonts() {
    m_list1->clear();
    QStringList faces = m_platform.installedFontFaces();
    // "@" names are the vertical-writing variants of East Asian fonts.
    faces.removeIf([](const QString& face) { return face.startsWith(QLatin1Char('@')); });
    m_list1->addItems(faces);
    int fontsFound = 0;
    for (int i = 0; i < m_list1->count(); ++i) {
        const QString face = m_list1->item(i)->text();
        const bool known =
            std::any_of(m_faceNameBoxes.begin(), m_faceNameBoxes.end(),
                        [&face](const QLineEdit* box) { return box->text() == face; });
        fontsFound += known ? 1 : 0;
    }
    if (fontsFound == kStyleCount) {
        return true;
    }
    m_platform.showMessage(
        this,
        QStringLiteral("字体缺失,如果您是首次使用请将Fonts文件夹下的字体\r\n \r\n"
                       "完整复制到字体文件夹中,重启程序即可!现在为您打开相关文件夹!"),
        MessageStyle::Information);
    m_platform.openInShell(m_platform.programFolder() + QStringLiteral("/fonts"),
                           ShellWindow::Normal);
    m_platform.openInShell(m_platform.userFontFolder(), ShellWindow::Normal);
    m_platform.endProgram();
    return false;
}

void Form1::showPage(int page) {
    QWidget* focused = focusWidget();
    const bool focusOnPages =
        focused != nullptr && (m_frame3->isAncestorOf(focused) ||
                               m_frame14->isAncestorOf(focused) || focused == m_command4);
    coverHiddenControls(page);
    // Clearing an option raises no click, so the status panels keep their texts.
    for (OptionButton* option : m_option1) {
        option->clear();
    }
    // A page button pressed from the keyboard leaves the focus on the way back.
    if (focusOnPages) {
        (page == 1 ? m_command6 : m_command4)->setFocus(Qt::OtherFocusReason);
    }
}

void Form1::coverHiddenControls(int shownPage) {
    // Covered is hidden too: a control that is not hidden is announced as showing.
    m_frame3->setVisible(shownPage == 1);
    m_frame14->setVisible(shownPage == 2);
    m_command4->setVisible(shownPage == 2);
    setCovered(*m_frame3, shownPage != 1);
    setCovered(*m_frame14, shownPage != 2);
    setCovered(*m_command4, shownPage != 2);
}

void Form1::keepOnlyOption(int slot) {
    for (OptionButton* option : m_option1) {
        if (option != m_option1.at(static_cast<std::size_t>(slot))) {
            option->clear();
        }
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

Form1::~Form1() = default;

QLabel* Form1::glyphNote() const {
    return m_glyphNote->label();
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
    m_glyphNote->tell(styleSlot(*style).faceName.toString(), name);
    m_use->setDesigned({*style, name, lookOf(*m_picture1)});
    m_command2->setEnabled(true);
    m_s1->setPanelText(2, QStringLiteral("签名生成成功!"));
    m_label2->hide();
}

void Form1::chooseAndDesign(int slot) {
    QGroupBox* page = styleSlot(slot).page == 1 ? m_frame3 : m_frame14;
    if (page->isHidden()) {
        showPage(styleSlot(slot).page);
    }
    Image_Click(slot);
    if (m_command1->isEnabled()) {
        Command1_Click();
    }
}

void Form1::Command2_Click() {
    // An installed program saves into the user's pictures folder, a portable one beside itself.
    const std::optional<QString> pictures = m_platform.signatureFolder();
    const QString folder = pictures.value_or(m_platform.programFolder());
    // What a save that was killed there left behind goes before this one writes.
    removeLeftoverTemporaries(folder);
    const SavedSignature saved =
        saveSignature(m_picture1->image(), folder, m_platform.currentDateTime());
    if (!saved.result.ok()) {
        Outcome why = saved.result;
        if (pictures && why.cause == Cause::NoSuchFile) {
            // The pictures folder is made when it is missing: what stopped that is the reason.
            if (Outcome made = makeFolders(folder); !made.ok()) {
                why = std::move(made);
            }
        }
        m_platform.showMessage(this,
                               QStringLiteral("签名图片保存失败!\r\n") +
                                   (pictures ? signatureFolderFailureText(why, folder)
                                             : folderWriteFailureText(why, folder)),
                               MessageStyle::Warning);
        return;
    }
    m_platform.showMessage(this,
                           pictures
                               ? QStringLiteral("签名图片已保存在文件夹%1中!名称:%2")
                                     .arg(shownFolder(*pictures), saved.name)
                               : QStringLiteral("签名图片已保存在当前目录下!名称:") + saved.name,
                           MessageStyle::Information);
}

void Form1::Command7_Click() {
    // Always at the same place below the button, wherever the mouse is.
    m_set1->popup(mapToGlobal(QPoint(twipsToPixels(3100), twipsToPixels(3180))));
}

void Form1::qmwz_Click() {
    if (const std::optional<QColor> colour = m_platform.chooseColour(this)) {
        m_picture1->setForeColor(*colour);
        m_gallery->lookChanged();
    }
}

void Form1::qmdz_Click() {
    Form3 dialog(m_platform, *m_picture1);
    m_platform.runModal(dialog);
    m_gallery->lookChanged();
}

void Form1::qmtp_Click() {
    m_platform.showMessage(this, QStringLiteral("建议选择规格为:340*95的图片!"),
                           MessageStyle::Information);
    const std::optional<QString> chosen = m_platform.chooseFileToOpen(
        this, QStringLiteral("图片文件(*.jpg)"), QStringLiteral("*.jpg"));
    if (!chosen) {
        return;
    }
    // The latest choice counts: a read still running for an earlier one is given up.
    giveUpPictureRead();
    auto* read =
        new ChosenPictureRead(m_platform, *chosen, m_platform.programFolder(), this,
                              [this](const BackgroundPicture& picture) {
                                  // A box the user is busy with (the question below) is answered
                                  // first.
                                  m_platform.whenNoModalOpen(m_pictureRead, [this, picture] {
                                      giveUpPictureRead();
                                      showPictureOutcome(picture);
                                  });
                              });
    m_pictureRead = read;
    QTimer::singleShot(kPictureReadPatience, read, [this] { offerToGiveUpPictureRead(); });
}

void Form1::offerToGiveUpPictureRead() {
    const QPointer<ChosenPictureRead> read = m_pictureRead;
    if (read.isNull() || read->finished()) {
        return;
    }
    const QString chosen = read->chosen();
    const MessageAnswer answer = m_platform.showMessage(
        this,
        QStringLiteral("读取所选图片“%1”的时间过长(它可能位于没有响应的网络位置)。\r\n"
                       "是否放弃读取?选择“否”将继续等待。")
            .arg(QDir::toNativeSeparators(chosen)),
        MessageStyle::InformationYesNo);
    // Meanwhile the bytes may have come in, or the window may have gone on without them.
    if (read.isNull() || read->finished()) {
        return;
    }
    if (answer != MessageAnswer::Yes) {
        QTimer::singleShot(kPictureReadPatience, read.data(),
                           [this] { offerToGiveUpPictureRead(); });
        return;
    }
    giveUpPictureRead();
    m_platform.showMessage(this,
                           QStringLiteral("签名背景图片设置失败!\r\n已放弃读取所选图片“%1”。")
                               .arg(QDir::toNativeSeparators(chosen)),
                           MessageStyle::Warning);
}

void Form1::giveUpPictureRead() {
    delete m_pictureRead;
    m_pictureRead = nullptr;
}

void Form1::showPictureOutcome(const BackgroundPicture& picture) {
    if (picture.image.isNull()) {
        m_platform.showMessage(this, QStringLiteral("签名背景图片设置失败!\r\n") + picture.error,
                               MessageStyle::Warning);
        return;
    }
    m_image20->setPixmap(QPixmap::fromImage(picture.image));
    m_picture1->setPicture(picture.image);
    m_removePicture->setEnabled(true);
    redrawOnBackground();
    m_gallery->lookChanged();
    m_platform.showMessage(this, QStringLiteral("签名背景图片选择成功!"),
                           MessageStyle::Information);
    m_label2->hide();
}

void Form1::redrawOnBackground() {
    DesignedSignature designed = m_use->designed();
    if (designed.name.isEmpty()) {
        return; // nothing designed yet
    }
    designed.look.background = m_picture1->picture();
    // The colour and size chosen since apply from the next design only.
    const float points = m_picture1->fontSize();
    const QColor colour = m_picture1->foreColor();
    m_picture1->setFontSize(designed.look.points);
    if (designed.look.colour) {
        m_picture1->setForeColor(*designed.look.colour);
    }
    drawSignature(*m_picture1, styleSlot(designed.slot).faceName.toString(), designed.name);
    m_picture1->setFontSize(points);
    m_picture1->setForeColor(colour);
    m_use->setDesigned(designed);
}

void Form1::removeBackground() {
    m_image20->clear();
    m_picture1->setPicture({});
    m_removePicture->setEnabled(false);
    redrawOnBackground();
    // Nothing designed: the canvas is as it was at start, caption and all.
    if (m_use->designed().name.isEmpty()) {
        m_label2->show();
    }
    m_gallery->lookChanged();
}

QLabel* Form1::image20() const {
    return m_image20;
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
