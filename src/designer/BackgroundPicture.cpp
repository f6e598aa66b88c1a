#include "designer/BackgroundPicture.h"

#include "core/PictureDecoding.h"
#include "designer/FailureText.h"
#include "platform/files/AtomicFile.h"

namespace inkvale {

namespace {

const QString kNotAPicture = QStringLiteral("所选文件不是可以打开的图片。");

} // namespace

BackgroundPicture adoptBackgroundPicture(const QString& chosen, const QString& programFolder) {
    const ReadResult read = readWholeFile(chosen, kLargestPictureFile);
    if (!read.ok()) {
        return {QImage(), pictureReadFailureText(read, chosen)};
    }
    const DecodedPicture picture = decodeIntactPicture(read.bytes);
    switch (picture.problem) {
    case PictureProblem::None:
        break;
    case PictureProblem::NotAPicture:
        return {QImage(), kNotAPicture};
    case PictureProblem::TooLarge:
        return {QImage(), QStringLiteral("图片尺寸过大(%1×%2),请选择一亿像素以内的图片。")
                              .arg(picture.size.width())
                              .arg(picture.size.height())};
    case PictureProblem::Damaged:
        return {QImage(), QStringLiteral("所选图片已损坏或不完整,无法使用。")};
    }
    // The same bytes that were checked become the copy; it replaces an earlier one only when
    // complete, so choosing the copy itself is safe as well.
    const WriteResult written = writeFileAtomically(programFolder + QStringLiteral("/xxx.jpg"),
                                                    read.bytes, WriteMode::ReplaceDurably);
    if (!written.ok()) {
        return {QImage(), folderWriteFailureText(written, programFolder)};
    }
    return {picture.image, QString()};
}

} // namespace inkvale
