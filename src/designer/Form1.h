#pragma once

#include "core/StyleCatalogue.h"
#include "core/Twips.h"
#include "online/OnlineSettings.h"

#include <QWidget>

#include <array>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;

namespace inkvale {

class ChosenPictureRead;
class ClickableLabel;
class GalleryLink;
class HiddenBrowser;
class OptionButton;
class Platform;
class SignatureCanvas;
class SignatureUse;
class StatusLine;
struct BackgroundPicture;
class GlyphNote;
struct UpdateVerdict;

/// The main window: the name box, the signature canvas with its buttons, the two pages of style
/// previews and the status line. Controls carry their designed names as object names.
class Form1 final : public QWidget {
    Q_OBJECT

public:
    /// The designed client area.
    static constexpr QSize kClientSize = twipsSize(13590, 7410);

    explicit Form1(Platform& platform, OnlineSettings online = OnlineSettings::fromEnvironment(),
                   QWidget* parent = nullptr);
    ~Form1() override;

    /// Runs the load handler, then shows the window centred on its screen.
    void loadAndShow();

    /// The load handler: prepares the window before it is first shown. False when the program
    /// has been ended meanwhile and the window must not be shown.
    bool Form_Load();

    /// ">>" on page 1: shows page 2 and clears the style options.
    void Command6_Click();
    /// "<<": shows page 1 and clears the style options.
    void Command4_Click();
    /// ">>" on page 2: there is no further page.
    void Command5_Click();
    /// An option became selected: names the selected style in panel 2.
    void Option1_Click(int index);
    /// A preview picture was clicked: selects the option of `slot`.
    void Image_Click(int slot);
    /// "设计签名": checks the choice and the name and draws the signature.
    void Command1_Click();
    /// A style chosen outside the pages (in the gallery): shows its page as the page buttons
    /// would, selects its option as its preview picture would, and designs as "设计签名" would
    /// when the button can be pressed.
    void chooseAndDesign(int slot);

    /// "保存签名": writes the canvas into the Program folder under a date-time name.
    void Command2_Click();
    /// "签名设定": pops up the settings menu below the button.
    void Command7_Click();
    /// Settings menu: text colour, text size, background picture.
    void qmwz_Click();
    void qmdz_Click();
    void qmtp_Click();

    /// "移除背景图片": the canvas goes back to its own background, under the signature designed.
    void removeBackground();
    [[nodiscard]] QAction* removeBackgroundAction() const { return m_removePicture; }

    /// How long a chosen picture may take to read before the user is offered to give it up.
    static constexpr int kPictureReadPatience = 3000;

    /// The update check, run once about a second after loading. It starts the fetch and
    /// returns: the window keeps working, and the outcome follows when the reply is in.
    void Timer3_Timer();
    /// The forum link.
    void Label3_Click();
    void Label3_MouseMove();
    void Label3_MouseDown();
    void Frame13_MouseMove();
    /// "建议提交": the maker's chat link.
    void Command3_Click();
    /// The banner credit: the studio's chat link.
    void Label4_Click();
    /// Asked before the window closes; sets `cancel` to keep it open.
    void Form_QueryUnload(bool& cancel);

    [[nodiscard]] SignatureCanvas* picture1() const { return m_picture1; }
    [[nodiscard]] StatusLine* s1() const { return m_s1; }
    /// The signature's menu, shortcuts and drag.
    [[nodiscard]] SignatureUse* signatureUse() const { return m_use; }
    /// The window "全部风格预览" and what opens it.
    [[nodiscard]] GalleryLink* gallery() const { return m_gallery; }
    [[nodiscard]] QLineEdit* text1() const { return m_text1; }
    [[nodiscard]] QPushButton* command1() const { return m_command1; }
    [[nodiscard]] QPushButton* command2() const { return m_command2; }
    [[nodiscard]] QRadioButton* option1(int index) const;
    [[nodiscard]] QGroupBox* frame3() const { return m_frame3; }
    [[nodiscard]] QGroupBox* frame14() const { return m_frame14; }
    [[nodiscard]] QLabel* label2() const { return m_label2; }
    /// The line under the design area that names the characters another font drew.
    [[nodiscard]] QLabel* glyphNote() const;
    [[nodiscard]] QLabel* label3() const;
    [[nodiscard]] QTimer* timer3() const { return m_timer3; }
    [[nodiscard]] QMenu* set1() const { return m_set1; }
    [[nodiscard]] QLabel* image20() const;
    [[nodiscard]] HiddenBrowser* webBrowser1() const { return m_webBrowser1; }
    [[nodiscard]] HiddenBrowser* webBrowser2() const { return m_webBrowser2; }

    /// Whether a chosen background picture is being read.
    [[nodiscard]] bool pictureBeingRead() const { return m_pictureRead != nullptr; }
    /// Selection state of every Option1 button, by slot.
    [[nodiscard]] std::array<bool, kSlotCount> optionStates() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The designed layout (Form1Layout.cpp).
    void buildBanner();
    void buildNameArea();
    void buildDesignArea();
    void buildPages();
    void buildStyleCell(const StyleSlot& slot, QGroupBox* page);
    void buildHiddenControls();
    void buildSettingsMenu();
    void buildKeyboardOrder();

    /// Counts the installed style fonts; when one is missing, tells the user, opens the two font
    /// folders and ends the program (returning false).
    bool CheckStyleFonts();
    void showPage(int page);
    /// Hides the page that is not shown, and "<<" while page 1 covers it, and takes them out of
    /// the tab chain: neither the keyboard nor a screen reader meets what cannot be seen.
    void coverHiddenControls(int shownPage);
    /// Clears every option but `slot`'s: one style at most is selected, across both pages.
    void keepOnlyOption(int slot);
    void setLinkColour(const QColor& colour);
    /// Enables the name box and the design button; the keyboard goes to the name box when it is
    /// still where the window put it at start.
    void enableDesigning();
    /// The control that takes the keyboard when the window is activated: the first enabled,
    /// shown tab stop.
    [[nodiscard]] QWidget* firstEnabledStop() const;
    void showUpdateOutcome(const UpdateVerdict& verdict);
    /// Asks whether to give up a chosen picture that is taking long to read.
    void offerToGiveUpPictureRead();
    /// Gives up the chosen picture being read, if any: nothing of it arrives later.
    void giveUpPictureRead();
    void showPictureOutcome(const BackgroundPicture& picture);
    /// Draws the signature designed again, as it was designed, on the canvas's background now:
    /// the canvas, "保存签名" and every new output give the same picture.
    void redrawOnBackground();
    void abandonUpdateCheck();

    Platform& m_platform;
    OnlineSettings m_online;

    ClickableLabel* m_image10 = nullptr;
    ClickableLabel* m_label4 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QLineEdit* m_text1 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    SignatureCanvas* m_picture1 = nullptr;
    QLabel* m_label2 = nullptr;
    ClickableLabel* m_image20 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QGroupBox* m_frame13 = nullptr;
    ClickableLabel* m_label3 = nullptr;
    QPushButton* m_command7 = nullptr;
    QPushButton* m_command3 = nullptr;
    QMenu* m_set1 = nullptr;
    QGroupBox* m_frame3 = nullptr;
    QPushButton* m_command6 = nullptr;
    QPushButton* m_command4 = nullptr;
    QGroupBox* m_frame14 = nullptr;
    QPushButton* m_command5 = nullptr;
    HiddenBrowser* m_webBrowser1 = nullptr;
    HiddenBrowser* m_webBrowser2 = nullptr;
    StatusLine* m_s1 = nullptr;
    SignatureUse* m_use = nullptr;
    GalleryLink* m_gallery = nullptr;
    QAction* m_removePicture = nullptr;
    std::unique_ptr<GlyphNote> m_glyphNote;
    QTimer* m_timer3 = nullptr;
    bool m_updateStarted = false;
    QObject* m_updateCheck = nullptr;           ///< context of the running update check
    ChosenPictureRead* m_pictureRead = nullptr; ///< the chosen picture being read
    QListWidget* m_list1 = nullptr;
    std::array<QLineEdit*, kStyleCount> m_faceNameBoxes{};
    std::array<OptionButton*, kSlotCount> m_option1{};
};

} // namespace inkvale
