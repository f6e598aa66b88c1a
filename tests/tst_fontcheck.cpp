#include "core/StyleCatalogue.h"
#include "designer/Form1.h"
#include "online/HiddenBrowser.h"
#include "support/FakePlatform.h"

#include <QListWidget>
#include <QTest>
#include <QTimer>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

const QString kMissingFonts = QStringLiteral(
    "字体缺失,如果您是首次使用请将Fonts文件夹下的字体\r\n \r\n完整复制到字体文件夹中,重启程序即可!"
    "现在为您打开相关文件夹!");

} // namespace

class TestFontCheck final : public QObject {
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void skinIsAttachedFromTheProgramFolder();
};

void TestFontCheck::check_data() {
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<bool>("passes");

    const QStringList all = FakePlatform::allStyleFaces();
    QStringList withOthers =
        QStringList{"DejaVu Sans", "@Noto Sans CJK SC"} + all + QStringList{"@章草", "Noto Serif"};
    QStringList oneMissing = all;
    oneMissing.removeAll(QStringLiteral("章草"));
    QStringList caseDiffers = all;
    caseDiffers.replace(caseDiffers.indexOf(QStringLiteral("ALS Script")),
                        QStringLiteral("ALS script"));
    QStringList onlyVertical = oneMissing + QStringList{"@章草"};
    QStringList listedTwice = all + QStringList{"Blazed"};
    QStringList spaceDropped = all;
    spaceDropped.replace(spaceDropped.indexOf(QStringLiteral("Corvan草书 繁")),
                         QStringLiteral("Corvan草书繁"));

    QTest::newRow("all fifteen") << all << true;
    QTest::newRow("all, among other fonts") << withOthers << true;
    QTest::newRow("none") << QStringList{"DejaVu Sans"} << false;
    QTest::newRow("one missing") << oneMissing << false;
    QTest::newRow("letter case differs") << caseDiffers << false;
    QTest::newRow("only the vertical variant") << onlyVertical << false;
    QTest::newRow("a face listed twice") << listedTwice << false;
    QTest::newRow("inner space missing") << spaceDropped << false;
}

void TestFontCheck::check() {
    QFETCH(QStringList, installed);
    QFETCH(bool, passes);
    FakePlatform platform;
    platform.fonts = installed;
    platform.folder = QStringLiteral("/opt/my programs/Inkvale");
    platform.fontFolder = QStringLiteral("/home/ann/.local/share/fonts");
    Form1 form(platform);
    form.loadAndShow();
    // The update check is set off only when the fonts are there.
    QCOMPARE(form.timer3()->isActive(), passes);
    form.timer3()->stop();

    QCOMPARE(form.isVisible(), passes);
    QCOMPARE(platform.endCount, passes ? 0 : 1);
    // The page load of the hidden browser comes after the check, so only when it passed.
    QCOMPARE(platform.backgroundLoads.size(), passes ? 1 : 0);
    if (passes) {
        QVERIFY(platform.messages.isEmpty());
        QVERIFY(platform.shellCalls.isEmpty());
    } else {
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages.at(0).text, kMissingFonts);
        QCOMPARE(platform.messages.at(0).style, MessageStyle::Information);
        QCOMPARE(platform.shellCalls.size(), 2);
        // The folder path goes whole, spaces and all, as one argument.
        QCOMPARE(platform.shellCalls.at(0).target,
                 QStringLiteral("/opt/my programs/Inkvale/fonts"));
        QCOMPARE(platform.shellCalls.at(0).window, ShellWindow::Normal);
        QCOMPARE(platform.shellCalls.at(1).target, QStringLiteral("/home/ann/.local/share/fonts"));
        QCOMPARE(platform.shellCalls.at(1).window, ShellWindow::Normal);
    }
    // The work list holds every installed face but the vertical ones.
    auto* list = form.findChild<QListWidget*>(QStringLiteral("List1"));
    int vertical = 0;
    for (const QString& face : installed) {
        vertical += face.startsWith(QLatin1Char('@')) ? 1 : 0;
    }
    QCOMPARE(list->count(), installed.size() - vertical);
}

void TestFontCheck::skinIsAttachedFromTheProgramFolder() {
    FakePlatform platform;
    platform.folder = QStringLiteral("/opt/Inkvale");
    Form1 form(platform);
    QVERIFY(form.Form_Load());
    form.timer3()->stop();
    QCOMPARE(platform.skinAttachments,
             (QList<QStringList>{{"/opt/Inkvale/SkinH_VB6.dll", "/opt/Inkvale/skinh.she"}}));
}

QTEST_MAIN(TestFontCheck)
#include "tst_fontcheck.moc"
