#include "payload/PayloadSources.h"
#include "platform/SystemPlatform.h"
#include "startup/Deployment.h"
#include "support/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace inkvale;
using inkvale::test::FakePlatform;

namespace {

/// The file behind each payload id, as the build listed them.
QMap<int, QString> payloadSources() {
    QMap<int, QString> sources;
    for (const PayloadSource& source : kPayloadSources) {
        sources.insert(source.resourceId, QString::fromUtf8(source.path));
    }
    return sources;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestPayload final : public QObject {
    Q_OBJECT

private slots:
    void everyPayloadIsCarriedWhole();
    void payloadsAreWhatTheirNamesSay();
    void payloadsLieInTheExecutableFile();
    void deployTheRealPayloads();
};

void TestPayload::everyPayloadIsCarriedWhole() {
    const QMap<int, QString> sources = payloadSources();
    QCOMPARE(sources.size(), 20);
    SystemPlatform platform;
    for (const DeployedFile& file : kDeployedFiles) {
        QVERIFY2(sources.contains(file.resourceId), qPrintable(QString::number(file.resourceId)));
        const QByteArrayView payload =
            platform.embeddedResource(QStringLiteral("CUSTOM"), file.resourceId);
        QVERIFY2(!payload.isEmpty(), qPrintable(file.target.toString()));
        QVERIFY2(payload == readAll(sources.value(file.resourceId)),
                 qPrintable(file.target.toString()));
        // Read in place: every look-up gives the same bytes at the same address.
        QCOMPARE(platform.embeddedResource(QStringLiteral("CUSTOM"), file.resourceId).data(),
                 payload.data());
    }
    QVERIFY(platform.embeddedResource(QStringLiteral("CUSTOM"), 100).isEmpty());
    QVERIFY(platform.embeddedResource(QStringLiteral("OTHER"), 101).isEmpty());
}

void TestPayload::payloadsAreWhatTheirNamesSay() {
    SystemPlatform platform;
    const auto payload = [&platform](int id) {
        return platform.embeddedResource(QStringLiteral("CUSTOM"), id);
    };
    QVERIFY(payload(101).startsWith("\x7f"
                                    "ELF"));
    QVERIFY(payload(102).startsWith(".SHE"));
    for (int id : {103, 104, 120}) {
        QVERIFY(payload(id).startsWith("Control role: "));
    }
    for (int id = 105; id <= 119; ++id) {
        // TrueType outlines or CFF outlines in an OpenType wrapper.
        QVERIFY2(payload(id).startsWith(QByteArrayView("\x00\x01\x00\x00", 4)) ||
                     payload(id).startsWith("OTTO"),
                 qPrintable(QString::number(id)));
    }
}

void TestPayload::payloadsLieInTheExecutableFile() {
    SystemPlatform platform;
    QFile executable(QStringLiteral("/proc/self/exe"));
    QVERIFY(executable.open(QIODevice::ReadOnly));
    for (const DeployedFile& file : kDeployedFiles) {
        const std::optional<FileRange> range =
            platform.embeddedResourceFile(QStringLiteral("CUSTOM"), file.resourceId);
        QVERIFY2(range.has_value(), qPrintable(file.target.toString()));
        const QByteArrayView payload =
            platform.embeddedResource(QStringLiteral("CUSTOM"), file.resourceId);
        QCOMPARE(range->size, payload.size());
        // Each starts a page, so the kernel copies it page by page.
        QCOMPARE(range->offset % 4096, 0);
        QVERIFY(executable.seek(range->offset));
        QVERIFY2(executable.read(range->size) == payload, qPrintable(file.target.toString()));
    }
    QVERIFY(!platform.embeddedResourceFile(QStringLiteral("CUSTOM"), 100).has_value());
}

void TestPayload::deployTheRealPayloads() {
    SystemPlatform system;
    FakePlatform platform;
    QTemporaryDir folder;
    platform.folder = folder.path();
    for (const DeployedFile& file : kDeployedFiles) {
        const QByteArrayView bytes =
            system.embeddedResource(QStringLiteral("CUSTOM"), file.resourceId);
        platform.resources.insert(file.resourceId,
                                  QByteArray::fromRawData(bytes.data(), bytes.size()));
        // Copied out of this executable's file, as the program copies them out of its own.
        if (const auto range =
                system.embeddedResourceFile(QStringLiteral("CUSTOM"), file.resourceId)) {
            platform.resourceFiles.insert(file.resourceId, *range);
        }
    }
    QCOMPARE(platform.resourceFiles.size(), 20);
    DeployEmbeddedFiles(platform);
    const QMap<int, QString> sources = payloadSources();
    for (const DeployedFile& file : kDeployedFiles) {
        QVERIFY2(readAll(folder.filePath(file.target.toString())) ==
                     readAll(sources.value(file.resourceId)),
                 qPrintable(file.target.toString()));
    }
}

QTEST_GUILESS_MAIN(TestPayload)
#include "tst_payload.moc"
