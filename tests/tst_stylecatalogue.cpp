#include "core/StyleCatalogue.h"

#include <QTest>

using namespace inkvale;

class TestStyleCatalogue final : public QObject {
    Q_OBJECT

private slots:
    void everySlot_data();
    void everySlot();
    void selectedStyle_data();
    void selectedStyle();
    void faceNamesInBoxOrder();
    void faceNamesAreDistinct();
};

void TestStyleCatalogue::everySlot_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<QSize>("previewSize");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("fontFile");

    const auto row = [](int slot, int page, int r, int c, const char* frame, const char* caption,
                        const char* preview, QSize size, const char* status, const char* face,
                        const char* box, const char* fontFile) {
        QTest::addRow("slot %d", slot)
            << slot << page << r << c << QString::fromUtf8(frame) << QString::fromUtf8(caption)
            << QString::fromUtf8(preview) << size
            << (status ? QStringLiteral("您当前选择的签名为:") + QString::fromUtf8(status)
                       : QString())
            << QString::fromUtf8(face) << QString::fromUtf8(box) << QString::fromUtf8(fontFile);
    };
    row(0, 1, 1, 1, "Frame4", "章草字体", "Image1", {280, 69}, "章草字体", "章草", "Text3",
        "8.ttf");
    row(1, 1, 1, 2, "Frame5", "Halwen钢笔行书简体", "Image2", {272, 69}, "Halwen钢笔行书简体",
        "Halwen钢笔行书简体", "Text2", "2.ttf");
    row(2, 1, 1, 3, "Frame6", "迷你简花蝶", "Image3", {272, 69}, "迷你简花蝶", "迷你简花蝶",
        "Text4", "6.ttf");
    row(3, 1, 2, 1, "Frame7", "方正喵呜体", "Image4", {272, 69}, "方正喵呜体", "方正喵呜体",
        "Text5", "4.ttf");
    row(4, 1, 2, 2, "Frame8", "Ostrid手写字体", "Image5", {280, 69}, "Ostrid手写字体", "vantrel",
        "Text6", "5.ttf");
    row(5, 1, 2, 3, "Frame9", "迷你简黄草", "Image6", {272, 69}, "迷你简黄草", "迷你简黄草",
        "Text7", "7.ttf");
    row(6, 1, 3, 1, "Frame10", "Pastor of Muppets", "Image7", {272, 69}, "Pastor of Muppets",
        "Pastor of Muppets", "Text8", "1.ttf");
    row(7, 1, 3, 2, "Frame11", "ALS Script", "Image8", {272, 69}, "PALS Script", "ALS Script",
        "Text9", "9.ttf");
    row(8, 1, 3, 3, "Frame12", "Blazed", "Image9", {272, 69}, "Blazed", "Blazed", "Text10",
        "3.ttf");
    row(9, 2, 1, 1, "Frame23", "Halwen圆趣卡通体", "Image19", {336, 69}, "Halwen圆趣卡通体",
        "Halwen圆趣卡通体", "Text11", "10.ttf");
    row(10, 2, 1, 3, "Frame22", "Corvan草书", "Image18", {336, 93}, "Corvan草书", "Corvan草书 繁",
        "Text12", "11.ttf");
    row(11, 2, 2, 3, "Frame21", "Wendel体楷书", "Image17", {336, 93}, "Wendel体楷书", "Wendel体",
        "Text13", "12.ttf");
    row(12, 2, 2, 1, "Frame20", "疾风草书", "Image16", {336, 93}, "疾风草书", "Halwen疾风草书",
        "Text14", "13.ttf");
    row(13, 2, 1, 2, "Frame19", "Halwen新篆简体", "Image15", {336, 93}, "Halwen新篆简体",
        "Halwen新篆简体试用版", "Text15", "14.ttf");
    row(14, 2, 2, 2, "Frame18", "书体坊Ferrun标准草书", "Image14", {336, 93},
        "书体坊Ferrun标准草书", "书体坊Ferrun标准草书", "Text16", "15.ttf");
    row(15, 2, 3, 1, "Frame17", "待添加", "Image13", {336, 85}, nullptr, "", "", "");
    row(16, 2, 3, 2, "Frame16", "待添加", "Image12", {336, 85}, nullptr, "", "", "");
    row(17, 2, 3, 3, "Frame15", "待添加", "Image11", {336, 85}, nullptr, "", "", "");
}

void TestStyleCatalogue::everySlot() {
    QFETCH(int, slot);
    const StyleSlot& s = styleSlot(slot);
    QCOMPARE(s.index, slot);
    QTEST(s.page, "page");
    QTEST(s.row, "row");
    QTEST(s.column, "column");
    QTEST(s.frameName.toString(), "frame");
    QTEST(s.caption.toString(), "caption");
    QTEST(s.previewName.toString(), "preview");
    QTEST(s.previewSize, "previewSize");
    QTEST(s.faceName.toString(), "face");
    QTEST(s.faceNameBox.toString(), "box");
    QTEST(s.fontFileName(), "fontFile");
    QFETCH(QString, status);
    QCOMPARE(s.isStyle(), !status.isEmpty());
    if (s.isStyle()) {
        QCOMPARE(statusTextFor(slot), status);
    }
}

void TestStyleCatalogue::selectedStyle_data() {
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("expected"); // -1: none

    QTest::newRow("nothing") << QList<int>{} << -1;
    QTest::newRow("first") << QList<int>{0} << 0;
    QTest::newRow("last style") << QList<int>{14} << 14;
    QTest::newRow("lowest of several wins") << QList<int>{12, 3, 9} << 3;
    QTest::newRow("placeholder only") << QList<int>{16} << -1;
    QTest::newRow("all placeholders") << QList<int>{15, 16, 17} << -1;
    QTest::newRow("placeholder and a style") << QList<int>{15, 11} << 11;
}

void TestStyleCatalogue::selectedStyle() {
    QFETCH(QList<int>, selected);
    QFETCH(int, expected);
    std::array<bool, kSlotCount> states{};
    for (int index : selected) {
        states.at(static_cast<std::size_t>(index)) = true;
    }
    const auto result = inkvale::selectedStyle(states);
    QCOMPARE(result.value_or(-1), expected);
}

void TestStyleCatalogue::faceNamesInBoxOrder() {
    const auto names = inkvale::faceNamesInBoxOrder();
    // Text2 holds slot 1 and Text3 slot 0; from Text4 on, box k + 2 holds slot k.
    QCOMPARE(names.at(0), QStringLiteral("Halwen钢笔行书简体"));
    QCOMPARE(names.at(1), QStringLiteral("章草"));
    for (int slot = 2; slot < kStyleCount; ++slot) {
        QCOMPARE(names.at(static_cast<std::size_t>(slot)), styleSlot(slot).faceName.toString());
    }
}

void TestStyleCatalogue::faceNamesAreDistinct() {
    const auto names = inkvale::faceNamesInBoxOrder();
    QSet<QString> seen(names.begin(), names.end());
    QCOMPARE(seen.size(), kStyleCount);
    QVERIFY(!seen.contains(QString()));
}

QTEST_APPLESS_MAIN(TestStyleCatalogue)
#include "tst_stylecatalogue.moc"
