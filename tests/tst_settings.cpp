#include "core/PictureDecoding.h"
#include "designer/BackgroundPicture.h"
#include "designer/Form1.h"
#include "designer/SignatureCanvas.h"
#include "sizedialog/Form3.h"
#include "support/FakePlatform.h"
#include "support/FileSizeLimit.h"
#include "support/SpecialFiles.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

const QString kAdvice = QStringLiteral("建议选择规格为:340*95的图片!");
const QString kPictureChosen = QStringLiteral("签名背景图片选择成功!");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Writes a JPEG of `size` filled with `colour` and returns its path.
QString writePicture(const QString& path, QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, "JPG", 100);
    return path;
}

void appendBigEndian(QByteArray& bytes, quint32 value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes += char((value >> shift) & 0xff);
    }
}

quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xffffffffU;
    for (const char byte : bytes) {
        crc ^= static_cast<quint8>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320U & (0U - (crc & 1U)));
        }
    }
    return ~crc;
}

void appendChunk(QByteArray& png, const QByteArray& type, const QByteArray& data) {
    appendBigEndian(png, static_cast<quint32>(data.size()));
    png += type + data;
    appendBigEndian(png, crc32(type + data));
}

/// A PNG whose header claims a picture of width x height, followed by a few bytes of pixel data
/// that decode to nothing.
QByteArray pngHeaderOnly(quint32 width, quint32 height) {
    QByteArray header;
    appendBigEndian(header, width);
    appendBigEndian(header, height);
    header += QByteArray("\x08\x02\x00\x00\x00", 5);
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", QByteArray(16, '\x42'));
    return png;
}

/// A JPEG of 340 x 95 pixels of noise, large enough (tens of kilobytes) to be cut short.
QByteArray noisyJpeg() {
    QImage image(340, 95, QImage::Format_RGB32);
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
    image.save(&buffer, "JPG", 90);
    return bytes;
}

/// noisyJpeg() whole, with its end marker, but a run of its coded data overwritten.
QByteArray corruptJpeg() {
    QByteArray bytes = noisyJpeg();
    const qsizetype middle = bytes.size() / 2;
    for (qsizetype i = middle; i < middle + 64; ++i) {
        bytes[i] = char(i % 7 == 0 ? 0xFF : 0xD3 + i % 5);
    }
    return bytes;
}

} // namespace

class TestSettings final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuAsDesigned();
    void menuOpensBelowTheButton();
    void colour_data();
    void colour();
    void sizeDialogIsModalWithoutOwner();
    void pictureChosen();
    void pictureCancelled();
    void pictureRefused_data();
    void pictureRefused();
    void choosingTheCopyItself();
    void specialFileChosen_data();
    void specialFileChosen();
    void stalledPictureRead_data();
    void stalledPictureRead();
    void damageIsFoundWhateverTheLoggingRules();

private:
    void design();
    /// Waits until the chosen picture has been read and its outcome shown.
    void waitForThePicture();

    QTemporaryDir* m_folder = nullptr;
    FakePlatform* m_platform = nullptr;
    Form1* m_form = nullptr;
};

void TestSettings::init() {
    m_folder = new QTemporaryDir;
    m_platform = new FakePlatform;
    m_platform->folder = m_folder->path();
    m_form = new Form1(*m_platform);
    m_form->Form_Load();
    m_form->timer3()->stop();
}

void TestSettings::cleanup() {
    delete m_form;
    delete m_platform;
    delete m_folder;
}

void TestSettings::design() {
    m_form->text1()->setEnabled(true);
    m_form->Image_Click(2);
    m_form->text1()->setText(QStringLiteral("HHH"));
    m_form->Command1_Click();
}

void TestSettings::waitForThePicture() {
    QTRY_VERIFY(!m_form->pictureBeingRead());
}

void TestSettings::menuAsDesigned() {
    QMenu* menu = m_form->set1();
    QCOMPARE(menu->objectName(), QStringLiteral("set1"));
    QCOMPARE(menu->title(), QStringLiteral("设定"));
    const QList<QAction*> items = menu->actions();
    QCOMPARE(items.size(), 5);
    const QStringList names{"qmwz", "x1", "qmdz", "x2", "qmtp"};
    const QStringList captions{"签名文字颜色", "", "签名文字大小", "", "签名背景图片"};
    for (int i = 0; i < items.size(); ++i) {
        QCOMPARE(items.at(i)->objectName(), names.at(i));
        QCOMPARE(items.at(i)->isSeparator(), captions.at(i).isEmpty());
        QCOMPARE(items.at(i)->text(), captions.at(i));
    }
}

void TestSettings::menuOpensBelowTheButton() {
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    auto* button = m_form->findChild<QPushButton*>(QStringLiteral("Command7"));
    // Wherever the mouse is, the menu opens at the same place.
    for (const QPoint mouse : {QPoint(5, 5), QPoint(800, 400)}) {
        QTest::mouseMove(m_form, mouse);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(m_form->set1()->isVisible());
        QCOMPARE(m_form->set1()->pos(), m_form->mapToGlobal(QPoint(207, 212)));
        m_form->set1()->hide();
    }
}

void TestSettings::colour_data() {
    QTest::addColumn<bool>("chosen");

    QTest::newRow("colour chosen") << true;
    QTest::newRow("dialog cancelled") << false;
}

void TestSettings::colour() {
    QFETCH(bool, chosen);
    design();
    const QImage drawn = m_form->picture1()->image().copy();
    const QColor before = m_form->picture1()->foreColor();
    if (chosen) {
        m_platform->colours.push_back(QColor(200, 0, 0));
    }
    m_form->set1()->actions().at(0)->trigger();
    QCOMPARE(m_platform->colourDialogs, 1);
    QVERIFY(m_platform->messages.isEmpty());
    QCOMPARE(m_form->picture1()->foreColor(), chosen ? QColor(200, 0, 0) : before);
    // Nothing changes on the canvas until the next design.
    QCOMPARE(m_form->picture1()->image(), drawn);
    m_form->Command1_Click();
    QCOMPARE(m_form->picture1()->image() != drawn, chosen);
}

void TestSettings::sizeDialogIsModalWithoutOwner() {
    design();
    const QImage drawn = m_form->picture1()->image().copy();
    QString caption;
    m_platform->onModal = [&caption](QDialog& dialog) {
        auto& form3 = dynamic_cast<Form3&>(dialog);
        caption = form3.frame1()->title();
        form3.text1()->setText(QStringLiteral("20"));
        form3.Command1_Click();
    };
    m_form->set1()->actions().at(2)->trigger();
    QCOMPARE(m_platform->modalParents, QList<QWidget*>{nullptr});
    QCOMPARE(caption, QStringLiteral("当前签名大小为:42"));
    QCOMPARE(m_form->picture1()->fontSize(), 20.0F);
    QCOMPARE(m_form->picture1()->image(), drawn);

    // The next opening shows the new size.
    m_form->qmdz_Click();
    QCOMPARE(caption, QStringLiteral("当前签名大小为:20"));
}

void TestSettings::pictureChosen() {
    design();
    const QString chosen = writePicture(m_folder->filePath(QStringLiteral("mine.jpg")),
                                        QSize(340, 95), QColor(0, 128, 0));
    m_platform->filesToOpen.push_back(chosen);
    m_form->set1()->actions().at(4)->trigger();
    waitForThePicture();

    QCOMPARE(m_platform->messages.size(), 2);
    QCOMPARE(m_platform->messages.at(0).text, kAdvice);
    QCOMPARE(m_platform->messages.at(0).style, MessageStyle::Information);
    QCOMPARE(m_platform->messages.at(1).text, kPictureChosen);
    QCOMPARE(m_platform->fileFilters, QStringList{"图片文件(*.jpg)|*.jpg"});
    const QString copy = m_folder->filePath(QStringLiteral("xxx.jpg"));
    QCOMPARE(readAll(copy), readAll(chosen));
    QVERIFY(m_form->label2()->isHidden());
    QVERIFY(!m_form->image20()->pixmap().isNull());
    QCOMPARE(m_form->picture1()->picture().size(), QSize(340, 95));
    // The picture lies under the canvas at once.
    const QColor corner = m_form->picture1()->image().pixelColor(1, 1);
    QVERIFY(qAbs(corner.green() - 128) < 8 && corner.red() < 8);
}

void TestSettings::pictureCancelled() {
    design();
    const QImage drawn = m_form->picture1()->image().copy();
    m_form->qmtp_Click();
    m_form->qmtp_Click();
    // The advice comes every time, and nothing else.
    QCOMPARE(m_platform->messages.size(), 2);
    QCOMPARE(m_platform->messages.at(0).text, kAdvice);
    QCOMPARE(m_platform->messages.at(1).text, kAdvice);
    QCOMPARE(m_form->picture1()->image(), drawn);
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("xxx.jpg"))));
}

void TestSettings::pictureRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("not a picture") << "text"
                                   << "所选文件不是可以打开的图片。";
    QTest::newRow("missing file") << "missing"
                                  << "所选图片“%1”不存在。";
    QTest::newRow("no permission to read") << "unreadable"
                                           << "没有权限读取所选图片“%1”。";
    QTest::newRow("decompression bomb") << "bomb"
                                        << "图片尺寸过大(20000×20000)";
    QTest::newRow("picture header, broken body") << "broken"
                                                 << "所选图片已损坏或不完整";
    QTest::newRow("truncated JPEG") << "truncated"
                                    << "所选图片已损坏或不完整";
    QTest::newRow("JPEG with errors in its data") << "corrupt"
                                                  << "所选图片已损坏或不完整";
    QTest::newRow("Program folder gone") << "gone"
                                         << "程序所在的文件夹“%2”已不存在。";
    QTest::newRow("read-only Program folder")
        << "read-only"
        << "没有权限写入程序所在的文件夹“%2”。\r\n请把本程序移到您可以写入的文件夹";
    QTest::newRow("file-size limit") << "limit"
                                     << "文件超出了系统允许本程序写入的大小,无法写入文件夹“%2”";
}

void TestSettings::pictureRefused() {
    QFETCH(QString, kind);
    // An earlier background and its copy stay as they are.
    const QString earlier = writePicture(m_folder->filePath(QStringLiteral("earlier.jpg")),
                                         QSize(20, 20), QColor(255, 255, 0));
    m_platform->filesToOpen.push_back(earlier);
    m_form->qmtp_Click();
    waitForThePicture();
    const QString copy = m_folder->filePath(QStringLiteral("xxx.jpg"));
    const QByteArray earlierCopy = readAll(copy);
    const QImage background = m_form->picture1()->picture();
    QVERIFY(!background.isNull());
    m_form->label2()->show();
    m_platform->messages.clear();

    QString chosen = m_folder->filePath(QStringLiteral("chosen.jpg"));
    const auto writeChosen = [&chosen](const QByteArray& bytes) {
        QFile file(chosen);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    };
    const bool unprivileged =
        kind == QLatin1String("unreadable") || kind == QLatin1String("read-only");
    if (unprivileged && geteuid() == 0) {
        QSKIP("root reads and writes anything: run this as an ordinary user");
    }
    std::optional<test::FileSizeLimit> limit;
    if (kind == QLatin1String("text")) {
        writeChosen("this is not a picture\n");
    } else if (kind == QLatin1String("missing")) {
        chosen = m_folder->filePath(QStringLiteral("nowhere/none.jpg"));
    } else if (kind == QLatin1String("unreadable")) {
        writeChosen(noisyJpeg());
        QVERIFY(QFile::setPermissions(chosen, QFile::WriteOwner));
    } else if (kind == QLatin1String("bomb")) {
        writeChosen(pngHeaderOnly(20000, 20000));
    } else if (kind == QLatin1String("broken")) {
        writeChosen(pngHeaderOnly(40, 40));
    } else if (kind == QLatin1String("truncated")) {
        writeChosen(noisyJpeg().left(1500));
    } else if (kind == QLatin1String("corrupt")) {
        writeChosen(corruptJpeg());
    } else {
        writeChosen(noisyJpeg());
        if (kind == QLatin1String("gone")) {
            m_platform->folder = m_folder->filePath(QStringLiteral("gone"));
        } else if (kind == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::ExeOwner));
        } else {
            limit.emplace(4096);
            QVERIFY(limit->applied());
        }
    }
    m_platform->filesToOpen.push_back(chosen);
    m_form->qmtp_Click();
    waitForThePicture();
    limit.reset();
    QFile::setPermissions(m_folder->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(m_platform->messages.size(), 2);
    QCOMPARE(m_platform->messages.at(0).text, kAdvice);
    QCOMPARE(m_platform->messages.at(1).style, MessageStyle::Warning);
    QVERIFY(m_platform->messages.at(1).text.startsWith(QStringLiteral("签名背景图片设置失败!")));
    QFETCH(QString, reason);
    reason.replace(QStringLiteral("%1"), QDir::toNativeSeparators(chosen));
    reason.replace(QStringLiteral("%2"), QDir::toNativeSeparators(m_platform->folder));
    QVERIFY2(m_platform->messages.at(1).text.startsWith(
                 QStringLiteral("签名背景图片设置失败!\r\n") + reason),
             qPrintable(m_platform->messages.at(1).text));
    QCOMPARE(m_form->picture1()->picture(), background);
    QVERIFY(!m_form->label2()->isHidden());
    QCOMPARE(readAll(copy), earlierCopy);
    // No half-made copy is left behind.
    const QStringList leftovers =
        QDir(m_folder->path())
            .entryList({QStringLiteral("xxx.jpg.*"), QStringLiteral(".xxx.jpg.*")},
                       QDir::Files | QDir::Hidden);
    QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(u',')));
}

void TestSettings::choosingTheCopyItself() {
    const QString copy = writePicture(m_folder->filePath(QStringLiteral("xxx.jpg")), QSize(30, 30),
                                      QColor(255, 0, 255));
    const QByteArray bytes = readAll(copy);
    m_platform->filesToOpen.push_back(copy);
    m_form->qmtp_Click();
    waitForThePicture();
    QCOMPARE(readAll(copy), bytes);
    QCOMPARE(m_platform->messages.last().text, kPictureChosen);
    QCOMPARE(m_form->picture1()->picture().size(), QSize(30, 30));
}

void TestSettings::specialFileChosen_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : test::SpecialFiles::kinds()) {
        QTest::newRow(qPrintable(kind)) << kind;
    }
}

void TestSettings::specialFileChosen() {
    QFETCH(QString, kind);
    design();
    const QImage drawn = m_form->picture1()->image().copy();
    test::SpecialFiles specials(m_folder->path());
    const QString chosen = specials.make(kind, QStringLiteral("背景.jpg"));
    QVERIFY(!chosen.isEmpty());

    m_platform->filesToOpen.push_back(chosen);
    m_form->qmtp_Click();
    // The window never waited for the file, and refuses it at once.
    QTRY_COMPARE(m_platform->messages.size(), 2);
    specials.letGo();
    const QString shown =
        QStringLiteral("“") + QDir::toNativeSeparators(chosen) + QStringLiteral("”");
    const QString reason =
        kind == QLatin1String("folder named .jpg")
            ? QStringLiteral("无法读取所选图片") + shown
            : QStringLiteral("所选的") + shown +
                  QStringLiteral("不是普通文件(而是管道、设备或套接字),不能用作图片。");
    QCOMPARE(m_platform->messages.at(1).style, MessageStyle::Warning);
    QVERIFY2(m_platform->messages.at(1).text.startsWith(
                 QStringLiteral("签名背景图片设置失败!\r\n") + reason),
             qPrintable(m_platform->messages.at(1).text));
    // Nothing drawn is lost, and no copy is made.
    QCOMPARE(m_form->picture1()->image(), drawn);
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("xxx.jpg"))));
    QVERIFY(!m_form->pictureBeingRead());
}

void TestSettings::stalledPictureRead_data() {
    QTest::addColumn<QString>("user"); // "gives up", "waits", "closes the window"

    QTest::newRow("the user gives up") << "gives up";
    QTest::newRow("the user waits for it") << "waits";
    QTest::newRow("the user closes the window") << "closes the window";
}

void TestSettings::stalledPictureRead() {
    QFETCH(QString, user);
    design();
    const QImage drawn = m_form->picture1()->image().copy();
    const QString chosen = writePicture(m_folder->filePath(QStringLiteral("远程.jpg")),
                                        QSize(340, 95), QColor(0, 0, 200));

    // The read stops answering, as on a network mount that has gone away, until let go.
    struct Stall {
        std::promise<void> answer;
        std::shared_future<void> answered = answer.get_future().share();
        std::atomic<bool> returned = false;
    };
    auto stall = std::make_shared<Stall>();
    m_platform->reads = [stall](const QString& path) {
        stall->answered.wait();
        Result<QByteArray> read{readAll(path), {}};
        stall->returned = true;
        return read;
    };
    const auto letGo = [&stall] {
        stall->answer.set_value();
        QTRY_VERIFY(stall->returned.load());
        QTest::qWait(20); // the reading thread hands its outcome over and ends
    };
    m_platform->filesToOpen.push_back(chosen);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
    m_form->qmtp_Click();
    QVERIFY(m_form->pictureBeingRead());
    // The advice has been answered; the next box is the question.
    if (user == QLatin1String("gives up")) {
        m_platform->answers = {MessageAnswer::Yes};
    } else if (user == QLatin1String("waits")) {
        m_platform->answers = {MessageAnswer::No};
    }

    // The window goes on: it repaints, and its controls work.
    m_form->picture1()->repaint();
    m_form->Command6_Click();
    QVERIFY(m_form->frame14()->isVisible());
    QCOMPARE(m_platform->messages.size(), 1);

    if (user == QLatin1String("closes the window")) {
        m_platform->answers = {MessageAnswer::No}; // the exit question: close, no forum
        QVERIFY(m_form->close());
        // The read went with the window, and with it its patience's question: the bytes that
        // come in afterwards have nobody to reach.
        QVERIFY(!m_form->pictureBeingRead());
        letGo();
        QCOMPARE(m_platform->messages.size(), 2);
        QCOMPARE(m_platform->messages.at(1).style, MessageStyle::InformationYesNoCancel);
        QCOMPARE(m_form->picture1()->image(), drawn);
        return;
    }

    // Taking too long, the read may be given up.
    // (The fake's boxes are answered at once: the question and what follows come together.)
    QTRY_VERIFY_WITH_TIMEOUT(m_platform->messages.size() >= 2, Form1::kPictureReadPatience + 5000);
    const FakePlatform::Message question = m_platform->messages.at(1);
    QCOMPARE(question.style, MessageStyle::InformationYesNo);
    QCOMPARE(question.text,
             QStringLiteral("读取所选图片“%1”的时间过长(它可能位于没有响应的网络位置)。\r\n"
                            "是否放弃读取?选择“否”将继续等待。")
                 .arg(QDir::toNativeSeparators(chosen)));
    if (user == QLatin1String("gives up")) {
        QCOMPARE(m_platform->messages.size(), 3);
        QCOMPARE(m_platform->messages.at(2).text,
                 QStringLiteral("签名背景图片设置失败!\r\n已放弃读取所选图片“%1”。")
                     .arg(QDir::toNativeSeparators(chosen)));
        QCOMPARE(m_platform->messages.at(2).style, MessageStyle::Warning);
        QVERIFY(!m_form->pictureBeingRead());
        // The bytes that come in afterwards are thrown away.
        letGo();
        QTest::qWait(100);
        QCOMPARE(m_platform->messages.size(), 3);
        QCOMPARE(m_form->picture1()->image(), drawn);
        QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("xxx.jpg"))));
    } else {
        QVERIFY(m_form->pictureBeingRead());
        letGo();
        waitForThePicture();
        QCOMPARE(m_platform->messages.last().text, kPictureChosen);
        QCOMPARE(readAll(m_folder->filePath(QStringLiteral("xxx.jpg"))), readAll(chosen));
        QCOMPARE(m_form->picture1()->picture().size(), QSize(340, 95));
    }
}

void TestSettings::damageIsFoundWhateverTheLoggingRules() {
    // The decoder's complaints are how damaged data shows; a user's rules may silence them.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*.warning=false"));
    const DecodedPicture corrupt = decodeIntactPicture(corruptJpeg());
    const DecodedPicture whole = decodeIntactPicture(noisyJpeg());
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(corrupt.outcome.cause, Cause::DamagedPicture);
    QVERIFY(corrupt.image.isNull());
    QCOMPARE(whole.outcome.cause, Cause::None);
    QCOMPARE(whole.image.size(), QSize(340, 95));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
