#include "core/SignatureSurface.h"
#include "designer/DesignerControls.h"
#include "designer/Form1.h"
#include "designer/StatusLine.h"
#include "online/HiddenBrowser.h"
#include "sizedialog/Form3.h"
#include "startup/Form2.h"
#include "support/FakePlatform.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

/// The control a person sees at the centre of `widget`: the widget itself, or one of its own
/// parts, when nothing covers it.
bool isSeen(QWidget* widget) {
    if (!widget->isVisible()) {
        return false;
    }
    QWidget* window = widget->window();
    if (!window->rect().contains(widget->mapTo(window, widget->rect().center()))) {
        return false;
    }
    QWidget* top = window->childAt(widget->mapTo(window, widget->rect().center()));
    return top == widget || widget->isAncestorOf(top);
}

int checkedOptions(const Form1& form) {
    int checked = 0;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        checked += form.option1(slot)->isChecked() ? 1 : 0;
    }
    return checked;
}

QString nameOf(const QWidget* widget) {
    return widget != nullptr ? widget->objectName() : QStringLiteral("(none)");
}

QStringList page1Stops() {
    QStringList stops{QStringLiteral("Command6")};
    for (int slot = 0; slot <= 8; ++slot) {
        stops.append(QStringLiteral("Option1(%1)").arg(slot));
    }
    return stops;
}

QStringList page2Stops() {
    // Reading order: the rows of page 2 hold slots 9, 13, 10 and 12, 14, 11; the third row's
    // placeholders are disabled.
    QStringList stops{QStringLiteral("Command4"), QStringLiteral("Command5")};
    for (int slot : {9, 13, 10, 12, 14, 11}) {
        stops.append(QStringLiteral("Option1(%1)").arg(slot));
    }
    return stops;
}

/// Runs `visit` on every part below `root`, at any depth.
template <typename Visit>
void everyPart(QAccessibleInterface* root, const Visit& visit) {
    for (int i = 0; i < root->childCount(); ++i) {
        if (QAccessibleInterface* part = root->child(i)) {
            visit(part);
            everyPart(part, visit);
        }
    }
}

} // namespace

class TestKeyboard final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tabChain_data();
    void tabChain();
    void keysNeverReachWhatIsNotSeen_data();
    void keysNeverReachWhatIsNotSeen();
    void returnPressesTheFocusedControl_data();
    void returnPressesTheFocusedControl();
    void returnInTheNameBox_data();
    void returnInTheNameBox();
    void splashKeys_data();
    void splashKeys();
    void accessibleNames_data();
    void accessibleNames();
    void everyStopIsNamed();
    void neverSeenHelpersAreNotShown();
    void helperMetBeforeItWasKeptUnseen();
    void coveredControlsAreNotShown_data();
    void coveredControlsAreNotShown();
    void optionsAreOneOfMany();
    void arrowsChooseAsTheyMove_data();
    void arrowsChooseAsTheyMove();
    void chosenOptionStaysChosen_data();
    void chosenOptionStaysChosen();
    void sizeDialogKeepsItsOrder();

private:
    void showForm();
    void enableDesigning();
    /// Presses `key` on the control that has the keyboard, as the window system delivers it.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    /// The stops that Tab (or Shift+Tab) visits from the current focus, until it comes back.
    QStringList walk(bool backwards);

    QTemporaryDir* m_folder = nullptr;
    FakePlatform* m_platform = nullptr;
    Form1* m_form = nullptr;
};

void TestKeyboard::init() {
    m_folder = new QTemporaryDir;
    m_platform = new FakePlatform;
    m_platform->folder = m_folder->path();
    m_form = new Form1(*m_platform);
}

void TestKeyboard::cleanup() {
    delete m_form;
    delete m_platform;
    delete m_folder;
}

void TestKeyboard::showForm() {
    m_form->loadAndShow();
    m_form->timer3()->stop(); // no update check in these tests
    QVERIFY(QTest::qWaitForWindowActive(m_form));
}

void TestKeyboard::enableDesigning() {
    m_form->text1()->setEnabled(true);
    m_form->command1()->setEnabled(true);
}

void TestKeyboard::press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* target = QApplication::focusWidget();
    QVERIFY2(target, "nothing has the keyboard");
    QTest::keyClick(target, key, modifiers);
}

QStringList TestKeyboard::walk(bool backwards) {
    QStringList stops;
    const QWidget* first = QApplication::focusWidget();
    for (int i = 0; i < 60; ++i) {
        press(backwards ? Qt::Key_Backtab : Qt::Key_Tab,
              backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QWidget* now = QApplication::focusWidget();
        stops.append(nameOf(now));
        if (now == first) {
            break;
        }
    }
    return stops;
}

void TestKeyboard::tabChain_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("designing");
    QTest::addColumn<bool>("saving");
    QTest::addColumn<QStringList>("stops");

    const QStringList links{QStringLiteral("Command7"), QStringLiteral("Command3"),
                            QStringLiteral("Label3")};
    const QStringList design{QStringLiteral("Text1"), QStringLiteral("Command1")};
    const QStringList save{QStringLiteral("Command2")};
    QTest::newRow("start, before the update check") << 1 << false << false << links + page1Stops();
    QTest::newRow("designing enabled") << 1 << true << false << design + links + page1Stops();
    QTest::newRow("after a design") << 1 << true << true << design + save + links + page1Stops();
    QTest::newRow("page 2") << 2 << true << false << design + links + page2Stops();
    QTest::newRow("page 2, then page 1") << 3 << true << false << design + links + page1Stops();
}

void TestKeyboard::tabChain() {
    QFETCH(int, page);
    QFETCH(bool, designing);
    QFETCH(bool, saving);
    QFETCH(QStringList, stops);

    showForm();
    if (designing) {
        enableDesigning();
    }
    m_form->command2()->setEnabled(saving);
    if (page >= 2) {
        m_form->Command6_Click();
    }
    if (page == 3) {
        m_form->Command4_Click();
    }
    // Start the walk from the first stop.
    m_form->findChild<QWidget*>(stops.first())->setFocus(Qt::TabFocusReason);
    QCOMPARE(nameOf(QApplication::focusWidget()), stops.first());

    QStringList forwards = walk(false);
    forwards.prepend(forwards.takeLast());
    QCOMPARE(forwards, stops);

    QStringList backwards = walk(true);
    backwards.prepend(backwards.takeLast());
    QStringList reversed{stops.first()};
    for (qsizetype i = stops.size() - 1; i > 0; --i) {
        reversed.append(stops.at(i));
    }
    QCOMPARE(backwards, reversed);

    for (const QString& name : stops) {
        QVERIFY2(isSeen(m_form->findChild<QWidget*>(name)), qPrintable(name));
    }
}

void TestKeyboard::keysNeverReachWhatIsNotSeen_data() {
    QTest::addColumn<int>("startSlot");
    QTest::addColumn<QList<int>>("keys");

    const QList<int> tabAndSpace{Qt::Key_Tab, Qt::Key_Space};
    const QList<int> arrows{Qt::Key_Tab, Qt::Key_Down, Qt::Key_Right, Qt::Key_Space,
                            Qt::Key_Up,  Qt::Key_Left, Qt::Key_Space};
    QTest::newRow("Tab and Space, page 1 style chosen") << 4 << tabAndSpace;
    QTest::newRow("Tab and Space, nothing chosen") << -1 << tabAndSpace;
    QTest::newRow("arrows, page 1 style chosen") << 8 << arrows;
    QTest::newRow("Return, Tab, Space")
        << 0 << QList<int>{Qt::Key_Tab, Qt::Key_Return, Qt::Key_Space};
}

void TestKeyboard::keysNeverReachWhatIsNotSeen() {
    QFETCH(int, startSlot);
    QFETCH(QList<int>, keys);

    // Every button answers at once: boxes are answered by the fake, the settings menu is
    // closed again, the size dialog closes itself.
    m_platform->onModal = [](QDialog& dialog) {
        dialog.reject();
    };
    showForm();
    enableDesigning();
    m_form->text1()->setText(QStringLiteral("张伟"));
    if (startSlot >= 0) {
        QTest::mouseClick(m_form->option1(startSlot), Qt::LeftButton);
        QVERIFY(m_form->option1(startSlot)->isChecked());
    }

    for (int round = 0; round < 200; ++round) {
        const auto key = static_cast<Qt::Key>(keys.at(round % keys.size()));
        press(key);
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
        const QString where = QStringLiteral("round %1, key %2, focus on %3")
                                  .arg(round)
                                  .arg(key)
                                  .arg(nameOf(QApplication::focusWidget()));
        QVERIFY2(checkedOptions(*m_form) <= 1, qPrintable(where));
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (m_form->option1(slot)->isChecked()) {
                QVERIFY2(isSeen(m_form->option1(slot)), qPrintable(where));
            }
        }
        QWidget* focused = QApplication::focusWidget();
        QVERIFY2(focused && focused->window() == m_form && isSeen(focused), qPrintable(where));
    }
}

void TestKeyboard::returnPressesTheFocusedControl_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");

    for (const char* control : {"Command1", "Command2", "Command7", "Command3", "Label3",
                                "Command6", "Command4", "Command5"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1 Return").arg(QLatin1String(control))))
            << QString::fromLatin1(control) << int(Qt::Key_Return);
    }
    QTest::newRow("Command1 Enter") << "Command1" << int(Qt::Key_Enter);
    QTest::newRow("Label3 Space") << "Label3" << int(Qt::Key_Space);
}

void TestKeyboard::returnPressesTheFocusedControl() {
    QFETCH(QString, control);
    QFETCH(int, key);

    showForm();
    enableDesigning();
    m_form->command2()->setEnabled(true);
    if (control == QLatin1String("Command4") || control == QLatin1String("Command5")) {
        m_form->Command6_Click();
    }
    auto* widget = m_form->findChild<QWidget*>(control);
    widget->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), widget);
    const QString status = m_form->s1()->panelText(2);

    press(static_cast<Qt::Key>(key));

    if (control == QLatin1String("Command1")) {
        // No style chosen: the design button says so.
        QCOMPARE(m_form->s1()->panelText(2), QStringLiteral("请您先选择签名.."));
    } else if (control == QLatin1String("Command2")) {
        QCOMPARE(m_platform->messages.size(), 1);
        QVERIFY(m_platform->messages.first().text.startsWith(QStringLiteral("签名图片已保存")));
    } else if (control == QLatin1String("Command7")) {
        QTRY_VERIFY(m_form->set1()->isVisible());
        m_form->set1()->close();
    } else if (control == QLatin1String("Command3")) {
        QVERIFY(m_form->webBrowser2()->currentUrl().isValid());
    } else if (control == QLatin1String("Label3")) {
        QCOMPARE(m_platform->shellCalls.size(), 1);
    } else if (control == QLatin1String("Command6")) {
        QVERIFY(m_form->frame14()->isVisible() && !m_form->frame3()->isVisible());
        // The focus waits on the way back.
        QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("Command4"));
    } else if (control == QLatin1String("Command4")) {
        QVERIFY(m_form->frame3()->isVisible() && !m_form->frame14()->isVisible());
        QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("Command6"));
    } else if (control == QLatin1String("Command5")) {
        QCOMPARE(m_platform->messages.size(), 1);
        QCOMPARE(m_platform->messages.first().text, QStringLiteral("没有下一页咯!"));
    }
    if (control != QLatin1String("Command1")) {
        QCOMPARE(m_form->s1()->panelText(2), status);
    }
}

void TestKeyboard::returnInTheNameBox_data() {
    QTest::addColumn<bool>("buttonEnabled");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("status");

    QTest::newRow("Return designs") << true << int(Qt::Key_Return) << "签名生成成功!";
    QTest::newRow("Enter designs") << true << int(Qt::Key_Enter) << "签名生成成功!";
    // Only the choice's own text: nothing was drawn.
    QTest::newRow("button disabled") << false << int(Qt::Key_Return) << statusTextFor(1);
}

void TestKeyboard::returnInTheNameBox() {
    QFETCH(bool, buttonEnabled);
    QFETCH(int, key);

    showForm();
    enableDesigning();
    m_form->command1()->setEnabled(buttonEnabled);
    QTest::mouseClick(m_form->option1(1), Qt::LeftButton);
    m_form->text1()->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(m_form->text1(), QStringLiteral("Wei"));
    press(static_cast<Qt::Key>(key));
    QTEST(m_form->s1()->panelText(2), "status");
    QCOMPARE(m_form->command2()->isEnabled(), buttonEnabled);
    QCOMPARE(m_form->label2()->isHidden(), buttonEnabled);
    QCOMPARE(m_form->text1()->text(), QStringLiteral("Wei"));
}

void TestKeyboard::splashKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("fadesOut");

    QTest::newRow("Return") << int(Qt::Key_Return) << true;
    QTest::newRow("Enter") << int(Qt::Key_Enter) << true;
    QTest::newRow("Space") << int(Qt::Key_Space) << true;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << true;
    QTest::newRow("a letter") << int(Qt::Key_A) << false;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << false;
}

void TestKeyboard::splashKeys() {
    QFETCH(int, key);
    QFETCH(bool, fadesOut);

    int handOvers = 0;
    auto* splash = new Form2(*m_platform, [&handOvers] { ++handOvers; });
    splash->loadAndShow();
    QVERIFY(QTest::qWaitForWindowActive(splash));
    QCOMPARE(QApplication::focusWidget(), splash);
    QVERIFY(splash->timer1()->isActive());

    press(static_cast<Qt::Key>(key));
    QCOMPARE(splash->timer2()->isActive(), fadesOut);
    QCOMPARE(splash->timer1()->isActive(), !fadesOut);
    if (fadesOut) {
        // A second press neither restarts nor hastens the fade-out; one hand-over follows.
        press(static_cast<Qt::Key>(key));
        QTRY_COMPARE_WITH_TIMEOUT(handOvers, 1, 5000);
        QTest::qWait(100);
        QCOMPARE(handOvers, 1);
    } else {
        delete splash;
    }
}

void TestKeyboard::accessibleNames_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");

    const auto add = [](const char* window, const char* control, const QString& name,
                        const QString& description = {}) {
        QTest::newRow(
            qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(window), QLatin1String(control))))
            << QString::fromLatin1(window) << QString::fromLatin1(control) << name << description;
    };
    add("Form1", "Text1", QStringLiteral("请输入您的名字"));
    add("Form1", "Command1", QStringLiteral("设计签名"));
    add("Form1", "Command2", QStringLiteral("保存签名"));
    add("Form1", "Command7", QStringLiteral("签名设定"));
    add("Form1", "Command3", QStringLiteral("建议提交"));
    add("Form1", "Label3", QStringLiteral("欢迎来访Kelda系列软件官方论坛"));
    // The page buttons' captions are arrows: they are announced by their tool tips.
    add("Form1", "Command6", QStringLiteral("下一页"), QStringLiteral("下一页"));
    add("Form1", "Command4", QStringLiteral("上一页"), QStringLiteral("上一页"));
    add("Form1", "Command5", QStringLiteral("下一页"), QStringLiteral("下一页"));
    add("Form1", "Option1(0)", QStringLiteral("使用此签名"), QStringLiteral("章草字体"));
    add("Form1", "Option1(13)", QStringLiteral("使用此签名"), QStringLiteral("Halwen新篆简体"));
    add("Form1", "Option1(15)", QStringLiteral("使用此签名"), QStringLiteral("待添加"));
    add("Form3", "Text1", QStringLiteral("请输入签名文字大小:"));
    add("Form3", "Command1", QStringLiteral("确定"));
}

void TestKeyboard::accessibleNames() {
    QFETCH(QString, window);
    QFETCH(QString, control);

    SignatureSurface canvas;
    Form3 dialog(*m_platform, canvas);
    QWidget* host = window == QLatin1String("Form1") ? static_cast<QWidget*>(m_form) : &dialog;
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host));
    auto* widget = host->findChild<QWidget*>(control);
    QVERIFY(widget);
    // Page 2's controls are announced while page 2 shows.
    if (window == QLatin1String("Form1") && !widget->isVisible()) {
        m_form->Command6_Click();
    }
    QVERIFY(widget);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    QTEST(accessible->text(QAccessible::Name), "name");
    QTEST(accessible->text(QAccessible::Description), "description");
    QVERIFY(!accessible->state().invisible);
}

void TestKeyboard::everyStopIsNamed() {
    // Whatever page shows: every control the keyboard can reach announces a name.
    showForm();
    SignatureSurface canvas;
    Form3 dialog(*m_platform, canvas);
    QList<QWidget*> controls = m_form->findChildren<QWidget*>();
    controls.append(dialog.findChildren<QWidget*>());
    for (int page = 1; page <= 2; ++page) {
        if (page == 2) {
            m_form->Command6_Click();
        }
        int named = 0;
        for (QWidget* control : controls) {
            if (control->focusPolicy() == Qt::NoFocus) {
                continue;
            }
            const QString name =
                QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(control->objectName()));
            ++named;
        }
        QVERIFY(named >= 12);
    }
}

void TestKeyboard::neverSeenHelpersAreNotShown() {
    showForm();
    QList<QWidget*> helpers{m_form->findChild<QListWidget*>(QStringLiteral("List1")),
                            m_form->webBrowser1(), m_form->webBrowser2()};
    for (int box = 2; box <= 16; ++box) {
        helpers.append(m_form->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(box)));
    }
    for (QWidget* helper : helpers) {
        QVERIFY(helper);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(helper);
        QVERIFY2(accessible->state().invisible, qPrintable(helper->objectName()));
        QVERIFY2(!accessible->state().focusable, qPrintable(helper->objectName()));
        helper->setFocus(Qt::TabFocusReason);
        QVERIFY2(!helper->hasFocus(), qPrintable(helper->objectName()));
    }
    // Covered controls are not focusable while page 1 lies over them.
    for (const char* covered : {"Command4", "Command5", "Option1(9)"}) {
        auto* widget = m_form->findChild<QWidget*>(QString::fromLatin1(covered));
        QVERIFY2(!QAccessible::queryAccessibleInterface(widget)->state().focusable, covered);
    }
    // Nothing inside a helper is announced as showing either: not a row of the font list, not
    // a scroll bar.
    for (QWidget* helper : helpers) {
        QStringList shown;
        everyPart(QAccessible::queryAccessibleInterface(helper),
                  [&shown](QAccessibleInterface* part) {
                      if (!part->state().invisible) {
                          shown.append(part->text(QAccessible::Name));
                      }
                  });
        QVERIFY2(shown.isEmpty(), qPrintable(helper->objectName() + QStringLiteral(": ") +
                                             shown.join(QStringLiteral(", "))));
    }
    QVERIFY(m_form->findChild<QListWidget*>(QStringLiteral("List1"))->count() >= kStyleCount);
}

void TestKeyboard::helperMetBeforeItWasKeptUnseen() {
    // A screen reader that listens from the start meets a list while it is made, rows and all.
    QWidget window;
    auto* list = new QListWidget(&window);
    list->addItems({QStringLiteral("DejaVu Sans"), QStringLiteral("Blazed")});
    QAccessibleInterface* met = QAccessible::queryAccessibleInterface(list);
    QCOMPARE(met->childCount(), 2);
    keepNeverSeen(*list);
    list->addItem(QStringLiteral("迷你简花蝶"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QAccessibleInterface* now = QAccessible::queryAccessibleInterface(list);
    QVERIFY(now->state().invisible);
    QStringList shown;
    everyPart(now, [&shown](QAccessibleInterface* part) {
        if (!part->state().invisible) {
            shown.append(part->text(QAccessible::Name));
        }
    });
    QVERIFY2(shown.isEmpty(), qPrintable(shown.join(QStringLiteral(", "))));
}

void TestKeyboard::coveredControlsAreNotShown_data() {
    QTest::addColumn<int>("page");

    QTest::newRow("page 1 at start") << 1;
    QTest::newRow("page 2") << 2;
    QTest::newRow("page 2, then page 1") << 3;
}

void TestKeyboard::coveredControlsAreNotShown() {
    QFETCH(int, page);
    showForm();
    if (page >= 2) {
        m_form->Command6_Click();
    }
    if (page == 3) {
        m_form->Command4_Click();
    }
    // Every control a screen reader reports as showing is one a person sees, or a part of one
    // that is seen (a group's caption, a cell of a seen page); a covered page, the covered "<<"
    // and everything on them report as not showing.
    const QGroupBox* shownPage = page == 2 ? m_form->frame14() : m_form->frame3();
    const QGroupBox* coveredPage = page == 2 ? m_form->frame3() : m_form->frame14();
    auto* back = m_form->findChild<QWidget*>(QStringLiteral("Command4"));
    QList<QWidget*> covered = coveredPage->findChildren<QWidget*>();
    covered.prepend(const_cast<QGroupBox*>(coveredPage));
    if (page != 2) {
        covered.append(back);
    }
    int options = 0;
    for (QWidget* control : covered) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(accessible->state().invisible, qPrintable(control->objectName()));
        options += qobject_cast<QRadioButton*>(control) != nullptr ? 1 : 0;
    }
    QCOMPARE(options, 9);
    QList<QWidget*> shown;
    for (QRadioButton* option : shownPage->findChildren<QRadioButton*>()) {
        shown.append(option);
    }
    if (page == 2) {
        shown.append(back);
    }
    for (QWidget* control : shown) {
        QVERIFY2(!QAccessible::queryAccessibleInterface(control)->state().invisible,
                 qPrintable(control->objectName()));
        QVERIFY2(isSeen(control), qPrintable(control->objectName()));
    }
}

void TestKeyboard::optionsAreOneOfMany() {
    showForm();
    for (int slot = 0; slot < kSlotCount; ++slot) {
        QAccessibleInterface* accessible =
            QAccessible::queryAccessibleInterface(m_form->option1(slot));
        QCOMPARE(accessible->role(), QAccessible::RadioButton);
        QVERIFY(accessible->state().checkable);
        QVERIFY(!accessible->state().checked);
    }
    QTest::mouseClick(m_form->option1(4), Qt::LeftButton);
    QVERIFY(QAccessible::queryAccessibleInterface(m_form->option1(4))->state().checked);
    QVERIFY(!QAccessible::queryAccessibleInterface(m_form->option1(0))->state().checked);
}

void TestKeyboard::arrowsChooseAsTheyMove_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("startSlot");
    QTest::addColumn<bool>("startChosen");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("endSlot");

    // Page 1 reads row by row: slots 0 1 2 / 3 4 5 / 6 7 8.
    QTest::newRow("Right from a chosen option") << 1 << 0 << true << QList<int>{Qt::Key_Right} << 1;
    QTest::newRow("Right from an option not chosen")
        << 1 << 0 << false << QList<int>{Qt::Key_Right} << 1;
    QTest::newRow("Down, Down, Left")
        << 1 << 1 << false << QList<int>{Qt::Key_Down, Qt::Key_Down, Qt::Key_Left} << 6;
    QTest::newRow("Up at the top stays") << 1 << 2 << true << QList<int>{Qt::Key_Up} << 2;
    // Page 2's third row is placeholders, which are disabled: Down stops before them.
    QTest::newRow("page 2, Down past the last styles")
        << 2 << 12 << true << QList<int>{Qt::Key_Down} << 12;
    QTest::newRow("page 2, Right") << 2 << 9 << false << QList<int>{Qt::Key_Right} << 13;
}

void TestKeyboard::arrowsChooseAsTheyMove() {
    QFETCH(int, page);
    QFETCH(int, startSlot);
    QFETCH(bool, startChosen);
    QFETCH(QList<int>, keys);
    QFETCH(int, endSlot);

    showForm();
    if (page == 2) {
        m_form->Command6_Click();
    }
    if (startChosen) {
        QTest::mouseClick(m_form->option1(startSlot), Qt::LeftButton);
    }
    m_form->option1(startSlot)->setFocus(Qt::TabFocusReason);
    for (int key : keys) {
        press(static_cast<Qt::Key>(key));
    }
    QCOMPARE(QApplication::focusWidget(), m_form->option1(endSlot));
    const bool moved = endSlot != startSlot;
    QCOMPARE(m_form->option1(endSlot)->isChecked(), moved || startChosen);
    QCOMPARE(checkedOptions(*m_form), moved || startChosen ? 1 : 0);
    if (moved) {
        QCOMPARE(m_form->s1()->panelText(2), statusTextFor(endSlot));
    }
    // The tab chain is untouched: Tab still goes on to the next option in reading order.
    if (endSlot < 8 && page == 1) {
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_form->option1(endSlot + 1));
    }
}

void TestKeyboard::chosenOptionStaysChosen_data() {
    QTest::addColumn<bool>("byKeyboard");

    QTest::newRow("clicked again") << false;
    QTest::newRow("Space again") << true;
}

void TestKeyboard::chosenOptionStaysChosen() {
    QFETCH(bool, byKeyboard);
    showForm();
    QRadioButton* option = m_form->option1(5);
    QTest::mouseClick(option, Qt::LeftButton);
    QVERIFY(option->isChecked());
    if (byKeyboard) {
        option->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Space);
    } else {
        QTest::mouseClick(option, Qt::LeftButton);
    }
    QVERIFY(option->isChecked());
    QCOMPARE(checkedOptions(*m_form), 1);
    QCOMPARE(m_form->s1()->panelText(2), statusTextFor(5));
}

void TestKeyboard::sizeDialogKeepsItsOrder() {
    SignatureSurface canvas;
    Form3 dialog(*m_platform, canvas);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.command1());
    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog.text1());
    press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog.command1());
    // Return in the box presses 确定.
    dialog.text1()->setText(QStringLiteral("20"));
    dialog.text1()->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    QCOMPARE(canvas.fontSize(), 20.0F);
}

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
