#include "platform/InstanceChannel.h"
#include "startup/SingleInstance.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace inkvale;

namespace {

/// A top-level window named like one of the program's forms.
std::unique_ptr<QWidget> form(const QString& name) {
    auto window = std::make_unique<QWidget>();
    window->setObjectName(name);
    window->setWindowTitle(name);
    return window;
}

} // namespace

class TestSingleInstance final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void laterStartFromTheSameFolderIsHandedOver();
    void sameFolderByAnotherPath();
    void otherFoldersRunSideBySide();
    void folderIsFreeAgainWhenTheDesignerEnds();
    void leftoverSocketOfADeadDesigner();
    void noRuntimeFolder();
    void windowToBringForward();
    void secondStartBringsTheWindowForward_data();
    void secondStartBringsTheWindowForward();

private:
    QString programFolder(const QString& name);

    QTemporaryDir* m_channels = nullptr;
    QTemporaryDir* m_programs = nullptr;
};

void TestSingleInstance::init() {
    m_channels = new QTemporaryDir;
    m_programs = new QTemporaryDir;
}

void TestSingleInstance::cleanup() {
    delete m_programs;
    delete m_channels;
}

QString TestSingleInstance::programFolder(const QString& name) {
    QDir(m_programs->path()).mkpath(name);
    return m_programs->filePath(name);
}

void TestSingleInstance::laterStartFromTheSameFolderIsHandedOver() {
    SingleInstance first(programFolder(QStringLiteral("a")), m_channels->path());
    QSignalSpy asked(&first, &SingleInstance::secondStart);
    QVERIFY(!first.handOverToRunningDesigner());

    SingleInstance second(programFolder(QStringLiteral("a")), m_channels->path());
    QVERIFY(second.handOverToRunningDesigner());
    QTRY_COMPARE(asked.count(), 1);

    // And again: the running designer keeps listening.
    SingleInstance third(programFolder(QStringLiteral("a")), m_channels->path());
    QVERIFY(third.handOverToRunningDesigner());
    QTRY_COMPARE(asked.count(), 2);
}

void TestSingleInstance::sameFolderByAnotherPath() {
    const QString folder = programFolder(QStringLiteral("real"));
    const QString link = m_programs->filePath(QStringLiteral("link"));
    QVERIFY(QFile::link(folder, link));
    QCOMPARE(SingleInstance::channelName(link), SingleInstance::channelName(folder));
    QCOMPARE(SingleInstance::channelName(folder + QStringLiteral("/.")),
             SingleInstance::channelName(folder));

    SingleInstance first(folder, m_channels->path());
    QVERIFY(!first.handOverToRunningDesigner());
    SingleInstance second(link, m_channels->path());
    QVERIFY(second.handOverToRunningDesigner());
}

void TestSingleInstance::otherFoldersRunSideBySide() {
    QVERIFY(SingleInstance::channelName(programFolder(QStringLiteral("a"))) !=
            SingleInstance::channelName(programFolder(QStringLiteral("b"))));
    SingleInstance first(programFolder(QStringLiteral("a")), m_channels->path());
    QSignalSpy asked(&first, &SingleInstance::secondStart);
    QVERIFY(!first.handOverToRunningDesigner());
    SingleInstance other(programFolder(QStringLiteral("b")), m_channels->path());
    QVERIFY(!other.handOverToRunningDesigner());
    QTest::qWait(100);
    QCOMPARE(asked.count(), 0);
}

void TestSingleInstance::folderIsFreeAgainWhenTheDesignerEnds() {
    const QString folder = programFolder(QStringLiteral("a"));
    {
        SingleInstance first(folder, m_channels->path());
        QVERIFY(!first.handOverToRunningDesigner());
    }
    SingleInstance next(folder, m_channels->path());
    QVERIFY(!next.handOverToRunningDesigner());
    SingleInstance after(folder, m_channels->path());
    QVERIFY(after.handOverToRunningDesigner());
}

void TestSingleInstance::leftoverSocketOfADeadDesigner() {
    // A designer that was killed leaves its socket file; no process holds the lock any more.
    const QString folder = programFolder(QStringLiteral("a"));
    const QString name = SingleInstance::channelName(folder);
    QFile leftover(QDir(m_channels->path()).filePath(name + QStringLiteral(".socket")));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();

    SingleInstance next(folder, m_channels->path());
    QVERIFY(!next.handOverToRunningDesigner());
    SingleInstance after(folder, m_channels->path());
    QVERIFY(after.handOverToRunningDesigner());
}

void TestSingleInstance::noRuntimeFolder() {
    // Nowhere to meet: every start runs on its own rather than not at all.
    const QString missing = m_channels->filePath(QStringLiteral("gone/away"));
    InstanceChannel first(QStringLiteral("x"), missing);
    QCOMPARE(first.claim("hello"), InstanceChannel::Claim::Unreachable);
    SingleInstance start(programFolder(QStringLiteral("a")), missing);
    QVERIFY(!start.handOverToRunningDesigner());
}

void TestSingleInstance::windowToBringForward() {
    QCOMPARE(SingleInstance::windowToBringForward(), nullptr);

    auto splash = form(QStringLiteral("Form2"));
    splash->show();
    QCOMPARE(SingleInstance::windowToBringForward(), splash.get());

    auto main = form(QStringLiteral("Form1"));
    main->show();
    QCOMPARE(SingleInstance::windowToBringForward(), main.get());

    // The splash gone, the main window minimised: still the main window.
    splash->close();
    main->showMinimized();
    QCOMPARE(SingleInstance::windowToBringForward(), main.get());

    // A modal box or dialog comes first: the main window cannot be used past it.
    main->showNormal();
    QDialog dialog(main.get());
    dialog.setModal(true);
    dialog.show();
    QCOMPARE(SingleInstance::windowToBringForward(), &dialog);
    dialog.close();
    QCOMPARE(SingleInstance::windowToBringForward(), main.get());
}

void TestSingleInstance::secondStartBringsTheWindowForward_data() {
    QTest::addColumn<bool>("waitingOnADialog");
    QTest::newRow("main window") << false;
    QTest::newRow("main window waiting on a dialog") << true;
}

void TestSingleInstance::secondStartBringsTheWindowForward() {
    QFETCH(bool, waitingOnADialog);
    const QString folder = programFolder(QStringLiteral("a"));
    SingleInstance first(folder, m_channels->path());
    QVERIFY(!first.handOverToRunningDesigner());

    auto main = form(QStringLiteral("Form1"));
    main->show();
    auto other = form(QStringLiteral("another program"));
    other->show();
    QDialog dialog(main.get());
    if (waitingOnADialog) {
        dialog.setModal(true);
        dialog.show();
    }
    main->showMinimized();
    other->activateWindow();
    QTRY_VERIFY(main->isMinimized());
    QTRY_COMPARE(QApplication::activeWindow(), other.get());

    SingleInstance second(folder, m_channels->path());
    QVERIFY(second.handOverToRunningDesigner());
    QTRY_VERIFY(!main->isMinimized());
    QVERIFY(main->isVisible());
    QWidget* const expected = waitingOnADialog ? static_cast<QWidget*>(&dialog) : main.get();
    QTRY_COMPARE(QApplication::activeWindow(), expected);
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
