#include "core/SignatureSurface.h"
#include "designer/Form1.h"
#include "designer/StatusLine.h"
#include "platform/SystemPlatform.h"
#include "sizedialog/Form3.h"
#include "startup/InterfaceLanguage.h"
#include "support/FakePlatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

// Every text of every control shows whole: run once per scale factor (QT_SCALE_FACTOR).

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

/// The text a control shows of its own, or nothing.
QString ownText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->pixmap().isNull() ? label->text() : QString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        return box->title();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    return {};
}

/// How much red ink an image holds: the text is drawn pure red on white for the count.
qint64 inkIn(const QImage& image, QRect* bounds) {
    qint64 ink = 0;
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int weight =
                std::min(qRed(line[x]) - qGreen(line[x]), qRed(line[x]) - qBlue(line[x]));
            if (weight > 32) {
                ink += weight;
                found |= QRect(x, y, 1, 1);
            }
        }
    }
    if (bounds != nullptr) {
        *bounds = found;
    }
    return ink;
}

/// The control alone (no children, no background) in `size`, its text red on white.
QImage drawnAlone(QWidget* widget, QSize size) {
    const qreal ratio = widget->devicePixelRatioF();
    QImage image((QSizeF(size) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    widget->render(&image, QPoint(), QRegion(QRect(QPoint(), size)), QWidget::RenderFlags());
    return image;
}

/// Why the text of `widget` does not show whole, or nothing when it does: the ink of its text
/// drawn in its own box must be all the ink it has in a much larger box, and lie within what
/// every control around it shows.
QString cutText(QWidget* widget) {
    const QString text = ownText(widget);
    if (text.trimmed().isEmpty()) {
        return {};
    }
    const QPalette saved = widget->palette();
    QPalette red = saved;
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text,
                            QPalette::PlaceholderText, QPalette::BrightText}) {
        red.setColor(role, Qt::red);
    }
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        red.setColor(role, Qt::white);
    }
    widget->setPalette(red);

    QRect inkBounds;
    const QSize size = widget->size();
    const qint64 inBox = inkIn(drawnAlone(widget, size), &inkBounds);

    constexpr int kRoom = 24;
    const QSize minimum = widget->minimumSize();
    const QSize maximum = widget->maximumSize();
    widget->setMinimumSize(0, 0);
    widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QSize larger = size + QSize(2 * kRoom, 2 * kRoom);
    widget->resize(larger);
    const qint64 unbounded = inkIn(drawnAlone(widget, larger), nullptr);
    widget->resize(size);
    widget->setMinimumSize(minimum);
    widget->setMaximumSize(maximum);
    widget->setPalette(saved);

    const QString who =
        QStringLiteral("%1 %2 \"%3\"")
            .arg(QLatin1String(widget->metaObject()->className()), widget->objectName(), text);
    if (unbounded == 0) {
        return {};
    }
    // A pixel's worth of anti-aliasing either way is no cut.
    if (inBox * 100 < unbounded * 99 - 2 * 255 * 100) {
        return who + QStringLiteral(": %1% of its ink shows").arg(inBox * 100 / unbounded);
    }
    // Within what each control around it shows.
    const qreal ratio = widget->devicePixelRatioF();
    const QRectF logical(inkBounds.x() / ratio, inkBounds.y() / ratio, inkBounds.width() / ratio,
                         inkBounds.height() / ratio);
    for (QWidget* around = widget->parentWidget(); around != nullptr && !widget->isWindow();
         around = around->parentWidget()) {
        const QRectF there = logical.translated(widget->mapTo(around, QPoint()));
        if (!QRectF(around->rect()).adjusted(-0.5, -0.5, 0.5, 0.5).contains(there)) {
            return who + QStringLiteral(": sticks out of %1").arg(around->objectName());
        }
        if (around->isWindow()) {
            break;
        }
    }
    return {};
}

/// Every shown control of `window` whose text does not show whole.
QStringList cutTexts(QWidget* window) {
    QStringList cut;
    QList<QWidget*> controls = window->findChildren<QWidget*>();
    controls.prepend(window);
    for (QWidget* control : controls) {
        if (control->isVisible()) {
            const QString why = cutText(control);
            if (!why.isEmpty()) {
                cut.append(why);
            }
        }
    }
    return cut;
}

/// The program's skin on the whole application while it lives, when `on`, in the colours the
/// ink count reads.
class Skinned final {
public:
    explicit Skinned(bool on) {
        if (!on) {
            return;
        }
        QFile file(QStringLiteral(INKVALE_SKIN_FILE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith(".SHE"));
        // Its geometry as it is, its colours for the count: text red, everything else white.
        QString sheet = QString::fromUtf8(bytes.mid(4));
        sheet.replace(QRegularExpression(QStringLiteral(R"((^|[^-\w])color\s*:\s*#[0-9a-fA-F]+)")),
                      QStringLiteral("\\1color: #ff0000"));
        sheet.replace(QRegularExpression(QStringLiteral("#(?!ff0000)[0-9a-fA-F]{6}\\b")),
                      QStringLiteral("#ffffff"));
        qApp->setStyleSheet(sheet);
    }
    ~Skinned() { qApp->setStyleSheet({}); }
    Skinned(const Skinned&) = delete;
    Skinned& operator=(const Skinned&) = delete;
};

} // namespace

class TestTextFits final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void mainWindow_data();
    void mainWindow();
    void sizeDialog();
    void messageBoxes_data();
    void messageBoxes();
    void qtDialogs_data();
    void qtDialogs();
    void fileDialogDetails_data();
    void fileDialogDetails();
};

void TestTextFits::initTestCase() {
    // Qt's own texts in Chinese, as the program has them.
    QVERIFY(installChineseQtTexts(*qApp));
}

void TestTextFits::mainWindow_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("skinned");
    QTest::newRow("page 1") << 1 << false;
    QTest::newRow("page 2") << 2 << false;
    // With the program's own skin, whose borders and padding change every box's room.
    QTest::newRow("page 1, skinned") << 1 << true;
    QTest::newRow("page 2, skinned") << 2 << true;
}

void TestTextFits::mainWindow() {
    QFETCH(int, page);
    QFETCH(bool, skinned);
    const Skinned skin(skinned);
    FakePlatform platform;
    Form1 form(platform);
    form.loadAndShow();
    form.timer3()->stop();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.text1()->setEnabled(true);
    form.text1()->setText(QStringLiteral("张伟 Jiggly"));
    form.s1()->setPanelText(2, QStringLiteral("检测更新失败!请您稍后再试,暂时使用原版"));
    if (page == 2) {
        form.Command6_Click();
    }
    const QStringList cut = cutTexts(&form);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
}

void TestTextFits::sizeDialog() {
    FakePlatform platform;
    SignatureSurface canvas;
    Form3 dialog(platform, canvas);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QStringList cut = cutTexts(&dialog);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
}

void TestTextFits::messageBoxes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<MessageStyle>("style");

    QTest::newRow("advice") << QStringLiteral("建议选择规格为:340*95的图片!")
                            << MessageStyle::Information;
    QTest::newRow("missing fonts")
        << QStringLiteral("字体缺失,如果您是首次使用请将Fonts文件夹下的字体\r\n \r\n"
                          "完整复制到字体文件夹中,重启程序即可!现在为您打开相关文件夹!")
        << MessageStyle::Information;
    QTest::newRow("exit question")
        << QStringLiteral("感谢您对Zanvi、对Kelda系列的软件的支持!\r \r"
                          "是否退出并到论坛可以下载更多Zanvi的原创免费软件?")
        << MessageStyle::InformationYesNoCancel;
    QTest::newRow("update question")
        << QStringLiteral("您当前使用的为旧版软件!\r\n \r\n最新版本为:【Ｋelda.系列软件のInkvale "
                          "Sp3】是否更新?")
        << MessageStyle::InformationYesNo;
    QTest::newRow("a long path")
        << QStringLiteral("签名背景图片设置失败!\r\n所选的“/home/ann/图片/very/long/folder/name/"
                          "that/goes/on/and/on/背景.jpg”不是普通文件(而是管道、设备或套接字),"
                          "不能用作图片。")
        << MessageStyle::Warning;
}

void TestTextFits::messageBoxes() {
    QFETCH(QString, text);
    QFETCH(MessageStyle, style);
    SystemPlatform platform;
    QStringList cut{QStringLiteral("no box showed")};
    QTimer::singleShot(300, this, [&cut] {
        QWidget* box = QApplication::activeModalWidget();
        if (box != nullptr) {
            cut = cutTexts(box);
            box->close();
        }
    });
    platform.showMessage(nullptr, text, style);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
}

void TestTextFits::qtDialogs_data() {
    QTest::addColumn<QString>("dialog");
    QTest::newRow("colour") << "colour";
    QTest::newRow("open file") << "open file";
}

void TestTextFits::qtDialogs() {
    QFETCH(QString, dialog);
    SystemPlatform platform;
    QStringList cut{QStringLiteral("no dialog showed")};
    QTimer::singleShot(500, this, [&cut] {
        QWidget* shown = QApplication::activeModalWidget();
        if (shown != nullptr) {
            cut = cutTexts(shown);
            shown->close();
        }
    });
    if (dialog == QLatin1String("colour")) {
        (void)platform.chooseColour(nullptr);
    } else {
        (void)platform.chooseFileToOpen(nullptr, QStringLiteral("图片文件(*.jpg)"),
                                        QStringLiteral("*.jpg"));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
}

void TestTextFits::fileDialogDetails_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("open") << false;
    QTest::newRow("save") << true;
}

void TestTextFits::fileDialogDetails() {
    // The detail view of the open-file and save-file dialogs: its columns in Chinese, whatever
    // the system's locale, each wide enough for its heading and its texts.
    QFETCH(bool, save);
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("背景.jpg"));
    {
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(QByteArray(93 * 1024 + 17, 'j')) > 0);
    }
    SystemPlatform platform;
    QStringList headings;
    QStringList texts;
    QStringList narrow{QStringLiteral("no dialog showed")};
    QTimer::singleShot(300, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        dialog->setViewMode(QFileDialog::Detail);
        dialog->setDirectory(folder.path());
        auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        QModelIndex row;
        for (int wait = 0; wait < 100 && details != nullptr && !row.isValid(); ++wait) {
            QTest::qWait(50);
            const QModelIndexList found = details->model()->match(
                details->model()->index(0, 0, details->rootIndex()), Qt::DisplayRole,
                QStringLiteral("背景.jpg"), 1, Qt::MatchExactly);
            row = found.isEmpty() ? QModelIndex() : found.first();
        }
        narrow.clear();
        if (!row.isValid()) {
            narrow.append(QStringLiteral("the picture is not listed"));
        } else {
            QTest::qWait(100);
            const QFontMetrics metrics(details->font());
            const QFontMetrics headingMetrics(details->header()->font());
            for (int column = 0; column < 4; ++column) {
                const QString heading =
                    details->model()->headerData(column, Qt::Horizontal).toString();
                const QString text =
                    details->model()->index(row.row(), column, row.parent()).data().toString();
                headings.append(heading);
                texts.append(text);
                if (column > 0 && details->columnWidth(column) <
                                      std::max(metrics.horizontalAdvance(text),
                                               headingMetrics.horizontalAdvance(heading))) {
                    narrow.append(heading + QStringLiteral(": ") + text);
                }
            }
        }
        dialog->reject();
    });
    if (save) {
        SaveQuestion question;
        question.folder = folder.path();
        question.suggestedName = QStringLiteral("签名");
        question.filters = QStringList{QStringLiteral("JPG (*.jpg)")};
        (void)platform.chooseFileToSave(nullptr, question);
    } else {
        (void)platform.chooseFileToOpen(nullptr, QStringLiteral("图片文件(*.jpg)"),
                                        QStringLiteral("*.jpg"));
    }
    QVERIFY2(narrow.isEmpty(), qPrintable(narrow.join(u'\n')));
    QCOMPARE(headings, (QStringList{QStringLiteral("名称"), QStringLiteral("大小"),
                                    QStringLiteral("类型"), QStringLiteral("修改日期")}));
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QCOMPARE(texts.at(1),
             chinese.formattedDataSize(93 * 1024 + 17, 1, QLocale::DataSizeTraditionalFormat));
    QCOMPARE(texts.at(2), QStringLiteral("JPG 文件"));
    QCOMPARE(texts.at(3),
             chinese.toString(QFileInfo(picture).lastModified(), QLocale::ShortFormat));
    // Written the Chinese way: no English month or unit.
    for (const QString& text : {texts.at(1), texts.at(3)}) {
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,}"))),
                 qPrintable(text));
    }
}

QTEST_MAIN(TestTextFits)
#include "tst_textfits.moc"
