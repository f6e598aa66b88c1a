// inkvale-render as a user runs it: a separate process without a display, its files read back
// with real readers, its batches, its messages and its exit status.

#include "core/SignatureRenderer.h"
#include "core/StyleCatalogue.h"
#include "support/DesignerSignature.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>
#include <functional>

using namespace inkvale;

Q_DECLARE_METATYPE(inkvale::LineShape)
Q_DECLARE_METATYPE(inkvale::SealText)

namespace {

const QString kProgram = QStringLiteral(INKVALE_RENDER_EXE);
const QString kFontsDir = QStringLiteral(INKVALE_FONTS_DIR);

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

/// Every entry of `folder` and below, hidden ones included, as relative paths.
QStringList listing(const QString& folder) {
    QStringList entries;
    const QDir root(folder);
    const auto filters = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    for (const QFileInfo& info : root.entryInfoList(filters, QDir::Name)) {
        entries.append(info.fileName());
        if (info.isDir()) {
            for (const QString& inner : listing(info.filePath())) {
                entries.append(info.fileName() + QLatin1Char('/') + inner);
            }
        }
    }
    return entries;
}

bool hasInk(const QImage& image) {
    const QRgb paper = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != paper) {
                return true;
            }
        }
    }
    return false;
}

QString shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

/// A photograph-like JPEG of a few kilobytes: noise does not pack away.
QByteArray noisyJpeg() {
    QImage image(200, 150, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525U + 1013904223U;
            image.setPixel(x, y, seed >> 8);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

} // namespace

class TestRenderCli final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void matchesTheDesignerThroughTheFile_data();
    void matchesTheDesignerThroughTheFile();
    void formatsOpenWithRealReaders_data();
    void formatsOpenWithRealReaders();
    void printedWidth_data();
    void printedWidth();
    void batchWithAwkwardNames();
    void batchSkipsNamesItCannotDraw();
    void batchIsTheSameOnAnyNumberOfCores();
    void sameNameSameDrawing_data();
    void sameNameSameDrawing();
    void writeFailuresNameTheirCause_data();
    void writeFailuresNameTheirCause();
    void noDisplayWhateverTheEnvironmentSays_data();
    void noDisplayWhateverTheEnvironmentSays();
    void progressOnlyOnATerminal();
    void animationFramesAreCountedOnATerminal_data();
    void animationFramesAreCountedOnATerminal();
    void missingFacesAreNamed();
    void rareCharactersAreTheStylesWhereverTheFontsAre_data();
    void rareCharactersAreTheStylesWhereverTheFontsAre();
    void badInput_data();
    void badInput();
    void inAShell_data();
    void inAShell();
    void brokenPipeLeavesNoTemporaryFile_data();
    void brokenPipeLeavesNoTemporaryFile();
    void jsonForScripts();
    void lineShapeInEveryMode_data();
    void lineShapeInEveryMode();

private:
    /// Runs the program in the work folder, with no display and no Qt platform chosen;
    /// `adjust` may change its environment further. With `fileSizeLimit`, it runs under a shell
    /// that limits the size of the files it may write to 1 KiB or less.
    Run render(const QStringList& arguments,
               const std::function<void(QProcessEnvironment&)>& adjust = {},
               bool fileSizeLimit = false) const;
    /// Runs `script` with /bin/sh in the work folder, the program's path in $R and `r` a shell
    /// function that runs it with the style fonts from the executable.
    Run shell(const QString& script) const;
    [[nodiscard]] QString path(const QString& name) const { return m_work->filePath(name); }
    void writeFile(const QString& name, const QByteArray& bytes) const;

    QTemporaryDir m_runtime;
    std::unique_ptr<QTemporaryDir> m_work;
    bool m_stylesInstalled = false;
};

void TestRenderCli::initTestCase() {
    QVERIFY(QFileInfo(kProgram).isExecutable());
    QVERIFY(m_runtime.isValid());
    // Before this process adds them: is any style installed for the user or the system?
    for (const QString& face : faceNamesInBoxOrder()) {
        m_stylesInstalled = m_stylesInstalled || QFontDatabase::hasFamily(face);
    }
    const QStringList missing = test::useBuiltStyleFonts(kFontsDir);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
}

void TestRenderCli::init() {
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
}

Run TestRenderCli::render(const QStringList& arguments,
                          const std::function<void(QProcessEnvironment&)>& adjust,
                          bool fileSizeLimit) const {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.remove(QString::fromLatin1(variable));
    }
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    if (adjust) {
        adjust(environment);
    }
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_work->path());
    if (fileSizeLimit) {
        // One block: 512 bytes in dash, 1024 in bash; every picture here is larger.
        process.start(QStringLiteral("/bin/sh"),
                      QStringList{QStringLiteral("-c"),
                                  QStringLiteral("ulimit -f 1 && exec \"$0\" \"$@\""), kProgram} +
                          arguments);
    } else {
        process.start(kProgram, arguments);
    }
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

Run TestRenderCli::shell(const QString& script) const {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    environment.insert(QStringLiteral("R"), kProgram);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_work->path());
    process.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"),
                   QStringLiteral("r() { \"$R\" --fonts-from-executable \"$@\"; }\n") + script});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

void TestRenderCli::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestRenderCli::matchesTheDesignerThroughTheFile_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("name");

    QTest::newRow("by number") << QStringLiteral("12") << 12 << QStringLiteral("张伟 John");
    QTest::newRow("by face") << QStringLiteral("Blazed") << 8 << QStringLiteral("Ann Smith");
    QTest::newRow("by caption") << QStringLiteral("Ostrid手写字体") << 4 << QStringLiteral("陈静");
}

void TestRenderCli::matchesTheDesignerThroughTheFile() {
    QFETCH(QString, style);
    QFETCH(int, slot);
    QFETCH(QString, name);

    const Run run = render({QStringLiteral("--style"), style, QStringLiteral("--name"), name,
                            QStringLiteral("-o"), QStringLiteral("signature.bmp"),
                            QStringLiteral("--fonts-from-executable")});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);

    QImageReader reader(path(QStringLiteral("signature.bmp")));
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage saved = reader.read().convertToFormat(QImage::Format_RGB32);
    test::DesignerChoice choice;
    choice.slot = slot;
    choice.name = name;
    const QImage designer = test::designerSignature(choice);
    QVERIFY(hasInk(designer));
    QCOMPARE(saved.size(), designer.size());
    QVERIFY2(saved == designer, "the saved picture differs from the designer's canvas");
}

void TestRenderCli::formatsOpenWithRealReaders_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("format"); // a Qt image reader's, or "svg", "pdf"
    QTest::addColumn<QSize>("size");        // pixels: of the picture, the view box or the page
    QTest::addColumn<int>("dotsPerMetre");
    QTest::addColumn<bool>("transparent");

    const QStringList signature{QStringLiteral("--style"), QStringLiteral("12"),
                                QStringLiteral("--name"), QStringLiteral("李娜")};
    const QStringList sheet{QStringLiteral("--name"), QStringLiteral("李娜"),
                            QStringLiteral("--sheet")};
    const QStringList output = signature + QStringList{QStringLiteral("-o")};

    QTest::newRow("png") << output << "a.png" << QByteArray("png") << QSize(336, 93) << 3780
                         << false;
    QTest::newRow("png, transparent")
        << QStringList{QStringLiteral("--transparent")} + output << "a.png" << QByteArray("png")
        << QSize(336, 93) << 3780 << true;
    QTest::newRow("png at 300 dpi")
        << QStringList{QStringLiteral("--dpi"), QStringLiteral("300")} + output << "a.png"
        << QByteArray("png") << QSize(1050, 291) << 11811 << false;
    QTest::newRow("bmp at 150 dpi")
        << QStringList{QStringLiteral("--dpi"), QStringLiteral("150")} + output << "a.bmp"
        << QByteArray("bmp") << QSize(525, 145) << 5906 << false;
    QTest::newRow("own canvas") << QStringList{QStringLiteral("--canvas"),
                                               QStringLiteral("500x200")} +
                                       output
                                << "a.png" << QByteArray("png") << QSize(496, 196) << 3780 << false;
    QTest::newRow("upper-case extension")
        << output << "A.PNG" << QByteArray("png") << QSize(336, 93) << 3780 << false;
    QTest::newRow("jpeg at 200 dpi")
        << QStringList{QStringLiteral("--dpi"), QStringLiteral("200")} + output << "a.jpeg"
        << QByteArray("jpeg") << QSize(700, 194) << 7874 << false;
    // JPEG keeps whole dots per inch: 96 reads back as 3779 dots a metre.
    QTest::newRow("jpg, sheet") << sheet << "s.jpg" << QByteArray("jpeg") << QSize(1072, 691)
                                << 3779 << false;
    QTest::newRow("svg") << output << "a.svg" << QByteArray("svg") << QSize(336, 93) << 0 << false;
    QTest::newRow("pdf") << output << "a.pdf" << QByteArray("pdf") << QSize(336, 93) << 0 << false;
    QTest::newRow("sheet, png") << sheet << "s.png" << QByteArray("png") << QSize(1072, 691) << 3780
                                << false;
    QTest::newRow("sheet, svg") << sheet << "s.svg" << QByteArray("svg") << QSize(1072, 691) << 0
                                << false;
}

void TestRenderCli::formatsOpenWithRealReaders() {
    QFETCH(QStringList, options);
    QFETCH(QString, file);
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QFETCH(int, dotsPerMetre);
    QFETCH(bool, transparent);

    const Run run = render(options + QStringList{file, QStringLiteral("--fonts-from-executable")});
    // Nothing but the notes on the Latin styles of a sheet, which draw no Chinese of their own.
    for (const QString& line : run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QVERIFY2(line.contains(QStringLiteral(") lacks ")) &&
                     line.endsWith(QStringLiteral(", drawn in Noto Serif CJK SC")),
                 qPrintable(line));
    }
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(listing(m_work->path()), QStringList{file});

    if (format == "svg") {
        QFile svg(path(file));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&svg);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name(), QLatin1String("svg"));
        QCOMPARE(xml.attributes().value(QStringLiteral("viewBox")).toString(),
                 QStringLiteral("0 0 %1 %2").arg(size.width()).arg(size.height()));
        int paths = 0;
        while (!xml.atEnd()) {
            paths += xml.readNext() == QXmlStreamReader::StartElement &&
                     xml.name() == QLatin1String("path");
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QVERIFY(paths >= 2);
        return;
    }
    if (format == "pdf") {
        QFile pdf(path(file));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        // 336 x 93 pixels are 252 x 69.75 points, not rounded up to whole points.
        QVERIFY2(bytes.contains(QStringLiteral("/MediaBox [0 %1 %2 %3]")
                                    .arg(std::ceil(size.height() * 0.75) - size.height() * 0.75)
                                    .arg(size.width() * 0.75)
                                    .arg(std::ceil(size.height() * 0.75))
                                    .toLatin1()),
                 bytes.constData());
        QVERIFY(!bytes.contains("/BaseFont"));
        return;
    }
    QImageReader reader(path(file));
    QCOMPARE(reader.format(), format);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);
    QCOMPARE(image.dotsPerMeterX(), dotsPerMetre);
    QCOMPARE(image.hasAlphaChannel(), transparent);
    QCOMPARE(qAlpha(image.pixel(0, 0)), transparent ? 0 : 255);
    QVERIFY(hasInk(image));
}

void TestRenderCli::batchWithAwkwardNames() {
    writeFile(QStringLiteral("names.txt"), "Ann\r\n"
                                           "a/b\n"
                                           "../escape\n"
                                           ".hidden\n"
                                           "\n"
                                           "   \n"
                                           "Ann\n"
                                           "ann\n"
                                           "\xE6\x9D\x8E\xE5\xA8\x9C\n" // 李娜
                                           "C:\\temp\n"
                                           "x.png");
    const QStringList batch{QStringLiteral("--style"),
                            QStringLiteral("1"),
                            QStringLiteral("--names-file"),
                            QStringLiteral("names.txt"),
                            QStringLiteral("--out-dir"),
                            QStringLiteral("out"),
                            QStringLiteral("--fonts-from-executable")};
    Run run = render(batch);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);

    const QStringList expected{"Ann (2).png", "Ann.png",   "C__temp.png",
                               "_escape.png", "a_b.png",   "ann (3).png",
                               "hidden.png",  "x.png.png", QStringLiteral("李娜.png")};
    QStringList files = listing(path(QStringLiteral("out")));
    QCOMPARE(files, expected);
    QCOMPARE(listing(m_work->path()).size(), 2 + expected.size()); // nothing escaped the folder
    QDir out(path(QStringLiteral("out")));
    for (const QString& file : files) {
        QImageReader reader(out.filePath(file));
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QCOMPARE(image.size(), QSize(336, 93));
        QVERIFY2(hasInk(image), qPrintable(file));
    }
    // Each file holds its own name: the two "Ann" lines draw alike, "ann" does not.
    const QImage ann(out.filePath(QStringLiteral("Ann.png")));
    QCOMPARE(QImage(out.filePath(QStringLiteral("Ann (2).png"))), ann);
    QVERIFY(QImage(out.filePath(QStringLiteral("ann (3).png"))) != ann);

    // Again: every file exists, so nothing is written at all.
    const QDateTime written = QFileInfo(out.filePath(QStringLiteral("Ann.png"))).lastModified();
    QFile::remove(out.filePath(QStringLiteral("x.png.png")));
    run = render(batch);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("exists already")) &&
                 run.err.contains(QStringLiteral("and 7 more")) &&
                 run.err.contains(QStringLiteral("--force")),
             qPrintable(run.err));
    QCOMPARE(listing(out.path()), QStringList(expected.mid(0, 7) + expected.mid(8)));
    QCOMPARE(QFileInfo(out.filePath(QStringLiteral("Ann.png"))).lastModified(), written);

    run = render(batch + QStringList{QStringLiteral("--force")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(listing(out.path()), expected);
}

void TestRenderCli::batchSkipsNamesItCannotDraw() {
    // CR line ends; a control character; a name of nothing but a zero-width space, which leaves
    // no ink to trim to; a folder where one file should go.
    writeFile(QStringLiteral("names.txt"), QByteArray("Ann\rA\x01z\r\xE2\x80\x8B\rBob\rCid\r"));
    QVERIFY(QDir(m_work->path()).mkpath(QStringLiteral("out/Bob.png")));
    const Run run =
        render({QStringLiteral("--style"), QStringLiteral("8"), QStringLiteral("--names-file"),
                QStringLiteral("names.txt"), QStringLiteral("--out-dir"), QStringLiteral("out"),
                QStringLiteral("--trim"), QStringLiteral("0"), QStringLiteral("--force"),
                QStringLiteral("--fonts-from-executable")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err,
             QStringLiteral(
                 "inkvale-render: skipped the name \"A<U+0001>z\" on line 2: it holds the "
                 "control character U+0001, which cannot be drawn\n"
                 "inkvale-render: skipped the name \"<U+200B>\" on line 3: the name leaves no ink "
                 "on the canvas to trim to\n"
                 "inkvale-render: skipped the name \"Bob\" on line 4: it is a folder\n"
                 "inkvale-render: 3 of 5 names were skipped; the other 2 were written\n"));
    QCOMPARE(listing(path(QStringLiteral("out"))), (QStringList{"Ann.png", "Bob.png", "Cid.png"}));
    QVERIFY(hasInk(QImage(path(QStringLiteral("out/Cid.png")))));
}

void TestRenderCli::batchIsTheSameOnAnyNumberOfCores() {
    const QString taskset = QStandardPaths::findExecutable(QStringLiteral("taskset"));
    if (taskset.isEmpty()) {
        QSKIP("needs taskset (Debian package util-linux) to hold the program to one core");
    }
    // Enough names, alike and not, that the pictures are packed on several cores at once.
    QByteArray names;
    for (int i = 0; i < 60; ++i) {
        names += i % 4 == 0 ? QByteArray("Ann\n") : QByteArray::number(i * 7919) + "号\n";
    }
    writeFile(QStringLiteral("names.txt"), names);
    const QStringList batch{QStringLiteral("--style"),
                            QStringLiteral("4"),
                            QStringLiteral("--names-file"),
                            QStringLiteral("names.txt"),
                            QStringLiteral("--fonts-from-executable"),
                            QStringLiteral("--out-dir")};
    const Run everyCore = render(batch + QStringList{QStringLiteral("all")});
    QCOMPARE(everyCore.exitCode, 0);

    QProcess oneCore;
    oneCore.setWorkingDirectory(m_work->path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    oneCore.setProcessEnvironment(environment);
    oneCore.start(taskset, QStringList{QStringLiteral("-c"), QStringLiteral("0"), kProgram} +
                               batch + QStringList{QStringLiteral("one")});
    QVERIFY(oneCore.waitForFinished(60000));
    QCOMPARE(oneCore.exitCode(), 0);

    const QStringList files = listing(path(QStringLiteral("all")));
    QCOMPARE(files.size(), 60);
    QCOMPARE(listing(path(QStringLiteral("one"))), files);
    for (const QString& file : files) {
        QFile a(path(QStringLiteral("all/") + file));
        QFile b(path(QStringLiteral("one/") + file));
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QVERIFY2(a.readAll() == b.readAll(), qPrintable(file));
    }
}

void TestRenderCli::sameNameSameDrawing_data() {
    QTest::addColumn<QString>("extension");
    QTest::newRow("png") << QStringLiteral("png");
    QTest::newRow("bmp") << QStringLiteral("bmp");
    QTest::newRow("svg") << QStringLiteral("svg");
}

void TestRenderCli::sameNameSameDrawing() {
    QFETCH(QString, extension);
    // The same name given three ways: bare, with blanks and a tab on the command line, and as a
    // line of a names file with blanks, a tab and a CR LF.
    const QStringList common{QStringLiteral("--style"), QStringLiteral("10"),
                             QStringLiteral("--fonts-from-executable")};
    writeFile(QStringLiteral("names.txt"), QByteArray(" Ann\tLee  \r\n"));
    const QString bare = QStringLiteral("bare.") + extension;
    const QString padded = QStringLiteral("padded.") + extension;
    QCOMPARE(render(common + QStringList{QStringLiteral("--name"), QStringLiteral("Ann Lee"),
                                         QStringLiteral("-o"), bare})
                 .exitCode,
             0);
    QCOMPARE(render(common + QStringList{QStringLiteral("--name"), QStringLiteral("Ann\tLee   "),
                                         QStringLiteral("-o"), padded})
                 .exitCode,
             0);
    const Run batch =
        render(common + QStringList{QStringLiteral("--names-file"), QStringLiteral("names.txt"),
                                    QStringLiteral("--out-dir"), QStringLiteral("out"),
                                    QStringLiteral("--format"), extension});
    QCOMPARE(batch.err, QString());
    QCOMPARE(batch.exitCode, 0);

    const auto bytesOf = [this](const QString& name) {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray expected = bytesOf(bare);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(bytesOf(padded), expected);
    QCOMPARE(bytesOf(QStringLiteral("out/Ann Lee.") + extension), expected);
}

void TestRenderCli::lineShapeInEveryMode_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<LineShape>("shape");
    QTest::addColumn<SealText>("seal");
    QTest::addColumn<bool>("fit");

    LineShape rising;
    rising.riseDegrees = 15;
    rising.spacingEm = 0.2;
    QTest::newRow("rise and spacing, fitted")
        << QStringList{QStringLiteral("--rise"), QStringLiteral("15"), QStringLiteral("--spacing"),
                       QStringLiteral("0.2"), QStringLiteral("--fit")}
        << rising << SealText::None << true;
    // A preset, then one of its numbers changed, and a seal.
    LineShape compact = lineShapePresets().at(2).shape;
    compact.slantDegrees = -10;
    QTest::newRow("preset changed, seal of the name")
        << QStringList{QStringLiteral("--preset"), QStringLiteral("compact"),
                       QStringLiteral("--slant"),  QStringLiteral("-10"),
                       QStringLiteral("--seal"),   QStringLiteral("name")}
        << compact << SealText::Name << false;
    LineShape column;
    column.vertical = true;
    column.firstScale = 1.5;
    QTest::newRow("vertical, big surname, surname seal")
        << QStringList{QStringLiteral("--vertical"), QStringLiteral("--first-scale"),
                       QStringLiteral("1.5"),        QStringLiteral("--seal"),
                       QStringLiteral("surname"),    QStringLiteral("--fit")}
        << column << SealText::Surname << true;
}

void TestRenderCli::lineShapeInEveryMode() {
    QFETCH(QStringList, options);
    QFETCH(LineShape, shape);
    QFETCH(SealText, seal);
    QFETCH(bool, fit);
    const QString name = QStringLiteral("王小明");
    const QStringList common = QStringList{QStringLiteral("--style"), QStringLiteral("0"),
                                           QStringLiteral("--fonts-from-executable")} +
                               options;
    writeFile(QStringLiteral("names.txt"), name.toUtf8() + "\n");
    const Run single = render(common + QStringList{QStringLiteral("--name"), name,
                                                   QStringLiteral("-o"), QStringLiteral("a.png")});
    QCOMPARE(single.err, QString());
    QCOMPARE(single.exitCode, 0);
    const Run batch =
        render(common + QStringList{QStringLiteral("--names-file"), QStringLiteral("names.txt"),
                                    QStringLiteral("--out-dir"), QStringLiteral("out")});
    QCOMPARE(batch.err, QString());
    QCOMPARE(batch.exitCode, 0);

    // The drawing core's picture for the same look.
    SignatureLook look;
    look.shape = shape;
    look.seal = seal;
    look.fitWholeName = fit;
    SignatureRenderer renderer(look);
    const QImage expected = renderer.image(0, name).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!inkRect(expected, renderer.blankImage()).isEmpty());
    for (const QString& file :
         {QStringLiteral("a.png"), QStringLiteral("out/") + name + QStringLiteral(".png")}) {
        const QImage written = QImage(path(file)).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(written.size(), expected.size());
        QVERIFY2(written == expected, qPrintable(file));
    }

    // A contact sheet takes the shape and the seal too, each cell drawn smaller where it must.
    if (fit) {
        return;
    }
    const QStringList plainCommon{QStringLiteral("--name"), name,
                                  QStringLiteral("--fonts-from-executable")};
    QCOMPARE(render(plainCommon + options +
                    QStringList{QStringLiteral("--sheet"), QStringLiteral("shaped.png")})
                 .exitCode,
             0);
    QCOMPARE(
        render(plainCommon + QStringList{QStringLiteral("--sheet"), QStringLiteral("plain.png")})
            .exitCode,
        0);
    const QImage shapedSheet(path(QStringLiteral("shaped.png")));
    const QImage plainSheet(path(QStringLiteral("plain.png")));
    QCOMPARE(shapedSheet.size(), plainSheet.size());
    QVERIFY(shapedSheet != plainSheet);
    bool sealed = false;
    for (int y = 0; y < shapedSheet.height() && !sealed; ++y) {
        for (int x = 0; x < shapedSheet.width() && !sealed; ++x) {
            sealed = shapedSheet.pixel(x, y) == kSealColour.rgb();
        }
    }
    QCOMPARE(sealed, seal != SealText::None);
}

void TestRenderCli::writeFailuresNameTheirCause_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString tooLarge = QStringLiteral("the file is larger than this process may write");
    QTest::newRow("png") << QStringList{"--style", "1", "--name", "Ann", "-o", "a.png"}
                         << "inkvale-render: cannot write a.png: " + tooLarge + "\n";
    QTest::newRow("bmp") << QStringList{"--style", "1", "--name", "Ann", "-o", "a.bmp"}
                         << "inkvale-render: cannot write a.bmp: " + tooLarge + "\n";
    QTest::newRow("svg") << QStringList{"--style", "1", "--name", "Ann", "-o", "a.svg"}
                         << "inkvale-render: cannot write a.svg: " + tooLarge + "\n";
    QTest::newRow("sheet") << QStringList{"--name", "Ann", "--sheet", "s.png"}
                           << "inkvale-render: cannot write s.png: " + tooLarge + "\n";
    QTest::newRow("batch") << QStringList{"--style",   "1",         "--names-file",
                                          "names.txt", "--out-dir", "out"}
                           << "inkvale-render: cannot write out/Ann.png: " + tooLarge +
                                  "; the batch stopped, 0 of 3 names were written\n";
}

void TestRenderCli::writeFailuresNameTheirCause() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    writeFile(QStringLiteral("names.txt"), "Ann\nBob\nCid\n");
    const QStringList before = listing(m_work->path());

    const Run run =
        render(arguments + QStringList{QStringLiteral("--fonts-from-executable")}, {}, true);
    QCOMPARE(run.err, message);
    QCOMPARE(run.exitCode, 1);
    // Nothing half-written, no temporary file, and no empty folder left behind.
    QCOMPARE(listing(m_work->path()), before);
}

void TestRenderCli::noDisplayWhateverTheEnvironmentSays_data() {
    QTest::addColumn<QString>("platform"); // "-": not set
    QTest::addColumn<bool>("runtimeFolder");
    QTest::addColumn<QStringList>("desktop"); // more variables a desktop session exports

    QTest::newRow("no platform") << QStringLiteral("-") << true << QStringList();
    QTest::newRow("xcb") << QStringLiteral("xcb") << true << QStringList();
    QTest::newRow("wayland") << QStringLiteral("wayland") << true << QStringList();
    QTest::newRow("empty") << QString() << true << QStringList();
    QTest::newRow("xcb, no runtime folder either")
        << QStringLiteral("xcb") << false << QStringList();
    QTest::newRow("wayland, scaled desktop")
        << QStringLiteral("wayland") << true
        << QStringList{"QT_SCALE_FACTOR=2", "QT_SCREEN_SCALE_FACTORS=1.5", "QT_FONT_DPI=144",
                       "QT_QPA_PLATFORMTHEME=gtk3"};
}

void TestRenderCli::noDisplayWhateverTheEnvironmentSays() {
    QFETCH(QString, platform);
    QFETCH(bool, runtimeFolder);
    QFETCH(QStringList, desktop);
    // As in an ssh session into a desktop: the desktop's platform exported, no display.
    const Run run =
        render({QStringLiteral("--style"), QStringLiteral("12"), QStringLiteral("--name"),
                QStringLiteral("李娜"), QStringLiteral("-o"), QStringLiteral("a.png"),
                QStringLiteral("--fonts-from-executable")},
               [&](QProcessEnvironment& environment) {
                   if (platform != QLatin1String("-")) {
                       environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
                   }
                   if (!runtimeFolder) {
                       environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
                   }
                   for (const QString& setting : desktop) {
                       const qsizetype equals = setting.indexOf(QLatin1Char('='));
                       environment.insert(setting.left(equals), setting.mid(equals + 1));
                   }
               });
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    // The designer's own picture, as in a plain environment.
    const QImage drawn =
        QImage(path(QStringLiteral("a.png"))).convertToFormat(QImage::Format_RGB32);
    QVERIFY(hasInk(drawn));
    test::DesignerChoice choice;
    choice.slot = 12;
    choice.name = QStringLiteral("李娜");
    QVERIFY2(drawn == test::designerSignature(choice).convertToFormat(QImage::Format_RGB32),
             "the environment changed the picture");
}

void TestRenderCli::progressOnlyOnATerminal() {
    writeFile(QStringLiteral("names.txt"), "Ann\nBob\nCid\n");
    const QStringList batch{QStringLiteral("--style"),
                            QStringLiteral("3"),
                            QStringLiteral("--names-file"),
                            QStringLiteral("names.txt"),
                            QStringLiteral("--out-dir"),
                            QStringLiteral("piped"),
                            QStringLiteral("--fonts-from-executable")};
    const Run piped = render(batch);
    QCOMPARE(piped.exitCode, 0);
    QCOMPARE(piped.err, QString());

    // util-linux's script gives the program a terminal and copies what it shows.
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty()) {
        QSKIP("needs script (Debian package bsdutils) for a terminal");
    }
    QStringList command{shellQuoted(kProgram)};
    for (QString argument : batch) {
        command.append(
            shellQuoted(argument.replace(QStringLiteral("piped"), QStringLiteral("tty"))));
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_work->path());
    process.start(script, {QStringLiteral("-qec"), command.join(QLatin1Char(' ')),
                           QStringLiteral("/dev/null")});
    QVERIFY(process.waitForFinished(60000));
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(shown.contains(QStringLiteral("0 of 3 names (0%)")), qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("3 of 3 names (100%)")), qPrintable(shown));
    QCOMPARE(listing(path(QStringLiteral("tty"))).size(), 3);
}

void TestRenderCli::animationFramesAreCountedOnATerminal_data() {
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("quiet");

    QTest::newRow("gif") << "gif" << false;
    QTest::newRow("webp") << "webp" << false;
    QTest::newRow("gif, quiet") << "gif" << true;
}

void TestRenderCli::animationFramesAreCountedOnATerminal() {
    QFETCH(QString, extension);
    QFETCH(bool, quiet);
    const auto arguments = [&](const QString& output) {
        QStringList list{QStringLiteral("--style"),
                         QStringLiteral("3"),
                         QStringLiteral("--name"),
                         QStringLiteral("Ann"),
                         QStringLiteral("--animate"),
                         QStringLiteral("--duration"),
                         QStringLiteral("2"),
                         QStringLiteral("--fps"),
                         QStringLiteral("30"),
                         QStringLiteral("-o"),
                         output + QLatin1Char('.') + extension,
                         QStringLiteral("--fonts-from-executable")};
        if (quiet) {
            list.append(QStringLiteral("--quiet"));
        }
        return list;
    };
    const Run piped = render(arguments(QStringLiteral("piped")));
    QCOMPARE(piped.exitCode, 0);
    QCOMPARE(piped.err, QString());

    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty()) {
        QSKIP("needs script (Debian package bsdutils) for a terminal");
    }
    QStringList command{shellQuoted(kProgram)};
    for (const QString& argument : arguments(QStringLiteral("tty"))) {
        command.append(shellQuoted(argument));
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_work->path());
    process.start(script, {QStringLiteral("-qec"), command.join(QLatin1Char(' ')),
                           QStringLiteral("/dev/null")});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());
    // The file is the same, byte for byte, whether its frames were counted or not.
    QFile tty(path(QStringLiteral("tty.") + extension));
    QFile pipedFile(path(QStringLiteral("piped.") + extension));
    QVERIFY(tty.open(QIODevice::ReadOnly) && pipedFile.open(QIODevice::ReadOnly));
    QVERIFY(tty.readAll() == pipedFile.readAll());
    if (quiet) {
        QCOMPARE(shown, QString());
        return;
    }
    // Counted in place, from the first frame to the last, then taken off the line.
    const QRegularExpression last(
        QStringLiteral("\rinkvale-render: frame (\\d+) of \\1 \\(100%\\)"));
    const QRegularExpressionMatch end = last.match(shown);
    QVERIFY2(end.hasMatch(), qPrintable(shown));
    const int frames = end.captured(1).toInt();
    QVERIFY2(frames >= 60, qPrintable(shown));
    QVERIFY2(shown.startsWith(QStringLiteral("\rinkvale-render: frame 0 of %1 (0%)").arg(frames)),
             qPrintable(shown));
    QVERIFY2(shown.endsWith(QStringLiteral("(100%)\r\x1b[K")), qPrintable(shown));
    QVERIFY(!shown.contains(QLatin1Char('\n')));
    // At most once per percent.
    QVERIFY2(shown.count(QStringLiteral("inkvale-render: frame")) <= 101, qPrintable(shown));
}

void TestRenderCli::missingFacesAreNamed() {
    if (m_stylesInstalled) {
        QSKIP("the style fonts are installed where this test cannot hide them");
    }
    Run run = render({QStringLiteral("--style"), QStringLiteral("12"), QStringLiteral("--name"),
                      QStringLiteral("李娜"), QStringLiteral("-o"), QStringLiteral("a.png")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QStringLiteral("inkvale-render: warning: the font \"Halwen疾风草书\" is not "
                                     "installed, so a substitute font draws the name (install "
                                     "the style fonts, or use --fonts-from-executable)\n"));
    QVERIFY(hasInk(QImage(path(QStringLiteral("a.png")))));

    run = render({QStringLiteral("--name"), QStringLiteral("李娜"), QStringLiteral("--sheet"),
                  QStringLiteral("s.png")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err.count(QStringLiteral("warning: the font")), kStyleCount);
}

void TestRenderCli::rareCharactersAreTheStylesWhereverTheFontsAre_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("note"); // what standard error says of the name; empty: nothing

    // Characters of the third level of the common-use table, which names draw on.
    QTest::newRow("brush, a borrowed character")
        << "疾风草书"
        << "王喆"
        << "style 12 (疾风草书) draws 喆 with glyphs borrowed from";
    QTest::newRow("heavy sans, two borrowed") << "方正喵呜体"
                                              << "林晞 垚"
                                              << "style 3 (方正喵呜体) draws 晞 垚 with glyphs";
    QTest::newRow("regular script, all its own") << "Ostrid手写字体"
                                                 << "张彧 玥"
                                                 << "";
    QTest::newRow("Latin style, Chinese in the fixed chain")
        << "Blazed"
        << "晞 Ann"
        << "style 8 (Blazed) lacks 晞, drawn in Noto Serif CJK SC";
}

void TestRenderCli::rareCharactersAreTheStylesWhereverTheFontsAre() {
    QFETCH(QString, style);
    QFETCH(QString, name);
    QFETCH(QString, note);
    const QStringList common{QStringLiteral("--style"), style, QStringLiteral("--name"), name};

    // The fonts carried inside the program, nothing installed.
    const Run carried =
        render(common + QStringList{QStringLiteral("-o"), QStringLiteral("carried.png"),
                                    QStringLiteral("--fonts-from-executable")});
    QCOMPARE(carried.exitCode, 0);
    if (note.isEmpty()) {
        QCOMPARE(carried.err, QString());
    } else {
        QVERIFY2(carried.err.startsWith(QStringLiteral("inkvale-render: note: ") + note),
                 qPrintable(carried.err));
    }

    // The same fonts installed in the user's own font folder, as scripts/run installs them.
    const QString dataHome = path(QStringLiteral("data"));
    const QString cacheHome = path(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/fonts/inkvale")));
    for (const QString& file : QDir(kFontsDir).entryList({QStringLiteral("*.ttf")})) {
        QVERIFY(QFile::copy(QDir(kFontsDir).filePath(file),
                            dataHome + QStringLiteral("/fonts/inkvale/") + file));
    }
    const auto userFonts = [&](QProcessEnvironment& environment) {
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheHome);
    };
    const Run installed = render(
        common + QStringList{QStringLiteral("-o"), QStringLiteral("installed.png")}, userFonts);
    QCOMPARE(installed.exitCode, 0);
    QCOMPARE(installed.err, carried.err);

    const auto bytesOf = [this](const QString& file) {
        QFile read(path(file));
        return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
    };
    QVERIFY(!bytesOf(QStringLiteral("carried.png")).isEmpty());
    QCOMPARE(bytesOf(QStringLiteral("installed.png")), bytesOf(QStringLiteral("carried.png")));
}

void TestRenderCli::printedWidth_data() {
    QTest::addColumn<QStringList>("arguments"); // without the output's name
    QTest::addColumn<QString>("width");         // as --width gives it
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("points"); // the width in points
    QTest::addColumn<QSizeF>("viewBox");

    const QStringList single{"--style", "1", "--name", "Ann", "-o"};
    const QSizeF canvas(336, 93);
    QTest::newRow("millimetres") << single << "40mm"
                                 << "mm" << 40 * 72 / 25.4 << canvas;
    QTest::newRow("centimetres") << single << "4.5cm"
                                 << "cm" << 4.5 * 72 / 2.54 << canvas;
    QTest::newRow("inches") << single << "2in"
                            << "in" << 144.0 << canvas;
    QTest::newRow("points") << single << "100pt"
                            << "pt" << 100.0 << canvas;
    QTest::newRow("the widest") << single << "5000mm"
                                << "mm" << 5000 * 72 / 25.4 << canvas;
    QTest::newRow("trimmed: the ink's box, not the canvas")
        << QStringList{"--style", "1", "--name", "Ann", "--trim", "0", "-o"} << "3cm"
        << "cm" << 3 * 72 / 2.54 << QSizeF();
    QTest::newRow("sheet") << QStringList{"--name", "Ann", "--sheet"} << "297mm"
                           << "mm" << 297 * 72 / 25.4 << QSizeF(1072, 691);
}

void TestRenderCli::printedWidth() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, width);
    QFETCH(QString, unit);
    QFETCH(double, points);
    QFETCH(QSizeF, viewBox);
    const QStringList options{QStringLiteral("--width"), width,
                              QStringLiteral("--fonts-from-executable")};
    QCOMPARE(render(arguments + QStringList{QStringLiteral("a.svg")} + options).exitCode, 0);
    QCOMPARE(render(arguments + QStringList{QStringLiteral("a.pdf")} + options).exitCode, 0);
    QCOMPARE(render(arguments + QStringList{QStringLiteral("plain.svg"),
                                            QStringLiteral("--fonts-from-executable")})
                 .exitCode,
             0);

    // The SVG: the same view box as without --width, its size on paper in the unit given.
    const auto rootOf = [this](const QString& file) {
        QFile svg(path(file));
        [[maybe_unused]] const bool opened = svg.open(QIODevice::ReadOnly);
        QXmlStreamReader xml(&svg);
        xml.readNextStartElement();
        return xml.attributes();
    };
    const QXmlStreamAttributes plain = rootOf(QStringLiteral("plain.svg"));
    const QXmlStreamAttributes printed = rootOf(QStringLiteral("a.svg"));
    QCOMPARE(printed.value(QStringLiteral("viewBox")), plain.value(QStringLiteral("viewBox")));
    const QStringList box = printed.value(QStringLiteral("viewBox")).toString().split(u' ');
    QCOMPARE(box.size(), 4);
    const QSizeF boxSize(box.at(2).toDouble(), box.at(3).toDouble());
    if (!viewBox.isEmpty()) {
        QCOMPARE(boxSize, viewBox);
    }
    const QString svgWidth = printed.value(QStringLiteral("width")).toString();
    const QString svgHeight = printed.value(QStringLiteral("height")).toString();
    QCOMPARE(svgWidth, width);
    QVERIFY2(svgHeight.endsWith(unit), qPrintable(svgHeight));
    const double height = svgHeight.chopped(unit.size()).toDouble();
    const double expectedHeight =
        width.chopped(unit.size()).toDouble() * boxSize.height() / boxSize.width();
    QVERIFY2(std::abs(height - expectedHeight) <= 0.005, qPrintable(svgHeight));

    // The PDF: its page is that size, to the hundredth of a point.
    QFile pdf(path(QStringLiteral("a.pdf")));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    static const QRegularExpression mediaBox(
        QStringLiteral("/MediaBox \\[([-0-9.]+) ([-0-9.]+) ([-0-9.]+) ([-0-9.]+)\\]"));
    const QRegularExpressionMatch match = mediaBox.match(QString::fromLatin1(bytes));
    QVERIFY2(match.hasMatch(), bytes.left(2000).constData());
    const double pageWidth = match.captured(3).toDouble() - match.captured(1).toDouble();
    const double pageHeight = match.captured(4).toDouble() - match.captured(2).toDouble();
    QVERIFY2(std::abs(pageWidth - points) <= 0.01, qPrintable(match.captured(0)));
    QVERIFY2(std::abs(pageHeight - points * boxSize.height() / boxSize.width()) <= 0.01,
             qPrintable(match.captured(0)));
}

void TestRenderCli::badInput_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    const auto args = [](const char* line) {
        return QString::fromUtf8(line).split(QLatin1Char('|'));
    };
    const QString so = QStringLiteral("--style|1|--name|Ann|-o|a.png|");

    // A size on paper: for outlines only, with its unit, in range.
    QTest::newRow("width of a raster") << args("--style|1|--name|Ann|-o|a.png|--width|40mm") << 2
                                       << "--width 40mm is for .svg and .pdf: a .png has pixels";
    QTest::newRow("width without a unit")
        << args("--style|1|--name|Ann|-o|a.svg|--width|40") << 2
        << "--width 40 is not a length with its unit: give 1mm to 5000mm, or the same in cm, in "
           "or pt (e.g. 40mm)";
    QTest::newRow("width in metres") << args("--style|1|--name|Ann|-o|a.pdf|--width|1m") << 2
                                     << "--width 1m is not a length with its unit";
    QTest::newRow("width too narrow") << args("--style|1|--name|Ann|-o|a.svg|--width|0.9mm") << 2
                                      << "--width 0.9mm is out of range";
    QTest::newRow("width too wide") << args("--style|1|--name|Ann|-o|a.pdf|--width|197in") << 2
                                    << "--width 197in is out of range";
    QTest::newRow("width of an animation")
        << args("--style|1|--name|Ann|--animate|-o|a.svg|--width|40mm") << 2
        << "--width is not for animations";
    QTest::newRow("width of a practice sheet")
        << args("--style|1|--name|Ann|--practice-sheet|p.pdf|--width|40mm") << 2
        << "--width is not for practice sheets";

    // The command line.
    QTest::newRow("unknown style number")
        << args("--style|15|--name|Ann|-o|a.png") << 2 << "unknown style '15'";
    QTest::newRow("unknown style name")
        << args("--style|Comic|--name|Ann|-o|a.png") << 2 << "unknown style 'Comic'";
    QTest::newRow("no style") << args("--name|Ann|-o|a.png") << 2 << "choose a style";
    QTest::newRow("empty name") << args("--style|1|--name||-o|a.png") << 2 << "the name is empty";
    QTest::newRow("blank name") << args("--style|1|--name|   |-o|a.png") << 2
                                << "the name is empty";
    QTest::newRow("no name") << args("--style|1|-o|a.png") << 2 << "give the name";
    QTest::newRow("control character in the name")
        << args("--style|1|--name|A\x01z|-o|a.png") << 2
        << "cannot draw the name \"A<U+0001>z\": it holds the control character U+0001";
    QTest::newRow("line break in the name")
        << args("--style|1|--name|Ann\nLee|-o|a.png") << 2 << "control character U+000A";
    // Every option's value given empty, as an unset shell variable gives it.
    for (const char* option :
         {"--style", "-o", "--size", "--color", "--background", "--canvas", "--dpi", "--trim",
          "--names-file", "--out-dir", "--format", "--sheet", "--practice-sheet", "--encoding",
          "--jobs", "--quality"}) {
        QStringList arguments = args("--style|1|--name|Ann|-o|a.png");
        arguments << QString::fromLatin1(option) << QString();
        const QString name = QString::fromLatin1(option) == QLatin1String("-o")
                                 ? QStringLiteral("--output")
                                 : QString::fromLatin1(option);
        QTest::addRow("empty %s", option) << arguments << 2 << name + " is empty";
    }
    for (const char* size : {"0", "-3", "1001", "1e9"}) {
        QTest::addRow("size %s", size)
            << (so + QStringLiteral("--size|") + QLatin1String(size)).split(QLatin1Char('|')) << 2
            << "is out of range: give points";
    }
    // What is no number at all is not called out of range.
    for (const char* option : {"--size", "--dpi", "--trim"}) {
        for (const char* value : {"big", "nan", "inf", "0x10", "1,5"}) {
            QTest::addRow("%s %s", option, value)
                << (so + QLatin1String(option) + QLatin1Char('|') + QLatin1String(value))
                       .split(QLatin1Char('|'))
                << 2
                << QLatin1String(option) + QLatin1Char(' ') + QLatin1String(value) +
                       QStringLiteral(" is not a number: give ");
        }
    }
    // An option given twice is refused, not settled by its last value.
    QTest::newRow("size twice") << args("--style|1|--name|Ann|-o|a.png|--size|30|--size|40") << 2
                                << "--size is given 2 times: give it once";
    QTest::newRow("output twice, short and long")
        << args("--style|1|--name|Ann|-o|a.png|--output|b.png") << 2
        << "--output is given 2 times: give it once";
    QTest::newRow("switch twice") << args("--style|1|--name|Ann|-o|a.png|--force|--force") << 2
                                  << "--force is given 2 times";
    for (const char* colour :
         {"#12345g", "1f3a93", "#12345", "#1234567", "transparent", "red;", "#ff00ff00ff"}) {
        QTest::addRow("colour %s", colour)
            << (so + QStringLiteral("--color|") + QLatin1String(colour)).split(QLatin1Char('|'))
            << 2 << "is not a colour: give #RGB, #RRGGBB, #RRGGBBAA";
    }
    for (const char* canvas : {"4x97", "340", "340x", "10001x97", "-340x97"}) {
        QTest::addRow("canvas %s", canvas)
            << (so + QStringLiteral("--canvas|") + QLatin1String(canvas)).split(QLatin1Char('|'))
            << 2 << "is not a size WxH";
    }
    QTest::newRow("dpi too low") << args("--style|1|--name|Ann|-o|a.png|--dpi|10") << 2
                                 << "--dpi 10 is out of range";
    QTest::newRow("dpi for outlines") << args("--style|1|--name|Ann|-o|a.svg|--dpi|300") << 2
                                      << "--dpi is for .bmp, .png, .jpg, .gif and .webp";
    QTest::newRow("picture too large")
        << args("--style|1|--name|Ann|-o|a.png|--dpi|2400|--canvas|2000x2000") << 2
        << "more than 64 million pixels";
    QTest::newRow("negative trim")
        << args("--style|1|--name|Ann|-o|a.png|--trim|-1") << 2 << "--trim -1 is out of range";
    QTest::newRow("unknown extension")
        << args("--style|1|--name|Ann|-o|a.tiff") << 2 << "cannot tell the format of 'a.tiff'";
    QTest::newRow("no extension") << args("--style|1|--name|Ann|-o|signature") << 2
                                  << "cannot tell the format";
    QTest::newRow("canvas colour and transparent")
        << args("--style|1|--name|Ann|-o|a.png|--transparent|--canvas-color|ivory") << 2
        << "--canvas-color and --transparent exclude each other";
    QTest::newRow("canvas colour not opaque")
        << args("--style|1|--name|Ann|-o|a.png|--canvas-color|#ffffff80") << 2
        << "--canvas-color #ffffff80 is not opaque";
    QTest::newRow("transparent JPEG") << args("--style|1|--name|Ann|-o|a.jpg|--transparent") << 2
                                      << "a JPEG cannot be transparent";
    QTest::newRow("file names without a placeholder")
        << args("--style|1|--names-file|names.txt|--out-dir|out|--file-names|sig") << 2
        << "--file-names sig has neither {name} nor {n}";
    QTest::newRow("file names for one file")
        << args("--style|1|--name|Ann|-o|a.png|--file-names|{name}") << 2
        << "--file-names is for batches";
    QTest::newRow("no format for standard output")
        << args("--style|1|--name|Ann|-o|-") << 2 << "say which format to write to standard output";
    QTest::newRow("transparent bitmap") << args("--style|1|--name|Ann|-o|a.bmp|--transparent") << 2
                                        << "a bitmap cannot be transparent";
    QTest::newRow("nowhere to write") << args("--style|1|--name|Ann") << 2 << "say where to write";
    QTest::newRow("two outputs") << args("--style|1|--name|Ann|-o|a.png|--sheet|s.png") << 2
                                 << "exclude each other";
    QTest::newRow("names file alone") << args("--style|1|--names-file|names.txt") << 2
                                      << "--names-file and --out-dir go together";
    QTest::newRow("name and names file")
        << args("--style|1|--name|Ann|--names-file|names.txt|--out-dir|out") << 2
        << "--name and --names-file exclude each other";
    QTest::newRow("style for a sheet")
        << args("--style|1|--name|Ann|--sheet|s.png") << 2 << "leave out --style";
    QTest::newRow("trimmed sheet") << args("--name|Ann|--sheet|s.png|--trim|4") << 2
                                   << "--trim is for single signatures and batches";
    QTest::newRow("practice sheet not a PDF")
        << args("--style|1|--name|Ann|--practice-sheet|p.png") << 2
        << "a practice sheet is a PDF: end 'p.png' in .pdf";
    QTest::newRow("practice sheet and -o")
        << args("--style|1|--name|Ann|--practice-sheet|p.pdf|-o|a.png") << 2
        << "--practice-sheet excludes -o, --out-dir and --sheet";
    QTest::newRow("practice sheet without style")
        << args("--name|Ann|--practice-sheet|p.pdf") << 2 << "choose a style";
    QTest::newRow("trimmed practice sheet")
        << args("--style|1|--name|Ann|--practice-sheet|p.pdf|--trim|4") << 2
        << "--trim is for single signatures and batches";
    // A sheet on paper has no canvas: what would be left out silently is refused.
    for (const char* option : {"--transparent", "--canvas-color|ivory", "--background|names.txt"}) {
        const QString given = QString::fromLatin1(option);
        QTest::addRow("practice sheet with %s", option)
            << (QStringLiteral("--style|1|--name|Ann|--practice-sheet|p.pdf|") + given)
                   .split(QLatin1Char('|'))
            << 2
            << given.section(QLatin1Char('|'), 0, 0) +
                   QStringLiteral(" is not for practice sheets: they are printed on paper");
    }
    // The sheet's paper, grid, tracing colour and rows: names and numbers checked.
    const QString practice = QStringLiteral("--style|1|--name|Ann|--practice-sheet|p.pdf|");
    const std::initializer_list<std::pair<const char*, const char*>> sheetFaults{
        {"--paper|b5", "--paper takes a4, a5 or letter, each also with -landscape (e.g. "
                       "a4-landscape), not 'b5'"},
        {"--paper|a4-portrait", "--paper takes a4, a5 or letter"},
        {"--grid|square", "--grid takes none, tian or mi, not 'square'"},
        {"--tracing|blue", "--tracing takes red or ink, not 'blue'"},
        {"--trace-rows|-1", "--trace-rows -1 is out of range: give 0 to 12 rows"},
        {"--trace-rows|13", "--trace-rows 13 is out of range: give 0 to 12 rows"},
        {"--guide-rows|two", "--guide-rows two is not a number: give 0 to 12 rows"},
        {"--guide-rows|2.5", "--guide-rows 2.5 is not a number: give 0 to 12 rows"},
    };
    for (const auto& [option, message] : sheetFaults) {
        QTest::addRow("practice sheet with %s", option)
            << (practice + QString::fromLatin1(option)).split(QLatin1Char('|')) << 2
            << QString::fromUtf8(message);
    }
    for (const char* option :
         {"--paper|a5", "--grid|mi", "--tracing|ink", "--trace-rows|2", "--guide-rows|2"}) {
        const QString given = QString::fromLatin1(option);
        QTest::addRow("%s without a practice sheet", option)
            << (QStringLiteral("--style|1|--name|Ann|-o|a.png|") + given).split(QLatin1Char('|'))
            << 2
            << given.section(QLatin1Char('|'), 0, 0) +
                   QStringLiteral(" is for practice sheets: add --practice-sheet FILE.pdf");
    }
    QTest::newRow("format for one file") << args("--style|1|--name|Ann|-o|a.png|--format|svg") << 2
                                         << "'a.png' ends in .png, but --format says svg";
    QTest::newRow("unknown batch format")
        << args("--style|1|--names-file|names.txt|--out-dir|out|--format|tiff") << 2
        << "unknown format 'tiff'";
    // Animations.
    QTest::newRow("animation format without --animate")
        << args("--style|1|--names-file|names.txt|--out-dir|out|--format|gif") << 2
        << "--format gif is an animation: add --animate";
    QTest::newRow("animated file without --animate")
        << args("--style|1|--name|Ann|-o|a.webp") << 2 << "'a.webp' is an animation: add --animate";
    QTest::newRow("still format animated") << args("--style|1|--name|Ann|-o|a.png|--animate") << 2
                                           << "--animate writes .gif, .webp or .svg";
    QTest::newRow("still batch animated")
        << args("--style|1|--names-file|names.txt|--out-dir|out|--animate") << 2
        << "--animate writes gif, webp or svg, not 'png'";
    QTest::newRow("animated sheet") << args("--name|Ann|--sheet|s.gif|--animate") << 2
                                    << "--animate is for single signatures and batches";
    QTest::newRow("fps without --animate") << args("--style|1|--name|Ann|-o|a.png|--fps|10") << 2
                                           << "--fps is for animations: add --animate";
    QTest::newRow("duration without --animate")
        << args("--style|1|--name|Ann|-o|a.png|--duration|2") << 2
        << "--duration is for animations: add --animate";
    QTest::newRow("fps too high") << args("--style|1|--name|Ann|-o|a.gif|--animate|--fps|61") << 2
                                  << "--fps 61 is out of range: give 1 to 60 frames per second";
    QTest::newRow("fps zero") << args("--style|1|--name|Ann|-o|a.gif|--animate|--fps|0") << 2
                              << "--fps 0 is out of range";
    QTest::newRow("fps not whole") << args("--style|1|--name|Ann|-o|a.webp|--animate|--fps|2.5")
                                   << 2 << "--fps 2.5 is not a number";
    QTest::newRow("fps for an animated SVG")
        << args("--style|1|--name|Ann|-o|a.svg|--animate|--fps|10") << 2
        << "--fps is for .gif and .webp: an animated .svg has no frames";
    QTest::newRow("reveal without --animate") << args("--style|1|--name|Ann|-o|a.png|--reveal|wipe")
                                              << 2 << "--reveal is for animations: add --animate";
    QTest::newRow("reveal unknown") << args("--style|1|--name|Ann|-o|a.gif|--animate|--reveal|fade")
                                    << 2 << "--reveal takes strokes or wipe, not 'fade'";
    QTest::newRow("duration zero") << args("--style|1|--name|Ann|-o|a.gif|--animate|--duration|0")
                                   << 2 << "--duration 0 is out of range: give seconds above 0";
    QTest::newRow("duration over a minute")
        << args("--style|1|--name|Ann|-o|a.gif|--animate|--duration|60.5") << 2
        << "--duration 60.5 is out of range";
    QTest::newRow("duration not a number")
        << args("--style|1|--name|Ann|-o|a.gif|--animate|--duration|inf") << 2
        << "--duration inf is not a number";
    QTest::newRow("trimmed animation") << args("--style|1|--name|Ann|-o|a.gif|--animate|--trim|2")
                                       << 2 << "--trim is not for animations";
    QTest::newRow("animation format against the extension")
        << args("--style|1|--name|Ann|-o|a.gif|--animate|--format|webp") << 2
        << "'a.gif' ends in .gif, but --format says webp";
    QTest::newRow("animation to standard output without a format")
        << args("--style|1|--name|Ann|-o|-|--animate") << 2
        << "say which animation to write to standard output with --format: gif, webp or svg";
    // Encodings and listings.
    QTest::newRow("unknown encoding")
        << args("--style|1|--names-file|names.txt|--out-dir|out|--encoding|latin1") << 2
        << "unknown encoding 'latin1': use utf-8, gb18030 (gbk), utf-16, utf-16le or utf-16be";
    QTest::newRow("encoding of a name") << args("--style|1|--name|Ann|-o|a.png|--encoding|gbk") << 2
                                        << "--encoding gbk is for names files";
    QTest::newRow("GBK bytes that are UTF-8 as a name")
        << args("--style|1|--name|лΰ|-o|a.png") << 2
        << "cannot draw the name \"лΰ\": its bytes read \"谢伟\" as GB18030 (GBK): give it in "
           "UTF-8 (convert it with iconv -f GB18030 -t UTF-8), or give --encoding utf-8";
    QTest::newRow("two listings") << args("--style|1|--name|Ann|-o|a.png|--print0|--json") << 2
                                  << "--verbose, --print0 and --json exclude each other";
    QTest::newRow("a listing beside the picture on standard output")
        << args("--style|1|--name|Ann|--format|png|-o|-|--json") << 2
        << "--json would mix its lines into the file on standard output";
    QTest::newRow("no loop without --animate") << args("--style|1|--name|Ann|-o|a.png|--no-loop")
                                               << 2 << "--no-loop is for animations: add --animate";
    QTest::newRow("loop of an animated SVG")
        << args("--style|1|--name|Ann|-o|a.svg|--animate|--loop") << 2
        << "an animated .svg plays once: --loop is for .gif and .webp";
    QTest::newRow("loop and no loop")
        << args("--style|1|--name|Ann|-o|a.gif|--animate|--loop|--no-loop") << 2
        << "--loop and --no-loop exclude each other";
    QTest::newRow("quality of a PNG")
        << args("--style|1|--name|Ann|-o|a.png|--quality|80") << 2 << "--quality is for .jpg";
    QTest::newRow("quality zero") << args("--style|1|--name|Ann|-o|a.jpg|--quality|0") << 2
                                  << "--quality 0 is out of range: give 1 to 100";
    QTest::newRow("quality in words") << args("--style|1|--name|Ann|-o|a.jpg|--quality|high") << 2
                                      << "--quality high is not a number: give 1 to 100";
    QTest::newRow("background and names from standard input")
        << args("--style|1|--names-file|-|--out-dir|out|--background|-") << 2
        << "--background - and --names-file - would both read standard input";
    QTest::newRow("jobs for one file")
        << args("--style|1|--name|Ann|-o|a.png|--jobs|2") << 2 << "--jobs is for batches";
    for (const char* jobs : {"0", "257", "-1"}) {
        QTest::addRow("jobs %s", jobs)
            << (QStringLiteral("--style|1|--names-file|names.txt|--out-dir|out|--jobs|") +
                QLatin1String(jobs))
                   .split(QLatin1Char('|'))
            << 2 << "is out of range: give 1 to 256 files at once";
    }
    // The line's shape and the seal.
    for (const auto& [option, value, message] :
         {std::tuple{"--spacing", "-0.31", "--spacing -0.31 is out of range: give -0.3 to 1 em"},
          {"--spacing", "1.5", "--spacing 1.5 is out of range: give -0.3 to 1 em"},
          {"--spacing", "wide", "--spacing wide is not a number: give -0.3 to 1 em"},
          {"--slant", "31", "--slant 31 is out of range: give -30 to 30 degrees"},
          {"--slant", "nan", "--slant nan is not a number: give -30 to 30 degrees"},
          {"--rise", "-20.5", "--rise -20.5 is out of range: give -20 to 20 degrees"},
          {"--first-scale", "0.4", "--first-scale 0.4 is out of range: give 0.5 to 2 times"},
          {"--first-scale", "inf", "--first-scale inf is not a number: give 0.5 to 2 times"},
          {"--preset", "fancy",
           "--preset fancy is not a preset: give rising, big-surname, compact, vertical"},
          {"--seal", "given", "--seal given is not a seal: give surname, name or none"}}) {
        QTest::addRow("%s %s", option, value)
            << (so + QLatin1String(option) + QLatin1Char('|') + QLatin1String(value))
                   .split(QLatin1Char('|'))
            << 2 << QString::fromUtf8(message);
    }
    QTest::newRow("fit on a contact sheet")
        << args("--name|Ann|--sheet|s.png|--fit") << 2 << "--fit is not for contact sheets";
    QTest::newRow("unknown option") << args("--style|1|--name|Ann|-o|a.png|--colour|#000000") << 2
                                    << "inkvale-render: unknown option 'colour'\n";
    QTest::newRow("stray argument")
        << args("--style|1|--name|Ann|-o|a.png|Bob") << 2 << "unexpected argument 'Bob'";

    // Files.
    QTest::newRow("names file missing") << args("--style|1|--names-file|absent.txt|--out-dir|out")
                                        << 1 << "cannot read the names file absent.txt";
    QTest::newRow("names file not UTF-8") << args("--style|1|--names-file|latin1.txt|--out-dir|out")
                                          << 1 << "latin1.txt: line 2 is not UTF-8 text";
    QTest::newRow("names file without names")
        << args("--style|1|--names-file|blank.txt|--out-dir|out") << 1 << "it holds no names";
    QTest::newRow("names file without end")
        << args("--style|1|--names-file|/dev/zero|--out-dir|out") << 1
        << "cannot read the names file /dev/zero: it holds "
           "more than 16 MiB, the most a names file may hold";
    QTest::newRow("names file is a folder") << args("--style|1|--names-file|folder|--out-dir|out")
                                            << 1 << "cannot read the names file folder";
    QTest::newRow("background missing")
        << args("--style|1|--name|Ann|-o|a.png|--background|absent.jpg") << 1
        << "cannot read the background picture absent.jpg: no such file";
    QTest::newRow("background not a picture")
        << args("--style|1|--name|Ann|-o|a.png|--background|names.txt") << 1
        << "cannot read the background picture names.txt: it is not a picture in a format";
    QTest::newRow("background damaged")
        << args("--style|1|--name|Ann|-o|a.png|--background|damaged.png") << 1
        << "cannot read the background picture damaged.png: the picture is damaged";
    // The decoder would fill the missing rows with grey and say nothing.
    QTest::newRow("background JPEG cut short")
        << args("--style|1|--name|Ann|-o|a.png|--background|cut.jpg") << 1
        << "cannot read the background picture cut.jpg: the picture is damaged";
    QTest::newRow("background is a folder")
        << args("--style|1|--name|Ann|-o|a.png|--background|folder") << 1
        << "cannot read the background picture folder: it is a folder";
    QTest::newRow("output folder missing")
        << args("--style|1|--name|Ann|-o|nowhere/a.png") << 1 << "cannot write nowhere/a.png";
    QTest::newRow("output is a folder") << args("--style|1|--name|Ann|-o|folder.png") << 1
                                        << "cannot write folder.png: it is a folder";
    QTest::newRow("practice sheet into a missing folder")
        << args("--style|1|--name|Ann|--practice-sheet|nowhere/p.pdf") << 1
        << "cannot write nowhere/p.pdf";
    QTest::newRow("sheet into a missing folder")
        << args("--name|Ann|--sheet|nowhere/s.pdf") << 1 << "cannot write nowhere/s.pdf";
    QTest::newRow("out folder is a file")
        << args("--style|1|--names-file|names.txt|--out-dir|names.txt") << 1
        << "the output folder names.txt is not a folder";
    QTest::newRow("out folder cannot be made")
        << args("--style|1|--names-file|names.txt|--out-dir|names.txt/out") << 1
        << "cannot create the output folder names.txt/out: Not a directory";
    QTest::newRow("nothing to trim to")
        << args("--style|1|--name|\u200b|-o|a.png|--trim|0") << 1
        << "cannot write a.png: the name leaves no ink on the canvas to trim to";
    QTest::newRow("nothing to trim to, outlines")
        << args("--style|1|--name|\u200b|-o|a.svg|--trim|0") << 1
        << "the name leaves no ink on the canvas to trim to";
}

void TestRenderCli::badInput() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    writeFile(QStringLiteral("names.txt"), "Ann\nBob\n");
    writeFile(QStringLiteral("latin1.txt"), "Ann\nZo\xEB\n");
    writeFile(QStringLiteral("blank.txt"), "\n  \r\n");
    writeFile(QStringLiteral("damaged.png"), "\x89PNG\r\n\x1a\nIHDR-cut-short");
    writeFile(QStringLiteral("cut.jpg"), noisyJpeg().left(1500));
    QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("folder")));
    QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("folder.png")));
    const QStringList before = listing(m_work->path());

    const Run run = render(arguments + QStringList{QStringLiteral("--fonts-from-executable")});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    // Every line is the program's own: no Qt or library diagnostics beside it.
    for (const QString& line : run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QVERIFY2(line.startsWith(QStringLiteral("inkvale-render: ")) ||
                     line == QStringLiteral("Try 'inkvale-render --help' for more."),
                 qPrintable(run.err));
    }
    QCOMPARE(run.out, QString());
    // Nothing written, not even a temporary file.
    QCOMPARE(listing(m_work->path()), before);
}

void TestRenderCli::inAShell_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("files"); // everything in the work folder afterwards
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // what standard error holds; empty: nothing

    QTest::newRow("standard output gets the file's bytes")
        << "r --style 12 --name 张伟 -o a.png && r --style 12 --name 张伟 --format png -o - > "
           "b.png "
           "&& cmp a.png b.png"
        << 0 << QStringList{"a.png", "b.png"} << QString() << QString();
    QTest::newRow("an SVG through a pipe, the format in any case")
        << "r --style 7 --name Ann -o a.svg && r --style 7 --name Ann -o - --format SVG | "
           "cmp a.svg -"
        << 0 << QStringList{"a.svg"} << QString() << QString();
    QTest::newRow("a contact sheet on standard output")
        << "r --name Ann --sheet - --format pdf 2>/dev/null | head -c 5" << 0 << QStringList()
        << "%PDF-" << QString();
    QTest::newRow("names from standard input, named by pattern, each file listed")
        << "printf 'Ann\\n\\nBo\\n' | r --style 1 --names-file - --out-dir a/b --file-names "
           "'{n}-{name}' --verbose"
        << 0 << QStringList{"a", "a/b", "a/b/1-Ann.png", "a/b/2-Bo.png"}
        << "a/b/1-Ann.png\na/b/2-Bo.png\n"
        << QString();
    QTest::newRow("a batch that writes nothing leaves no folder of its own")
        << "mkdir keep && printf 'a\\001b\\n' | r --style 1 --names-file - --out-dir keep/a/b" << 1
        << QStringList{"keep"} << QString() << "skipped the name \"a<U+0001>b\" on line 1";
    QTest::newRow("help to a full disk")
        << "\"$R\" --help > /dev/full" << 1 << QStringList() << QString()
        << "cannot write to standard output: the disk is full";
    QTest::newRow("a picture to a full disk")
        << "r --style 1 --name Ann --format png -o - > /dev/full" << 1 << QStringList() << QString()
        << "cannot write to standard output: the disk is full";
    // Without the style fonts a warning, and a note for the character no font draws.
    QTest::newRow("quiet") << "\"$R\" --style 1 --name 'Ann 䶵' -o a.png --quiet" << 0
                           << QStringList{"a.png"} << QString() << QString();
    QTest::newRow("short and named colours")
        << "r --style 1 --name Ann --color '#c00' -o a.png && r --style 1 --name Ann --color "
           "'#CC0000' -o b.png && cmp a.png b.png && r --style 1 --name Ann --color DarkBlue -o "
           "c.png && r --style 1 --name Ann --color '#00008b' -o d.png && cmp c.png d.png"
        << 0 << QStringList{"a.png", "b.png", "c.png", "d.png"} << QString() << QString();
    QTest::newRow("text opacity and canvas colour")
        << "r --style 1 --name Ann --color '#1f3a9380' --canvas-color ivory -o a.svg && grep -q "
           "'fill=\"#1f3a93\" fill-opacity=\"0.5' a.svg && grep -q 'fill=\"#fffff0\"' a.svg"
        << 0 << QStringList{"a.svg"} << QString() << QString();
    QTest::newRow("a names file in UTF-16")
        << "printf '\\377\\376A\\000n\\000' > n.txt && r --style 1 --names-file n.txt --out-dir "
           "out"
        << 1 << QStringList{"n.txt"} << QString()
        << "it is UTF-16 text, not UTF-8: save it as UTF-8";
    QTest::newRow("the styles for scripts")
        << "\"$R\" --list-styles | head -n 1 && \"$R\" --list-styles | wc -l" << 0 << QStringList()
        << "0\t章草字体\t章草\n15\n"
        << QString();
    QTest::newRow("an escape sequence is shown, not obeyed")
        << "r --style 1 --name Ann -o a.png --color \"$(printf '\\033[2J')\"" << 2 << QStringList()
        << QString() << "--color <U+001B>[2J is not a colour";
    QTest::newRow("a batch of animations, each file listed")
        << "printf 'Ann\\nBo\\n' | r --style 1 --names-file - --out-dir out --animate --format "
           "webp --verbose && printf 'Ann\\n' | r --style 1 --names-file - --out-dir svg --animate "
           "--format svg --duration 3 && grep -q 'begin=\"0s\" dur=' svg/Ann.svg"
        << 0 << QStringList{"out", "out/Ann.webp", "out/Bo.webp", "svg", "svg/Ann.svg"}
        << "out/Ann.webp\nout/Bo.webp\n"
        << QString();
    QTest::newRow("an animation on standard output is the file's bytes")
        << "r --style 12 --name 张伟 --animate -o a.gif && r --style 12 --name 张伟 --animate "
           "--format GIF -o - | cmp a.gif -"
        << 0 << QStringList{"a.gif"} << QString() << QString();
    // The encodings of Chinese Windows, and UTF-8 that carries a byte order mark.
    QTest::newRow("a names file in GBK whose bytes are UTF-8 too")
        << "printf '\\320\\273\\316\\260\\n' > n.txt && r --style 1 --names-file n.txt "
           "--out-dir out"
        << 1 << QStringList{"n.txt"} << QString()
        << "line 1 reads \"лΰ\" as UTF-8 but \"谢伟\" as GB18030 (GBK)";
    QTest::newRow("a names file in GBK read as GBK")
        << "printf '\\320\\273\\316\\260\\n\\325\\305\\316\\260\\n' | r --style 1 "
           "--names-file - --out-dir out --encoding gbk --verbose"
        << 0 << QStringList{"out", "out/张伟.png", "out/谢伟.png"} << "out/谢伟.png\nout/张伟.png\n"
        << QString();
    QTest::newRow("a names file in UTF-16 without a mark")
        << "printf '\\040\\137\\037\\117\\n\\000' > n.txt && r --style 1 --names-file n.txt "
           "--out-dir out"
        << 1 << QStringList{"n.txt"} << QString()
        << "it is UTF-16LE text without a byte order mark, not UTF-8: convert it with iconv -f "
           "UTF-16LE -t UTF-8, or give --encoding utf-16le";
    QTest::newRow("a name in GBK")
        << "r --style 1 --name \"$(printf '\\325\\305\\316\\260')\" -o a.png" << 2 << QStringList()
        << QString()
        << "it reads \"张伟\" as GB18030 (GBK), which iconv -f GB18030 -t UTF-8 converts";
    QTest::newRow("a name with a byte order mark")
        << "r --style 12 --name \"$(printf '\\357\\273\\277张伟')\" -o a.png && r --style 12 "
           "--name 张伟 -o b.png && cmp a.png b.png"
        << 0 << QStringList{"a.png", "b.png"} << QString() << QString();
    // Listings a script can use: real paths, whatever is in them.
    QTest::newRow("verbose paths as they are")
        << "printf '张\\343\\200\\200伟\\n' | r --style 1 --names-file - --out-dir out --verbose "
           "| while IFS= read -r f; do test -f \"$f\" && echo found; done"
        << 0 << QStringList{"out", "out/张\u3000伟.png"} << "found\n"
        << QString();
    QTest::newRow("paths ended by zero bytes")
        << "printf 'Ann\\nBo\\n' | r --style 1 --names-file - --out-dir out --jobs 1 --print0 | "
           "tr '\\0' '|'"
        << 0 << QStringList{"out", "out/Ann.png", "out/Bo.png"} << "out/Ann.png|out/Bo.png|"
        << QString();
    QTest::newRow("a listing that cannot be written")
        << "r --style 1 --name Ann -o a.png --verbose > /dev/full" << 1 << QStringList{"a.png"}
        << QString() << "cannot write to standard output: the disk is full";
    QTest::newRow("a batch's listing that cannot be written")
        << "printf 'Ann\\n' | r --style 1 --names-file - --out-dir out --json > /dev/full" << 1
        << QStringList{"out", "out/Ann.png"} << QString()
        << "cannot write to standard output: the disk is full; the batch stopped, 1 of 1 names "
           "were written";
    // Scripts that neither the styles nor the CJK faces carry are drawn by the chain's last
    // face, whatever else the machine has, and the note says so.
    QTest::newRow("Arabic and Hebrew")
        << "r --style 1 --name 'محمد שרה' -o a.png" << 0 << QStringList{"a.png"} << QString()
        << "inkvale-render: note: style 1 (Halwen钢笔行书简体) lacks م ح د ש ר ה, drawn in DejaVu "
           "Sans\n";
    // The loop count a viewer reads: GIF's NETSCAPE2.0 block, WebP's ANIM chunk.
    QTest::newRow("animations that play once")
        << "r --style 1 --name Ann --animate -o a.gif && r --style 1 --name Ann --animate --loop "
           "-o "
           "b.gif && cmp a.gif b.gif && grep -q NETSCAPE2.0 a.gif && r --style 1 --name Ann "
           "--animate --no-loop -o c.gif && ! grep -q NETSCAPE2.0 c.gif && r --style 1 --name Ann "
           "--animate -o a.webp && r --style 1 --name Ann --animate --no-loop -o c.webp && "
           "for f in a.webp c.webp; do python3 -c 'import sys; b = open(sys.argv[1], "
           "\"rb\").read(); "
           "i = b.find(b\"ANIM\"); print(int.from_bytes(b[i + 12:i + 14], \"little\"))' $f; done"
        << 0 << QStringList{"a.gif", "a.webp", "b.gif", "c.gif", "c.webp"} << "0\n1\n"
        << QString();
    QTest::newRow("JPEG quality")
        << "r --style 1 --name Ann -o a.jpg && r --style 1 --name Ann -o b.jpg --quality 92 && cmp "
           "a.jpg b.jpg && r --name Ann --sheet c.jpg --quality 30 && r --name Ann --sheet d.jpg "
           "&& "
           "test $(wc -c < c.jpg) -lt $(wc -c < d.jpg)"
        << 0 << QStringList{"a.jpg", "b.jpg", "c.jpg", "d.jpg"} << QString() << QString();
    QTest::newRow("a background from standard input")
        << "r --style 2 --name Bo -o bg.png && r --style 1 --name Ann --background bg.png -o a.png "
           "&& r --style 1 --name Ann --background - -o b.png < bg.png && cmp a.png b.png && ! cmp "
           "-s a.png bg.png"
        << 0 << QStringList{"a.png", "b.png", "bg.png"} << QString() << QString();
    QTest::newRow("standard output holds the picture alone")
        << "r --style 1 --name Ann --format png -o - --verbose" << 2 << QStringList() << QString()
        << "--verbose would mix its lines into the file on standard output";
}

void TestRenderCli::inAShell() {
    QFETCH(QString, script);
    QFETCH(int, exitCode);
    QFETCH(QStringList, files);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const Run run = shell(script);
    if (err.isEmpty()) {
        QCOMPARE(run.err, QString());
    } else {
        QVERIFY2(run.err.contains(err), qPrintable(run.err));
    }
    QVERIFY2(!run.err.contains(QChar(0x1B)), "an escape character reached the terminal");
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(listing(m_work->path()), files);
}

void TestRenderCli::brokenPipeLeavesNoTemporaryFile_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("err");

    // The reader is gone before the program has started: every listing line meets a closed pipe.
    QTest::newRow("one file") << "{ r --style 1 --name Ann -o a.png --verbose; echo \"status $?\" "
                                 ">&2; } | head -c 0"
                              << "inkvale-render: cannot write to standard output: ";
    QTest::newRow("a batch")
        << "seq 1 40 | { r --style 1 --names-file - --out-dir out --verbose; echo \"status $?\" "
           ">&2; } | head -c 0"
        << "; the batch stopped, ";
    QTest::newRow("a batch listed in JSON")
        << "seq 1 40 | { r --style 1 --names-file - --out-dir out --json --format webp --animate; "
           "echo \"status $?\" >&2; } | head -c 0"
        << "; the batch stopped, ";
}

void TestRenderCli::brokenPipeLeavesNoTemporaryFile() {
    QFETCH(QString, script);
    QFETCH(QString, err);
    const Run run = shell(script);
    QCOMPARE(run.exitCode, 0); // head's
    QVERIFY2(run.err.contains(err), qPrintable(run.err));
    QVERIFY2(run.err.endsWith(QStringLiteral("status 1\n")), qPrintable(run.err));
    const QStringList files = listing(m_work->path());
    for (const QString& file : files) {
        QVERIFY2(!QFileInfo(file).fileName().startsWith(QLatin1Char('.')), qPrintable(file));
    }
    // A batch stops at the first line it cannot list, not after drawing all forty names.
    QVERIFY2(files.size() < 40, qPrintable(files.join(QLatin1Char(' '))));
}

void TestRenderCli::jsonForScripts() {
    const Run batch = shell(QStringLiteral(
        "printf 'Ann\\n\\n张伟 䶵\\n' | r --style 1 --names-file - --out-dir out --json --trim 3 "
        "&& "
        "r --style 1 --name Ann -o a.svg --json && r --style 12 --name 张伟 -o a.gif --animate "
        "--dpi 192 --json && r --name Ann --sheet s.pdf --json"));
    QCOMPARE(batch.exitCode, 0);
    const QStringList lines = batch.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QList<QJsonObject> objects;
    for (const QString& line : lines) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(), qPrintable(line));
        objects.append(document.object());
    }
    const QString styleFace = styleSlot(1).faceName.toString();
    const struct {
        QString path;
        QString name;
        QJsonValue line;
        QJsonValue style;
        QString format;
        double dpi;
        bool withNotes;
    } expected[] = {
        {"out/Ann.png", "Ann", 1, 1, "png", 96, false},
        {"out/张伟 䶵.png", "张伟 䶵", 3, 1, "png", 96, true},
        {"a.svg", "Ann", QJsonValue(), 1, "svg", 96, false},
        {"a.gif", "张伟", QJsonValue(), 12, "gif", 192, false},
        {"s.pdf", "Ann", QJsonValue(), QJsonValue(), "pdf", 96, false},
    };
    for (qsizetype i = 0; i < objects.size(); ++i) {
        const QJsonObject& object = objects.at(i);
        QCOMPARE(object.value(QStringLiteral("path")).toString(), expected[i].path);
        QCOMPARE(object.value(QStringLiteral("name")).toString(), expected[i].name);
        QCOMPARE(object.value(QStringLiteral("line")), expected[i].line);
        QCOMPARE(object.value(QStringLiteral("style")), expected[i].style);
        QCOMPARE(object.value(QStringLiteral("format")).toString(), expected[i].format);
        QCOMPARE(object.value(QStringLiteral("dpi")).toDouble(), expected[i].dpi);
        const QJsonArray faces = object.value(QStringLiteral("faces")).toArray();
        QVERIFY(!faces.isEmpty());
        if (expected[i].style.isDouble()) {
            QCOMPARE(faces.first().toString(),
                     styleSlot(expected[i].style.toInt()).faceName.toString());
            QCOMPARE(object.value(QStringLiteral("caption")).toString(),
                     styleSlot(expected[i].style.toInt()).caption.toString());
        } else {
            QCOMPARE(faces.size(), qsizetype(kStyleCount)); // a sheet's faces, each once
        }
        QCOMPARE(object.value(QStringLiteral("notes")).toArray().isEmpty(), !expected[i].withNotes);
        // The size is the file's.
        const QSize size(object.value(QStringLiteral("width")).toInt(),
                         object.value(QStringLiteral("height")).toInt());
        if (expected[i].format == QLatin1String("png") ||
            expected[i].format == QLatin1String("gif")) {
            QImageReader reader(path(expected[i].path));
            QCOMPARE(reader.size(), size);
        }
    }
    QVERIFY(styleFace != QString());
    // A trimmed picture is smaller than the canvas; a doubled resolution doubles it.
    QVERIFY(objects.at(0).value(QStringLiteral("width")).toInt() < 336);
    QCOMPARE(objects.at(3).value(QStringLiteral("width")).toInt(), 672);
    QCOMPARE(objects.at(2).value(QStringLiteral("height")).toDouble(), 93.0);
}

QTEST_MAIN(TestRenderCli)
#include "tst_render_cli.moc"
