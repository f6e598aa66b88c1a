#include "designer/BackgroundPicture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace inkvale {

namespace {

const QString kNotAPicture = QStringLiteral("所选文件不是可以打开的图片。");

/// Why `path` cannot serve as a background picture, or an empty string when it may. Reads only
/// the header: nothing is decoded.
QString probePicture(const QString& path) {
    QImageReader reader(path);
    if (!reader.canRead()) {
        // A file that is there but may not be read is no less unreadable than a missing one.
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? kNotAPicture : QStringLiteral("无法读取所选文件。");
    }
    const QSize size = reader.size();
    if (exceedsPixelLimit(size)) {
        return QStringLiteral("图片尺寸过大(%1×%2),请选择一亿像素以内的图片。")
            .arg(size.width())
            .arg(size.height());
    }
    return {};
}

/// Decodes the picture at `path`; a null image when it cannot.
QImage loadPicture(const QString& path) {
    QImageReader reader(path);
    return readPictureWithinLimit(reader);
}

/// Copies `from` into the open file `to`; empty on success, otherwise why not.
QString copyInto(const QString& from, QFile& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        return source.errorString();
    }
    constexpr qint64 kChunk = 1 << 16;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
            return source.errorString();
        }
        if (to.write(chunk) != chunk.size()) {
            return to.errorString();
        }
    }
    return to.flush() ? QString() : to.errorString();
}

} // namespace

bool exceedsPixelLimit(QSize size) {
    return size.isValid() && qint64(size.width()) * size.height() > kLargestBackgroundPixels;
}

QImage readPictureWithinLimit(QImageReader& reader) {
    if (exceedsPixelLimit(reader.size())) {
        return {};
    }
    // Up to the pixel limit, 32-bit pixels must fit within the reader's allocation limit.
    constexpr int kAllocationMegabytes =
        static_cast<int>(4 * kLargestBackgroundPixels / (1024 * 1024) + 1);
    QImageReader::setAllocationLimit(
        std::max(QImageReader::allocationLimit(), kAllocationMegabytes));
    return reader.read();
}

BackgroundPicture adoptBackgroundPicture(const QString& chosen, const QString& programFolder) {
    const QString problem = probePicture(chosen);
    if (!problem.isEmpty()) {
        return {QImage(), problem};
    }
    const QString copy = programFolder + QStringLiteral("/xxx.jpg");
    if (QFileInfo::exists(copy) &&
        QFileInfo(chosen).canonicalFilePath() == QFileInfo(copy).canonicalFilePath()) {
        // The copy itself was chosen: copying it onto itself would empty it.
        const QImage image = loadPicture(copy);
        return {image, image.isNull() ? kNotAPicture : QString()};
    }

    // The new copy replaces the old one only once it has loaded, so a failure keeps the old.
    QTemporaryFile incoming(copy + QStringLiteral(".XXXXXX"));
    if (!incoming.open()) {
        return {QImage(), QStringLiteral("无法复制所选图片:") + incoming.errorString()};
    }
    const QString copyError = copyInto(chosen, incoming);
    if (!copyError.isEmpty()) {
        return {QImage(), QStringLiteral("无法复制所选图片:") + copyError};
    }
    incoming.close();
    const QImage image = loadPicture(incoming.fileName());
    if (image.isNull()) {
        return {QImage(), kNotAPicture};
    }
    std::error_code error;
    std::filesystem::rename(incoming.fileName().toStdU16String(), copy.toStdU16String(), error);
    if (error) {
        return {QImage(),
                QStringLiteral("无法复制所选图片:") + QString::fromLocal8Bit(error.message())};
    }
    incoming.setAutoRemove(false);
    // A temporary file is private to its owner; the copy is an ordinary file.
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther);
    return {image, QString()};
}

} // namespace inkvale
