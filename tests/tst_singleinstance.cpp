#include "platform/InstanceChannel.h"
#include "startup/SingleInstance.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/stat.h>

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
    void runtimeFolderTooLongForAnAddress();
    void takenOverWhenItsOwnerIsGone_data();
    void takenOverWhenItsOwnerIsGone();
    void silentPeersAreLetGo();
    void messagesAreBounded_data();
    void messagesAreBounded();
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

void TestSingleInstance::runtimeFolderTooLongForAnAddress() {
    // Far longer than a socket address can be.
    const QString deep = m_channels->filePath(QString(100, QLatin1Char('d')) + QLatin1Char('/') +
                                              QString(100, QLatin1Char('e')));
    QVERIFY(QDir().mkpath(deep));
    const QString folder = programFolder(QStringLiteral("a"));
    SingleInstance first(folder, deep);
    QSignalSpy asked(&first, &SingleInstance::secondStart);
    QVERIFY(!first.handOverToRunningDesigner());
    SingleInstance second(folder, deep);
    QVERIFY(second.handOverToRunningDesigner());
    QTRY_COMPARE(asked.count(), 1);

    // Another runtime folder as deep meets elsewhere: its first start is an owner too.
    const QString other = m_channels->filePath(QString(100, QLatin1Char('d')) + QLatin1Char('/') +
                                               QString(100, QLatin1Char('f')));
    QVERIFY(QDir().mkpath(other));
    SingleInstance elsewhere(folder, other);
    QVERIFY(!elsewhere.handOverToRunningDesigner());
}

void TestSingleInstance::takenOverWhenItsOwnerIsGone_data() {
    // What a designer that crashed or was killed, or someone else, left at the channel's names.
    QTest::addColumn<QString>("suffix"); // ".lock" or ".socket"
    QTest::addColumn<QString>("kind");   // "file" (with `content`), "folder", "fifo", "link"
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty lock") << ".lock"
                                << "file" << QByteArray();
    QTest::newRow("garbage lock") << ".lock"
                                  << "file" << QByteArray("\x01\xff not a lock\n\n\n");
    QTest::newRow("another process's lock") << ".lock"
                                            << "file" << QByteArray("1\ninkvale\nhost\n");
    QTest::newRow("folder at the lock") << ".lock"
                                        << "folder" << QByteArray();
    QTest::newRow("FIFO at the lock") << ".lock"
                                      << "fifo" << QByteArray();
    QTest::newRow("link at the lock") << ".lock"
                                      << "link" << QByteArray();
    QTest::newRow("file at the socket") << ".socket"
                                        << "file" << QByteArray("x");
    QTest::newRow("folder at the socket") << ".socket"
                                          << "folder" << QByteArray();
    QTest::newRow("FIFO at the socket") << ".socket"
                                        << "fifo" << QByteArray();
}

void TestSingleInstance::takenOverWhenItsOwnerIsGone() {
    QFETCH(QString, suffix);
    QFETCH(QString, kind);
    QFETCH(QByteArray, content);
    const QString folder = programFolder(QStringLiteral("a"));
    const QString path =
        QDir(m_channels->path()).filePath(SingleInstance::channelName(folder) + suffix);
    if (kind == QLatin1String("file")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QVERIFY(QFile::link(m_programs->filePath(QStringLiteral("nowhere")), path));
    }

    SingleInstance first(folder, m_channels->path());
    QSignalSpy asked(&first, &SingleInstance::secondStart);
    QVERIFY(!first.handOverToRunningDesigner());
    SingleInstance second(folder, m_channels->path());
    QVERIFY(second.handOverToRunningDesigner());
    QTRY_COMPARE(asked.count(), 1);
    // Nothing is made through the link.
    QVERIFY(!QFileInfo::exists(m_programs->filePath(QStringLiteral("nowhere"))));
}

void TestSingleInstance::silentPeersAreLetGo() {
    InstanceChannel owner(QStringLiteral("x"), m_channels->path());
    QSignalSpy heard(&owner, &InstanceChannel::messageReceived);
    QCOMPARE(owner.claim("first"), InstanceChannel::Claim::Owner);

    // More peers that connect and never send than the owner listens to at once.
    std::vector<std::unique_ptr<QLocalSocket>> silent;
    for (int i = 0; i < InstanceChannel::kMostPeers + 4; ++i) {
        silent.push_back(std::make_unique<QLocalSocket>());
        silent.back()->connectToServer(owner.socketPath());
        QVERIFY(silent.back()->waitForConnected(3000));
    }
    QTest::qWait(100);

    // A later start still gets through.
    InstanceChannel later(QStringLiteral("x"), m_channels->path());
    QCOMPARE(later.claim("second"), InstanceChannel::Claim::Told);
    QTRY_COMPARE(heard.count(), 1);
    QCOMPARE(heard.at(0).at(0).toByteArray(), QByteArray("second"));

    // And every silent peer is let go in time.
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(silent.begin(), silent.end(),
                                         [](const std::unique_ptr<QLocalSocket>& peer) {
                                             return peer->state() == QLocalSocket::UnconnectedState;
                                         }),
                             InstanceChannel::kPeerDeadlineMs * 5);
    QCOMPARE(heard.count(), 1);
}

void TestSingleInstance::messagesAreBounded_data() {
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("lineBreak");
    QTest::addColumn<bool>("heard");
    const qint64 longest = InstanceChannel::kLongestMessage;
    QTest::newRow("the longest message") << longest << true << true;
    QTest::newRow("one byte longer") << longest + 1 << true << false;
    QTest::newRow("a megabyte line") << (qint64(1) << 20) << true << false;
    QTest::newRow("sent without end") << qint64(0) << false << false;
}

void TestSingleInstance::messagesAreBounded() {
    QFETCH(qint64, length);
    QFETCH(bool, lineBreak);
    QFETCH(bool, heard);
    InstanceChannel owner(QStringLiteral("x"), m_channels->path());
    QSignalSpy messages(&owner, &InstanceChannel::messageReceived);
    QCOMPARE(owner.claim("first"), InstanceChannel::Claim::Owner);

    QLocalSocket peer;
    peer.connectToServer(owner.socketPath());
    QVERIFY(peer.waitForConnected(3000));
    const QByteArray piece(1 << 16, 'm');
    qint64 sent = 0;
    const auto sendMore = [&] {
        // Without a line break, as long as the owner takes it.
        while (peer.state() == QLocalSocket::ConnectedState && peer.bytesToWrite() < (1 << 20) &&
               (!lineBreak || sent < length)) {
            const QByteArray chunk = piece.left(qsizetype(
                lineBreak ? std::min<qint64>(piece.size(), length - sent) : piece.size()));
            peer.write(chunk);
            sent += chunk.size();
            if (lineBreak && sent == length) {
                peer.write("\n");
            }
        }
    };
    QTimer pump;
    connect(&pump, &QTimer::timeout, &peer, sendMore);
    pump.start(1);

    QTRY_VERIFY_WITH_TIMEOUT(peer.state() == QLocalSocket::UnconnectedState || messages.count() > 0,
                             InstanceChannel::kPeerDeadlineMs * 5);
    QCOMPARE(messages.count() > 0, heard);
    if (heard) {
        QCOMPARE(messages.at(0).at(0).toByteArray(), QByteArray(qsizetype(length), 'm'));
    }
    QTRY_COMPARE(peer.state(), QLocalSocket::UnconnectedState);
    QCOMPARE(messages.count() > 0, heard);
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
