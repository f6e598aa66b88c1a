#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "designer/SignatureFile.h"
#include "support/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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
    void twoSavesInOneSecond();
    void laterSaveWritesANewFile();
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
    m_form->Command2_Click();
    design(QStringLiteral("Second"));
    m_form->Command2_Click();
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList{"QM20250101090507.jpg"});
    QCOMPARE(m_platform->messages.size(), 2);
    QCOMPARE(m_platform->messages.at(0).text, m_platform->messages.at(1).text);
    const QImage saved(m_folder->filePath(QStringLiteral("QM20250101090507.jpg")));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
             m_form->picture1()->image().convertToFormat(QImage::Format_RGB32));
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

void TestSaving::failedSave_data() {
    QTest::addColumn<QString>("how");

    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("vanished folder") << "vanished";
    QTest::newRow("a folder stands where the file goes") << "folder in the way";
}

void TestSaving::failedSave() {
    QFETCH(QString, how);
    design(QStringLiteral("Ann"));
    const QImage canvas = m_form->picture1()->image().copy();
    if (how == QLatin1String("read-only")) {
        if (geteuid() == 0) {
            QSKIP("root writes into read-only folders");
        }
        QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::ExeOwner);
    } else if (how == QLatin1String("vanished")) {
        m_platform->folder = m_folder->filePath(QStringLiteral("gone"));
    } else {
        QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("QM20250101090507.jpg")));
    }

    m_form->Command2_Click();
    QCOMPARE(m_platform->messages.size(), 1);
    QCOMPARE(m_platform->messages.at(0).style, MessageStyle::Warning);
    QVERIFY(m_platform->messages.at(0).text.startsWith(QStringLiteral("签名图片保存失败!\r\n")));
    QVERIFY(m_platform->messages.at(0).text.size() >
            QStringLiteral("签名图片保存失败!\r\n").size());
    QCOMPARE(m_form->picture1()->image(), canvas);
    // No stray temporary file and no picture under the final name.
    const QStringList files = QDir(m_folder->path()).entryList(QDir::Files);
    QVERIFY2(files.isEmpty(), qPrintable(files.join(u',')));
}

QTEST_MAIN(TestSaving)
#include "tst_saving.moc"
