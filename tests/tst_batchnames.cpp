// inkvale-render's pure pieces: reading names, naming batch files, packing PNG files.

#include "cli/BatchNames.h"
#include "core/PngEncoding.h"

#include <QPainter>
#include <QSet>
#include <QStringEncoder>
#include <QTest>

#include <thread>

using namespace inkvale;

Q_DECLARE_METATYPE(inkvale::PngContent)
Q_DECLARE_METATYPE(inkvale::NamesEncoding)

namespace {

/// The UTF-8 length of `text`.
qsizetype utf8Size(const QString& text) {
    return text.toUtf8().size();
}

/// A signature-like picture: a plain canvas with antialiased strokes, in `format`.
QImage strokes(QImage::Format format, bool shaded) {
    QImage image(336, 93, format);
    image.fill(format == QImage::Format_ARGB32_Premultiplied ? QColor(Qt::transparent)
                                                             : QColor(0xf0, 0xf0, 0xf0));
    QPainter painter(&image);
    if (shaded) {
        QLinearGradient gradient(0, 0, 336, 93);
        gradient.setColorAt(0, QColor(30, 90, 160));
        gradient.setColorAt(1, QColor(240, 200, 80, 128));
        painter.fillRect(image.rect(), gradient);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 20, 20, 200), 7));
    painter.drawEllipse(QRectF(60, 15, 90, 60));
    painter.drawLine(QPointF(170, 80), QPointF(290, 12));
    painter.end();
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    return image;
}

} // namespace

class TestBatchNames final : public QObject {
    Q_OBJECT

private slots:
    void namesFileLines_data();
    void namesFileLines();
    void namesFileEncodings_data();
    void namesFileEncodings();
    void sameNameWhereverItComesFrom_data();
    void sameNameWhereverItComesFrom();
    void namesThatCannotBeDrawn_data();
    void namesThatCannotBeDrawn();
    void fileNamesEverySystemTakes_data();
    void fileNamesEverySystemTakes();
    void cutWhereAPersonSeesACharacterEnd_data();
    void cutWhereAPersonSeesACharacterEnd();
    void numberingManyAlikeNames();
    void numberedLongNamesKeepTheLimit();
    void pngKeepsPixelsResolutionAndAlpha_data();
    void pngKeepsPixelsResolutionAndAlpha();
};

void TestBatchNames::namesFileLines_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("lines");

    QTest::newRow("LF") << QByteArray("Ann\nBob\n") << QStringList{"Ann", "Bob"}
                        << QList<int>{1, 2};
    QTest::newRow("CR LF, one line end each")
        << QByteArray("Ann\r\n\r\nBob\r\nCid") << QStringList{"Ann", "Bob", "Cid"}
        << QList<int>{1, 3, 4};
    QTest::newRow("CR alone") << QByteArray("Ann\rBob\r\rCid\r") << QStringList{"Ann", "Bob", "Cid"}
                              << QList<int>{1, 2, 4};
    QTest::newRow("all three mixed")
        << QByteArray("Ann\rBob\nCid\r\nDee\n\rEve")
        << QStringList{"Ann", "Bob", "Cid", "Dee", "Eve"} << QList<int>{1, 2, 3, 4, 6};
    QTest::newRow("tabs and outer blanks")
        << QByteArray("\tAnn\tLee \n \xE3\x80\x80\xE6\x9D\x8E\xE5\xA8\x9C\xC2\xA0\n")
        << QStringList{QStringLiteral("Ann Lee"), QStringLiteral("李娜")} << QList<int>{1, 2};
    QTest::newRow("names that cannot be drawn are kept for the batch to report")
        << QByteArray("Ann\nA\x01z\nB\0z\n", 12)
        << QStringList{QStringLiteral("Ann"), QStringLiteral("A\x01z"),
                       QString::fromUtf8("B\0z", 3)}
        << QList<int>{1, 2, 3};
}

void TestBatchNames::namesFileLines() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, lines);
    const NameList list = parseNames(text);
    QCOMPARE(list.error, QString());
    QCOMPARE(list.names, names);
    QCOMPARE(list.lines, lines);
}

void TestBatchNames::namesFileEncodings_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<NamesEncoding>("encoding");
    QTest::addColumn<QStringList>("names"); // when it is read
    QTest::addColumn<QString>("error");     // what the error says when it is not

    const auto gbk = [](const char* text) {
        return QByteArray(QStringEncoder("GB18030")(QString::fromUtf8(text)));
    };
    const auto utf16 = [](const char* text, QStringEncoder::Encoding order) {
        return QByteArray(QStringEncoder(order)(QString::fromUtf8(text)));
    };
    const NamesEncoding guess = NamesEncoding::Guess;

    // GBK that is no UTF-8: the way to convert it, not only "not UTF-8".
    QTest::newRow("GBK") << gbk("张伟\n李娜\n") << guess << QStringList()
                         << "line 1 is not UTF-8 text but GB18030 (GBK), as Chinese Windows saves "
                            "it: convert it with iconv -f GB18030 -t UTF-8, or give --encoding "
                            "gb18030";
    QTest::newRow("GBK read as such") << gbk("张伟\n李娜·买买提\n") << NamesEncoding::Gb18030
                                      << QStringList{"张伟", "李娜·买买提"} << QString();
    // GBK whose bytes are UTF-8 too: never drawn as the gibberish UTF-8 makes of it.
    QTest::newRow("GBK that is UTF-8, two scripts")
        << gbk("Ann\n谢伟\n") << guess << QStringList()
        << "line 2 reads \"лΰ\" as UTF-8 but \"谢伟\" as GB18030 (GBK): if it is GB18030, convert "
           "it with iconv -f GB18030 -t UTF-8, or give --encoding gb18030; if it is UTF-8, give "
           "--encoding utf-8";
    QTest::newRow("GBK that is UTF-8, a mark that starts a word")
        << gbk("郑强") << guess << QStringList() << "reads \"\u05A3\u01FF\" as UTF-8";
    QTest::newRow("GBK that is UTF-8, a capital after a small letter")
        << gbk("谢英") << guess << QStringList() << "but \"谢英\" as GB18030";
    QTest::newRow("GBK that is UTF-8, a phonetic sign")
        << gbk("肖思") << guess << QStringList() << "but \"肖思\" as GB18030";
    // GBK names whose UTF-8 reading is of one script, yet written as no name of it is.
    struct OneScript {
        const char* why;
        const char* name;
        const char* utf8;
    };
    for (const OneScript& row : {
             OneScript{"a historic Cyrillic letter", "谢雪", "лѩ"},
             OneScript{"an archaic Greek letter", "魏霞", "κϼ"},
             OneScript{"a division sign", "谢梅", "л÷"},
             OneScript{"accented Latin without ASCII", "钱萍", "ǮƼ"},
             OneScript{"accented Latin, small first", "毛强", "ëǿ"},
             OneScript{"Cyrillic without a vowel", "小谢", "Сл"},
             OneScript{"a Greek diaeresis after no vowel", "韦伟", "Τΰ"},
             OneScript{"a mark that makes no letter", "谢泰", "л̩"},
         }) {
        QTest::addRow("GBK that is UTF-8, %s", row.why)
            << gbk(row.name) << guess << QStringList()
            << QStringLiteral("line 1 reads \"%1\" as UTF-8 but \"%2\" as GB18030")
                   .arg(QString::fromUtf8(row.utf8), QString::fromUtf8(row.name));
    }
    QTest::newRow("GBK that is UTF-8 read as GB18030")
        << gbk("谢伟") << NamesEncoding::Gb18030 << QStringList{"谢伟"} << QString();
    QTest::newRow("GBK that is UTF-8 taken as UTF-8")
        << gbk("谢伟") << NamesEncoding::Utf8 << QStringList{"лΰ"} << QString();
    // Names of other scripts whose bytes happen to be GBK too are names.
    QTest::newRow("UTF-8 names of many scripts")
        << QByteArray("Иван Петров\nΣοφία Παπαδοπούλου\nJosé Müller\nȘerban Țurcanu\n"
                      "Zoë\n李娜\nשרה כהן\nIvan Σοφία\n")
        << guess << QStringList{"Иван Петров", "Σοφία Παπαδοπούλου",
                                "José Müller", "Șerban Țurcanu",
                                "Zoë",         "李娜",
                                "שרה כהן",     "Ivan Σοφία"}
        << QString();
    // Their bytes read as common Chinese in GB18030 ("Сабина" as six characters of GB2312's
    // first level), but they are written as names are: capitals first, vowels, accents that
    // make up letters, decomposed or not.
    QTest::newRow("UTF-8 names that are GBK too")
        << QByteArray("Сабина\nЯн\nИВАНОВ\nЁлкин\nҶамшед\nҒалым\nΕλένη\nΝαΐς\nΩρίων\n"
                      "Zoe\xCC\x88\n\xD0\x95\xCC\x88\xD0\xBB\xD0\xBA\xD0\xB8\xD0\xBD\nÅsa Öberg\n")
        << guess
        << QStringList{"Сабина",
                       "Ян",
                       "ИВАНОВ",
                       "Ёлкин",
                       "Ҷамшед",
                       "Ғалым",
                       "Ελένη",
                       "Ναΐς",
                       "Ωρίων",
                       QStringLiteral("Zoe\u0308"),
                       QStringLiteral("\u0415\u0308лкин"),
                       "Åsa Öberg"}
        << QString();
    QTest::newRow("Latin-1 is neither")
        << QByteArray("Ann\nZo\xEB\n") << guess << QStringList() << "line 2 is not UTF-8 text";
    // UTF-16 without its byte order mark: Chinese text in it may have no zero byte.
    QTest::newRow("UTF-16LE without a mark")
        << utf16("张伟\r\n李娜\r\n", QStringEncoder::Utf16LE) << guess << QStringList()
        << "it is UTF-16LE text without a byte order mark, not UTF-8: convert it with iconv -f "
           "UTF-16LE -t UTF-8, or give --encoding utf-16le";
    QTest::newRow("UTF-16BE without a mark or a line end")
        << utf16("张伟", QStringEncoder::Utf16BE) << guess << QStringList()
        << "it is UTF-16BE text without a byte order mark";
    QTest::newRow("UTF-16LE, ASCII, without a mark")
        << utf16("Ann\n", QStringEncoder::Utf16LE) << guess << QStringList()
        << "it is UTF-16 text, not UTF-8";
    QTest::newRow("UTF-16BE, ASCII, without a mark")
        << utf16("Ann\nLee\n", QStringEncoder::Utf16BE) << guess << QStringList()
        << "it is UTF-16 text, not UTF-8";
    QTest::newRow("UTF-16LE read as such")
        << utf16("张伟\r\n李娜\r\n", QStringEncoder::Utf16LE) << NamesEncoding::Utf16Le
        << QStringList{"张伟", "李娜"} << QString();
    QTest::newRow("UTF-16 by its mark")
        << QByteArray("\xFE\xFF") + utf16("张伟\nAnn", QStringEncoder::Utf16BE)
        << NamesEncoding::Utf16 << QStringList{"张伟", "Ann"} << QString();
    QTest::newRow("UTF-16 that is cut short")
        << utf16("张伟", QStringEncoder::Utf16LE).chopped(1) << NamesEncoding::Utf16Le
        << QStringList() << "it is not UTF-16 text";
    // Bounded: a line is at most 4096 bytes.
    QTest::newRow("the longest line")
        << QByteArray(4096, 'a') << guess << QStringList{QString(4096, u'a')} << QString();
    QTest::newRow("a line too long")
        << QByteArray("Ann\n") + QByteArray(4097, 'b') << guess << QStringList()
        << "line 2 is longer than 4096 bytes, the most a line may hold";
}

void TestBatchNames::namesFileEncodings() {
    QFETCH(QByteArray, text);
    QFETCH(NamesEncoding, encoding);
    QFETCH(QStringList, names);
    QFETCH(QString, error);
    const NameList list = parseNames(text, encoding);
    if (error.isEmpty()) {
        QCOMPARE(list.error, QString());
    } else {
        QVERIFY2(list.error.contains(error), qPrintable(list.error));
    }
    QCOMPARE(list.names, names);
}

void TestBatchNames::sameNameWhereverItComesFrom_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("drawn");

    QTest::newRow("trailing spaces") << QStringLiteral("Ann   ") << QStringLiteral("Ann");
    QTest::newRow("leading tab") << QStringLiteral("\tAnn") << QStringLiteral("Ann");
    QTest::newRow("inner tab") << QStringLiteral("Ann\tLee") << QStringLiteral("Ann Lee");
    QTest::newRow("two inner tabs") << QStringLiteral("A\t\tB") << QStringLiteral("A  B");
    QTest::newRow("no-break and ideographic spaces")
        << QStringLiteral("\u00a0张伟\u3000") << QStringLiteral("张伟");
    QTest::newRow("inner spaces kept")
        << QStringLiteral(" Ann  Lee ") << QStringLiteral("Ann  Lee");
    // As `--name "$(cat name.txt)"` hands over a file saved by Notepad.
    QTest::newRow("byte order mark") << QStringLiteral("\uFEFF张伟") << QStringLiteral("张伟");
}

void TestBatchNames::sameNameWhereverItComesFrom() {
    QFETCH(QString, given);
    QFETCH(QString, drawn);
    // What --name hands to the drawing, and what a line of a names file does.
    QCOMPARE(drawableName(given), drawn);
    const NameList list = parseNames(given.toUtf8());
    QCOMPARE(list.names, QStringList{drawn});
}

void TestBatchNames::namesThatCannotBeDrawn_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("problem"); // empty: it can be drawn
    QTest::addColumn<QString>("quoted");

    QTest::newRow("plain") << QStringLiteral("Ann Lee") << QString() << "\"Ann Lee\"";
    QTest::newRow("NUL") << QString::fromUtf8("A\0B", 3)
                         << "it holds the control character U+0000, which cannot be drawn"
                         << "\"A<U+0000>B\"";
    QTest::newRow("escape") << QStringLiteral("A\x1b[31mB") << "control character U+001B"
                            << "\"A<U+001B>[31mB\"";
    QTest::newRow("delete") << QStringLiteral("AB\x7f") << "control character U+007F"
                            << "\"AB<U+007F>\"";
    QTest::newRow("C1 next line") << QStringLiteral("A\u0085B") << "control character U+0085"
                                  << "\"A<U+0085>B\"";
    QTest::newRow("line separator") << QStringLiteral("A\u2028B") << "U+2028"
                                    << "\"A<U+2028>B\"";
    QTest::newRow("half a character")
        << QString(QChar(0xd83d)) + QStringLiteral("x") << "half of a character (U+D83D)"
        << "\"<U+D83D>x\"";
    // Joiners and direction marks belong to real names: drawn, but shown by number.
    QTest::newRow("emoji family") << QStringLiteral("👨\u200d👩\u200d👧") << QString()
                                  << "\"👨<U+200D>👩<U+200D>👧\"";
    QTest::newRow("long, cut before an emoji, not inside it")
        << QString(79, QLatin1Char('a')) + QStringLiteral("😀b") << QString()
        << "\"" + QString(79, QLatin1Char('a')) + "...\"";
    QTest::newRow("right-to-left mark")
        << QStringLiteral("\u05d3\u05df\u200f") << QString() << "\"\u05d3\u05df<U+200F>\"";
}

void TestBatchNames::namesThatCannotBeDrawn() {
    QFETCH(QString, name);
    QFETCH(QString, problem);
    QFETCH(QString, quoted);
    if (problem.isEmpty()) {
        QCOMPARE(nameProblem(name), QString());
    } else {
        QVERIFY2(nameProblem(name).contains(problem), qPrintable(nameProblem(name)));
    }
    QCOMPARE(quotedName(name), quoted);
}

void TestBatchNames::fileNamesEverySystemTakes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");

    // Device names, whatever follows the first dot and in any case.
    QTest::newRow("CON") << QStringLiteral("CON") << QStringLiteral("CON_");
    QTest::newRow("nul") << QStringLiteral("nul") << QStringLiteral("nul_");
    QTest::newRow("com1.txt") << QStringLiteral("com1.txt") << QStringLiteral("com1_.txt");
    QTest::newRow("Aux.tar.gz") << QStringLiteral("Aux.tar.gz") << QStringLiteral("Aux_.tar.gz");
    QTest::newRow("LPT9") << QStringLiteral("LPT9") << QStringLiteral("LPT9_");
    QTest::newRow("COM0") << QStringLiteral("COM0") << QStringLiteral("COM0_");
    QTest::newRow("superscript port")
        << QStringLiteral("com\u00b9") << QStringLiteral("com\u00b9_");
    QTest::newRow("console input") << QStringLiteral("CONIN$") << QStringLiteral("CONIN$_");
    QTest::newRow("blank before the dot") << QStringLiteral("prn .x") << QStringLiteral("prn _.x");
    QTest::newRow("device after the blanks are trimmed")
        << QStringLiteral("  nul  ") << QStringLiteral("nul_");
    QTest::newRow("longer word") << QStringLiteral("Console") << QStringLiteral("Console");
    QTest::newRow("port ten") << QStringLiteral("COM10") << QStringLiteral("COM10");
    QTest::newRow("device later in the name")
        << QStringLiteral("Ann.con") << QStringLiteral("Ann.con");
    // Characters that do not show are left out; control characters become '_'.
    QTest::newRow("right-to-left override")
        << QStringLiteral("Ann\u202egnp.exe") << QStringLiteral("Anngnp.exe");
    QTest::newRow("zero-width and joiners")
        << QStringLiteral("A\u200bn\u200dn\u2060") << QStringLiteral("Ann");
    QTest::newRow("byte order mark and soft hyphen")
        << QStringLiteral("\ufeffAn\u00adn") << QStringLiteral("Ann");
    QTest::newRow("direction marks around a Hebrew name")
        << QStringLiteral("\u200f\u05d3\u05df\u200e") << QStringLiteral("\u05d3\u05df");
    QTest::newRow("control characters") << QStringLiteral("A\x01\x1b") << QStringLiteral("A__");
    QTest::newRow("line separator") << QStringLiteral("A\u2028B") << QStringLiteral("A_B");
    QTest::newRow("only invisible") << QStringLiteral("\u200b\u200e") << QStringLiteral("_");
    QTest::newRow("decomposed accents composed")
        << QStringLiteral("Zoe\u0308") << QStringLiteral("Zo\u00eb");
    QTest::newRow("a lone surrogate")
        << QString(QChar(0xdc00)) + QStringLiteral("x") << QStringLiteral("_x");
}

void TestBatchNames::fileNamesEverySystemTakes() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(safeFileName(name), file);
}

void TestBatchNames::cutWhereAPersonSeesACharacterEnd_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");

    const QString filler = QString(195, QLatin1Char('a'));
    // q with an acute accent has no composed form, so it stays two code points.
    QTest::newRow("accent stays with its letter")
        << filler + QStringLiteral("bbb") + QStringLiteral("q\u0301") << filler + "bbb";
    QTest::newRow("skin tone stays with its emoji")
        << filler + QStringLiteral("👍🏽") << filler;
    QTest::newRow("flag stays whole") << filler + QStringLiteral("🇨🇳") << filler;
    QTest::newRow("fits") << filler + QStringLiteral("b\u00e9") << filler + "b\u00e9";
    QTest::newRow("Hangul syllables") << QString(70, QChar(0xd55c)) << QString(66, QChar(0xd55c));
}

void TestBatchNames::cutWhereAPersonSeesACharacterEnd() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    const QString cut = safeFileName(name);
    QCOMPARE(cut, file);
    QVERIFY(utf8Size(cut) <= kLongestBaseName);

    // A letter under more accents than the limit holds is cut between code points, never
    // inside one.
    const QString piled = QStringLiteral("x") + QString(150, QChar(0x0301));
    const QString piledCut = safeFileName(piled);
    QVERIFY(utf8Size(piledCut) <= kLongestBaseName);
    QVERIFY(utf8Size(piledCut) > kLongestBaseName - 2);
    QVERIFY(piled.startsWith(piledCut));
}

void TestBatchNames::numberingManyAlikeNames() {
    // Many copies of one name, in two cases, among names that look like numbered ones.
    QStringList names;
    for (int i = 0; i < 20000; ++i) {
        names.append(i % 2 == 0 ? QStringLiteral("Ann") : QStringLiteral("ANN"));
    }
    names.insert(5, QStringLiteral("Ann (7)"));
    names.append(QStringLiteral("Ann (3)"));
    const QStringList files = batchFileNames(names, QStringLiteral("png"));
    QCOMPARE(files.size(), names.size());

    QSet<QString> folded;
    for (const QString& file : files) {
        folded.insert(file.toCaseFolded());
    }
    QCOMPARE(folded.size(), files.size());
    QCOMPARE(files.at(0), QStringLiteral("Ann.png"));
    QCOMPARE(files.at(1), QStringLiteral("ANN (2).png"));
    QCOMPARE(files.at(5), QStringLiteral("Ann (7).png"));
    QCOMPARE(files.at(6), QStringLiteral("ANN (6).png"));
    QCOMPARE(files.at(7), QStringLiteral("Ann (8).png")); // 7 was taken by the name "Ann (7)"
    QCOMPARE(files.at(names.size() - 2), QStringLiteral("ANN (20001).png"));
    QCOMPARE(files.back(), QStringLiteral("Ann (3) (2).png"));
}

void TestBatchNames::numberedLongNamesKeepTheLimit() {
    // A name as long as a base name may be, ending in an emoji (a surrogate pair): the counter
    // takes the emoji's room, never half of it.
    const QString filler(kLongestBaseName - 4, QLatin1Char('a'));
    const QString name = filler + QStringLiteral("👍");
    QCOMPARE(utf8Size(name), kLongestBaseName);
    const QStringList files = batchFileNames({name, name, name.toUpper()}, QStringLiteral("png"));
    const QStringList expected{name + QStringLiteral(".png"), filler + QStringLiteral(" (2).png"),
                               filler.toUpper() + QStringLiteral(" (3).png")};
    QCOMPARE(files, expected);
    for (const QString& file : files) {
        QVERIFY(utf8Size(file.chopped(4)) <= kLongestBaseName);
    }
}

void TestBatchNames::pngKeepsPixelsResolutionAndAlpha_data() {
    QTest::addColumn<QImage>("image");
    QTest::addColumn<PngContent>("content");

    QTest::newRow("opaque drawing") << strokes(QImage::Format_RGB32, false) << PngContent::Drawing;
    QTest::newRow("transparent drawing")
        << strokes(QImage::Format_ARGB32_Premultiplied, false) << PngContent::Drawing;
    QTest::newRow("shaded picture") << strokes(QImage::Format_RGB32, true) << PngContent::Picture;
    QTest::newRow("translucent picture")
        << strokes(QImage::Format_ARGB32_Premultiplied, true) << PngContent::Picture;
}

void TestBatchNames::pngKeepsPixelsResolutionAndAlpha() {
    QFETCH(QImage, image);
    QFETCH(PngContent, content);

    const QByteArray bytes = encodePng(image, content);
    QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
    const QImage read = QImage::fromData(bytes, "PNG");
    QVERIFY(!read.isNull());
    QCOMPARE(read.size(), image.size());
    QCOMPARE(read.hasAlphaChannel(), image.hasAlphaChannel());
    QCOMPARE(read.dotsPerMeterX(), 11811);
    QCOMPARE(read.dotsPerMeterY(), 11811);
    const QImage::Format common = QImage::Format_ARGB32;
    QCOMPARE(read.convertToFormat(common), image.convertToFormat(common));

    // The same bytes every time and on any thread, so that a batch does not depend on which
    // core packed which file.
    QByteArray elsewhere;
    std::thread([&] { elsewhere = encodePng(image, content); }).join();
    QCOMPARE(elsewhere, bytes);
    QCOMPARE(encodePng(image, content), bytes);
}

QTEST_MAIN(TestBatchNames)
#include "tst_batchnames.moc"
