#include "core/SignatureFile.h"
#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "support/FakePlatform.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

using namespace inkvale;
using inkvale::test::FakePlatform;

class TestSaving final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileName_data();
    void fileName();
    void savesTheCanvasAsABitmap();
    void installedCopySavesIntoThePicturesFolder();
    void twoSavesInOneSecond();
    void laterSaveWritesANewFile();
    void takenNamesAreSkipped();
    void savesAtTheSameMomentNeverShareAName();
    void picturesFolderThatCannotBeMade();
    void failedSave_data();
    void failedSave();

private:
    void design(const QString& name);

    QTemporaryDir* m_folder = nullptr;
    FakePlatform* m_platform = nullptr;
    Form1* m_form = nullptr;
};

void TestSaving::init() {
    m_folder = new QTemporaryDir;
    m_platform = new FakePlatform;
    m_platform->folder = m_folder->path();
    m_platform->clock = QDateTime(QDate(2025, 1, 1), QTime(9, 5, 7));
    m_form = new Form1(*m_platform);
    m_form->Form_Load();
    m_form->timer3()->stop();
}

void TestSaving::cleanup() {
    delete m_form;
    delete m_platform;
    QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    delete m_folder;
}

void TestSaving::design(const QString& name) {
    m_form->text1()->setEnabled(true);
    m_form->command1()->setEnabled(true);
    m_form->Image_Click(7);
    m_form->text1()->setText(name);
    m_form->Command1_Click();
    QVERIFY(m_form->command2()->isEnabled());
}

void TestSaving::fileName_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("expected");

    QTest::newRow("month and minute zero-padded")
        << QDateTime(QDate(2025, 1, 1), QTime(9, 5, 7)) << "QM20250101090507.jpg";
    QTest::newRow("24-hour clock")
        << QDateTime(QDate(2024, 3, 7), QTime(21, 30, 0)) << "QM20240307213000.jpg";
    QTest::newRow("midnight") << QDateTime(QDate(2024, 12, 31), QTime(0, 0, 0))
                              << "QM20241231000000.jpg";
    QTest::newRow("noon") << QDateTime(QDate(2026, 10, 11), QTime(12, 59, 59))
                          << "QM20261011125959.jpg";
}

void TestSaving::fileName() {
    QFETCH(QDateTime, when);
    QFETCH(QString, expected);
    QCOMPARE(signatureFileName(when), expected);
    QCOMPARE(expected.size(), 20);
}

void TestSaving::savesTheCanvasAsABitmap() {
    QImage background(336, 93, QImage::Format_RGB32);
    background.fill(QColor(10, 120, 200));
    m_form->picture1()->setPicture(background);
    design(QStringLiteral("Ann"));
    const QImage canvas = m_form->picture1()->image().copy();

    QTest::mouseClick(m_form->command2(), Qt::LeftButton);
    const QString path = m_folder->filePath(QStringLiteral("QM20250101090507.jpg"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(2), QByteArray("BM"));
    file.close();

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage saved = reader.read();
    QCOMPARE(saved.size(), canvas.size());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
             canvas.convertToFormat(QImage::Format_RGB32));
    // The background and the name are both there.
    QCOMPARE(saved.pixelColor(1, 1), QColor(10, 120, 200));
    QVERIFY(saved != QImage(background).convertToFormat(saved.format()));

    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).text,
             QStringLiteral("签名图片已保存在当前目录下!名称:QM20250101090507.jpg"));
    QCOMPARE(m_platform->messages.at(0).style, MessageStyle::Information);
    // Nothing but the picture is left in the folder.
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList{"QM20250101090507.jpg"});
}

void TestSaving::twoSavesInOneSecond() {
    design(QStringLiteral("First"));
    const QImage first = m_form->picture1()->image().copy();
    m_form->Command2_Click();
    design(QStringLiteral("Second"));
    m_form->Command2_Click();
    // The second takes the next free second: neither replaces the other.
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files),
             (QStringList{"QM20250101090507.jpg", "QM20250101090508.jpg"}));
    QCOMPARE(m_platform->messages.size(), 2);
    QCOMPARE(m_platform->messages.at(0).text,
             QStringLiteral("签名图片已保存在当前目录下!名称:QM20250101090507.jpg"));
    QCOMPARE(m_platform->messages.at(1).text,
             QStringLiteral("签名图片已保存在当前目录下!名称:QM20250101090508.jpg"));
    const auto saved = [this](const char* name) {
        return QImage(m_folder->filePath(QLatin1String(name)))
            .convertToFormat(QImage::Format_RGB32);
    };
    QCOMPARE(saved("QM20250101090507.jpg"), first.convertToFormat(QImage::Format_RGB32));
    QCOMPARE(saved("QM20250101090508.jpg"),
             m_form->picture1()->image().convertToFormat(QImage::Format_RGB32));
    QVERIFY(saved("QM20250101090507.jpg") != saved("QM20250101090508.jpg"));
}

void TestSaving::laterSaveWritesANewFile() {
    design(QStringLiteral("Ann"));
    m_form->Command2_Click();
    m_platform->clock = m_platform->clock.addSecs(1);
    m_form->Command2_Click();
    const QStringList files = QDir(m_folder->path()).entryList(QDir::Files);
    QCOMPARE(files, (QStringList{"QM20250101090507.jpg", "QM20250101090508.jpg"}));
    QCOMPARE(QImage(m_folder->filePath(files.at(0))), QImage(m_folder->filePath(files.at(1))));
}

void TestSaving::takenNamesAreSkipped() {
    // Someone's file and a folder hold the first two names: both stay, the save takes the third.
    QFile theirs(m_folder->filePath(QStringLiteral("QM20250101090507.jpg")));
    QVERIFY(theirs.open(QIODevice::WriteOnly));
    theirs.write("not ours");
    theirs.close();
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("QM20250101090508.jpg")));
    design(QStringLiteral("Ann"));
    m_form->Command2_Click();
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).text,
             QStringLiteral("签名图片已保存在当前目录下!名称:QM20250101090509.jpg"));
    QVERIFY(theirs.open(QIODevice::ReadOnly));
    QCOMPARE(theirs.readAll(), QByteArray("not ours"));
    QVERIFY(QFileInfo(m_folder->filePath(QStringLiteral("QM20250101090508.jpg"))).isDir());
    QVERIFY(!QImage(m_folder->filePath(QStringLiteral("QM20250101090509.jpg"))).isNull());
}

void TestSaving::savesAtTheSameMomentNeverShareAName() {
    // Two programs saving in the same second, many times over: every save gets a name of its
    // own and every file holds its own picture whole.
    const QDateTime when(QDate(2025, 1, 1), QTime(9, 5, 7));
    QImage red(340, 97, QImage::Format_RGB32);
    red.fill(Qt::red);
    QImage blue(340, 97, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    constexpr int kSaves = 20;
    QStringList redNames;
    QStringList blueNames;
    const auto saveMany = [&](const QImage& image, QStringList& names) {
        for (int i = 0; i < kSaves; ++i) {
            const SavedSignature saved = saveSignature(image, m_folder->path(), when);
            names.append(saved.result.ok() ? saved.name : saved.result.detail);
        }
    };
    std::thread first(saveMany, std::cref(red), std::ref(redNames));
    std::thread second(saveMany, std::cref(blue), std::ref(blueNames));
    first.join();
    second.join();

    const QStringList files = QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(files.size(), 2 * kSaves);
    for (const QString& name : redNames) {
        QCOMPARE(QImage(m_folder->filePath(name)).pixelColor(5, 5), QColor(Qt::red));
    }
    for (const QString& name : blueNames) {
        QCOMPARE(QImage(m_folder->filePath(name)).pixelColor(5, 5), QColor(Qt::blue));
    }
}

void TestSaving::installedCopySavesIntoThePicturesFolder() {
    const QString pictures = m_folder->filePath(QStringLiteral("图片/Inkvale"));
    QVERIFY(QDir().mkpath(pictures));
    m_platform->signatures = pictures;
    design(QStringLiteral("Ann"));

    QTest::mouseClick(m_form->command2(), Qt::LeftButton);
    QVERIFY(QFileInfo::exists(QDir(pictures).filePath(QStringLiteral("QM20250101090507.jpg"))));
    QVERIFY(!QFileInfo::exists(m_folder->filePath(QStringLiteral("QM20250101090507.jpg"))));
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).text,
             QStringLiteral("签名图片已保存在文件夹“%1”中!名称:QM20250101090507.jpg")
                 .arg(QDir::toNativeSeparators(pictures)));

    // A pictures folder that has gone is named as the user's own, not as the program's.
    QVERIFY(QDir(pictures).removeRecursively());
    m_platform->messages.clear();
    QTest::mouseClick(m_form->command2(), Qt::LeftButton);
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).text,
             QStringLiteral("签名图片保存失败!\r\n无法写入文件夹“%1”:文件或文件夹不存在。")
                 .arg(QDir::toNativeSeparators(pictures)));
}

void TestSaving::picturesFolderThatCannotBeMade() {
    if (geteuid() == 0) {
        QSKIP("root makes folders anywhere; the unprivileged run checks this");
    }
    // The pictures folder is missing and its parent may not be written: the folder cannot be
    // made, and that is what the user is told, not that it does not exist.
    const QString locked = m_folder->filePath(QStringLiteral("图片"));
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    const QString pictures = locked + QStringLiteral("/Inkvale");
    m_platform->signatures = pictures;
    design(QStringLiteral("Ann"));
    QTest::mouseClick(m_form->command2(), Qt::LeftButton);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).text,
             QStringLiteral("签名图片保存失败!\r\n无法写入文件夹“%1”:没有权限。")
                 .arg(QDir::toNativeSeparators(pictures)));
}

void TestSaving::failedSave_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("cause");

    QTest::newRow("read-only Program folder")
        << "read-only"
        << "没有权限写入程序所在的文件夹“%1”。\r\n请把本程序移到您可以写入的文件夹";
    QTest::newRow("vanished folder") << "vanished"
                                     << "程序所在的文件夹“%1”已不存在";
    QTest::newRow("file-size limit") << "limit"
                                     << "文件超出了系统允许本程序写入的大小";
    QTest::newRow("disk full") << "full"
                               << "磁盘空间不足(或已超出磁盘配额),无法写入文件夹“%1”。";
}

void TestSaving::failedSave() {
    QFETCH(QString, how);
    QFETCH(QString, cause);
    design(QStringLiteral("Ann"));
    const QImage canvas = m_form->picture1()->image().copy();
    QString folder = m_folder->path();
    if (how == QLatin1String("full")) {
        // A small file system of its own, filled up below.
        folder = m_folder->filePath(QStringLiteral("small disk"));
        QVERIFY(QDir().mkpath(folder));
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=256k") != 0) {
            QSKIP("a small file system cannot be mounted here (needs an administrator)");
        }
        m_platform->folder = folder;
    }
    const auto unmount = qScopeGuard([&] {
        if (how == QLatin1String("full")) {
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
        }
    });
    // An earlier save stays as it was.
    const QString earlier = QDir(folder).filePath(QStringLiteral("QM20250101090506.jpg"));
    QVERIFY(m_form->picture1()->image().save(earlier, "BMP"));
    const QByteArray earlierBytes = [&earlier] {
        QFile file(earlier);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    std::optional<test::FileSizeLimit> limit;
    if (how == QLatin1String("read-only")) {
        if (geteuid() == 0) {
            QSKIP("root writes into read-only folders: run this as an ordinary user");
        }
        QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::ExeOwner);
    } else if (how == QLatin1String("vanished")) {
        m_platform->folder = m_folder->filePath(QStringLiteral("gone"));
    } else if (how == QLatin1String("full")) {
        QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    } else {
        // Just below the bitmap's size: most of it could be written, not all.
        limit.emplace(static_cast<rlim_t>(earlierBytes.size() - 1638));
        QVERIFY(limit->applied());
    }

    m_form->Command2_Click();
    limit.reset();
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).style, MessageStyle::Warning);
    const QString text = m_platform->messages.at(0).text;
    QVERIFY2(text.startsWith(QStringLiteral("签名图片保存失败!\r\n") +
                             cause.arg(QDir::toNativeSeparators(m_platform->folder))),
             qPrintable(text));
    // Nothing of the system's own English words, apart from the folder's name.
    QString words = text;
    words.remove(QDir::toNativeSeparators(m_platform->folder));
    QVERIFY2(!words.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}"))), qPrintable(text));
    QCOMPARE(m_form->picture1()->image(), canvas);
    QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // No stray temporary file and no picture under a new name; the earlier save is whole.
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(QStringLiteral("filler"));
    QCOMPARE(files, QStringList{"QM20250101090506.jpg"});
    QFile file(earlier);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), earlierBytes);
}

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
