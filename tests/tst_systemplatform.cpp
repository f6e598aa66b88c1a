#include "platform/SystemPlatform.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace inkvale;

class TestSystemPlatform final : public QObject {
    Q_OBJECT

private slots:
    void lineBreaks_data();
    void lineBreaks();
    void messageBox_data();
    void messageBox();
    void shellGetsTheTargetAsOneArgument_data();
    void shellGetsTheTargetAsOneArgument();
    void shellWithoutOpener();
    void programFolderIsTheExecutablesFolder();

private:
    QString m_savedPath = qEnvironmentVariable("PATH");
};

void TestSystemPlatform::lineBreaks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("CR LF") << "a\r\n \r\nb"
                           << "a\n \nb";
    QTest::newRow("lone CR") << "a\r \rb"
                             << "a\n \nb";
    QTest::newRow("LF kept") << "a\nb"
                             << "a\nb";
    QTest::newRow("LF CR is two breaks") << "a\n\rb"
                                         << "a\n\nb";
    QTest::newRow("none") << "没有下一页咯!"
                          << "没有下一页咯!";
}

void TestSystemPlatform::lineBreaks() {
    QFETCH(QString, text);
    QTEST(normaliseLineBreaks(text), "expected");
}

void TestSystemPlatform::messageBox_data() {
    QTest::addColumn<MessageStyle>("style");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("press"); // a standard button, or 0 for Escape
    QTest::addColumn<MessageAnswer>("answer");

    const int ok = QMessageBox::Ok;
    const int yesNo = QMessageBox::Yes | QMessageBox::No;
    const int yesNoCancel = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    QTest::newRow("64 OK") << MessageStyle::Information << int(QMessageBox::Information) << ok << ok
                           << MessageAnswer::Ok;
    QTest::newRow("48 OK") << MessageStyle::Warning << int(QMessageBox::Warning) << ok << ok
                           << MessageAnswer::Ok;
    QTest::newRow("68 Yes") << MessageStyle::InformationYesNo << int(QMessageBox::Information)
                            << yesNo << int(QMessageBox::Yes) << MessageAnswer::Yes;
    QTest::newRow("68 No") << MessageStyle::InformationYesNo << int(QMessageBox::Information)
                           << yesNo << int(QMessageBox::No) << MessageAnswer::No;
    QTest::newRow("67 Yes") << MessageStyle::InformationYesNoCancel << int(QMessageBox::Information)
                            << yesNoCancel << int(QMessageBox::Yes) << MessageAnswer::Yes;
    QTest::newRow("67 No") << MessageStyle::InformationYesNoCancel << int(QMessageBox::Information)
                           << yesNoCancel << int(QMessageBox::No) << MessageAnswer::No;
    QTest::newRow("67 Cancel") << MessageStyle::InformationYesNoCancel
                               << int(QMessageBox::Information) << yesNoCancel
                               << int(QMessageBox::Cancel) << MessageAnswer::Cancel;
    QTest::newRow("67 closed") << MessageStyle::InformationYesNoCancel
                               << int(QMessageBox::Information) << yesNoCancel << 0
                               << MessageAnswer::Cancel;
}

void TestSystemPlatform::messageBox() {
    QFETCH(MessageStyle, style);
    QFETCH(int, press);

    // Answer the box from the event loop it runs, as a user would.
    struct Seen {
        bool found = false;
        QString title;
        QString text;
        int icon = 0;
        int buttons = 0;
    } seen;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        poll.stop();
        seen = {true, box->windowTitle(), box->text(), int(box->icon()),
                int(box->standardButtons())};
        if (press == 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(QMessageBox::StandardButton(press))->click();
        }
    });
    poll.start();
    QTimer guard; // never leave a box open if the poll misses it
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, this, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
        }
    });
    guard.start(5000);

    SystemPlatform platform;
    const MessageAnswer answer =
        platform.showMessage(nullptr, QStringLiteral("第一行\r\n \r\n第三行"), style);
    QVERIFY(seen.found);
    QCOMPARE(seen.title, QStringLiteral("OrvekZanvi提示"));
    QCOMPARE(seen.text, QStringLiteral("第一行\n \n第三行"));
    QTEST(seen.icon, "icon");
    QTEST(seen.buttons, "buttons");
    QTEST(answer, "answer");
}

void TestSystemPlatform::shellGetsTheTargetAsOneArgument_data() {
    QTest::addColumn<QString>("target");

    QTest::newRow("web address") << "http://forum.example/";
    QTest::newRow("folder with spaces") << "/tmp/my programs/Inkvale/fonts";
    QTest::newRow("quotes and shell words") << "/tmp/a \"b\" 'c' $(touch x); rm -rf y";
}

void TestSystemPlatform::shellGetsTheTargetAsOneArgument() {
    QFETCH(QString, target);
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString record = bin.filePath(QStringLiteral("record"));
    QFile opener(bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$0.tmp\" && /bin/mv \"$0.tmp\" \"" +
                 record.toUtf8() + "\"\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", bin.path().toUtf8());

    SystemPlatform platform;
    const bool started = platform.openInShell(target, ShellWindow::Normal);
    qputenv("PATH", m_savedPath.toUtf8());
    QVERIFY(started);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 5000);
    QFile recorded(record);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(recorded.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("1"));
    QCOMPARE(lines.value(1), target);
}

void TestSystemPlatform::shellWithoutOpener() {
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toUtf8());
    SystemPlatform platform;
    const bool started =
        platform.openInShell(QStringLiteral("http://forum.example/"), ShellWindow::Minimised);
    qputenv("PATH", m_savedPath.toUtf8());
    QVERIFY(!started);
}

void TestSystemPlatform::programFolderIsTheExecutablesFolder() {
    SystemPlatform platform;
    const QString folder = platform.programFolder();
    QVERIFY(QFile::exists(folder + QStringLiteral("/tst_systemplatform")));
    QVERIFY(!folder.endsWith(QLatin1Char('/')));
}

QTEST_MAIN(TestSystemPlatform)
#include "tst_systemplatform.moc"
