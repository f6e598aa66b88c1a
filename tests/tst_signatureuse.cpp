// Using a designed signature elsewhere: the menu and shortcuts beside "保存签名", the clipboard,
// the drag, export against inkvale-render's bytes, printing to a PDF file and the practice
// sheet, read back through poppler's own tools.

#include "core/MemoryHeadroom.h"
#include "core/PracticeSheet.h"
#include "core/SignatureExport.h"
#include "core/SignatureSurface.h"
#include "core/StyleCatalogue.h"
#include "core/TraceScore.h"
#include "designer/Form1.h"
#include "designer/PracticeSheetDialog.h"
#include "designer/SignatureCanvas.h"
#include "designer/SignatureUse.h"
#include "designer/StatusLine.h"
#include "pad/DrawingPad.h"
#include "pad/PadWindow.h"
#include "platform/SystemPlatform.h"
#include "support/DesignerSignature.h"
#include "support/FakePlatform.h"
#include "support/FileSizeLimit.h"
#include "support/NamedTargets.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <limits>
#include <memory>
#include <unistd.h>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

const QString kProgram = QStringLiteral(INKVALE_RENDER_EXE);
const QString kFontsDir = QStringLiteral(INKVALE_FONTS_DIR);
constexpr qreal kMetresPerInch = 0.0254;

/// Output of a program run to its end; fails the test when it does not start or end well.
QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

/// The first page of `pdf` as a grey picture at `dpi`, from poppler's pdftoppm.
QImage pageRaster(const QString& pdf, int dpi) {
    QTemporaryDir folder;
    const QString stem = folder.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-gray"), QStringLiteral("-r"), QString::number(dpi),
         QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, stem});
    return QImage(stem + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
}

/// Every page of `pdf` in colour at `dpi`, from poppler's pdftoppm.
QList<QImage> pageRasters(const QString& pdf, int dpi) {
    QTemporaryDir folder;
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), pdf,
         folder.filePath(QStringLiteral("page"))});
    QList<QImage> pages;
    // pdftoppm numbers the pages with as many digits as the last needs, so that names sort.
    const QStringList files =
        QDir(folder.path()).entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        pages.append(QImage(folder.filePath(file)).convertToFormat(QImage::Format_RGB32));
    }
    return pages;
}

/// The page size pdfinfo reads, "W x H".
QString pageSize(const QString& pdf) {
    static const QRegularExpression line(QStringLiteral(R"(Page size:\s+([0-9.]+ x [0-9.]+) pts)"));
    return line.match(QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdf}))).captured(1);
}

/// The rows of pdffonts' table: the fonts the document carries.
QStringList fontsOf(const QString& pdf) {
    QStringList lines = QString::fromUtf8(run(QStringLiteral("pdffonts"), {pdf}))
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.mid(2); // a heading and a rule
}

/// Runs of consecutive picture rows for which `inRow` holds, as {first, last} pairs.
QList<QPair<int, int>> bands(int height, const std::function<bool(int)>& inRow) {
    QList<QPair<int, int>> found;
    for (int y = 0; y < height; ++y) {
        if (!inRow(y)) {
            continue;
        }
        if (!found.isEmpty() && found.last().second == y - 1) {
            found.last().second = y;
        } else {
            found.append({y, y});
        }
    }
    return found;
}

/// The smallest grey value in row `y` between columns `from` and `to`.
int darkest(const QImage& grey, int y, int from, int to) {
    int value = 255;
    const uchar* row = grey.constScanLine(y);
    for (int x = std::max(0, from); x < std::min(grey.width(), to); ++x) {
        value = std::min<int>(value, row[x]);
    }
    return value;
}

/// Lines across the middle of `page`, from a tenth of its width to nine tenths, inked without a
/// break, as {first, last} pixel rows: the top and foot of a row of grid squares, or a row's
/// baseline.
QList<QPair<int, int>> rules(const QImage& page) {
    const int from = page.width() / 10;
    const int to = page.width() - from;
    return bands(page.height(), [&](int y) {
        for (int x = from; x < to; ++x) {
            if (qGray(page.pixel(x, y)) > 245) {
                return false;
            }
        }
        return true;
    });
}

} // namespace

class TestSignatureUse final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void actionsFollowTheSaveButton();
    void noteNamesCharactersFromOtherFonts_data();
    void noteNamesCharactersFromOtherFonts();
    void menuItemsHaveChineseAccessibleNames();
    void menuKeysOpenTheCanvasMenuButTheNameBoxKeepsItsOwn_data();
    void menuKeysOpenTheCanvasMenuButTheNameBoxKeepsItsOwn();
    void ctrlCInTheNameBoxCopiesItsText();
    void ctrlCInTheNameBoxWithoutSelectionCopiesTheSignature();
    void backgroundChosenAfterDesigningLiesUnderIt();
    void removingTheBackground();
    void copyGivesTransparentTrimmedPngSvgAndImage_data();
    void copyGivesTransparentTrimmedPngSvgAndImage();
    void dragAddsAPngFileInAFolderOfItsOwn();
    void exportEqualsInkvaleRender_data();
    void exportEqualsInkvaleRender();
    void failedExportIsToldAndLeavesNothing();
    void exportIntoAFolderWithoutPermission();
    void exportWithoutMemoryIsToldSo_data();
    void exportWithoutMemoryIsToldSo();
    void exportAndPrintFollowTheRuleForNamedFiles_data();
    void exportAndPrintFollowTheRuleForNamedFiles();
    void typedExtensionDecidesTheFormat_data();
    void typedExtensionDecidesTheFormat();
    void failedPrintToAFileIsTold();
    void printsAtRealSizeToAPdfFile();
    void systemPrintingWritesAPdfWithNoPrinter();
    void practiceSheet_data();
    void practiceSheet();
    void practiceSheetPages_data();
    void practiceSheetPages();
    void gridsDrawTheirLines();
    void strokeOrderStrips_data();
    void strokeOrderStrips();
    void practiceSheetFromTheCommandLineEqualsTheWindows_data();
    void practiceSheetFromTheCommandLineEqualsTheWindows();
    void handSignatureWindowFromTheMenuAndItsShortcut();

private:
    void design(int slot, const QString& name);
    /// Chooses a JPEG of the canvas's size in `colour` as background, and waits for it.
    void chooseBackground(const QColor& colour);
    [[nodiscard]] QString path(const QString& name) const { return m_folder->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<Form1> m_form;
};

void TestSignatureUse::initTestCase() {
    const QStringList missing = test::useBuiltStyleFonts(kFontsDir);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
}

void TestSignatureUse::init() {
    m_folder = std::make_unique<QTemporaryDir>();
    m_platform = std::make_unique<FakePlatform>();
    m_platform->folder = m_folder->path();
    m_form = std::make_unique<Form1>(*m_platform);
    QVERIFY(m_form->Form_Load());
    m_form->timer3()->stop();
    // The shortcuts are the window's: it must be the active one.
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void TestSignatureUse::cleanup() {
    m_form.reset();
    m_platform.reset();
    m_folder.reset();
}

void TestSignatureUse::design(int slot, const QString& name) {
    m_form->text1()->setEnabled(true);
    m_form->command1()->setEnabled(true);
    m_form->Image_Click(slot);
    m_form->text1()->setText(name);
    m_form->Command1_Click();
    QVERIFY(m_form->command2()->isEnabled());
}

void TestSignatureUse::noteNamesCharactersFromOtherFonts_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QStringList>("names"); // designed one after the other
    QTest::addColumn<QStringList>("told");  // in the note after the last; none: hidden
    QTest::addColumn<QStringList>("notTold");

    // Slot 5 is 迷你简黄草, a cursive hand that lacks the rarer name characters; slot 6 is a
    // Latin face.
    QTest::newRow("own hand") << 5 << QStringList{"张伟"} << QStringList() << QStringList();
    QTest::newRow("borrowed from a donor")
        << 5 << QStringList{"王喆"} << QStringList{"注：", "“喆”借自其他字体（LXGW WenKai"}
        << QStringList{"“王”"};
    QTest::newRow("Chinese name in a Latin face")
        << 6 << QStringList{"张伟 Ann"} << QStringList{"“张”“伟”由其他字体（"}
        << QStringList{"“A”", "“ ”"};
    QTest::newRow("more than the line holds")
        << 5 << QStringList{"堃喆昇彧赟翀垚犇晞玥珺瑄旻璟湉"}
        << QStringList{"“堃”“喆”“昇”", "“湉”", "借自其他字体"} << QStringList();
    QTest::newRow("a later name of its own hand hides it")
        << 5 << QStringList{"王喆", "王伟"} << QStringList() << QStringList();
}

void TestSignatureUse::noteNamesCharactersFromOtherFonts() {
    QFETCH(int, slot);
    QFETCH(QStringList, names);
    QFETCH(QStringList, told);
    QFETCH(QStringList, notTold);
    for (const QString& name : names) {
        design(slot, name);
    }
    const QLabel* note = m_form->glyphNote();
    // The window's own texts stay as they are.
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("签名生成成功!"));
    QCOMPARE(note->isVisible(), !told.isEmpty());
    QCOMPARE(note->accessibleName(), QStringLiteral("字形说明"));
    // The whole text for a screen reader and under the pointer.
    const QString whole = note->accessibleDescription();
    QCOMPARE(note->toolTip(), whole);
    for (const QString& text : told) {
        QVERIFY2(whole.contains(text), qPrintable(whole));
    }
    for (const QString& text : notTold) {
        QVERIFY2(!whole.contains(text), qPrintable(whole));
    }
    if (!told.isEmpty()) {
        // In its line, between the design area and the status line: whole, or its beginning
        // with an ellipsis.
        const QString shown = note->text();
        QVERIFY2(shown == whole ||
                     (shown.endsWith(QChar(0x2026)) && whole.startsWith(shown.chopped(1))),
                 qPrintable(shown));
        QVERIFY(note->fontMetrics().horizontalAdvance(shown) <= note->contentsRect().width());
        QVERIFY(!note->geometry().intersects(m_form->s1()->geometry()));
    }
}

void TestSignatureUse::actionsFollowTheSaveButton() {
    SignatureUse* use = m_form->signatureUse();
    const QList<QAction*> actions{use->copyAction(), use->exportAction(), use->animationAction(),
                                  use->printAction(), use->practiceAction()};
    for (QAction* action : actions) {
        QVERIFY(!action->isEnabled());
        QVERIFY(m_form->actions().contains(action));
        QCOMPARE(action->shortcutContext(), Qt::WindowShortcut);
    }
    design(7, QStringLiteral("王小明"));
    for (QAction* action : actions) {
        QVERIFY(action->isEnabled());
    }
    m_form->command2()->setEnabled(false);
    for (QAction* action : actions) {
        QVERIFY(!action->isEnabled());
    }
    QCOMPARE(use->copyAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+C")));
    QCOMPARE(use->exportAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    QCOMPARE(use->printAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
    // The existing button keeps its text and place in the keyboard order.
    QCOMPARE(m_form->command2()->text(), QStringLiteral("保存签名"));
    QCOMPARE(m_form->picture1()->contextMenuPolicy(), Qt::CustomContextMenu);
}

void TestSignatureUse::menuItemsHaveChineseAccessibleNames() {
    design(3, QStringLiteral("李雷"));
    QMenu* menu = m_form->signatureUse()->menu();
    menu->popup(QPoint(10, 10));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
    QVERIFY(list != nullptr);
    QStringList names;
    for (int i = 0; i < list->childCount(); ++i) {
        names.append(list->child(i)->text(QAccessible::Name));
    }
    menu->hide();
    names.removeAll(QString()); // the separator
    QCOMPARE(names, (QStringList{QStringLiteral("复制签名"), QStringLiteral("导出签名…"),
                                 QStringLiteral("导出动态签名…"), QStringLiteral("打印签名…"),
                                 QStringLiteral("生成练习字帖…"), QStringLiteral("手写签名…"),
                                 QStringLiteral("全部风格预览…"), QStringLiteral("移除背景图片")}));
}

void TestSignatureUse::menuKeysOpenTheCanvasMenuButTheNameBoxKeepsItsOwn_data() {
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("menu key") << QKeySequence(Qt::Key_Menu);
    QTest::newRow("Shift+F10") << QKeySequence(Qt::SHIFT | Qt::Key_F10);
}

void TestSignatureUse::menuKeysOpenTheCanvasMenuButTheNameBoxKeepsItsOwn() {
    QFETCH(QKeySequence, keys);
    design(3, QStringLiteral("李雷"));
    QMenu* menu = m_form->signatureUse()->menu();

    m_form->command1()->setFocus();
    QTest::keySequence(m_form.get(), keys);
    QTRY_VERIFY(menu->isVisible());
    menu->close();
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);

    m_form->text1()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_form->text1());
    QTest::keySequence(m_form.get(), keys);
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QWidget* popup = QApplication::activePopupWidget();
    QVERIFY(popup != menu);
    QVERIFY(!menu->isVisible());
    popup->close();
}

void TestSignatureUse::ctrlCInTheNameBoxCopiesItsText() {
    design(3, QStringLiteral("李雷"));
    m_form->text1()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_form->text1());
    m_form->text1()->selectAll();
    QTest::keyClick(m_form->text1(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data != nullptr);
    QCOMPARE(data->text(), QStringLiteral("李雷"));
    QVERIFY(!data->hasImage());
}

void TestSignatureUse::chooseBackground(const QColor& colour) {
    QImage picture(340, 95, QImage::Format_RGB32);
    picture.fill(colour);
    const QString file = path(QStringLiteral("back-%1.jpg").arg(colour.name().mid(1)));
    QVERIFY(picture.save(file, "JPG", 100));
    m_platform->filesToOpen.push_back(file);
    m_form->qmtp_Click();
    QTRY_VERIFY(!m_form->pictureBeingRead());
    QVERIFY(!m_form->picture1()->picture().isNull());
}

void TestSignatureUse::ctrlCInTheNameBoxWithoutSelectionCopiesTheSignature() {
    // Typed, Return pressed: the keyboard stays in the name box, with nothing selected.
    m_form->text1()->setEnabled(true);
    m_form->command1()->setEnabled(true);
    m_form->Image_Click(3);
    m_form->text1()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), m_form->text1());
    m_form->text1()->setText(QStringLiteral("Ann"));
    QTest::keyClick(m_form->text1(), Qt::Key_Return);
    QCOMPARE(m_form->signatureUse()->designed().name, QStringLiteral("Ann"));
    QCOMPARE(QApplication::focusWidget(), m_form->text1());
    QVERIFY(!m_form->text1()->hasSelectedText());
    QGuiApplication::clipboard()->clear();

    QTest::keyClick(m_form->text1(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data != nullptr);
    QVERIFY(data->hasImage());
    QVERIFY(data->formats().contains(QStringLiteral("image/png")));
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("签名已复制到剪贴板!"));
    QCOMPARE(m_form->text1()->text(), QStringLiteral("Ann"));

    // The menu's copy says the same.
    m_form->s1()->setPanelText(2, QString());
    m_form->signatureUse()->copyAction()->trigger();
    QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("签名已复制到剪贴板!"));
}

void TestSignatureUse::backgroundChosenAfterDesigningLiesUnderIt() {
    design(12, QStringLiteral("张伟"));
    // A colour chosen after designing applies from the next design only, here too.
    m_platform->colours.push_back(QColor(200, 0, 0));
    m_form->qmwz_Click();
    chooseBackground(QColor(0, 128, 0));

    // One picture: what the canvas shows is the design, as designed, on the new background.
    const DesignedSignature designed = m_form->signatureUse()->designed();
    QCOMPARE(designed.look.background.size(), QSize(340, 95));
    QVERIFY(designed.look.colour != QColor(200, 0, 0));
    SignatureRenderer renderer(designed.look);
    const QImage canvas = m_form->picture1()->image().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(canvas,
             renderer.image(12, QStringLiteral("张伟")).convertToFormat(QImage::Format_RGB32));
    QVERIFY(inkRect(canvas, renderer.blankImage().convertToFormat(QImage::Format_RGB32)).width() >
            50);

    // 保存签名 writes that picture.
    m_form->Command2_Click();
    const QStringList saved = QDir(m_folder->path()).entryList({QStringLiteral("QM*.jpg")});
    QCOMPARE(saved.size(), 1);
    QCOMPARE(QImage(path(saved.first())).convertToFormat(QImage::Format_RGB32), canvas);

    // 复制签名 gives it too, cut to the ink: opaque, green round the ink, no red anywhere.
    m_form->signatureUse()->copyAction()->trigger();
    const QImage png = QImage::fromData(
        QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG");
    QVERIFY(!png.isNull());
    QCOMPARE(qAlpha(png.pixel(0, 0)), 255);
    const QColor corner = png.pixelColor(0, 0);
    QVERIFY(qAbs(corner.green() - 128) < 10 && corner.red() < 10);
    // The clipboard's picture at the canvas's resolution is the canvas's, pixel for pixel.
    SignatureLook screen = m_form->signatureUse()->output().look;
    QCOMPARE(screen.background, m_form->picture1()->picture());
    QCOMPARE(screen.colour, designed.look.colour);
}

void TestSignatureUse::removingTheBackground() {
    QAction* remove = m_form->removeBackgroundAction();
    QCOMPARE(remove->text(), QStringLiteral("移除背景图片"));
    QVERIFY(m_form->signatureUse()->menu()->actions().contains(remove));
    QVERIFY(!remove->isEnabled());

    // Before any design: the canvas is as it was at start.
    chooseBackground(QColor(250, 230, 200));
    QVERIFY(m_form->label2()->isHidden());
    QVERIFY(remove->isEnabled());
    remove->trigger();
    QVERIFY(m_form->picture1()->picture().isNull());
    QVERIFY(!m_form->label2()->isHidden());
    QVERIFY(!remove->isEnabled());

    // After a design: the design stays, on the canvas's own background.
    design(1, QStringLiteral("Ann 张"));
    const QImage plain = m_form->picture1()->image().copy();
    chooseBackground(QColor(250, 230, 200));
    QVERIFY(m_form->picture1()->image() != plain);
    remove->trigger();
    QCOMPARE(m_form->picture1()->image(), plain);
    QVERIFY(m_form->label2()->isHidden());
    QVERIFY(m_form->signatureUse()->designed().look.background.isNull());
    QVERIFY(m_form->image20()->pixmap().isNull());
    // The copy is transparent again, as without a background.
    m_form->signatureUse()->copyAction()->trigger();
    const QImage png = QImage::fromData(
        QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG");
    QVERIFY(png.hasAlphaChannel());
    QCOMPARE(qAlpha(png.pixel(0, 0)), 0);
}

void TestSignatureUse::copyGivesTransparentTrimmedPngSvgAndImage_data() {
    QTest::addColumn<bool>("withBackground");
    QTest::newRow("plain canvas") << false;
    QTest::newRow("background picture") << true;
}

void TestSignatureUse::copyGivesTransparentTrimmedPngSvgAndImage() {
    QFETCH(bool, withBackground);
    if (withBackground) {
        QImage picture(340, 95, QImage::Format_RGB32);
        picture.fill(QColor(250, 230, 200));
        QVERIFY(picture.save(path(QStringLiteral("back.jpg")), "JPG"));
        m_platform->filesToOpen.push_back(path(QStringLiteral("back.jpg")));
        m_form->qmtp_Click();
        // The chosen picture is read off the window's thread.
        QTRY_VERIFY(!m_form->picture1()->picture().isNull());
    }
    design(1, QStringLiteral("Ann 张"));
    QTest::keyClick(m_form.get(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data != nullptr);
    QVERIFY(data->hasImage());
    QVERIFY(data->formats().contains(QStringLiteral("image/png")));
    QVERIFY(data->data(QStringLiteral("image/svg+xml")).startsWith("<?xml"));

    const QImage png = QImage::fromData(data->data(QStringLiteral("image/png")), "PNG");
    QCOMPARE(png.hasAlphaChannel(), !withBackground);
    // The resolution stamp: 300 dpi, so that it prints at its size on screen.
    QCOMPARE(png.dotsPerMeterX(), qRound(kCopyDotsPerInch / kMetresPerInch));
    // Cut to the ink plus its padding: compare with the canvas at 96 dpi, trimmed alike.
    const QImage canvas = m_form->picture1()->image();
    SignatureLook flat;
    SignatureRenderer renderer(flat);
    const QImage blank = renderer.blankImage();
    QRect ink = inkRect(canvas.convertToFormat(blank.format()), blank);
    if (withBackground) {
        SignatureLook backed = lookOf(*m_form->picture1());
        SignatureRenderer under(backed);
        ink = inkRect(canvas.convertToFormat(under.blankImage().format()), under.blankImage());
    }
    QVERIFY(!ink.isEmpty());
    const QSize screenSize =
        ink.adjusted(-kUsePadding, -kUsePadding, kUsePadding, kUsePadding)
            .intersected(QRect(QPoint(0, 0), canvas.size() / canvas.devicePixelRatio()))
            .size();
    const QSizeF inches(png.width() / kCopyDotsPerInch, png.height() / kCopyDotsPerInch);
    QVERIFY2(std::abs(inches.width() * 96 - screenSize.width()) <= 1.0 &&
                 std::abs(inches.height() * 96 - screenSize.height()) <= 1.0,
             qPrintable(QStringLiteral("%1x%2 in for %3x%4 screen pixels")
                            .arg(inches.width())
                            .arg(inches.height())
                            .arg(screenSize.width())
                            .arg(screenSize.height())));
    if (!withBackground) {
        // Clear outside the ink, inked inside.
        QCOMPARE(qAlpha(png.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(png.pixel(png.width() - 1, png.height() - 1)), 0);
        int opaque = 0;
        for (int y = 0; y < png.height(); ++y) {
            for (int x = 0; x < png.width(); ++x) {
                opaque += qAlpha(png.pixel(x, y)) == 255 ? 1 : 0;
            }
        }
        QVERIFY(opaque > 50);
    }
    const QImage plain = qvariant_cast<QImage>(data->imageData());
    QCOMPARE(plain.size(), png.size());
    QVERIFY(!plain.hasAlphaChannel());
}

void TestSignatureUse::dragAddsAPngFileInAFolderOfItsOwn() {
    design(5, QStringLiteral("a/b"));
    QString file;
    {
        const std::unique_ptr<QMimeData> data = m_form->signatureUse()->dragMimeData();
        QCOMPARE(data->urls().size(), 1);
        file = data->urls().first().toLocalFile();
        QCOMPARE(QFileInfo(file).fileName(), QStringLiteral("a_b.png"));
        QFile png(file);
        QVERIFY(png.open(QIODevice::ReadOnly));
        QCOMPARE(png.readAll(), data->data(QStringLiteral("image/png")));
        const std::unique_ptr<QMimeData> copy =
            signatureMimeData(m_form->signatureUse()->designed());
        QCOMPARE(data->data(QStringLiteral("image/svg+xml")),
                 copy->data(QStringLiteral("image/svg+xml")));
    }
    // The folder goes with the window.
    m_form.reset();
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(!QFileInfo::exists(QFileInfo(file).path()));
}

void TestSignatureUse::exportEqualsInkvaleRender_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<bool>("trim");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("reveal"); // how an animation writes the name

    const QString transparent = QStringLiteral("--transparent");
    const QString dpi = QStringLiteral("--dpi");
    const QString trim = QStringLiteral("--trim");
    const QString four = QString::number(kUsePadding);
    QTest::newRow("transparent png 300 trimmed")
        << 0 << 1 << true << "png"
        << QStringList{transparent, dpi, QStringLiteral("300"), trim, four} << 0;
    QTest::newRow("png 96 whole") << 1 << 0 << false << "png" << QStringList{} << 0;
    QTest::newRow("png 600 trimmed")
        << 1 << 2 << true << "png" << QStringList{dpi, QStringLiteral("600"), trim, four} << 0;
    QTest::newRow("svg trimmed") << 2 << 1 << true << "svg" << QStringList{trim, four} << 0;
    QTest::newRow("pdf whole") << 3 << 1 << false << "pdf" << QStringList{} << 0;
    QTest::newRow("pdf trimmed") << 3 << 2 << true << "pdf" << QStringList{trim, four} << 0;
    // The name being written: the whole canvas, never trimmed, at the chosen resolution.
    const QString animate = QStringLiteral("--animate");
    QTest::newRow("animated gif 96") << 4 << 0 << true << "gif" << QStringList{animate} << 0;
    QTest::newRow("animated webp 300")
        << 5 << 1 << false << "webp" << QStringList{animate, dpi, QStringLiteral("300")} << 0;
    QTest::newRow("animated svg") << 6 << 2 << true << "svg" << QStringList{animate} << 0;
    // Transparent animations and the wipe, as the command line offers them.
    const QString reveal = QStringLiteral("--reveal");
    const QString wipe = QStringLiteral("wipe");
    QTest::newRow("animated gif wiped")
        << 4 << 0 << false << "gif" << QStringList{animate, reveal, wipe} << 1;
    QTest::newRow("transparent animated gif")
        << 7 << 0 << true << "gif" << QStringList{animate, transparent} << 0;
    QTest::newRow("transparent animated webp 300, wiped")
        << 8 << 1 << false << "webp"
        << QStringList{animate, transparent, dpi, QStringLiteral("300"), reveal, wipe} << 1;
    QTest::newRow("animated svg wiped")
        << 6 << 1 << false << "svg" << QStringList{animate, reveal, wipe} << 1;
}

void TestSignatureUse::exportEqualsInkvaleRender() {
    QFETCH(int, filter);
    QFETCH(int, resolution);
    QFETCH(bool, trim);
    QFETCH(QString, extension);
    QFETCH(QStringList, options);
    QFETCH(int, reveal);

    m_platform->colours.push_back(QColor(0x20, 0x40, 0xa0));
    m_form->qmwz_Click();
    m_form->picture1()->setFontSize(36.0F);
    design(12, QStringLiteral("张伟 John"));
    const QString exported = path(QStringLiteral("window.") + extension);
    m_platform->saveAnswers.push_back({exported, filter, resolution, trim, reveal});
    QTest::keyClick(m_form.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_platform->saveQuestions.size(), 1);
    const SaveQuestion& asked = m_platform->saveQuestions.first();
    QCOMPARE(asked.filters.size(), 9);
    QCOMPARE(asked.filters.first(), QStringLiteral("透明背景 PNG (*.png)"));
    QCOMPARE(asked.filters.at(4), QStringLiteral("动态签名 GIF (*.gif)"));
    QCOMPARE(asked.filters.at(7), QStringLiteral("透明背景 动态签名 GIF (*.gif)"));
    QCOMPARE(asked.filters.at(8), QStringLiteral("透明背景 动态签名 WebP (*.webp)"));
    // How the name is written is asked for the animations only.
    QCOMPARE(asked.choiceLabel, QStringLiteral("书写方式:"));
    QCOMPARE(asked.choices,
             (QStringList{QStringLiteral("按笔顺逐笔书写"), QStringLiteral("逐字擦出")}));
    QCOMPARE(asked.choice, 0);
    QCOMPARE(asked.choiceFilters, (QList<int>{4, 5, 6, 7, 8}));
    // The preview plays the name being written for the animated formats: from the blank canvas
    // to the signature as it stands on the canvas.
    QCOMPARE(asked.previewFilters, (QList<int>{4, 5, 6, 7, 8}));
    QCOMPARE(asked.previewName, QStringLiteral("动态签名预览"));
    QVERIFY(asked.previewFrames.size() > 10);
    QVERIFY(asked.previewIntervalMs > 0);
    SignatureLook look = lookOf(*m_form->picture1());
    SignatureRenderer renderer(look);
    QCOMPARE(asked.previewFrames.first(), renderer.blankImage());
    QCOMPARE(asked.previewFrames.last(), renderer.image(12, QStringLiteral("张伟 John")));
    QCOMPARE(asked.switchLabel, QStringLiteral("裁剪到笔迹"));
    QCOMPARE(asked.resolutions,
             (QStringList{QStringLiteral("屏幕 96 dpi"), QStringLiteral("打印 300 dpi"),
                          QStringLiteral("600 dpi")}));
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.first().style, MessageStyle::Information);

    const QString rendered = path(QStringLiteral("render.") + extension);
    const QByteArray out =
        run(kProgram,
            QStringList{QStringLiteral("--style"), QStringLiteral("12"), QStringLiteral("--name"),
                        QStringLiteral("张伟 John"), QStringLiteral("--size"), QStringLiteral("36"),
                        QStringLiteral("--color"), QStringLiteral("#2040a0"), QStringLiteral("-o"),
                        rendered, QStringLiteral("--fonts-from-executable")} +
                options);
    Q_UNUSED(out);
    QFile a(exported);
    QFile b(rendered);
    QVERIFY(a.open(QIODevice::ReadOnly));
    QVERIFY(b.open(QIODevice::ReadOnly));
    const QByteArray window = a.readAll();
    QVERIFY(window.size() > 100);
    QVERIFY2(window == b.readAll(), "the window's file differs from inkvale-render's");
}

void TestSignatureUse::failedExportIsToldAndLeavesNothing() {
    design(2, QStringLiteral("王"));
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("taken.svg")));
    m_platform->saveAnswers.push_back({path(QStringLiteral("missing/x.png")), 0, 1, true});
    m_platform->saveAnswers.push_back({path(QStringLiteral("taken.svg")), 2, 1, true});
    m_form->signatureUse()->exportSignature();
    m_form->signatureUse()->exportSignature();
    QCOMPARE(m_platform->messages.size(), 2);
    for (const FakePlatform::Message& message : std::as_const(m_platform->messages)) {
        QCOMPARE(message.style, MessageStyle::Warning);
        QVERIFY(message.text.startsWith(QStringLiteral("签名图片保存失败!\r\n")));
    }
    QVERIFY(m_platform->messages.at(0).text.contains(QStringLiteral("文件夹不存在")));
    QVERIFY2(m_platform->messages.at(1).text.contains(QStringLiteral("是一个文件夹")),
             qPrintable(m_platform->messages.at(1).text));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("missing"))));
    // A name of blanks leaves no ink to trim to: told, nothing written.
    design(2, QStringLiteral("   "));
    m_platform->saveAnswers.push_back({path(QStringLiteral("blank.png")), 0, 1, true});
    m_form->signatureUse()->exportSignature();
    QVERIFY(m_platform->messages.last().text.contains(QStringLiteral("裁剪到笔迹")));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("blank.png"))));
    // Nothing half-written anywhere: only what the test made.
    QCOMPARE(
        QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("taken.svg")});
}

void TestSignatureUse::exportWithoutMemoryIsToldSo_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("extension");

    QTest::newRow("animated gif") << 4 << "gif";
    QTest::newRow("animated webp") << 5 << "webp";
    QTest::newRow("animated svg") << 6 << "svg";
    QTest::newRow("png, for the same words") << 1 << "png";
}

void TestSignatureUse::exportWithoutMemoryIsToldSo() {
#ifdef INKVALE_SANITIZED
    QSKIP("the address sanitizer ends the process on an allocation that cannot succeed");
#endif
    QFETCH(int, filter);
    QFETCH(QString, extension);
    design(12, QStringLiteral("张伟"));
    const QString target = path(QStringLiteral("a.") + extension);
    m_platform->saveAnswers.push_back({target, filter, 0, false, 0});
    // From now on every drawing finds no room for what the font libraries need, as when memory
    // has run out: the preview and the export each meet it.
    setMemoryHeadroom(std::numeric_limits<qsizetype>::max() / 2);
    const auto restore = qScopeGuard([] { setMemoryHeadroom(0); });
    m_form->signatureUse()->exportSignature();
    QCOMPARE(m_platform->saveQuestions.size(), 1);
    QVERIFY(m_platform->saveQuestions.first().previewFrames.isEmpty());
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.first().style, MessageStyle::Warning);
    QCOMPARE(m_platform->messages.first().text,
             QStringLiteral("签名图片保存失败!\r\n写入“%1”时出错:内存不足")
                 .arg(QDir::toNativeSeparators(target)));
    QVERIFY(!QFileInfo::exists(target));
}

void TestSignatureUse::exportIntoAFolderWithoutPermission() {
    if (geteuid() == 0) {
        QSKIP("root writes anywhere; the unprivileged run checks this");
    }
    design(2, QStringLiteral("王"));
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("locked")));
    const QString locked = path(QStringLiteral("locked"));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    m_platform->saveAnswers.push_back({path(QStringLiteral("locked/x.svg")), 2, 1, true});
    m_form->signatureUse()->exportSignature();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.first().style, MessageStyle::Warning);
    QVERIFY(m_platform->messages.first().text.contains(QStringLiteral("没有权限")));
    QCOMPARE(QDir(locked).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestSignatureUse::exportAndPrintFollowTheRuleForNamedFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("print"); // printed to the file rather than exported
    for (const bool print : {false, true}) {
        for (const QString& kind : test::NamedTargets::kinds()) {
            QTest::addRow("%s, %s", print ? "print" : "export", qPrintable(kind)) << kind << print;
        }
    }
}

void TestSignatureUse::exportAndPrintFollowTheRuleForNamedFiles() {
    QFETCH(QString, kind);
    QFETCH(bool, print);
    const test::NamedTarget target =
        test::NamedTargets(m_folder->path())
            .make(kind, print ? QStringLiteral("out.pdf") : QStringLiteral("out.png"));
    if (!target.skipped.isEmpty()) {
        QSKIP(qPrintable(target.skipped));
    }
    QVERIFY(!target.path.isEmpty());
    design(2, QStringLiteral("王"));
    if (print) {
        m_platform->printFile = target.path;
        m_form->signatureUse()->printSignature();
    } else {
        m_platform->saveAnswers.push_back({target.path, 1, 1, true});
        m_form->signatureUse()->exportSignature();
    }
    if (target.refusal == Cause::None) {
        QVERIFY(test::NamedTargets::bytesOf(target.content).startsWith(print ? "%PDF" : "\x89PNG"));
        QVERIFY(QFileInfo(target.path).isSymLink() == kind.contains(QLatin1String("symbolic")));
        // A print says nothing when it goes well; an export says where the file is.
        QCOMPARE(m_platform->messages.size(), print ? 0 : 1);
        return;
    }
    QVERIFY2(test::NamedTargets::untouched(kind, target), qPrintable(target.path));
    QCOMPARE(m_platform->messages.size(), 1);
    const FakePlatform::Message& told = m_platform->messages.first();
    QCOMPARE(told.style, MessageStyle::Warning);
    QVERIFY2(told.text.startsWith(print ? QStringLiteral("签名打印失败!\r\n")
                                        : QStringLiteral("签名图片保存失败!\r\n")),
             qPrintable(told.text));
    QVERIFY2(told.text.contains(QDir::toNativeSeparators(target.path)), qPrintable(told.text));
    QVERIFY2(told.text.contains(target.refusal == Cause::IsFolder
                                    ? QStringLiteral("文件夹")
                                    : chineseText(Outcome::failed(target.refusal))),
             qPrintable(told.text));
}

void TestSignatureUse::typedExtensionDecidesTheFormat_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("filter"); // as the dialog lists them: 1 is PNG, 3 is PDF
    QTest::addColumn<QByteArray>("start");

    QTest::newRow(".pdf typed, PNG chosen") << "x.pdf" << 1 << QByteArray("%PDF");
    QTest::newRow(".png typed, PDF chosen") << "x.png" << 3 << QByteArray("\x89PNG");
    QTest::newRow(".SVG typed, PNG chosen") << "x.SVG" << 1 << QByteArray("<?xml");
    QTest::newRow(".gif typed, PNG chosen") << "x.gif" << 1 << QByteArray("GIF8");
    QTest::newRow(".webp typed, PDF chosen") << "x.webp" << 3 << QByteArray("RIFF");
    // An extension no format has keeps the chosen format: a name may hold a dot.
    QTest::newRow("unknown extension") << "Wang.Lei" << 3 << QByteArray("%PDF");
    QTest::newRow(".png typed, PNG chosen") << "x.png" << 1 << QByteArray("\x89PNG");
}

void TestSignatureUse::typedExtensionDecidesTheFormat() {
    QFETCH(QString, name);
    QFETCH(int, filter);
    QFETCH(QByteArray, start);
    design(2, QStringLiteral("王"));
    m_platform->saveAnswers.push_back({path(name), filter, 1, true});
    m_form->signatureUse()->exportSignature();
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.first().style, MessageStyle::Information);
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.startsWith(start), bytes.left(16).constData());
}

void TestSignatureUse::failedPrintToAFileIsTold() {
    // Past the file-size limit as on a full disk: the PDF is reported, not left half-written.
    design(0, QStringLiteral("Wang Lei"));
    m_platform->printFile = path(QStringLiteral("printed.pdf"));
    {
        const test::FileSizeLimit limit(1000);
        QVERIFY(limit.applied());
        m_form->signatureUse()->printSignature();
    }
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.first().style, MessageStyle::Warning);
    QVERIFY2(m_platform->messages.first().text.startsWith(QStringLiteral("签名打印失败!\r\n")),
             qPrintable(m_platform->messages.first().text));
    QVERIFY2(m_platform->messages.first().text.contains(
                 chineseText(Outcome::failed(Cause::FileTooLarge))),
             qPrintable(m_platform->messages.first().text));
    QCOMPARE(
        QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList());
}

void TestSignatureUse::printsAtRealSizeToAPdfFile() {
    design(0, QStringLiteral("Wang Lei"));
    m_platform->printFile = path(QStringLiteral("printed.pdf"));
    QTest::keyClick(m_form.get(), Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(m_platform->printedDocuments, QStringList{QStringLiteral("Wang Lei")});
    const QImage page = pageRaster(m_platform->printFile, 96);
    QVERIFY(!page.isNull());
    // At 96 dpi the printed ink is as many pixels as on the canvas.
    const QImage canvas = m_form->picture1()->image();
    SignatureRenderer renderer({});
    const QImage blank = renderer.blankImage();
    const QRect onScreen = inkRect(canvas.convertToFormat(blank.format()), blank);
    QRect printed;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.constScanLine(y)[x] < 128) {
                printed |= QRect(x, y, 1, 1);
            }
        }
    }
    QVERIFY(!printed.isEmpty());
    QVERIFY2(std::abs(printed.width() - onScreen.width()) <= 3 &&
                 std::abs(printed.height() - onScreen.height()) <= 3,
             qPrintable(QStringLiteral("printed %1x%2, on screen %3x%4")
                            .arg(printed.width())
                            .arg(printed.height())
                            .arg(onScreen.width())
                            .arg(onScreen.height())));
}

void TestSignatureUse::systemPrintingWritesAPdfWithNoPrinter() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path(QStringLiteral("system.pdf")));
    printer.setPageSize(QPageSize(QPageSize::A4));
    SignatureLook look;
    look.transparent = true;
    SignatureRenderer renderer(look);
    const VectorPicture picture = cropToInk(renderer.outlines(6, QStringLiteral("周杰")), 4);
    QVERIFY(printOn(
        printer, [&picture](QPagedPaintDevice& pages) { return paintAtRealSize(pages, picture); }));
    QCOMPARE(pageSize(path(QStringLiteral("system.pdf"))), QStringLiteral("595 x 842"));
    const QImage page = pageRaster(path(QStringLiteral("system.pdf")), 48);
    int inked = 0;
    for (int y = 0; y < page.height(); ++y) {
        inked += darkest(page, y, 0, page.width()) < 128 ? 1 : 0;
    }
    QVERIFY(inked > 5);
}

void TestSignatureUse::practiceSheet_data() {
    QTest::addColumn<int>("paper");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("grid");
    QTest::addColumn<int>("tracing");
    QTest::addColumn<int>("traceRows");
    QTest::addColumn<int>("guideRows");
    QTest::addColumn<QString>("size");

    QTest::newRow("A4, defaults") << 0 << 0 << 1 << 0 << 4 << 3 << QStringLiteral("595 x 842");
    QTest::newRow("A5 landscape, 米字格, ink")
        << 1 << 1 << 2 << 1 << 2 << 1 << QStringLiteral("595 x 420");
    QTest::newRow("Letter, no grid, model only")
        << 2 << 0 << 0 << 0 << 0 << 0 << QStringLiteral("612 x 792");
}

void TestSignatureUse::practiceSheet() {
    QFETCH(int, paper);
    QFETCH(int, orientation);
    QFETCH(int, grid);
    QFETCH(int, tracing);
    QFETCH(int, traceRows);
    QFETCH(int, guideRows);
    QFETCH(QString, size);

    design(9, QStringLiteral("陈静"));
    QImage preview;
    m_platform->onModal = [&](QDialog& dialog) {
        auto* sheet = qobject_cast<PracticeSheetDialog*>(&dialog);
        QVERIFY(sheet != nullptr);
        QCOMPARE(sheet->windowTitle(), QStringLiteral("生成练习字帖"));
        for (QWidget* control : std::initializer_list<QWidget*>{
                 sheet->paper(), sheet->orientation(), sheet->grid(), sheet->tracing(),
                 sheet->traceRows(), sheet->guideRows(), sheet->preview()}) {
            QVERIFY(!control->accessibleName().isEmpty());
        }
        const QImage before = sheet->preview()->pixmap().toImage();
        const PracticeSheetLayout defaults = sheet->layout();
        sheet->paper()->setCurrentIndex(paper);
        sheet->orientation()->setCurrentIndex(orientation);
        sheet->grid()->setCurrentIndex(grid);
        sheet->tracing()->setCurrentIndex(tracing);
        sheet->traceRows()->setValue(traceRows);
        sheet->guideRows()->setValue(guideRows);
        preview = sheet->preview()->pixmap().toImage();
        // The preview follows the choices.
        QVERIFY(!preview.isNull());
        QCOMPARE(preview != before, sheet->layout() != defaults);
        dialog.accept();
    };
    const QString file = path(QStringLiteral("sheet.pdf"));
    m_platform->saveAnswers.push_back({file, 0, 0, false});
    m_form->signatureUse()->practiceAction()->trigger();
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.first().style, MessageStyle::Information);

    QCOMPARE(pageSize(file), size);
    // Every text is outlines: no font is carried.
    QCOMPARE(fontsOf(file), QStringList());
    // The preview is the first page.
    const QList<QImage> pages = pageRasters(file, 50);
    QVERIFY(!pages.isEmpty());
    QCOMPARE(preview.width() > preview.height(), pages.first().width() > pages.first().height());
}

void TestSignatureUse::practiceSheetPages_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("paper");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<int>("grid");
    QTest::addColumn<int>("tracing");
    QTest::addColumn<int>("traceRows");
    QTest::addColumn<int>("guideRows");

    const auto red = int(TraceColour::Red);
    const auto ink = int(TraceColour::Ink);
    const auto a4 = int(Paper::A4);
    const auto tian = int(SheetGrid::Tian);
    QTest::newRow("defaults") << QStringLiteral("陈静") << a4 << false << tian << red << 4 << 3;
    QTest::newRow("no trace rows")
        << QStringLiteral("陈静") << a4 << false << tian << red << 0 << 3;
    QTest::newRow("tracing only, ink")
        << QStringLiteral("陈静") << a4 << false << tian << ink << 5 << 0;
    QTest::newRow("12 and 12 rows, A5")
        << QStringLiteral("陈静") << int(Paper::A5) << false << tian << red << 12 << 12;
    QTest::newRow("Letter landscape, 米字格") << QStringLiteral("陈静") << int(Paper::Letter)
                                              << true << int(SheetGrid::Mi) << red << 3 << 2;
    QTest::newRow("no grid") << QStringLiteral("陈静") << a4 << false << int(SheetGrid::None) << red
                             << 4 << 3;
    QTest::newRow("400 characters") << QString(400, QChar(0x9648)) + QStringLiteral("静") << a4
                                    << false << tian << red << 2 << 1;
    QTest::newRow("Latin") << QStringLiteral("Ann Lee") << a4 << false << tian << red << 2 << 1;
}

void TestSignatureUse::practiceSheetPages() {
    QFETCH(QString, name);
    QFETCH(int, paper);
    QFETCH(bool, landscape);
    QFETCH(int, grid);
    QFETCH(int, tracing);
    QFETCH(int, traceRows);
    QFETCH(int, guideRows);

    PracticeSheetLayout layout;
    layout.paper = Paper(paper);
    layout.landscape = landscape;
    layout.grid = SheetGrid(grid);
    layout.tracing = TraceColour(tracing);
    layout.traceRows = traceRows;
    layout.guideRows = guideRows;
    SignatureLook look;
    look.colour = Qt::black;
    const QString file = path(QStringLiteral("sheet.pdf"));
    const QByteArray pdf = practiceSheetPdf(look, 9, name, layout);
    QVERIFY(pdf.startsWith("%PDF"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(pdf);
    }
    QCOMPARE(fontsOf(file), QStringList());

    constexpr int kDpi = 60;
    const QList<QImage> pages = pageRasters(file, kDpi);
    QVERIFY(!pages.isEmpty());
    const qreal pixelsPerMillimetre = kDpi / 25.4;
    int rows = 0;
    int redPixels = 0;
    for (int number = 0; number < pages.size(); ++number) {
        const QImage& page = pages.at(number);
        const QString where = QStringLiteral("page %1").arg(number + 1);
        // Nothing reaches the paper's edge: title, strips and rows stay within the margins.
        const int edge = std::min(page.width(), page.height()) * 3 / 100;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                if (x < edge || y < edge || x >= page.width() - edge || y >= page.height() - edge) {
                    QVERIFY2(qGray(page.pixel(x, y)) > 245,
                             qPrintable(QStringLiteral("%1: ink at %2, %3 by the edge")
                                            .arg(where)
                                            .arg(x)
                                            .arg(y)));
                }
            }
        }
        // Lines that run across the rows: a grid square's top and foot, or a row's baseline.
        const QList<QPair<int, int>> lines = rules(page);
        const int perRow = layout.grid == SheetGrid::None ? 1 : 2;
        QVERIFY2(!lines.isEmpty() && lines.size() % perRow == 0,
                 qPrintable(QStringLiteral("%1: %2 lines").arg(where).arg(lines.size())));
        rows += int(lines.size()) / perRow;
        if (layout.grid != SheetGrid::None) {
            // Each row is a square as high as a hand writes a signature (20 to 25 mm, with
            // room above and below), on every page however many rows there are.
            for (int row = 0; row < lines.size(); row += 2) {
                const qreal millimetres =
                    (lines.at(row + 1).first - lines.at(row).first) / pixelsPerMillimetre;
                QVERIFY2(
                    millimetres > 23 && millimetres < 31,
                    qPrintable(QStringLiteral("%1: a row of %2 mm").arg(where).arg(millimetres)));
            }
        }
        // Red, below the first row's top, is the tracing.
        for (int y = lines.first().first; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QRgb pixel = page.pixel(x, y);
                redPixels +=
                    qRed(pixel) - qGreen(pixel) > 50 && qRed(pixel) - qBlue(pixel) > 50 ? 1 : 0;
            }
        }
    }
    // Every row asked for is there, and every later page starts with the model again.
    QCOMPARE(rows, 1 + traceRows + guideRows + (int(pages.size()) - 1));
    if (layout.tracing == TraceColour::Red && traceRows > 0) {
        QVERIFY2(redPixels > 200, qPrintable(QString::number(redPixels)));
    } else {
        QCOMPARE(redPixels, 0);
    }
}

void TestSignatureUse::gridsDrawTheirLines() {
    SignatureLook look;
    const auto guideRow = [&](SheetGrid grid) {
        PracticeSheetLayout layout;
        layout.grid = grid;
        layout.traceRows = 0;
        layout.guideRows = 1;
        const QString file = path(QStringLiteral("grid.pdf"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)) {
            return QImage();
        }
        out.write(practiceSheetPdf(look, 9, QStringLiteral("陈静"), layout));
        out.close();
        return pageRasters(file, 72).value(0);
    };
    const QImage none = guideRow(SheetGrid::None);
    const QImage tian = guideRow(SheetGrid::Tian);
    const QImage mi = guideRow(SheetGrid::Mi);
    QVERIFY(!none.isNull() && !tian.isNull() && !mi.isNull());
    // The last row, the one with nothing to trace: its square's top and foot.
    const QList<QPair<int, int>> lines = rules(tian);
    QCOMPARE(lines.size(), 4);
    const int top = lines.at(2).second + 2;
    const int foot = lines.at(3).first - 2;
    // Columns inked from the square's top to its foot: the squares' sides.
    const auto sides = [&](const QImage& page) {
        int found = 0;
        for (int x = 0; x < page.width(); ++x) {
            bool whole = true;
            for (int y = top; y < foot && whole; ++y) {
                whole = qGray(page.pixel(x, y)) < 235;
            }
            found += whole ? 1 : 0;
        }
        return found;
    };
    QCOMPARE(sides(none), 0);
    QVERIFY2(sides(tian) >= 5, qPrintable(QString::number(sides(tian))));
    // The diagonals of 米字格: darker than 田字格 on most pixel rows of the square.
    int rowsWithDiagonals = 0;
    for (int y = top; y < foot; ++y) {
        int darker = 0;
        for (int x = 0; x < mi.width(); ++x) {
            darker += qGray(mi.pixel(x, y)) + 20 < qGray(tian.pixel(x, y)) ? 1 : 0;
        }
        rowsWithDiagonals += darker >= 4 ? 1 : 0;
    }
    QVERIFY2(rowsWithDiagonals > (foot - top) * 2 / 3,
             qPrintable(QStringLiteral("%1 of %2").arg(rowsWithDiagonals).arg(foot - top)));
}

void TestSignatureUse::strokeOrderStrips_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("steps"); // a strip per character, its squares

    QTest::newRow("十") << QStringLiteral("十") << QList<int>{2};
    QTest::newRow("张") << QStringLiteral("张") << QList<int>{7};
    QTest::newRow("十口, 十 once") << QStringLiteral("十口十") << QList<int>{2, 3};
    QTest::newRow("Latin: none") << QStringLiteral("Ann") << QList<int>{};
    QTest::newRow("without stroke data: none") << QStringLiteral("𠀀") << QList<int>{};
}

void TestSignatureUse::strokeOrderStrips() {
    QFETCH(QString, name);
    QFETCH(QList<int>, steps);

    const QString file = path(QStringLiteral("strips.pdf"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(practiceSheetPdf(SignatureLook(), 9, name, {}));
    }
    const QImage page = pageRasters(file, 100).value(0);
    QVERIFY(!page.isNull());
    // Above the rows, each step's new stroke in red in a square of its own: count the runs of
    // columns with red, line by line.
    const int rowsTop = rules(page).value(0).first;
    QVERIFY(rowsTop > 0);
    const auto isRed = [&page](int x, int y) {
        const QRgb pixel = page.pixel(x, y);
        return qRed(pixel) - qGreen(pixel) > 60 && qRed(pixel) - qBlue(pixel) > 60;
    };
    const QList<QPair<int, int>> lines = bands(rowsTop, [&](int y) {
        for (int x = 0; x < page.width(); ++x) {
            if (isRed(x, y)) {
                return true;
            }
        }
        return false;
    });
    QList<int> found;
    for (const auto& band : lines) {
        // Named apart: a lambda may not capture a structured binding (clang 14).
        const int first = band.first;
        const int last = band.second;
        found.append(int(bands(page.width(), [&](int x) {
                             for (int y = first; y <= last; ++y) {
                                 if (isRed(x, y)) {
                                     return true;
                                 }
                             }
                             return false;
                         }).size()));
    }
    QCOMPARE(found, steps);
}

void TestSignatureUse::practiceSheetFromTheCommandLineEqualsTheWindows_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<int>>("choices"); // paper, orientation, grid, tracing, rows

    QTest::newRow("defaults") << QStringList() << QList<int>{0, 0, 1, 0, 4, 3};
    QTest::newRow("A5 landscape, 米字格, ink, 12 guide rows")
        << QStringList{QStringLiteral("--paper"),      QStringLiteral("a5-landscape"),
                       QStringLiteral("--grid"),       QStringLiteral("mi"),
                       QStringLiteral("--tracing"),    QStringLiteral("ink"),
                       QStringLiteral("--trace-rows"), QStringLiteral("0"),
                       QStringLiteral("--guide-rows"), QStringLiteral("12")}
        << QList<int>{1, 1, 2, 1, 0, 12};
    QTest::newRow("Letter, no grid, 12 trace rows")
        << QStringList{QStringLiteral("--paper"),      QStringLiteral("letter"),
                       QStringLiteral("--grid"),       QStringLiteral("none"),
                       QStringLiteral("--trace-rows"), QStringLiteral("12"),
                       QStringLiteral("--guide-rows"), QStringLiteral("0")}
        << QList<int>{2, 0, 0, 0, 12, 0};
}

void TestSignatureUse::practiceSheetFromTheCommandLineEqualsTheWindows() {
    QFETCH(QStringList, options);
    QFETCH(QList<int>, choices);

    design(4, QStringLiteral("陈静"));
    m_platform->onModal = [&choices](QDialog& dialog) {
        auto* sheet = qobject_cast<PracticeSheetDialog*>(&dialog);
        QVERIFY(sheet != nullptr);
        sheet->paper()->setCurrentIndex(choices.at(0));
        sheet->orientation()->setCurrentIndex(choices.at(1));
        sheet->grid()->setCurrentIndex(choices.at(2));
        sheet->tracing()->setCurrentIndex(choices.at(3));
        sheet->traceRows()->setValue(choices.at(4));
        sheet->guideRows()->setValue(choices.at(5));
        dialog.accept();
    };
    const QString window = path(QStringLiteral("window.pdf"));
    m_platform->saveAnswers.push_back({window, 0, 0, false});
    m_form->signatureUse()->makePracticeSheet();
    const QString command = path(QStringLiteral("command.pdf"));
    run(kProgram,
        QStringList{QStringLiteral("--style"), QStringLiteral("4"), QStringLiteral("--name"),
                    QStringLiteral("陈静"), QStringLiteral("--practice-sheet"), command,
                    QStringLiteral("--fonts-from-executable")} +
            options);
    // And again: the same bytes at every run.
    const QString again = path(QStringLiteral("again.pdf"));
    run(kProgram,
        QStringList{QStringLiteral("--style"), QStringLiteral("4"), QStringLiteral("--name"),
                    QStringLiteral("陈静"), QStringLiteral("--practice-sheet"), again,
                    QStringLiteral("--fonts-from-executable")} +
            options);
    QFile a(window);
    QFile b(command);
    QFile c(again);
    QVERIFY(a.open(QIODevice::ReadOnly));
    QVERIFY(b.open(QIODevice::ReadOnly));
    QVERIFY(c.open(QIODevice::ReadOnly));
    const QByteArray fromWindow = a.readAll();
    QVERIFY(fromWindow.startsWith("%PDF"));
    const QByteArray fromCommand = b.readAll();
    QVERIFY(fromWindow == fromCommand);
    QVERIFY(c.readAll() == fromCommand);
}

QTEST_MAIN(TestSignatureUse)
#include "tst_signatureuse.moc"

void TestSignatureUse::handSignatureWindowFromTheMenuAndItsShortcut() {
    SignatureUse* use = m_form->signatureUse();
    QVERIFY(m_form->actions().contains(use->handAction()));
    QVERIFY(use->menu()->actions().contains(use->handAction()));
    // The pad needs no designed signature; without one there is nothing to trace.
    QVERIFY(use->handAction()->isEnabled());
    QTest::keyClick(m_form.get(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QPointer<PadWindow> window = use->padWindow();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("手写签名"));
    QVERIFY(window->tracingPad().model().isNull());
    window->close();
    QTRY_VERIFY(window.isNull());

    design(0, QStringLiteral("张伟"));
    use->handAction()->trigger();
    window = use->padWindow();
    QVERIFY(window != nullptr);
    const QImage model = window->tracingPad().model();
    QVERIFY(!model.isNull());
    // Shown twice the canvas's size, and the pad as large as the model.
    QCOMPARE(model.size(), (SignatureSurface::kDesignedOuterPixels - QSize(4, 4)) * 2);
    QCOMPARE(window->tracingPad().size(), model.size());
    // A second trigger brings the same window to the front.
    use->handAction()->trigger();
    QCOMPARE(use->padWindow(), window.data());
    window->close();

    // The stroke data know both characters: tracing the medians in order is right, and
    // backwards every stroke whose ends lie apart is flagged.
    const TracingModel traced =
        tracingModel(use->designed().look, 0, QStringLiteral("张伟"), kTracingScale);
    QVERIFY(traced.medians.size() >= 13);
    TraceScore forwards;
    compareStrokeOrder(traced.medians, traced.medians, traced.tolerance, forwards);
    QVERIFY(forwards.wrongStrokes.empty());
    std::vector<QPolygonF> backwards;
    for (const QPolygonF& median : traced.medians) {
        backwards.push_back(QPolygonF(QList<QPointF>(median.crbegin(), median.crend())));
    }
    TraceScore reversed;
    compareStrokeOrder(traced.medians, backwards, traced.tolerance, reversed);
    QCOMPARE(reversed.wrongStrokes.size(), traced.medians.size());
}
