// Checks the fifteen built style fonts (tools/fonts/build.py) in the folder named by
// the environment variable INKVALE_FONTS_DIR: each file carries exactly its family name,
// draws what its style needs, and keeps its copyright record.

#include <QByteArray>
#include <QFileInfo>
#include <QPainterPath>
#include <QProcess>
#include <QRawFont>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>
#include <QtTest>

#include <array>
#include <optional>

namespace {

struct Style {
    int m;                  // deployment number: the file is M.ttf
    const char16_t* family; // the family name the file must carry
    bool chinese;           // Chinese style (else Latin only)
};

constexpr std::array<Style, 15> kStyles{{
    {1, u"Pastor of Muppets", false},
    {2, u"Halwen钢笔行书简体", true},
    {3, u"Blazed", false},
    {4, u"方正喵呜体", true},
    {5, u"vantrel", true},
    {6, u"迷你简花蝶", true},
    {7, u"迷你简黄草", true},
    {8, u"章草", true},
    {9, u"ALS Script", false},
    {10, u"Halwen圆趣卡通体", true},
    {11, u"Corvan草书 繁", true},
    {12, u"Wendel体", true},
    {13, u"Halwen疾风草书", true},
    {14, u"Halwen新篆简体试用版", true},
    {15, u"书体坊Ferrun标准草书", true},
}};

constexpr int kLevel1Count = 3755;
constexpr int kMinLevel1Inked = 3300;

const QString kSurnames =
    QStringLiteral(u"王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董"
                   u"袁潘于蒋蔡余杜叶程苏魏吕丁任沈");

// GB2312 level 1: rows 0xB0..0xD7, cells 0xA1..0xFE, the last row ending at 0xD7F9.
std::optional<QString> level1Hanzi() {
    QByteArray bytes;
    for (int hi = 0xB0; hi <= 0xD7; ++hi) {
        const int lastCell = hi == 0xD7 ? 0xF9 : 0xFE;
        for (int lo = 0xA1; lo <= lastCell; ++lo) {
            bytes.append(char(hi));
            bytes.append(char(lo));
        }
    }
    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        return std::nullopt;
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

bool isInked(const QRawFont& font, QChar ch) {
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(ch));
    return glyphs.size() == 1 && glyphs.first() != 0 &&
           !font.pathForGlyph(glyphs.first()).isEmpty();
}

QString missingFrom(const QRawFont& font, const QString& chars) {
    QString missing;
    for (QChar ch : chars) {
        if (!isInked(font, ch))
            missing.append(ch);
    }
    return missing;
}

struct NameRecord {
    quint16 platform;
    quint16 nameId;
    QString text;
};

// The records of an sfnt 'name' table; Unicode and Windows strings decoded from UTF-16BE,
// others kept as Latin-1. Returns nothing when the table is malformed.
std::optional<QList<NameRecord>> parseNameTable(const QByteArray& table) {
    const auto* data = reinterpret_cast<const uchar*>(table.constData());
    const auto u16 = [&](qsizetype at) {
        return qFromBigEndian<quint16>(data + at);
    };
    if (table.size() < 6)
        return std::nullopt;
    const int count = u16(2);
    const qsizetype storage = u16(4);
    if (table.size() < 6 + 12 * qsizetype(count))
        return std::nullopt;
    QList<NameRecord> records;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = 6 + 12 * qsizetype(i);
        const quint16 platform = u16(at);
        const quint16 nameId = u16(at + 6);
        const qsizetype length = u16(at + 8);
        const qsizetype offset = storage + u16(at + 10);
        if (offset + length > table.size())
            return std::nullopt;
        QString text;
        if (platform == 0 || platform == 3) {
            for (qsizetype k = 0; k + 1 < length; k += 2)
                text.append(QChar(u16(offset + k)));
        } else {
            text = QString::fromLatin1(table.constData() + offset, length);
        }
        records.append({platform, nameId, text});
    }
    return records;
}

} // namespace

class TestStyleFonts : public QObject {
    Q_OBJECT

private:
    QString m_dir;

    void addStyleRows() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("chinese");
        for (const Style& s : kStyles) {
            const QString file = m_dir + QStringLiteral("/%1.ttf").arg(s.m);
            QTest::addRow("M=%d", s.m) << file << QString::fromUtf16(s.family) << s.chinese;
        }
    }

private slots:
    void initTestCase() {
        m_dir = qEnvironmentVariable("INKVALE_FONTS_DIR");
        if (m_dir.isEmpty())
            QSKIP("INKVALE_FONTS_DIR is not set: build the fonts (tools/fonts/build.py --out DIR) "
                  "and point INKVALE_FONTS_DIR at DIR");
        QVERIFY2(QFileInfo(m_dir).isDir(), qPrintable(m_dir + QStringLiteral(" is not a folder")));
    }

    void fcScanReportsExactlyTheFamily_data() { addStyleRows(); }
    void fcScanReportsExactlyTheFamily() {
        QFETCH(QString, file);
        QFETCH(QString, family);
        QVERIFY2(QFileInfo::exists(file), qPrintable(file + QStringLiteral(" is missing")));

        QProcess scan;
        scan.start(QStringLiteral("fc-scan"),
                   {QStringLiteral("--format"), QStringLiteral("%{family}\\n"), file});
        QVERIFY2(scan.waitForStarted(), "fc-scan could not start (apt-get install fontconfig)");
        QVERIFY(scan.waitForFinished(60000));
        QCOMPARE(scan.exitStatus(), QProcess::NormalExit);
        QCOMPARE(scan.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(scan.readAllStandardOutput()), family + QLatin1Char('\n'));
    }

    void drawsWhatTheStyleNeeds_data() { addStyleRows(); }
    void drawsWhatTheStyleNeeds() {
        QFETCH(QString, file);
        QFETCH(bool, chinese);
        QRawFont font(file, 48);
        QVERIFY2(font.isValid(), qPrintable(file + QStringLiteral(" does not load")));

        const QString letters =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        QCOMPARE(missingFrom(font, letters), QString());
        if (!chinese)
            return;

        QCOMPARE(missingFrom(font, kSurnames), QString());

        const std::optional<QString> level1 = level1Hanzi();
        QVERIFY2(level1.has_value(), "Qt cannot decode GB18030 (Qt built without ICU?)");
        QCOMPARE(level1->size(), kLevel1Count);
        const qsizetype inked = level1->size() - missingFrom(font, *level1).size();
        QVERIFY2(inked >= kMinLevel1Inked,
                 qPrintable(QStringLiteral("%1 of %2 GB2312 level-1 hanzi drawn, want >= %3")
                                .arg(inked)
                                .arg(kLevel1Count)
                                .arg(kMinLevel1Inked)));
    }

    void nameTableKeepsCopyrightAndFamily_data() { addStyleRows(); }
    void nameTableKeepsCopyrightAndFamily() {
        QFETCH(QString, file);
        QFETCH(QString, family);
        QRawFont font(file, 12);
        QVERIFY2(font.isValid(), qPrintable(file + QStringLiteral(" does not load")));

        const std::optional<QList<NameRecord>> records = parseNameTable(font.fontTable("name"));
        QVERIFY2(records.has_value(), "malformed name table");

        bool copyright = false;
        QStringList families;
        for (const NameRecord& r : *records) {
            if (r.nameId == 0 && !r.text.trimmed().isEmpty())
                copyright = true;
            if (r.nameId == 1 || r.nameId == 16)
                families.append(r.text);
        }
        QVERIFY2(copyright, "no copyright record (name ID 0)");
        QVERIFY(!families.isEmpty());
        families.removeDuplicates();
        QCOMPARE(families, QStringList{family});
    }
};

QTEST_MAIN(TestStyleFonts)
#include "tst_stylefonts.moc"
