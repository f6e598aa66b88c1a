// Using a designed signature elsewhere: the menu and shortcuts beside "保存签名", the clipboard,
// the drag, export against inkvale-render's bytes, printing to a PDF file and the practice
// sheet, read back through poppler's own tools.

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
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

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
    void copyGivesTransparentTrimmedPngSvgAndImage_data();
    void copyGivesTransparentTrimmedPngSvgAndImage();
    void dragAddsAPngFileInAFolderOfItsOwn();
    void exportEqualsInkvaleRender_data();
    void exportEqualsInkvaleRender();
    void failedExportIsToldAndLeavesNothing();
    void exportIntoAFolderWithoutPermission();
    void exportAndPrintFollowTheRuleForNamedFiles_data();
    void exportAndPrintFollowTheRuleForNamedFiles();
    void typedExtensionDecidesTheFormat_data();
    void typedExtensionDecidesTheFormat();
    void failedPrintToAFileIsTold();
    void printsAtRealSizeToAPdfFile();
    void systemPrintingWritesAPdfWithNoPrinter();
    void practiceSheet_data();
    void practiceSheet();
    void practiceSheetFromTheCommandLineEqualsTheWindows();
    void handSignatureWindowFromTheMenuAndItsShortcut();

private:
    void design(int slot, const QString& name);
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
    const QList<QAction*> actions{use->copyAction(), use->exportAction(), use->printAction(),
                                  use->practiceAction()};
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
    QCOMPARE(names, (QStringList{QStringLiteral("复制签名"), QStringLiteral("导出签名…"),
                                 QStringLiteral("打印签名…"), QStringLiteral("生成练习字帖…"),
                                 QStringLiteral("手写签名…")}));
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
    QTest::addColumn<int>("traceRows");
    QTest::addColumn<int>("guideRows");
    QTest::addColumn<QString>("size");

    QTest::newRow("A4, defaults") << 0 << 4 << 3 << QStringLiteral("595 x 842");
    QTest::newRow("Letter, many") << 1 << 7 << 5 << QStringLiteral("612 x 792");
    QTest::newRow("A4, model only") << 0 << 0 << 0 << QStringLiteral("595 x 842");
}

void TestSignatureUse::practiceSheet() {
    QFETCH(int, paper);
    QFETCH(int, traceRows);
    QFETCH(int, guideRows);
    QFETCH(QString, size);

    design(9, QStringLiteral("陈静"));
    m_platform->onModal = [&](QDialog& dialog) {
        auto* sheet = qobject_cast<PracticeSheetDialog*>(&dialog);
        QVERIFY(sheet != nullptr);
        QCOMPARE(sheet->windowTitle(), QStringLiteral("生成练习字帖"));
        sheet->paper()->setCurrentIndex(paper);
        sheet->traceRows()->setValue(traceRows);
        sheet->guideRows()->setValue(guideRows);
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

    const QImage page = pageRaster(file, 50);
    QVERIFY(!page.isNull());
    // Guides run across the whole writing width; signatures only on its left. A picture row
    // whose right quarter is marked belongs to a guide line.
    const int w = page.width();
    const auto guide = [&](int y) {
        return darkest(page, y, w * 3 / 4, w * 7 / 8) < 240;
    };
    const QList<QPair<int, int>> guides = bands(page.height(), guide);
    QCOMPARE(guides.size(), 2 * (1 + traceRows + guideRows));
    // The ink between each row's two guides: full on the model row, fainter row by row, none
    // on the guide rows.
    QList<int> shades;
    for (int row = 0; row + 1 < guides.size(); row += 2) {
        int shade = 255;
        for (int y = guides.at(row).second + 1; y < guides.at(row + 1).first; ++y) {
            shade = std::min(shade, darkest(page, y, w / 12, w * 2 / 3));
        }
        shades.append(shade);
    }
    QVERIFY2(shades.first() < 60, qPrintable(QString::number(shades.first())));
    for (int row = 1; row <= traceRows; ++row) {
        QVERIFY2(shades.at(row) > shades.at(row - 1) && shades.at(row) < 250,
                 qPrintable(QStringLiteral("row %1 shade %2 after %3")
                                .arg(row)
                                .arg(shades.at(row))
                                .arg(shades.at(row - 1))));
    }
    for (int row = 1 + traceRows; row < shades.size(); ++row) {
        QVERIFY2(shades.at(row) >= 245, qPrintable(QString::number(shades.at(row))));
    }
    // The title above the rows.
    int titleInk = 255;
    for (int y = 0; y < guides.first().first - 2; ++y) {
        titleInk = std::min(titleInk, darkest(page, y, 0, w));
    }
    QVERIFY(titleInk < 100);
}

void TestSignatureUse::practiceSheetFromTheCommandLineEqualsTheWindows() {
    design(4, QStringLiteral("陈静"));
    m_platform->onModal = [](QDialog& dialog) {
        dialog.accept();
    };
    const QString window = path(QStringLiteral("window.pdf"));
    m_platform->saveAnswers.push_back({window, 0, 0, false});
    m_form->signatureUse()->makePracticeSheet();
    const QString command = path(QStringLiteral("command.pdf"));
    run(kProgram, {QStringLiteral("--style"), QStringLiteral("4"), QStringLiteral("--name"),
                   QStringLiteral("陈静"), QStringLiteral("--practice-sheet"), command,
                   QStringLiteral("--fonts-from-executable")});
    QFile a(window);
    QFile b(command);
    QVERIFY(a.open(QIODevice::ReadOnly));
    QVERIFY(b.open(QIODevice::ReadOnly));
    const QByteArray fromWindow = a.readAll();
    QVERIFY(fromWindow.startsWith("%PDF"));
    QVERIFY(fromWindow == b.readAll());
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
