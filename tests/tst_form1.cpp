#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "designer/StatusLine.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

const QString kLatinFace = QStringLiteral("DejaVu Sans");

QRect px(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

/// Position of a widget in its parent, measured from the inside of a canvas's border.
QRect designedGeometry(const QWidget* widget) {
    QRect geometry = widget->geometry();
    if (const auto* canvas = qobject_cast<const SignatureCanvas*>(widget->parentWidget())) {
        geometry.translate(-canvas->contentsRect().topLeft());
    }
    return geometry;
}

/// The control that a user sees at the centre of `widget`, within the window.
QWidget* visibleAt(QWidget* window, QWidget* widget) {
    return window->childAt(widget->mapTo(window, widget->rect().center()));
}

} // namespace

class TestForm1 final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void geometry_data();
    void geometry();
    void windowAsDesigned();
    void stacking();
    void startState();
    void hiddenDataControls();
    void pageSwitchClearsTheChoice_data();
    void pageSwitchClearsTheChoice();
    void noFurtherPage();
    void previewClickSelects_data();
    void previewClickSelects();
    void placeholdersCannotBeChosen();
    void optionClickNamesTheStyle();
    void designRefusals_data();
    void designRefusals();
    void designDrawsTheName_data();
    void designDrawsTheName();
    void secondDesignReplacesTheFirst();

private:
    void enableDesigning();

    FakePlatform* m_platform = nullptr;
    Form1* m_form = nullptr;
};

void TestForm1::init() {
    m_platform = new FakePlatform;
    m_form = new Form1(*m_platform);
    m_form->Form_Load();
    m_form->timer3()->stop(); // no update check in these tests
}

void TestForm1::cleanup() {
    delete m_form;
    delete m_platform;
}

void TestForm1::enableDesigning() {
    m_form->text1()->setEnabled(true);
    m_form->command1()->setEnabled(true);
}

void TestForm1::geometry_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("expected");

    const auto add = [](const char* control, const char* container, QRect rect) {
        QTest::newRow(control) << QString::fromLatin1(control) << QString::fromLatin1(container)
                               << rect;
    };
    add("Image10", "Form1", px(0, 0, 13665, 1320));
    add("Label4", "Form1", px(11400, 1080, 2070, 180));
    add("Frame2", "Form1", px(120, 1440, 5295, 1215));
    add("Text1", "Frame2", px(840, 480, 3735, 270));
    add("Frame1", "Form1", px(120, 2880, 5295, 3615));
    add("Picture1", "Frame1", px(120, 360, 5100, 1455));
    add("Label2", "Picture1", px(0, 600, 5055, 255));
    add("Image20", "Picture1", px(0, 0, 5055, 1335));
    add("Command1", "Frame1", px(120, 1920, 5055, 495));
    add("Command2", "Frame1", px(120, 2400, 5055, 495));
    add("Frame13", "Frame1", px(120, 3000, 5055, 495));
    add("Label3", "Frame13", px(30, 195, 4995, 180));
    add("Command7", "Form1", px(3600, 2880, 855, 255));
    add("Command3", "Form1", px(4440, 2880, 855, 255));
    add("Frame3", "Form1", px(5520, 1440, 7935, 5055));
    add("Command6", "Frame3", px(7320, 0, 495, 255));
    add("Label1", "Frame3", px(3570, 3240, 720, 180));
    add("Line1", "Frame3", QRect(QPoint(16, 224), QPoint(224, 224)));
    add("Line2", "Frame3", QRect(QPoint(296, 223), QPoint(512, 223)));
    add("WebBrowser1", "Frame3", px(4560, 1320, 255, 255));
    add("Command4", "Form1", px(12360, 1440, 495, 255));
    add("Frame14", "Form1", px(5520, 1440, 7935, 5055));
    add("Command5", "Frame14", px(7320, 0, 495, 255));
    add("Label5", "Frame14", px(3720, 3240, 540, 180));
    add("Line4", "Frame14", QRect(QPoint(16, 223), QPoint(224, 223)));
    add("Line3", "Frame14", QRect(QPoint(296, 223), QPoint(512, 223)));
    add("WebBrowser2", "Form1", px(12120, 2760, 255, 255));
    add("S1", "Form1", px(0, 6795, 13590, 615));
    add("List1", "Form1", px(14640, 600, 2175, 4020));

    // The style cells: frame, preview inside it, option on the page.
    struct Cell {
        int slot;
        const char* frame;
        const char* preview;
        const char* page;
        int left, top, optionLeft, optionTop, optionWidth;
    };
    const Cell cells[] = {
        {0, "Frame4", "Image1", "Frame3", 240, 360, 720, 1320, 1575},
        {1, "Frame5", "Image2", "Frame3", 2760, 360, 3240, 1320, 1335},
        {2, "Frame6", "Image3", "Frame3", 5280, 360, 5880, 1320, 1335},
        {3, "Frame7", "Image4", "Frame3", 240, 1800, 720, 2760, 1575},
        {4, "Frame8", "Image5", "Frame3", 2760, 1800, 3240, 2760, 1215},
        {5, "Frame9", "Image6", "Frame3", 5280, 1800, 5880, 2760, 1335},
        {6, "Frame10", "Image7", "Frame3", 240, 3480, 720, 4440, 1335},
        {7, "Frame11", "Image8", "Frame3", 2760, 3480, 3240, 4440, 1335},
        {8, "Frame12", "Image9", "Frame3", 5280, 3480, 5880, 4440, 1335},
        {9, "Frame23", "Image19", "Frame14", 240, 360, 720, 1320, 1575},
        {10, "Frame22", "Image18", "Frame14", 5280, 360, 5880, 1320, 1335},
        {11, "Frame21", "Image17", "Frame14", 5280, 1800, 5880, 2760, 1335},
        {12, "Frame20", "Image16", "Frame14", 240, 1800, 720, 2760, 1575},
        {13, "Frame19", "Image15", "Frame14", 2760, 360, 3360, 1320, 1215},
        {14, "Frame18", "Image14", "Frame14", 2760, 1800, 3360, 2760, 1335},
        {15, "Frame17", "Image13", "Frame14", 240, 3480, 720, 4440, 1335},
        {16, "Frame16", "Image12", "Frame14", 2760, 3480, 3240, 4440, 1335},
        {17, "Frame15", "Image11", "Frame14", 5280, 3480, 5880, 4440, 1335},
    };
    for (const Cell& cell : cells) {
        add(cell.frame, cell.page, px(cell.left, cell.top, 2415, 1335));
        add(cell.preview, cell.frame, px(120, 300, 2175, 615));
        const QString option = QStringLiteral("Option1(%1)").arg(cell.slot);
        QTest::newRow(qPrintable(option))
            << option << QString::fromLatin1(cell.page)
            << px(cell.optionLeft, cell.optionTop, cell.optionWidth, 300);
    }
}

void TestForm1::geometry() {
    QFETCH(QString, control);
    QFETCH(QString, container);
    QFETCH(QRect, expected);
    auto* widget = m_form->findChild<QWidget*>(control);
    QVERIFY2(widget, "no such control");
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QCOMPARE(designedGeometry(widget), expected);
}

void TestForm1::windowAsDesigned() {
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Kelda系列软件のInkvale Sp2"));
    QCOMPARE(m_form->size(), QSize(906, 494));
    QCOMPARE(m_form->minimumSize(), QSize(906, 494));
    QCOMPARE(m_form->maximumSize(), QSize(906, 494));
    const Qt::WindowFlags flags = m_form->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    // The status line lies along the bottom edge at full width.
    QCOMPARE(m_form->s1()->geometry().bottom(), m_form->height() - 1);
    QCOMPARE(m_form->s1()->width(), m_form->width());

    // The hand cursor where designed, with its hot spot at the fingertip.
    for (const char* name : {"Option1(0)", "Image1", "Image14", "Image20", "Label3", "Label4"}) {
        auto* widget = m_form->findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(widget && widget->cursor().shape() == Qt::BitmapCursor, name);
        QCOMPARE(widget->cursor().hotSpot(), QPoint(5, 0));
    }
}

void TestForm1::stacking() {
    const auto order = [this](const char* name) {
        auto* widget = m_form->findChild<QWidget*>(QString::fromLatin1(name));
        return widget->parentWidget()->children().indexOf(widget);
    };
    QVERIFY(order("Frame3") > order("Command4"));
    QVERIFY(order("Command4") > order("Frame14"));
    QVERIFY(order("WebBrowser2") < order("Frame14"));
    QVERIFY(order("WebBrowser1") < order("Frame5"));
    QVERIFY(order("Label4") > order("Image10"));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const QByteArray option = QStringLiteral("Option1(%1)").arg(slot).toLatin1();
        QVERIFY(order(option.constData()) >
                order(qPrintable(styleSlot(slot).frameName.toString())));
    }
}

void TestForm1::startState() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    QVERIFY(m_form->frame3()->isVisible());
    // Page 1 covers page 2 and the "<<" button, which are hidden behind it.
    QVERIFY(!m_form->frame14()->isVisible());
    QVERIFY(!m_form->findChild<QWidget*>(QStringLiteral("Command4"))->isVisible());
    auto* command4 = m_form->findChild<QWidget*>(QStringLiteral("Command4"));
    QCOMPARE(visibleAt(m_form, command4)->objectName(), QStringLiteral("Frame3"));
    QCOMPARE(
        visibleAt(m_form, m_form->findChild<QWidget*>(QStringLiteral("WebBrowser1")))->objectName(),
        QStringLiteral("Frame5"));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        QVERIFY(!m_form->option1(slot)->isChecked());
        QCOMPARE(m_form->option1(slot)->text(), QStringLiteral("使用此签名"));
    }
    QVERIFY(!m_form->text1()->isEnabled());
    QVERIFY(!m_form->command1()->isEnabled());
    QVERIFY(!m_form->command2()->isEnabled());
    QVERIFY(m_form->text1()->text().isEmpty());
    QVERIFY(m_form->label2()->isVisible());
    QCOMPARE(m_form->label2()->text(), QStringLiteral("签名生成区"));

    const QStringList panels{QStringLiteral("提示："), QStringLiteral("程序检测更新中..."),
                             QStringLiteral("当前版本: Sp2 | 网络版本:未知"),
                             QStringLiteral("OrvekZanvi设计")};
    const QList<int> widths{96, 354, 354, 96};
    for (int number = 1; number <= 4; ++number) {
        QCOMPARE(m_form->s1()->panelText(number), panels.at(number - 1));
        QCOMPARE(m_form->s1()->panel(number)->width(), widths.at(number - 1));
    }
    QCOMPARE(m_form->picture1()->fontName(), QStringLiteral("宋体"));
    QCOMPARE(m_form->picture1()->fontSize(), 42.0F);
}

void TestForm1::hiddenDataControls() {
    const QRect client = m_form->rect();
    for (int box = 2; box <= 16; ++box) {
        auto* text = m_form->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(box));
        QVERIFY(text);
        QVERIFY2(!client.intersects(text->geometry()), "face-name box inside the client area");
        QVERIFY(text->x() >= 944 && text->x() <= 1152);
        const int slot = box == 2 ? 1 : box == 3 ? 0 : box - 2;
        QCOMPARE(text->text(), styleSlot(slot).faceName.toString());
    }
    auto* list = m_form->findChild<QListWidget*>(QStringLiteral("List1"));
    QVERIFY(!client.intersects(list->geometry()));
    // After loading, the font check's work list holds the installed faces.
    QCOMPARE(list->count(), m_platform->fonts.size());
}

void TestForm1::pageSwitchClearsTheChoice_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("toPage2");

    QTest::newRow("page 1 to 2") << 4 << true;
    QTest::newRow("page 2 to 1") << 13 << false;
}

void TestForm1::pageSwitchClearsTheChoice() {
    QFETCH(int, slot);
    QFETCH(bool, toPage2);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    if (!toPage2) {
        m_form->Command6_Click();
    }
    QTest::mouseClick(m_form->option1(slot), Qt::LeftButton);
    QVERIFY(m_form->option1(slot)->isChecked());
    const QString status = m_form->s1()->panelText(2);
    QCOMPARE(status, statusTextFor(slot));

    QTest::mouseClick(m_form->findChild<QPushButton*>(toPage2 ? QStringLiteral("Command6")
                                                              : QStringLiteral("Command4")),
                      Qt::LeftButton);
    QCOMPARE(m_form->frame3()->isVisible(), !toPage2);
    QCOMPARE(m_form->frame14()->isVisible(), toPage2);
    for (int i = 0; i < kSlotCount; ++i) {
        QVERIFY(!m_form->option1(i)->isChecked());
    }
    QCOMPARE(m_form->s1()->panelText(2), status);
    auto* command4 = m_form->findChild<QWidget*>(QStringLiteral("Command4"));
    QCOMPARE(visibleAt(m_form, command4) == command4, toPage2);

    // With nothing chosen, designing asks for a style.
    enableDesigning();
    m_form->text1()->setText(QStringLiteral("Ann"));
    m_form->Command1_Click();
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("请您先选择签名.."));
}

void TestForm1::noFurtherPage() {
    m_form->Command6_Click();
    QTest::mouseClick(m_form->findChild<QPushButton*>(QStringLiteral("Command5")), Qt::LeftButton);
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).text, QStringLiteral("没有下一页咯!"));
    QCOMPARE(m_platform->messages.at(0).style, MessageStyle::Information);
    QVERIFY(m_form->frame14()->isVisibleTo(m_form));
    QVERIFY(!m_form->frame3()->isVisibleTo(m_form));
}

void TestForm1::previewClickSelects_data() {
    QTest::addColumn<QString>("preview");
    QTest::addColumn<int>("slot");

    // As designed: page 1 in order, page 2 not in reading order.
    const std::pair<const char*, int> pictures[] = {
        {"Image1", 0},   {"Image2", 1},   {"Image3", 2},   {"Image4", 3},   {"Image5", 4},
        {"Image6", 5},   {"Image7", 6},   {"Image8", 7},   {"Image9", 8},   {"Image19", 9},
        {"Image18", 10}, {"Image17", 11}, {"Image16", 12}, {"Image15", 13}, {"Image14", 14},
    };
    for (const auto& [preview, slot] : pictures) {
        QTest::newRow(preview) << QString::fromLatin1(preview) << slot;
    }
}

void TestForm1::previewClickSelects() {
    QFETCH(QString, preview);
    QFETCH(int, slot);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    if (styleSlot(slot).page == 2) {
        m_form->Command6_Click();
    }
    auto* picture = m_form->findChild<QWidget*>(preview);
    QTest::mouseClick(picture, Qt::LeftButton);
    QCOMPARE(selectedStyle(m_form->optionStates()).value_or(-1), slot);
    QCOMPARE(m_form->s1()->panelText(2), statusTextFor(slot));

    // Clicking the chosen style's picture again keeps it chosen.
    QTest::mouseClick(picture, Qt::LeftButton);
    QVERIFY(m_form->option1(slot)->isChecked());
}

void TestForm1::placeholdersCannotBeChosen() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->Command6_Click();
    for (int slot = 15; slot < kSlotCount; ++slot) {
        auto* picture = m_form->findChild<QWidget*>(styleSlot(slot).previewName.toString());
        QVERIFY(!picture->isEnabled());
        QVERIFY(!m_form->option1(slot)->isEnabled());
        QTest::mouseClick(picture, Qt::LeftButton);
        QTest::mouseClick(m_form->option1(slot), Qt::LeftButton);
        QVERIFY(!m_form->option1(slot)->isChecked());
    }
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("程序检测更新中..."));
}

void TestForm1::optionClickNamesTheStyle() {
    // Slot 7's status label differs from its caption and face.
    m_form->Image_Click(7);
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("您当前选择的签名为:PALS Script"));
    // With only a placeholder selected, panel 2 is left alone.
    m_form->Command6_Click();
    m_form->option1(16)->setChecked(true);
    m_form->Option1_Click(16);
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("您当前选择的签名为:PALS Script"));
}

void TestForm1::designRefusals_data() {
    QTest::addColumn<int>("slot"); // -1: none chosen
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("focusToName");

    QTest::newRow("no style, no name") << -1 << ""
                                       << "请您先选择签名.." << false;
    QTest::newRow("no style") << -1 << "Ann"
                              << "请您先选择签名.." << false;
    QTest::newRow("no name") << 2 << ""
                             << "请输入您的名字后在进行生成!" << true;
}

void TestForm1::designRefusals() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(bool, focusToName);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    enableDesigning();

    // An earlier signature stays on the canvas.
    m_form->Image_Click(0);
    m_form->text1()->setText(QStringLiteral("Earlier"));
    m_form->Command1_Click();
    const QImage before = m_form->picture1()->image().copy();
    m_form->Command4_Click();

    if (slot >= 0) {
        m_form->Image_Click(slot);
    }
    m_form->text1()->setText(name);
    m_form->command1()->setFocus();
    QTest::mouseClick(m_form->command1(), Qt::LeftButton);
    QTEST(m_form->s1()->panelText(2), "status");
    QCOMPARE(m_form->picture1()->image(), before);
    QCOMPARE(QApplication::focusWidget() == m_form->text1(), focusToName);
}

void TestForm1::designDrawsTheName_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("face");
    QTest::addColumn<bool>("ink");

    QTest::newRow("Latin name, slot 7") << 7 << "John Smith"
                                        << "ALS Script" << true;
    QTest::newRow("Chinese name, slot 10") << 10 << "张伟"
                                           << "Corvan草书 繁" << true;
    QTest::newRow("three spaces") << 3 << "   "
                                  << "方正喵呜体" << false;
}

void TestForm1::designDrawsTheName() {
    QFETCH(int, slot);
    QFETCH(QString, name);
    QFETCH(QString, face);
    QFETCH(bool, ink);
    enableDesigning();
    const QImage blank = m_form->picture1()->image().copy();
    if (styleSlot(slot).page == 2) {
        m_form->Command6_Click();
    }
    m_form->Image_Click(slot);
    m_form->text1()->setText(name);
    m_form->Command1_Click();

    QCOMPARE(m_form->picture1()->fontName(), face);
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("签名生成成功!"));
    QVERIFY(m_form->command2()->isEnabled());
    QVERIFY(m_form->label2()->isHidden());
    QCOMPARE(m_form->picture1()->image() != blank, ink);

    // The same drawing as the canvas model makes on its own.
    SignatureSurface expected;
    drawSignature(expected, face, name);
    QCOMPARE(m_form->picture1()->image(), expected.image());
}

void TestForm1::secondDesignReplacesTheFirst() {
    enableDesigning();
    m_form->Image_Click(0);
    m_form->text1()->setText(QStringLiteral("WWWWWWWW"));
    m_form->Command1_Click();
    m_form->Image_Click(8);
    m_form->text1()->setText(QStringLiteral("il"));
    m_form->Command1_Click();

    SignatureSurface expected;
    drawSignature(expected, styleSlot(8).faceName.toString(), QStringLiteral("il"));
    QCOMPARE(m_form->picture1()->image(), expected.image());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
