#include "core/SignatureSurface.h"
#include "core/SizeRule.h"
#include "sizedialog/Form3.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <limits>

using namespace inkvale;
using inkvale::test::FakePlatform;

class TestSizeDialog final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void dialogAsDesigned();
    void entries_data();
    void entries();
    void numericTest_data();
    void numericTest();
    void groupsBySpaces_data();
    void groupsBySpaces();
    void leadingNumber_data();
    void leadingNumber();
    void caption_data();
    void caption();
    void closingChangesNothing();
};

void TestSizeDialog::initTestCase() {
    // The comma groups digits, as in the Chinese and English locales.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

void TestSizeDialog::dialogAsDesigned() {
    FakePlatform platform;
    SignatureSurface canvas;
    Form3 dialog(platform, canvas);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("签名大小"));
    QCOMPARE(dialog.size(), QSize(193, 137));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(dialog.parentWidget() == nullptr);
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(dialog.frame1()->geometry(), QRect(8, 16, 177, 65));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label1"))->text(),
             QStringLiteral("请输入签名文字大小:"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label1"))->geometry(),
             QRect(8, 32, 114, 12));
    QCOMPARE(dialog.text1()->geometry(), QRect(128, 31, 41, 18));
    QCOMPARE(dialog.command1()->geometry(), QRect(8, 88, 177, 33));
    QCOMPARE(dialog.command1()->text(), QStringLiteral("确定"));
    QVERIFY(dialog.text1()->text().isEmpty());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.command1());
    QTest::keyClick(&dialog, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dialog.text1());
}

void TestSizeDialog::entries_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message"); // the one message shown
    QTest::addColumn<float>("size");      // the canvas's size afterwards
    QTest::addColumn<bool>("closes");

    const QString empty = QStringLiteral("请输入签名的大小");
    const QString notNumeric = QStringLiteral("请输入数字");
    const QString unusable = QStringLiteral("签名大小应大于0且不超过1000");
    const QString done = QStringLiteral("签名设定成功!");
    QTest::newRow("empty") << "" << empty << 42.0F << false;
    QTest::newRow("letters") << "abc" << notNumeric << 42.0F << false;
    QTest::newRow("number then letters") << "12abc" << notNumeric << 42.0F << false;
    QTest::newRow("blanks around") << " 12.5 " << done << 12.5F << true;
    QTest::newRow("exponent") << "1E1" << done << 10.0F << true;
    QTest::newRow("digit groups") << "1,000" << done << 1.0F << true;
    QTest::newRow("zero") << "0" << unusable << 42.0F << false;
    QTest::newRow("negative") << "-5" << unusable << 42.0F << false;
    QTest::newRow("beyond a double") << "1e400" << unusable << 42.0F << false;
    QTest::newRow("beyond the largest size") << "1000.5" << unusable << 42.0F << false;
    QTest::newRow("largest size") << "1000" << done << 1000.0F << true;
    QTest::newRow("whole number") << "20" << done << 20.0F << true;
    QTest::newRow("single precision") << "10.1" << done << 10.1F << true;
    // As a Chinese input method types them.
    QTest::newRow("ideographic space before") << "\u300012" << done << 12.0F << true;
    QTest::newRow("ideographic space after") << "12\u3000" << done << 12.0F << true;
    QTest::newRow("full-width digits") << "２０" << done << 20.0F << true;
    QTest::newRow("full-width full stop") << "１．５" << done << 1.5F << true;
    QTest::newRow("full-width minus") << "－５" << unusable << 42.0F << false;
    QTest::newRow("ideographic full stop") << "１。５" << done << 1.5F << true;
    QTest::newRow("full-width plus and exponent") << "＋１Ｅ１" << done << 10.0F << true;
    QTest::newRow("full-width letters") << "１２ａｂ" << notNumeric << 42.0F << false;
    QTest::newRow("full-width comma is no group") << "１，０００" << notNumeric << 42.0F << false;
}

void TestSizeDialog::entries() {
    QFETCH(QString, entry);
    QFETCH(QString, message);
    QFETCH(float, size);
    QFETCH(bool, closes);
    FakePlatform platform;
    SignatureSurface canvas;
    canvas.setFontName(QStringLiteral("DejaVu Sans"));
    Form3 dialog(platform, canvas);
    dialog.show();
    dialog.text1()->setText(entry);
    QTest::mouseClick(dialog.command1(), Qt::LeftButton);

    QCOMPARE(platform.messages.size(), 1);
    QCOMPARE(platform.messages.at(0).text, message);
    QCOMPARE(platform.messages.at(0).style,
             closes ? MessageStyle::Information : MessageStyle::Warning);
    QCOMPARE(canvas.fontSize(), size);
    QCOMPARE(canvas.fontName(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(dialog.isVisible(), !closes);
    QCOMPARE(dialog.result(), closes ? int(QDialog::Accepted) : int(QDialog::Rejected));
    if (!closes) {
        // Still usable: the entry is kept and a corrected one goes through.
        QCOMPARE(dialog.text1()->text(), entry);
        dialog.text1()->setText(QStringLiteral("30"));
        dialog.Command1_Click();
        QCOMPARE(canvas.fontSize(), 30.0F);
        QVERIFY(!dialog.isVisible());
    }
}

void TestSizeDialog::numericTest_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");

    QTest::newRow("integer") << "20" << true;
    QTest::newRow("signs") << "+3" << true;
    QTest::newRow("leading point") << ".5" << true;
    QTest::newRow("trailing point") << "5." << true;
    QTest::newRow("lower-case exponent") << "2e-3" << true;
    QTest::newRow("blanks and tab") << "\t 7 " << true;
    QTest::newRow("groups") << "12,345,678.5" << true;
    QTest::newRow("point alone") << "." << false;
    QTest::newRow("sign alone") << "-" << false;
    QTest::newRow("two points") << "1.2.3" << false;
    QTest::newRow("exponent without digits") << "1E" << false;
    QTest::newRow("exponent alone") << "E5" << false;
    QTest::newRow("group first") << ",5" << false;
    QTest::newRow("group in the fraction") << "1.0,5" << false;
    QTest::newRow("blank inside") << "1 2" << false;
    QTest::newRow("full-width digits") << "１２" << true;
    QTest::newRow("ideographic spaces") << "\u3000\u3000１２\u3000" << true;
    QTest::newRow("no-break space around") << "\u00a012\u00a0" << true;
    QTest::newRow("ideographic space inside") << "1\u30002" << false;
    QTest::newRow("full-width point alone") << "．" << false;
    QTest::newRow("ideographic full stop") << "１２。５" << true;
    QTest::newRow("two ideographic full stops") << "1。2。3" << false;
}

void TestSizeDialog::numericTest() {
    QFETCH(QString, text);
    QTEST(isNumericEntry(text, QLatin1Char(',')), "numeric");
}

void TestSizeDialog::groupsBySpaces_data() {
    // Locales that group digits by a space: any space people type for it separates groups; a
    // tab, form feed or line break between digits makes no number.
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    const QString nbsp = QStringLiteral("\u00a0");
    const QString narrow = QStringLiteral("\u202f");
    for (const QString& separator : {QStringLiteral(" "), nbsp, narrow}) {
        const QString name = separator == nbsp     ? QStringLiteral("no-break")
                             : separator == narrow ? QStringLiteral("narrow")
                                                   : QStringLiteral("space");
        const auto row = [&](const char* what) {
            return &QTest::newRow(
                qPrintable(name + QStringLiteral(", ") + QString::fromLatin1(what)));
        };
        *row("as the locale writes it") << separator << "1" + separator + "234" << true;
        *row("plain space") << separator << "1 234" << true;
        *row("no-break space") << separator << "1\u00a0234.5" << true;
        *row("tab") << separator << "1\t234" << false;
        *row("form feed") << separator << "1\f234" << false;
        *row("line break") << separator << "1\n234" << false;
        *row("tab around") << separator << "\t1 234\f" << true;
    }
}

void TestSizeDialog::groupsBySpaces() {
    QFETCH(QString, separator);
    QFETCH(QString, text);
    QTEST(isNumericEntry(text, separator.front()), "numeric");
}

void TestSizeDialog::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");

    QTest::newRow("integer") << "20" << 20.0;
    QTest::newRow("blanks anywhere") << " 1 2 .5 " << 12.5;
    QTest::newRow("stops at a group") << "1,000" << 1.0;
    QTest::newRow("exponent") << "1E1" << 10.0;
    QTest::newRow("negative exponent") << "25e-1" << 2.5;
    QTest::newRow("exponent without digits") << "3e" << 3.0;
    QTest::newRow("letters after") << "12abc" << 12.0;
    QTest::newRow("no digits") << "abc" << 0.0;
    QTest::newRow("negative") << "-5" << -5.0;
    QTest::newRow("too large") << "1e400" << std::numeric_limits<double>::infinity();
    QTest::newRow("too small") << "1e-400" << 0.0;
    QTest::newRow("ideographic space first") << "\u300012" << 12.0;
    QTest::newRow("full-width digits") << "２０" << 20.0;
    QTest::newRow("full-width full stop") << "１．５" << 1.5;
    QTest::newRow("full-width minus") << "－５" << -5.0;
    QTest::newRow("full-width exponent") << "２ｅ－１" << 0.2;
    QTest::newRow("ideographic full stop") << "２。５" << 2.5;
    QTest::newRow("no-break space first") << "\u00a07" << 7.0;
}

void TestSizeDialog::leadingNumber() {
    QFETCH(QString, text);
    QTEST(inkvale::leadingNumber(text), "value");
}

void TestSizeDialog::caption_data() {
    QTest::addColumn<float>("size");
    QTest::addColumn<QString>("caption");

    QTest::newRow("start") << 42.0F << "当前签名大小为:42";
    QTest::newRow("half") << 10.5F << "当前签名大小为:10.5";
    QTest::newRow("single precision tenth") << 10.1F << "当前签名大小为:10.1";
    QTest::newRow("seven digits") << 123.4567F << "当前签名大小为:123.4567";
}

void TestSizeDialog::caption() {
    QFETCH(float, size);
    FakePlatform platform;
    SignatureSurface canvas;
    canvas.setFontSize(size);
    Form3 dialog(platform, canvas);
    QTEST(dialog.frame1()->title(), "caption");
}

void TestSizeDialog::closingChangesNothing() {
    FakePlatform platform;
    SignatureSurface canvas;
    Form3 dialog(platform, canvas);
    dialog.show();
    dialog.text1()->setText(QStringLiteral("12"));
    dialog.close();
    QCOMPARE(canvas.fontSize(), 42.0F);
    QVERIFY(platform.messages.isEmpty());
}

QTEST_MAIN(TestSizeDialog)
#include "tst_sizedialog.moc"
