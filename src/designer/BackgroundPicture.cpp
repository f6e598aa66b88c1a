#include "designer/BackgroundPicture.h"

#include "core/PictureDecoding.h"
#include "designer/FailureText.h"
#include "platform/files/AtomicFile.h"

namespace inkvale {

namespace {

const QString kNotAPicture = QStringLiteral("所选文件不是可以打开的图片。");

} // namespace

BackgroundPicture adoptBackgroundPicture(const QString& chosen, const QString& programFolder) {
    const Result<QByteArray> read = readWholeFile(chosen, kLargestPictureFile);
    if (!read.ok()) {
        return {QImage(), pictureReadFailureText(read.outcome, chosen)};
    }
    const DecodedPicture picture = decodeIntactPicture(read.value);
    switch (picture.outcome.cause) {
    case Cause::NotAPicture:
        return {QImage(), kNotAPicture};
    case Cause::PictureTooLarge:
        return {QImage(), QStringLiteral("图片尺寸过大(%1×%2),请选择一亿像素以内的图片。")
                              .arg(picture.size.width())
                              .arg(picture.size.height())};
    case Cause::DamagedPicture:
        return {QImage(), QStringLiteral("所选图片已损坏或不完整,无法使用。")};
    default:
        break;
    }
    // The same bytes that were checked become the copy; it replaces an earlier one only when
    // complete, so choosing the copy itself is safe as well.
    const Outcome written = writeFileAtomically(programFolder + QStringLiteral("/xxx.jpg"),
                                                read.value, WriteMode::ReplaceDurably);
    if (!written.ok()) {
        return {QImage(), folderWriteFailureText(written, programFolder)};
    }
    return {picture.image, QString()};
}

} // namespace inkvale
