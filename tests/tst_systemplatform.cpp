#include "online/UpdateCheck.h"
#include "platform/SystemPlatform.h"
#include "startup/InterfaceLanguage.h"
#include "support/NamedTargets.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <fcntl.h>
#include <memory>
#include <thread>

using namespace inkvale;

class TestSystemPlatform final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void lineBreaks_data();
    void lineBreaks();
    void breakableRuns_data();
    void breakableRuns();
    void messageBox_data();
    void messageBox();
    void pathCopiedFromABoxIsTheRealOne();
    void updateQuestionFitsOnTheScreen_data();
    void updateQuestionFitsOnTheScreen();
    void heldWorkWaitsForTheOpenBox();
    void messageBoxPlacement_data();
    void messageBoxPlacement();
    void colourDialogSpeaksChinese();
    void fileDialogSpeaksChinese();
    void saveDialogOffersOnlyWhatAppliesToTheFormat();
    void textBoxMenuSpeaksChinese();
    void shellGetsTheTargetAsOneArgument_data();
    void shellGetsTheTargetAsOneArgument();
    void shellWithoutOpener();
    void programFolderIsTheExecutablesFolder();
    void printingToAFileFollowsTheRuleForNamedFiles_data();
    void printingToAFileFollowsTheRuleForNamedFiles();

private:
    QString m_savedPath = qEnvironmentVariable("PATH");
};

namespace {

/// Runs `open` and, from inside the modal window it shows, hands the window to `inspect`; then
/// closes it with Escape, as a user would. Fails when no modal window comes up.
template <typename Open, typename Inspect>
void whileModal(QObject* context, Open open, Inspect inspect) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, context, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        poll.stop();
        seen = true;
        inspect(modal);
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    poll.start();
    QTimer guard; // never leave a window open if the poll misses it
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, context, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    guard.start(5000);
    open();
    QVERIFY(seen);
}

/// Every text a person reads on `window`: its title, its visible labels and buttons.
QStringList visibleTexts(QWidget* window) {
    QStringList texts{window->windowTitle()};
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->isVisible() && !label->text().trimmed().isEmpty()) {
            texts.append(label->text());
        }
    }
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && !button->text().isEmpty()) {
            texts.append(button->text());
        }
    }
    return texts;
}

/// True when `text` reads as Chinese: it holds CJK characters, and Latin letters only in a
/// mnemonic such as "(&B)".
bool readsChinese(QString text) {
    static const QRegularExpression mnemonic(QStringLiteral("\\(&[A-Za-z]\\)"));
    text.remove(mnemonic);
    bool cjk = false;
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) {
            cjk = true;
        } else if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                   (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))) {
            return false;
        }
    }
    return cjk;
}

} // namespace

void TestSystemPlatform::initTestCase() {
    // The program installs the translation before its first window, whatever the locale.
    QVERIFY(installChineseQtTexts(*qApp));
}

void TestSystemPlatform::lineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("CR LF") << "a\r\n \r\nb"
                           << "a\n \nb";
    QTest::newRow("lone CR") << "a\r \rb"
                             << "a\n \nb";
    QTest::newRow("LF kept") << "a\nb"
                             << "a\nb";
    QTest::newRow("LF CR is two breaks") << "a\n\rb"
                                         << "a\n\nb";
    QTest::newRow("none") << "没有下一页咯!"
                          << "没有下一页咯!";
}

void TestSystemPlatform::lineBreaks() {
    QFETCH(QString, text);
    QTEST(normaliseLineBreaks(text), "expected");
}

void TestSystemPlatform::breakableRuns_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    const QString x60(60, QLatin1Char('x'));
    const QString zw(QChar(0x200B));
    QTest::newRow("short") << "没有下一页咯!"
                           << "没有下一页咯!";
    QTest::newRow("60 in a run") << x60 << x60;
    QTest::newRow("61 in a run") << x60 + "y" << x60 + zw + "y";
    QTest::newRow("spaces restart the count") << x60 + " " + x60 << x60 + " " + x60;
    QTest::newRow("line breaks restart the count") << x60 + "\n" + x60 << x60 + "\n" + x60;
    QTest::newRow("150 in a run") << QString(150, QLatin1Char('x'))
                                  << x60 + zw + x60 + zw + QString(30, QLatin1Char('x'));
    // Where a line may break already nothing is added: a path copied from the box must be the
    // file's real name.
    const QString pictures = QStringLiteral("/home/someone-with-a-long-name/图片/Inkvale签名图片/"
                                            "二〇二六年十二月的签名/signature-2026-12-11.png");
    QTest::newRow("a path after Chinese text")
        << QStringLiteral("签名图片已保存在文件夹“%1”中!名称:%2")
               .arg(pictures, QStringLiteral("20261211083000.png"))
        << QStringLiteral("签名图片已保存在文件夹“%1”中!名称:%2")
               .arg(pictures, QStringLiteral("20261211083000.png"));
    QTest::newRow("Chinese without blanks")
        << QString(100, QChar(0x5199)) << QString(100, QChar(0x5199));
    QTest::newRow("a long word after Chinese counts from where it starts")
        << QStringLiteral("文件夹") + x60 + "y" << QStringLiteral("文件夹") + x60 + zw + "y";
    QTest::newRow("no break inside a surrogate pair")
        << QString(59, QLatin1Char('x')) + QStringLiteral("😀")
        << QString(59, QLatin1Char('x')) + QStringLiteral("😀");
}

void TestSystemPlatform::breakableRuns() {
    QFETCH(QString, text);
    QTEST(inkvale::breakableRuns(text), "expected");
}

void TestSystemPlatform::messageBox_data() {
    QTest::addColumn<MessageStyle>("style");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("press"); // a standard button, or 0 for Escape
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<QStringList>("captions"); // of its buttons, in the order OK, Yes, No, Cancel

    const int ok = QMessageBox::Ok;
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    const int yesNoCancel = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    // As Qt's Chinese translation gives them, mnemonics included.
    const QStringList yesNoCaptions{"是(&Y)", "否(&N)"};
    const QStringList yesNoCancelCaptions{"是(&Y)", "否(&N)", "取消"};
    QTest::newRow("64 OK") << MessageStyle::Information << int(QMessageBox::Information) << ok << ok
                           << MessageAnswer::Ok << QStringList{"确定"};
    QTest::newRow("48 OK") << MessageStyle::Warning << int(QMessageBox::Warning) << ok << ok
                           << MessageAnswer::Ok << QStringList{"确定"};
    QTest::newRow("68 Yes") << MessageStyle::InformationYesNo << int(QMessageBox::Information)
                            << yesNo << int(QMessageBox::Yes) << MessageAnswer::Yes
                            << yesNoCaptions;
    QTest::newRow("68 No") << MessageStyle::InformationYesNo << int(QMessageBox::Information)
                           << yesNo << int(QMessageBox::No) << MessageAnswer::No << yesNoCaptions;
    QTest::newRow("67 Yes") << MessageStyle::InformationYesNoCancel << int(QMessageBox::Information)
                            << yesNoCancel << int(QMessageBox::Yes) << MessageAnswer::Yes
                            << yesNoCancelCaptions;
    QTest::newRow("67 No") << MessageStyle::InformationYesNoCancel << int(QMessageBox::Information)
                           << yesNoCancel << int(QMessageBox::No) << MessageAnswer::No
                           << yesNoCancelCaptions;
    QTest::newRow("67 Cancel") << MessageStyle::InformationYesNoCancel
                               << int(QMessageBox::Information) << yesNoCancel
                               << int(QMessageBox::Cancel) << MessageAnswer::Cancel
                               << yesNoCancelCaptions;
    QTest::newRow("67 closed") << MessageStyle::InformationYesNoCancel
                               << int(QMessageBox::Information) << yesNoCancel << 0
                               << MessageAnswer::Cancel << yesNoCancelCaptions;
}

void TestSystemPlatform::messageBox() {
    QFETCH(MessageStyle, style);
    QFETCH(int, press);

    // Answer the box from the event loop it runs, as a user would.
    struct Seen {
        bool found = false;
        QString title;
        QString text;
        int icon = 0;
        int buttons = 0;
        QStringList captions;
    } seen;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        poll.stop();
        seen = {
            true, box->windowTitle(), box->text(), int(box->icon()), int(box->standardButtons()),
            {}};
        for (const auto button :
             {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
            if (QAbstractButton* shown = box->button(button)) {
                seen.captions.append(shown->text());
            }
        }
        if (press == 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(QMessageBox::StandardButton(press))->click();
        }
    });
    poll.start();
    QTimer guard; // never leave a box open if the poll misses it
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, this, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
        }
    });
    guard.start(5000);

    SystemPlatform platform;
    const MessageAnswer answer =
        platform.showMessage(nullptr, QStringLiteral("第一行\r\n \r\n第三行"), style);
    QVERIFY(seen.found);
    QCOMPARE(seen.title, QStringLiteral("OrvekZanvi提示"));
    QCOMPARE(seen.text, QStringLiteral("第一行\n \n第三行"));
    QTEST(seen.icon, "icon");
    QTEST(seen.buttons, "buttons");
    QTEST(answer, "answer");
    QTEST(seen.captions, "captions");
}

void TestSystemPlatform::pathCopiedFromABoxIsTheRealOne() {
    // The installed copy's save message, in a pictures folder deep enough for a line longer than
    // the box: what a user selects and copies is the folder and the name as they are.
    const QString text = QStringLiteral("签名图片已保存在文件夹“%1”中!名称:%2")
                             .arg(QStringLiteral("/home/someone-with-a-long-name/图片/Inkvale"),
                                  QStringLiteral("20261211083000.png"));
    QString shown;
    QString selected;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        poll.stop();
        shown = box->text();
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            label->setSelection(0, int(label->text().size()));
            selected = label->selectedText();
        }
        box->accept();
    });
    poll.start();
    QTimer guard; // never leave a box open if the poll misses it
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, this, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
        }
    });
    guard.start(5000);
    SystemPlatform platform;
    platform.showMessage(nullptr, text, MessageStyle::Information);
    QCOMPARE(shown, text);
    QCOMPARE(selected, text);
}

void TestSystemPlatform::messageBoxPlacement_data() {
    QTest::addColumn<int>("owner"); // 0 none, 1 never shown, 2 shown away from the centre

    QTest::newRow("no owner") << 0;
    QTest::newRow("owner not shown yet") << 1;
    QTest::newRow("owner shown") << 2;
}

void TestSystemPlatform::messageBoxPlacement() {
    QFETCH(int, owner);
    QWidget window;
    window.resize(400, 300);
    window.move(10, 10);
    if (owner == 2) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    QPoint centre;
    QPoint expected = QGuiApplication::primaryScreen()->availableGeometry().center();
    if (owner == 2) {
        expected = window.frameGeometry().center();
    }
    whileModal(
        this,
        [&] {
            SystemPlatform platform;
            platform.showMessage(owner == 0 ? nullptr : &window,
                                 QStringLiteral("字体缺失\r\n \r\n现在为您打开相关文件夹!"),
                                 MessageStyle::Information);
        },
        [&](QWidget* box) { centre = box->frameGeometry().center(); });
    QVERIFY2((centre - expected).manhattanLength() <= 4,
             qPrintable(QStringLiteral("box centred at %1,%2, expected %3,%4")
                            .arg(centre.x())
                            .arg(centre.y())
                            .arg(expected.x())
                            .arg(expected.y())));
}

void TestSystemPlatform::colourDialogSpeaksChinese() {
    QStringList texts;
    QStringList buttons;
    std::optional<QColor> chosen = Qt::red;
    whileModal(
        this, [&] { chosen = SystemPlatform().chooseColour(nullptr); },
        [&](QWidget* dialog) {
            QVERIFY(qobject_cast<QColorDialog*>(dialog));
            texts = visibleTexts(dialog);
            for (const QAbstractButton* button :
                 dialog->findChild<QDialogButtonBox*>()->buttons()) {
                buttons.append(button->text());
            }
        });
    QVERIFY(!chosen); // Escape cancels
    QVERIFY2(texts.contains(QStringLiteral("基本颜色(&B)")), qPrintable(texts.join(u'|')));
    QVERIFY2(texts.contains(QStringLiteral("自定义颜色(&C)")), qPrintable(texts.join(u'|')));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("取消"), QStringLiteral("确定")}));
    for (const QString& text : texts) {
        // The hexadecimal colour field keeps its technical name.
        if (text != QStringLiteral("HTML(&H)：")) {
            QVERIFY2(readsChinese(text), qPrintable(text));
        }
    }
}

void TestSystemPlatform::fileDialogSpeaksChinese() {
    QStringList texts;
    QString filter;
    QString kind;
    std::optional<QString> chosen = QStringLiteral("x");
    whileModal(
        this,
        [&] {
            chosen = SystemPlatform().chooseFileToOpen(nullptr, QStringLiteral("图片文件(*.jpg)"),
                                                       QStringLiteral("*.jpg"));
        },
        [&](QWidget* dialog) {
            QVERIFY(qobject_cast<QFileDialog*>(dialog));
            texts = visibleTexts(dialog);
            filter = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
            // The listing names the kind of each entry: a folder is a 文件夹.
            auto* model = dialog->findChild<QFileSystemModel*>();
            QVERIFY(model);
            const QModelIndex folder = model->index(QDir::tempPath());
            kind = model->data(folder.siblingAtColumn(2)).toString();
        });
    QVERIFY(!chosen);
    QCOMPARE(filter, QStringLiteral("图片文件(*.jpg)"));
    QCOMPARE(kind, QStringLiteral("文件夹"));
    QVERIFY2(texts.size() >= 5, qPrintable(texts.join(u'|')));
    for (const QString& text : texts) {
        QVERIFY2(readsChinese(text), qPrintable(text));
    }
}

void TestSystemPlatform::saveDialogOffersOnlyWhatAppliesToTheFormat() {
    SaveQuestion question;
    question.title = QStringLiteral("导出签名");
    question.folder = QDir::tempPath();
    question.suggestedName = QStringLiteral("签名");
    question.filters =
        QStringList{QStringLiteral("PNG (*.png)"), QStringLiteral("动态签名 GIF (*.gif)")};
    question.switchLabel = QStringLiteral("裁剪到笔迹");
    question.switchOn = true;
    QImage frame(40, 20, QImage::Format_RGB32);
    frame.fill(Qt::white);
    question.previewFrames = {frame, frame};
    question.previewFilters = {1};
    question.choiceLabel = QStringLiteral("书写方式:");
    question.choices = QStringList{QStringLiteral("按笔顺逐笔书写"), QStringLiteral("逐字擦出")};
    question.choiceFilters = {1};
    // Enabled and ticked, per format: the check box, then the choice.
    QList<std::pair<bool, bool>> crop;
    QList<bool> choice;
    whileModal(
        this, [&] { (void)SystemPlatform().chooseFileToSave(nullptr, question); },
        [&](QWidget* dialog) {
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QCheckBox* box = nullptr;
            for (auto* candidate : dialog->findChildren<QCheckBox*>()) {
                box = candidate->text() == question.switchLabel ? candidate : box;
            }
            QComboBox* how = nullptr;
            for (auto* candidate : dialog->findChildren<QComboBox*>()) {
                how = candidate->accessibleName() == question.choiceLabel ? candidate : how;
            }
            QVERIFY(types && box && how);
            const auto note = [&] {
                crop.append({box->isEnabled(), box->isChecked()});
                choice.append(how->isEnabled());
            };
            note();
            for (const int index : {1, 0}) {
                types->setCurrentIndex(index);
                emit types->activated(index);
                emit types->textActivated(types->itemText(index));
                note();
            }
        });
    // The animation takes no crop: greyed and unticked while it is chosen, as it was after.
    QCOMPARE(crop, (QList<std::pair<bool, bool>>{{true, true}, {false, false}, {true, true}}));
    QCOMPARE(choice, (QList<bool>{false, true, false}));
}

void TestSystemPlatform::textBoxMenuSpeaksChinese() {
    QLineEdit box;
    box.setText(QStringLiteral("张伟"));
    std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    int items = 0;
    for (const QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            ++items;
            // The shortcut after the tab is a key name.
            QVERIFY2(readsChinese(action->text().section(u'\t', 0, 0)), qPrintable(action->text()));
        }
    }
    QVERIFY(items >= 5);
}

void TestSystemPlatform::updateQuestionFitsOnTheScreen_data() {
    QTest::addColumn<QString>("fetched");

    QTest::newRow("a page of 120 lines")
        << QStringLiteral("<div class=\"portal\">请登录 Wi-Fi 网络</div>\r\n").repeated(120);
    QTest::newRow("64 KiB of Chinese") << QString(32 * 1024, QChar(0x7B7E));
    QTest::newRow("64 KiB of words") << QStringLiteral("login ").repeated(10000);
    QTest::newRow("64 KiB without a space") << QString(64 * 1024, QLatin1Char('x'));
}

void TestSystemPlatform::updateQuestionFitsOnTheScreen() {
    QFETCH(QString, fetched);

    QRect box;
    QRect noButton;
    QRect available;
    MessageAnswer answer = MessageAnswer::Ok;
    whileModal(
        this,
        [&] {
            SystemPlatform platform;
            answer = platform.showMessage(nullptr, updateQuestion(fetched),
                                          MessageStyle::InformationYesNo);
        },
        [&](QWidget* shown) {
            auto* question = qobject_cast<QMessageBox*>(shown);
            QVERIFY(question);
            box = shown->frameGeometry();
            const QAbstractButton* no = question->button(QMessageBox::No);
            noButton = QRect(no->mapToGlobal(QPoint(0, 0)), no->size());
            available = shown->screen()->availableGeometry();
        });
    QCOMPARE(answer, MessageAnswer::No);
    QVERIFY(available.isValid());
    QVERIFY2(box.height() <= available.height(),
             qPrintable(QStringLiteral("box %1 px tall, screen %2 px")
                            .arg(box.height())
                            .arg(available.height())));
    QVERIFY2(box.width() <= available.width(),
             qPrintable(QStringLiteral("box %1 px wide, screen %2 px")
                            .arg(box.width())
                            .arg(available.width())));
    QVERIFY(available.contains(noButton));
}

void TestSystemPlatform::heldWorkWaitsForTheOpenBox() {
    SystemPlatform platform;
    QObject context;
    auto gone = std::make_unique<QObject>();
    int ran = 0;
    int ranWhileOpen = -1;
    bool goneRan = false;
    whileModal(
        this,
        [&] {
            platform.showMessage(nullptr, QStringLiteral("没有下一页咯!"),
                                 MessageStyle::Information);
        },
        [&](QWidget*) {
            platform.whenNoModalOpen(&context, [&ran] { ++ran; });
            platform.whenNoModalOpen(gone.get(), [&goneRan] { goneRan = true; });
            gone.reset();
            QTest::qWait(100);
            ranWhileOpen = ran;
        });
    QCOMPARE(ranWhileOpen, 0);
    QTRY_COMPARE(ran, 1);
    QTest::qWait(50);
    QCOMPARE(ran, 1);
    QVERIFY(!goneRan);

    // With no box open the work runs soon, from the event loop.
    platform.whenNoModalOpen(&context, [&ran] { ++ran; });
    QCOMPARE(ran, 1);
    QTRY_COMPARE(ran, 2);
}

void TestSystemPlatform::shellGetsTheTargetAsOneArgument_data() {
    QTest::addColumn<QString>("target");

    QTest::newRow("web address") << "http://forum.example/";
    QTest::newRow("folder with spaces") << "/tmp/my programs/Inkvale/fonts";
    QTest::newRow("quotes and shell words") << "/tmp/a \"b\" 'c' $(touch x); rm -rf y";
}

void TestSystemPlatform::shellGetsTheTargetAsOneArgument() {
    QFETCH(QString, target);
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString record = bin.filePath(QStringLiteral("record"));
    QFile opener(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$0.tmp\" && /bin/mv \"$0.tmp\" \"" +
                 record.toUtf8() + "\"\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", bin.path().toUtf8());

    SystemPlatform platform;
    const bool started = platform.openInShell(target, ShellWindow::Normal);
    qputenv("PATH", m_savedPath.toUtf8());
    QVERIFY(started);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 5000);
    QFile recorded(record);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(recorded.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("1"));
    QCOMPARE(lines.value(1), target);
}

void TestSystemPlatform::shellWithoutOpener() {
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    SystemPlatform platform;
    const bool started =
        platform.openInShell(QStringLiteral("http://forum.example/"), ShellWindow::Minimised);
    qputenv("PATH", m_savedPath.toUtf8());
    QVERIFY(!started);
}

void TestSystemPlatform::programFolderIsTheExecutablesFolder() {
    SystemPlatform platform;
    const QString folder = platform.programFolder();
    QVERIFY(QFile::exists(folder + QStringLiteral("/tst_systemplatform")));
    QVERIFY(!folder.endsWith(QLatin1Char('/')));
}

void TestSystemPlatform::printingToAFileFollowsTheRuleForNamedFiles_data() {
    QTest::addColumn<QString>("kind"); // of test::NamedTargets, or "new file"
    QTest::newRow("new file") << QStringLiteral("new file");
    for (const QString& kind :
         {QStringLiteral("FIFO"), QStringLiteral("another user's symbolic link in a sticky folder"),
          QStringLiteral("hard link"), QStringLiteral("character device"),
          QStringLiteral("folder")}) {
        QTest::newRow(qPrintable(kind)) << kind;
    }
}

void TestSystemPlatform::printingToAFileFollowsTheRuleForNamedFiles() {
    // The real print dialog, printing to a file: what the rule refuses is refused as the dialog
    // closes, before Qt's own check opens the file (a FIFO nobody reads would hold the window).
    QFETCH(QString, kind);
    QTemporaryDir folder;
    test::NamedTarget target;
    if (kind == QLatin1String("new file")) {
        target = {folder.filePath(QStringLiteral("new.pdf")), {}, {}, Cause::None};
        target.content = target.path;
    } else {
        target = test::NamedTargets(folder.path()).make(kind, QStringLiteral("out.pdf"));
    }
    if (!target.skipped.isEmpty()) {
        QSKIP(qPrintable(target.skipped));
    }
    QVERIFY(!target.path.isEmpty());
    // Should the dialog open the FIFO after all, a reader comes after a while and lets it go,
    // so that the fault fails the test rather than holding it.
    std::atomic<bool> finished{false};
    std::thread rescue([&finished, fifo = QFile::encodeName(target.path)] {
        for (int i = 0; i < 100 && !finished.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!finished.load()) {
            const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            if (reader >= 0) {
                ::close(reader);
            }
        }
    });
    bool fileField = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        poll.stop();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
        fileField = name != nullptr && name->isEnabled();
        if (fileField) {
            name->setText(target.path);
        }
        dialog->accept();
    });
    poll.start();
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, this, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    guard.start(20000);
    bool painted = false;
    const PrintResult result =
        SystemPlatform().print(nullptr, QStringLiteral("王"), [&painted](QPagedPaintDevice& pages) {
            QPainter painter(&pages);
            painter.drawLine(0, 0, 100, 100);
            painted = true;
            return painter.end();
        });
    finished.store(true);
    rescue.join();
    if (!fileField) {
        QSKIP("a printer is installed: the dialog does not print to a file by itself");
    }
    QCOMPARE(result.file, target.path);
    QCOMPARE(result.written.cause, target.refusal);
    QCOMPARE(result.printed, target.refusal == Cause::None);
    QCOMPARE(painted, target.refusal == Cause::None);
    if (target.refusal == Cause::None) {
        QVERIFY(test::NamedTargets::bytesOf(target.content).startsWith("%PDF"));
    } else {
        QVERIFY2(test::NamedTargets::untouched(kind, target), qPrintable(target.path));
    }
}

QTEST_MAIN(TestSystemPlatform)
#include "tst_systemplatform.moc"
