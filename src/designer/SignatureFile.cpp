#include "designer/SignatureFile.h"

#include <QSaveFile>

namespace inkvale {

QString signatureFileName(const QDateTime& when) {
    return QStringLiteral("QM") + when.toString(QStringLiteral("yyyyMMddHHmmss")) +
           QStringLiteral(".jpg");
}

QString writeBitmap(const QImage& image, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (!image.save(&file, "BMP")) {
        file.cancelWriting();
        return file.error() != QFileDevice::NoError
                   ? file.errorString()
                   : QStringLiteral("the picture could not be encoded");
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return {};
}

} // namespace inkvale
