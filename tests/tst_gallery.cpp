// "全部风格预览": the typed name in every style, drawn as the core draws it, following the name
// box; choosing a style there designs it in the main window; the large preview's zoom; the
// keyboard and screen readers through the window.

#include "core/SignatureRenderer.h"
#include "core/StyleCatalogue.h"
#include "designer/Form1.h"
#include "designer/GalleryLink.h"
#include "designer/SignatureCanvas.h"
#include "designer/SignatureUse.h"
#include "designer/StatusLine.h"
#include "gallery/GalleryWindow.h"
#include "gallery/LayoutControls.h"
#include "gallery/StyleTiles.h"
#include "gallery/ZoomedSignature.h"
#include "support/DesignerSignature.h"
#include "support/FakePlatform.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <memory>

using namespace inkvale;
using inkvale::test::FakePlatform;

Q_DECLARE_METATYPE(inkvale::LineShape)

namespace {

const QString kFontsDir = QStringLiteral(INKVALE_FONTS_DIR);

/// What the core draws for `slot` and `name` with `look` at the screen's pixel ratio `ratio`.
QImage coreImage(SignatureLook look, qreal ratio, int slot, const QString& name) {
    look.dotsPerInch = 96.0 * ratio;
    SignatureRenderer renderer(look);
    return renderer.image(slot, name);
}

QString nameOf(const QWidget* widget) {
    return widget != nullptr ? widget->objectName() : QStringLiteral("(none)");
}

} // namespace

class TestGallery final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void previewsEqualTheCore_data();
    void previewsEqualTheCore();
    void typingRedrawsEveryStyle();
    void waitingForTheUpdateCheckShowsSamples();
    void choosingSelectsAndDesigns_data();
    void choosingSelectsAndDesigns();
    void choosingWhileTheUpdateCheckRunsOnlySelects();
    void largePreviewIsDrawnAtTheZoomAndThePixelRatio();
    void actionButtonsTriggerTheMenusActions();
    void layoutControlsShapeEveryNewOutput_data();
    void layoutControlsShapeEveryNewOutput();
    void presetsSetTheControlsTogether();
    void keyboardWalk();
    void everyControlHasAnAccessibleName();

private:
    void enableDesigning();
    GalleryWindow* openGallery();

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<Form1> m_form;
};

void TestGallery::initTestCase() {
    const QStringList missing = test::useBuiltStyleFonts(kFontsDir);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
}

void TestGallery::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    m_platform = std::make_unique<FakePlatform>();
    m_platform->folder = m_folder->path();
    m_form = std::make_unique<Form1>(*m_platform);
    QVERIFY(m_form->Form_Load());
    m_form->timer3()->stop();
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestGallery::cleanup() {
    m_form.reset();
    m_platform.reset();
    m_folder.reset();
}

void TestGallery::enableDesigning() {
    m_form->text1()->setEnabled(true);
    m_form->command1()->setEnabled(true);
}

GalleryWindow* TestGallery::openGallery() {
    // Opened as a user opens it: the shortcut in the main window.
    QTest::keyClick(m_form.get(), Qt::Key_G, Qt::ControlModifier);
    GalleryWindow* gallery = m_form->gallery()->window();
    if (gallery == nullptr || !QTest::qWaitForWindowExposed(gallery)) {
        return nullptr;
    }
    return QTest::qWaitFor([gallery] { return QApplication::activeWindow() == gallery; }) ? gallery
                                                                                          : nullptr;
}

void TestGallery::previewsEqualTheCore_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<float>("points");

    QTest::newRow("Chinese name, default look") << QStringLiteral("张伟") << QColor() << 42.0F;
    QTest::newRow("mixed name, red, small")
        << QStringLiteral("Ann 张") << QColor(200, 0, 0) << 24.0F;
    // Wider than the canvas: cut as the canvas cuts it.
    QTest::newRow("long name, large")
        << QStringLiteral("欧阳娜娜 Ouyang Nana") << QColor(0, 0, 160) << 48.0F;
}

void TestGallery::previewsEqualTheCore() {
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    QFETCH(float, points);
    enableDesigning();
    if (colour.isValid()) {
        m_platform->colours.push_back(colour);
        m_form->qmwz_Click();
    }
    m_form->picture1()->setFontSize(points);
    m_form->text1()->setText(name);
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    // The size dialog writes the canvas; the gallery is told as the menu item tells it.
    m_form->gallery()->lookChanged();

    const SignatureLook look = lookOf(*m_form->picture1());
    const qreal ratio = gallery->devicePixelRatioF();
    for (int slot = 0; slot < kStyleCount; ++slot) {
        const QImage shown = gallery->tiles()->tile(slot)->image();
        const QImage core = coreImage(look, ratio, slot, name);
        QVERIFY2(!shown.isNull(), qPrintable(QString::number(slot)));
        QVERIFY2(shown == core, qPrintable(styleSlot(slot).caption.toString()));
    }
    // At 96 dpi the core's picture is the canvas's own: a design shows the same.
    m_form->Image_Click(4);
    m_form->Command1_Click();
    QCOMPARE(gallery->tiles()->tile(4)->image().convertToFormat(QImage::Format_RGB32),
             m_form->picture1()->image().convertToFormat(QImage::Format_RGB32));
}

void TestGallery::typingRedrawsEveryStyle() {
    enableDesigning();
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    const SignatureLook look = lookOf(*m_form->picture1());
    const qreal ratio = gallery->devicePixelRatioF();

    QString typed;
    for (const QChar c : QStringLiteral("李雷a")) {
        if (c.isLetter() && c.unicode() < 0x80) {
            QTest::keyClick(m_form->text1(), c.toLatin1());
        } else {
            // Chinese comes from the input method, a character at a time.
            QInputMethodEvent input;
            input.setCommitString(QString(c));
            QApplication::sendEvent(m_form->text1(), &input);
        }
        typed += c;
        QCOMPARE(m_form->text1()->text(), typed);
        for (int slot : {0, 7, 14}) {
            QVERIFY2(gallery->tiles()->tile(slot)->image() == coreImage(look, ratio, slot, typed),
                     qPrintable(typed));
        }
    }
    QVERIFY(gallery->note()->text().contains(QStringLiteral("单击")));
    // Emptied again: the samples come back.
    m_form->text1()->clear();
    QCOMPARE(gallery->tiles()->tile(2)->image(), coreImage(look, ratio, 2, sampleNameFor(2)));
    QVERIFY(gallery->note()->text().contains(QStringLiteral("输入您的名字")));
}

void TestGallery::waitingForTheUpdateCheckShowsSamples() {
    // The window as it opens: the update check keeps the name box disabled.
    QVERIFY(!m_form->text1()->isEnabled());
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    const SignatureLook look = lookOf(*m_form->picture1());
    const qreal ratio = gallery->devicePixelRatioF();
    for (int slot : {0, 6, 8, 12}) {
        QCOMPARE(gallery->tiles()->tile(slot)->image(),
                 coreImage(look, ratio, slot, sampleNameFor(slot)));
    }
    QVERIFY(gallery->note()->text().contains(QStringLiteral("检测更新")));

    // The check ends: the typed name follows at once.
    enableDesigning();
    QVERIFY(!gallery->note()->text().contains(QStringLiteral("检测更新")));
    m_form->text1()->setText(QStringLiteral("韩梅梅"));
    QCOMPARE(gallery->tiles()->tile(6)->image(),
             coreImage(look, ratio, 6, QStringLiteral("韩梅梅")));
}

void TestGallery::choosingSelectsAndDesigns_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("how");

    QTest::newRow("page 1 style, click") << 2 << "click";
    QTest::newRow("page 2 style, click") << 12 << "click";
    QTest::newRow("page 2 style, Return") << 13 << "Return";
    QTest::newRow("page 1 style after page 2, Space") << 5 << "Space";
}

void TestGallery::choosingSelectsAndDesigns() {
    QFETCH(int, slot);
    QFETCH(QString, how);
    enableDesigning();
    m_form->text1()->setText(QStringLiteral("王芳"));
    if (slot < 9) {
        // Page 2 in front, with one of its styles chosen there.
        m_form->Command6_Click();
        m_form->Image_Click(10);
    }
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    StyleTile* tile = gallery->tiles()->tile(slot);
    if (how == QLatin1String("click")) {
        QTest::mouseClick(tile, Qt::LeftButton);
    } else {
        tile->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(tile->hasFocus());
        QTest::keyClick(tile, how == QLatin1String("Return") ? Qt::Key_Return : Qt::Key_Space);
    }

    // Selected as its option would be: the only one, on its page, shown.
    for (int other = 0; other < kSlotCount; ++other) {
        QCOMPARE(m_form->option1(other)->isChecked(), other == slot);
    }
    QVERIFY(!(styleSlot(slot).page == 1 ? m_form->frame3() : m_form->frame14())->isHidden());
    // And designed.
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("签名生成成功!"));
    QVERIFY(m_form->command2()->isEnabled());
    QCOMPARE(m_form->signatureUse()->designed().slot, slot);
    QCOMPARE(m_form->signatureUse()->designed().name, QStringLiteral("王芳"));
    QCOMPARE(gallery->tiles()->chosen(), std::optional<int>(slot));
    // The design shows large.
    QVERIFY(!gallery->zoomed()->picture()->picture().isNull());
}

void TestGallery::choosingWhileTheUpdateCheckRunsOnlySelects() {
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    QTest::mouseClick(gallery->tiles()->tile(3), Qt::LeftButton);
    QVERIFY(m_form->option1(3)->isChecked());
    QCOMPARE(m_form->s1()->panelText(2), statusTextFor(3));
    QVERIFY(!m_form->command2()->isEnabled());
    QVERIFY(gallery->zoomed()->picture()->picture().isNull());
}

void TestGallery::largePreviewIsDrawnAtTheZoomAndThePixelRatio() {
    enableDesigning();
    m_form->text1()->setText(QStringLiteral("Ann 张"));
    m_form->Image_Click(1);
    m_form->Command1_Click();
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    ZoomedSignature* zoomed = gallery->zoomed();
    const qreal ratio = zoomed->devicePixelRatioF();
    const QSize inner = SignatureRenderer(SignatureLook{}).innerPixels();

    const auto check = [&](int percent) {
        QCOMPARE(zoomed->zoom(), percent);
        const QImage shown = zoomed->picture()->picture();
        // Drawn at its size in device pixels, not a smaller picture scaled up.
        SignatureLook look = m_form->signatureUse()->designed().look;
        look.dotsPerInch = 96.0 * ratio * percent / 100.0;
        SignatureRenderer renderer(look);
        QCOMPARE(shown.size(), renderer.deviceSize());
        QImage expected = renderer.image(1, QStringLiteral("Ann 张"));
        expected.setDevicePixelRatio(ratio);
        QCOMPARE(shown, expected);
        QCOMPARE(zoomed->picture()->size(), (QSizeF(inner) * percent / 100.0).toSize());
    };
    zoomed->setZoom(100);
    check(100);
    QTest::mouseClick(zoomed->zoomInButton(), Qt::LeftButton);
    check(125);
    zoomed->slider()->setValue(400);
    check(400);
    // Ctrl and the wheel over the picture: one step a notch; without Ctrl the wheel scrolls.
    QWheelEvent wheel(QPointF(5, 5), zoomed->mapToGlobal(QPointF(5, 5)), QPoint(),
                      QPoint(0, -2 * QWheelEvent::DefaultDeltasPerStep), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(zoomed->picture()->parentWidget(), &wheel);
    check(350);
    zoomed->setZoom(10000);
    check(ZoomedSignature::kMaxZoom);
    QVERIFY(!zoomed->zoomInButton()->isEnabled());
}

void TestGallery::actionButtonsTriggerTheMenusActions() {
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    SignatureUse* use = m_form->signatureUse();
    const QList<QPair<QString, QAction*>> buttons{
        {QStringLiteral("复制(&C)"), use->copyAction()},
        {QStringLiteral("导出(&E)"), use->exportAction()},
        {QStringLiteral("打印(&P)"), use->printAction()},
        {QStringLiteral("字帖(&T)"), use->practiceAction()},
        {QStringLiteral("动画(&A)"), use->animationAction()}};
    for (const auto& [caption, action] : buttons) {
        auto* button = gallery->findChild<QPushButton*>(action->objectName() + "Button");
        QVERIFY2(button, qPrintable(caption));
        QCOMPARE(button->text(), caption);
        QVERIFY(!button->isEnabled());
    }
    enableDesigning();
    m_form->text1()->setText(QStringLiteral("李雷"));
    m_form->Image_Click(3);
    m_form->Command1_Click();
    for (const auto& [caption, action] : buttons) {
        auto* button = gallery->findChild<QPushButton*>(action->objectName() + "Button");
        QVERIFY2(button->isEnabled(), qPrintable(caption));
        int triggered = 0;
        const QMetaObject::Connection counting =
            connect(action, &QAction::triggered, this, [&triggered] { ++triggered; });
        // The dialogs are the fake platform's: each is answered "cancel" at once.
        QTest::mouseClick(button, Qt::LeftButton);
        disconnect(counting);
        QCOMPARE(triggered, 1);
    }
    // 导出 asks with the first format of the list chosen, 动画 with the first animated one.
    QCOMPARE(m_platform->saveQuestions.size(), 2);
    QCOMPARE(m_platform->saveQuestions.at(0).filter, 0);
    const SaveQuestion& animated = m_platform->saveQuestions.at(1);
    QCOMPARE(animated.filters.at(animated.filter), QStringLiteral("动态签名 GIF (*.gif)"));
}

void TestGallery::layoutControlsShapeEveryNewOutput_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<double>("value"); // for a check box, 1 ticks it; for 印章, the item
    QTest::addColumn<QString>("keys"); // typed into a number box after selecting its text
    QTest::addColumn<LineShape>("shape");
    QTest::addColumn<int>("seal");

    const auto shaped = [](auto change) {
        LineShape shape;
        change(shape);
        return shape;
    };
    QTest::newRow("字距, open") << "Spacing" << 0.5 << "0.5"
                                << shaped([](LineShape& s) { s.spacingEm = 0.5; }) << 0;
    QTest::newRow("字距, overlapping")
        << "Spacing" << -0.3 << "-0.3" << shaped([](LineShape& s) { s.spacingEm = -0.3; }) << 0;
    QTest::newRow("倾斜") << "Slant" << -12.0 << "-12"
                          << shaped([](LineShape& s) { s.slantDegrees = -12; }) << 0;
    QTest::newRow("上扬") << "Rise" << 8.0 << "8" << shaped([](LineShape& s) { s.riseDegrees = 8; })
                          << 0;
    QTest::newRow("姓氏放大") << "FirstScale" << 1.5 << "1.5"
                              << shaped([](LineShape& s) { s.firstScale = 1.5; }) << 0;
    QTest::newRow("竖排") << "Vertical" << 1.0 << ""
                          << shaped([](LineShape& s) { s.vertical = true; }) << 0;
    QTest::newRow("印章, 全名") << "Seal" << 2.0 << "" << LineShape{} << int(SealText::Name);
}

void TestGallery::layoutControlsShapeEveryNewOutput() {
    QFETCH(QString, control);
    QFETCH(double, value);
    QFETCH(QString, keys);
    QFETCH(LineShape, shape);
    QFETCH(int, seal);
    enableDesigning();
    m_form->text1()->setText(QStringLiteral("欧阳娜娜"));
    m_form->Image_Click(12);
    m_form->Command1_Click();
    const QImage canvas = m_form->picture1()->image().copy();
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);

    auto* widget = gallery->findChild<QWidget*>(control);
    QVERIFY(widget);
    if (auto* number = qobject_cast<QDoubleSpinBox*>(widget)) {
        // Typed as a user types it.
        number->setFocus(Qt::TabFocusReason);
        number->selectAll();
        QTest::keyClicks(number, keys);
        QTest::keyClick(number, Qt::Key_Return);
        QCOMPARE(number->value(), value);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClick(box, Qt::Key_Space);
    } else {
        qobject_cast<QComboBox*>(widget)->setCurrentIndex(int(value));
    }

    const SignatureUse* use = m_form->signatureUse();
    QCOMPARE(gallery->shape(), shape);
    QCOMPARE(int(gallery->seal()), seal);
    // Every new output draws it, and the styles and the large preview show it.
    QCOMPARE(use->output().look.shape, shape);
    QCOMPARE(int(use->output().look.seal), seal);
    QCOMPARE(gallery->tiles()->look().shape, shape);
    QCOMPARE(int(gallery->tiles()->look().seal), seal);
    QCOMPARE(use->output().name, QStringLiteral("欧阳娜娜"));
    // The canvas draws as it did.
    QCOMPARE(use->designed().look.shape, LineShape{});
    QCOMPARE(m_form->picture1()->image(), canvas);
    m_form->Command1_Click();
    QCOMPARE(m_form->picture1()->image(), canvas);
    QCOMPARE(use->output().look.shape, shape);

    // Its reset puts it back: the outputs are plain again.
    auto* reset = gallery->findChild<QPushButton*>(control + QStringLiteral("Reset"));
    QVERIFY(reset);
    QTest::mouseClick(reset, Qt::LeftButton);
    QCOMPARE(use->output().look.shape, LineShape{});
    QCOMPARE(use->output().look.seal, SealText::None);
}

void TestGallery::presetsSetTheControlsTogether() {
    LineShape rising;
    rising.riseDegrees = 10;
    rising.spacingEm = -0.1;
    LineShape surname;
    surname.firstScale = 1.6;
    const std::vector<LineShapePreset> presets{
        {QStringLiteral("rising"), QStringLiteral("上扬签"), rising},
        {QStringLiteral("surname"), QStringLiteral("姓大名小"), surname}};
    LayoutControls controls(presets);
    int told = 0;
    connect(&controls, &LayoutControls::changed, this, [&told] { ++told; });
    auto* first = controls.findChild<QPushButton*>(QStringLiteral("Preset_rising"));
    QVERIFY(first);
    QCOMPARE(first->text(), QStringLiteral("上扬签"));
    QCOMPARE(QAccessible::queryAccessibleInterface(first)->text(QAccessible::Name),
             QStringLiteral("预设上扬签"));
    first->click();
    QCOMPARE(controls.shape(), rising);
    QCOMPARE(told, 1); // once for the whole preset
    controls.findChild<QPushButton*>(QStringLiteral("Preset_surname"))->click();
    // A preset sets every member: what the one before set goes.
    QCOMPARE(controls.shape(), surname);
    QCOMPARE(told, 2);
}

void TestGallery::keyboardWalk() {
    enableDesigning();
    m_form->text1()->setText(QStringLiteral("李雷"));
    m_form->Image_Click(1);
    m_form->Command1_Click();
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    QStringList stops;
    const QWidget* first = QApplication::focusWidget();
    QVERIFY(first);
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        stops.append(nameOf(QApplication::focusWidget()));
        if (QApplication::focusWidget() == first) {
            break;
        }
    }
    // The styles are one stop, at the style chosen; then the large preview and its zoom; then
    // the actions.
    const QStringList expected{QStringLiteral("ZoomedArea"),
                               QStringLiteral("ZoomOut"),
                               QStringLiteral("ZoomSlider"),
                               QStringLiteral("ZoomIn"),
                               QStringLiteral("Spacing"),
                               QStringLiteral("SpacingReset"),
                               QStringLiteral("Slant"),
                               QStringLiteral("SlantReset"),
                               QStringLiteral("Rise"),
                               QStringLiteral("RiseReset"),
                               QStringLiteral("FirstScale"),
                               QStringLiteral("FirstScaleReset"),
                               QStringLiteral("Vertical"),
                               QStringLiteral("VerticalReset"),
                               QStringLiteral("Seal"),
                               QStringLiteral("SealReset"),
                               QStringLiteral("Preset_rising"),
                               QStringLiteral("Preset_big-surname"),
                               QStringLiteral("Preset_compact"),
                               QStringLiteral("Preset_vertical"),
                               QStringLiteral("CopySignatureButton"),
                               QStringLiteral("ExportSignatureButton"),
                               QStringLiteral("PrintSignatureButton"),
                               QStringLiteral("PracticeSheetButton"),
                               QStringLiteral("ExportAnimationButton"),
                               QStringLiteral("StyleTile(1)")};
    QCOMPARE(stops.join(u' '), expected.join(u' '));

    // The arrows move among the tiles as they stand; Tab comes back to the last one visited.
    StyleTile* start = gallery->tiles()->tile(1);
    QCOMPARE(QApplication::focusWidget(), start);
    const int across = gallery->tiles()->columns();
    QVERIFY(across >= 2);
    QTest::keyClick(start, Qt::Key_Left);
    QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("StyleTile(0)"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left); // stops at the edge
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("StyleTile(%1)").arg(across));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up); // stops at the top
    QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("StyleTile(0)"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("StyleTile(0)"));

    // The mnemonics reach what they name.
    QTest::keyClick(gallery, Qt::Key_M, Qt::AltModifier);
    QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("ZoomSlider"));
    int copies = 0;
    connect(m_form->signatureUse()->copyAction(), &QAction::triggered, this,
            [&copies] { ++copies; });
    QTest::keyClick(gallery, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(copies, 1); // a mnemonic presses its button visibly first
}

void TestGallery::everyControlHasAnAccessibleName() {
    GalleryWindow* gallery = openGallery();
    QVERIFY(gallery);
    int named = 0;
    for (QWidget* control : gallery->findChildren<QWidget*>()) {
        // A number box's text field is announced as the box.
        if (control->focusPolicy() == Qt::NoFocus || !control->isVisibleTo(gallery) ||
            qobject_cast<QAbstractSpinBox*>(control->parentWidget()) != nullptr) {
            continue;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY(accessible);
        QVERIFY2(!accessible->text(QAccessible::Name).trimmed().isEmpty(),
                 qPrintable(control->objectName()));
        ++named;
    }
    QVERIFY(named >= kStyleCount + 9 + 12);
    // The tiles are buttons named by their style.
    QAccessibleInterface* tile = QAccessible::queryAccessibleInterface(gallery->tiles()->tile(9));
    QCOMPARE(tile->role(), QAccessible::Button);
    QCOMPARE(tile->text(QAccessible::Name), QStringLiteral("Halwen圆趣卡通体"));
    QCOMPARE(QAccessible::queryAccessibleInterface(gallery)->text(QAccessible::Name),
             QStringLiteral("全部风格预览"));
}

QTEST_MAIN(TestGallery)
#include "tst_gallery.moc"
