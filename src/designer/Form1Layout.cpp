#include "core/InterfaceFont.h"
#include "core/Twips.h"
#include "designer/DesignerControls.h"
#include "designer/Form1.h"
#include "designer/GalleryLink.h"
#include "designer/GlyphNote.h"
#include "designer/SignatureCanvas.h"
#include "designer/SignatureUse.h"
#include "designer/StatusLine.h"
#include "online/HiddenBrowser.h"
#include "platform/Platform.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <utility>
#include <vector>

// The main window's designed layout: every control at its place, in stacking order.

namespace inkvale {

namespace {

template <typename Widget>
Widget* place(Widget* widget, const QString& name, QRect geometry) {
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, QRect geometry) {
    return place(new QPushButton(caption, parent), name, geometry);
}

QGroupBox* frame(QWidget* parent, const QString& name, const QString& caption, QRect geometry) {
    auto* box = place(new QGroupBox(caption, parent), name, geometry);
    // Frames are opaque: the two pages lie on the same rectangle, one in front of the other.
    box->setAutoFillBackground(true);
    return box;
}

QLabel* label(QWidget* parent, const QString& name, const QString& caption, QRect geometry) {
    return place(new LineLabel(caption, parent), name, geometry);
}

QString artwork(QStringView name) {
    return QStringLiteral(":/artwork/") + name.toString();
}

} // namespace

Form1::Form1(Platform& platform, OnlineSettings online, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
    , m_platform(platform)
    , m_online(std::move(online)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kelda系列软件のInkvale Sp2"));
    resize(kClientSize);

    setFont(interfaceFont());

    // Creation order is stacking order: later controls lie in front of earlier ones.
    buildBanner();
    buildNameArea();
    buildDesignArea();
    buildPages();
    // Beside the designed layout, in the band between the design area and the status line.
    m_glyphNote = std::make_unique<GlyphNote>(this, twipsRect(120, 6510, 5295, 270));
    m_s1 = place(new StatusLine(this), QStringLiteral("S1"), twipsRect(0, 6795, 13590, 615));
    m_s1->setPanelText(1, QStringLiteral("提示："));
    m_s1->setPanelText(2, QStringLiteral("程序检测更新中..."));
    m_s1->setPanelText(3, QStringLiteral("当前版本: Sp2 | 网络版本:未知"));
    m_s1->setPanelText(4, QStringLiteral("OrvekZanvi设计"));
    buildHiddenControls();
    buildKeyboardOrder();
    m_use = new SignatureUse(m_platform, *this, *m_picture1, *m_command2);
    m_gallery = new GalleryLink(*this);
    m_use->menu()->addSeparator();
    m_use->menu()->addAction(m_gallery->openAction());
    m_removePicture = m_use->menu()->addAction(QStringLiteral("移除背景图片"));
    m_removePicture->setObjectName(QStringLiteral("RemoveBackground"));
    m_removePicture->setEnabled(false);
    connect(m_removePicture, &QAction::triggered, this, &Form1::removeBackground);
    m_use->copyFromWhileNothingSelected(*m_text1);
    connect(m_use, &SignatureUse::copied, this,
            [this] { m_s1->setPanelText(2, QStringLiteral("签名已复制到剪贴板!")); });
}

void Form1::buildBanner() {
    m_image10 =
        place(new ClickableLabel(this), QStringLiteral("Image10"), twipsRect(0, 0, 13665, 1320));
    m_image10->setScaledContents(true);
    m_image10->setPixmap(QPixmap(artwork(u"banner.jpg")));
    m_label4 = place(new ClickableLabel(this), QStringLiteral("Label4"),
                     twipsRect(11400, 1080, 2070, 180));
    m_label4->setText(QStringLiteral("Banner设计:Tavrin工作室"));
    m_label4->setCursor(pointingHandCursor());
    connect(m_label4, &ClickableLabel::clicked, this, &Form1::Label4_Click);
}

void Form1::buildNameArea() {
    m_frame2 = frame(this, QStringLiteral("Frame2"), QStringLiteral("请输入您的名字"),
                     twipsRect(120, 1440, 5295, 1215));
    m_text1 =
        place(new QLineEdit(m_frame2), QStringLiteral("Text1"), twipsRect(840, 480, 3735, 270));
    m_text1->setEnabled(false);
    keepTypedTextWhole(*m_text1);
    // Return in the name box designs, as the button beside it would.
    connect(m_text1, &QLineEdit::returnPressed, this, [this] {
        if (m_command1->isEnabled()) {
            m_command1->click();
        }
    });
}

void Form1::buildDesignArea() {
    m_frame1 = frame(this, QStringLiteral("Frame1"), QStringLiteral("签名设计区"),
                     twipsRect(120, 2880, 5295, 3615));
    m_picture1 = place(new SignatureCanvas(m_frame1), QStringLiteral("Picture1"),
                       twipsRect(120, 360, 5100, 1455));
    m_label2 = label(m_picture1, QStringLiteral("Label2"), QStringLiteral("签名生成区"),
                     m_picture1->childRect(twipsRect(0, 600, 5055, 255)));
    m_label2->setAlignment(Qt::AlignCenter);
    m_image20 = place(new ClickableLabel(m_picture1), QStringLiteral("Image20"),
                      m_picture1->childRect(twipsRect(0, 0, 5055, 1335)));
    m_image20->setScaledContents(true);
    m_image20->setCursor(pointingHandCursor());
    m_image20->hide();

    m_command1 = button(m_frame1, QStringLiteral("Command1"), QStringLiteral("设计签名"),
                        twipsRect(120, 1920, 5055, 495));
    m_command1->setEnabled(false);
    connect(m_command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    m_command2 = button(m_frame1, QStringLiteral("Command2"), QStringLiteral("保存签名"),
                        twipsRect(120, 2400, 5055, 495));
    m_command2->setEnabled(false);
    connect(m_command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    m_frame13 =
        frame(m_frame1, QStringLiteral("Frame13"), QString(), twipsRect(120, 3000, 5055, 495));
    // The forum link changes colour under the mouse, so the link and its frame track it.
    m_frame13->setMouseTracking(true);
    m_frame13->installEventFilter(this);
    m_label3 = place(new ClickableLabel(m_frame13), QStringLiteral("Label3"),
                     twipsRect(30, 195, 4995, 180));
    m_label3->setText(QStringLiteral("欢迎来访Kelda系列软件官方论坛"));
    m_label3->setAlignment(Qt::AlignCenter);
    m_label3->setCursor(pointingHandCursor());
    m_label3->setMouseTracking(true);
    m_label3->installEventFilter(this);
    // The forum link is in the tab chain: Return or Space opens it.
    m_label3->setFocusPolicy(Qt::TabFocus);
    connect(m_label3, &ClickableLabel::clicked, this, &Form1::Label3_Click);

    m_command7 = button(this, QStringLiteral("Command7"), QStringLiteral("签名设定"),
                        twipsRect(3600, 2880, 855, 255));
    connect(m_command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    buildSettingsMenu();
    m_command3 = button(this, QStringLiteral("Command3"), QStringLiteral("建议提交"),
                        twipsRect(4440, 2880, 855, 255));
    connect(m_command3, &QPushButton::clicked, this, &Form1::Command3_Click);
}

void Form1::buildSettingsMenu() {
    m_set1 = new QMenu(QStringLiteral("设定"), this);
    m_set1->setObjectName(QStringLiteral("set1"));
    const auto item = [this](const char* name, const QString& caption, void (Form1::*handler)()) {
        QAction* action = m_set1->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    };
    item("qmwz", QStringLiteral("签名文字颜色"), &Form1::qmwz_Click);
    m_set1->addSeparator()->setObjectName(QStringLiteral("x1"));
    item("qmdz", QStringLiteral("签名文字大小"), &Form1::qmdz_Click);
    m_set1->addSeparator()->setObjectName(QStringLiteral("x2"));
    item("qmtp", QStringLiteral("签名背景图片"), &Form1::qmtp_Click);
}

void Form1::buildPages() {
    // The chat-link browser lies behind both pages and is never seen.
    m_webBrowser2 = place(new HiddenBrowser(m_platform, this), QStringLiteral("WebBrowser2"),
                          twipsRect(12120, 2760, 255, 255));
    keepNeverSeen(*m_webBrowser2);

    m_frame14 = frame(this, QStringLiteral("Frame14"), QStringLiteral("样式预览[第二页]"),
                      twipsRect(5520, 1440, 7935, 5055));
    m_command4 = button(this, QStringLiteral("Command4"), QStringLiteral("<<"),
                        twipsRect(12360, 1440, 495, 255));
    m_command4->setToolTip(QStringLiteral("上一页"));
    m_command4->setAccessibleName(m_command4->toolTip());
    connect(m_command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    m_frame3 = frame(this, QStringLiteral("Frame3"), QStringLiteral("样式预览[第一页]"),
                     twipsRect(5520, 1440, 7935, 5055));

    // The forum browser lies behind the cell Frame5 and is never seen.
    m_webBrowser1 = place(new HiddenBrowser(m_platform, m_frame3), QStringLiteral("WebBrowser1"),
                          twipsRect(4560, 1320, 255, 255));
    keepNeverSeen(*m_webBrowser1);

    for (const StyleSlot& slot : styleCatalogue()) {
        buildStyleCell(slot, slot.page == 1 ? m_frame3 : m_frame14);
    }
    // Options go in front of the cells they overlap.
    for (OptionButton* option : m_option1) {
        option->raise();
    }

    m_command6 = button(m_frame3, QStringLiteral("Command6"), QStringLiteral(">>"),
                        twipsRect(7320, 0, 495, 255));
    m_command6->setToolTip(QStringLiteral("下一页"));
    m_command6->setAccessibleName(m_command6->toolTip());
    connect(m_command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    label(m_frame3, QStringLiteral("Label1"), QStringLiteral("英文签名"),
          twipsRect(3570, 3240, 720, 180));
    new LineControl(m_frame3, QStringLiteral("Line1"), 240, 3360, 3360, 3360);
    new LineControl(m_frame3, QStringLiteral("Line2"), 4440, 3345, 7680, 3345);

    m_command5 = button(m_frame14, QStringLiteral("Command5"), QStringLiteral(">>"),
                        twipsRect(7320, 0, 495, 255));
    m_command5->setToolTip(QStringLiteral("下一页"));
    m_command5->setAccessibleName(m_command5->toolTip());
    connect(m_command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    label(m_frame14, QStringLiteral("Label5"), QStringLiteral("待添加"),
          twipsRect(3720, 3240, 540, 180));
    new LineControl(m_frame14, QStringLiteral("Line4"), 240, 3345, 3360, 3345);
    new LineControl(m_frame14, QStringLiteral("Line3"), 4440, 3345, 7680, 3345);
}

void Form1::buildStyleCell(const StyleSlot& slot, QGroupBox* page) {
    constexpr int kCellWidth = 2415;
    constexpr int kCellHeight = 1335;
    constexpr int kOptionHeight = 300;

    auto* cell = frame(page, slot.frameName.toString(), slot.caption.toString(),
                       twipsRect(slot.cellLeft, slot.cellTop, kCellWidth, kCellHeight));
    auto* preview = place(new ClickableLabel(cell), slot.previewName.toString(),
                          twipsRect(120, 300, 2175, 615));
    preview->setScaledContents(true);
    preview->setPixmap(
        QPixmap(artwork(slot.isStyle() ? slot.previewName.toString() + QStringLiteral(".png")
                                       : QStringLiteral("placeholder.png"))));
    preview->setCursor(pointingHandCursor());

    auto* option =
        place(new OptionButton(kOptionCaption.toString(), page),
              QStringLiteral("Option1(%1)").arg(slot.index),
              twipsRect(slot.optionLeft, slot.optionTop, slot.optionWidth, kOptionHeight));
    option->setCursor(pointingHandCursor());
    // Every option shares one caption; a screen reader also names the cell's style.
    option->setAccessibleDescription(slot.caption.toString());
    m_option1.at(static_cast<std::size_t>(slot.index)) = option;

    if (slot.isStyle()) {
        const int index = slot.index;
        connect(option, &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked) {
                keepOnlyOption(index);
                Option1_Click(index);
            }
        });
        connect(preview, &ClickableLabel::clicked, this, [this, index] { Image_Click(index); });
    } else {
        option->setEnabled(false);
        preview->setEnabled(false);
    }
}

void Form1::buildHiddenControls() {
    // These lie right of the client area: they hold data for the font check and are never seen.
    // Hidden and out of the tab chain, so neither the keyboard nor a screen reader meets them.
    m_list1 =
        place(new QListWidget(this), QStringLiteral("List1"), twipsRect(14640, 600, 2175, 4020));
    keepNeverSeen(*m_list1);
    const auto faceNames = faceNamesInBoxOrder();
    for (int i = 0; i < kStyleCount; ++i) {
        const int box = i + 2;
        const int column = i < 8 ? 0 : 1;
        const int row = i < 8 ? i : i - 8;
        auto* text = place(new QLineEdit(faceNames.at(static_cast<std::size_t>(i)), this),
                           QStringLiteral("Text%1").arg(box),
                           twipsRect(14160 + column * 3120, 600 + row * 375, 2895, 270));
        keepNeverSeen(*text);
        m_faceNameBoxes.at(static_cast<std::size_t>(i)) = text;
    }

    // The update check runs about a second after the window has loaded.
    m_timer3 = new QTimer(this);
    m_timer3->setObjectName(QStringLiteral("Timer3"));
    m_timer3->setInterval(1000);
    connect(m_timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
}

void Form1::buildKeyboardOrder() {
    // Return presses a focused button, as Space does.
    for (QPushButton* pushButton : findChildren<QPushButton*>()) {
        pushButton->setAutoDefault(true);
    }

    // The tab chain follows the screen: the name area and its buttons, the forum link, then
    // each page's buttons and options in reading order. Disabled and covered controls are
    // passed over.
    QList<QWidget*> chain{m_text1, m_command1, m_command2, m_command7, m_command3, m_label3};
    for (int page = 1; page <= 2; ++page) {
        if (page == 1) {
            chain.append(m_command6);
        } else {
            chain.append({m_command4, m_command5});
        }
        std::vector<const StyleSlot*> cells;
        for (const StyleSlot& slot : styleCatalogue()) {
            if (slot.page == page) {
                cells.push_back(&slot);
            }
        }
        std::sort(cells.begin(), cells.end(), [](const StyleSlot* a, const StyleSlot* b) {
            return std::pair(a->row, a->column) < std::pair(b->row, b->column);
        });
        for (const StyleSlot* slot : cells) {
            chain.append(m_option1.at(static_cast<std::size_t>(slot->index)));
        }
    }
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain.at(i - 1), chain.at(i));
    }

    // Page 1 lies in front from the start.
    coverHiddenControls(1);
}

} // namespace inkvale
