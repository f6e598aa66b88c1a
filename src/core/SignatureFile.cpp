#include "core/SignatureFile.h"

#include <QBuffer>
#include <QFileInfo>

#include <cerrno>

namespace inkvale {

namespace {

/// How many seconds past the save's own a free name is looked for.
constexpr int kLatestSecond = 24 * 60 * 60;

} // namespace

QString signatureFileName(const QDateTime& when) {
    return QStringLiteral("QM") + when.toString(QStringLiteral("yyyyMMddHHmmss")) +
           QStringLiteral(".jpg");
}

QByteArray bitmapBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "BMP")) {
        return {};
    }
    return bytes;
}

SavedSignature saveSignature(const QImage& image, const QString& folder, const QDateTime& when) {
    const QByteArray bytes = bitmapBytes(image);
    if (bytes.isEmpty()) {
        return {QString(), Outcome::failed(Cause::NotEncoded)};
    }
    Outcome last = Outcome::ofSystemError(EEXIST);
    for (int second = 0; second <= kLatestSecond; ++second) {
        const QString name = signatureFileName(when.addSecs(second));
        const QString path = folder + QLatin1Char('/') + name;
        // Looking first spares writing the picture for names that are plainly taken; the
        // claim below settles a race with another program.
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
            continue;
        }
        last = writeFileAtomically(path, bytes, WriteMode::ClaimNewName);
        if (last.cause != Cause::NameTaken) {
            return {last.ok() ? name : QString(), last};
        }
    }
    return {QString(), last};
}

} // namespace inkvale
