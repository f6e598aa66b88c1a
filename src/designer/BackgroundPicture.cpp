#include "designer/BackgroundPicture.h"

#include "core/PictureDecoding.h"
#include "designer/FailureText.h"
#include "platform/ProgramFiles.h"
#include "platform/files/AtomicFile.h"
#include "platform/log/LogCategories.h"

namespace inkvale {

namespace {

const QString kNotAPicture = QStringLiteral("所选文件不是可以打开的图片。");

} // namespace

BackgroundPicture adoptBackgroundPicture(const QString& chosen, const QString& programFolder) {
    return adoptPictureBytes(readWholeFile(chosen, kLargestPictureFile), chosen, programFolder);
}

ChosenPictureRead::ChosenPictureRead(const ProgramFiles& files, QString chosen,
                                     QString programFolder, QObject* parent, Done done)
    : QObject(parent)
    , m_chosen(std::move(chosen))
    , m_read(
          this, [&files, path = m_chosen] { return files.readFile(path, kLargestPictureFile); },
          [path = m_chosen, folder = std::move(programFolder), done = std::move(done)](
              const Result<QByteArray>& read) { done(adoptPictureBytes(read, path, folder)); }) {}

BackgroundPicture adoptPictureBytes(const Result<QByteArray>& read, const QString& chosen,
                                    const QString& programFolder) {
    if (!read.ok()) {
        qCInfo(log::picture) << "cannot read" << chosen << ":" << englishText(read.outcome);
        return {QImage(), pictureReadFailureText(read.outcome, chosen)};
    }
    const DecodedPicture picture = decodeIntactPicture(read.value);
    if (!picture.outcome.ok()) {
        qCInfo(log::picture) << "refused" << chosen << ":" << englishText(picture.outcome)
                             << picture.size;
    }
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
        qCInfo(log::picture) << "cannot copy" << chosen << "into" << programFolder << ":"
                             << englishText(written);
        return {QImage(), folderWriteFailureText(written, programFolder)};
    }
    qCInfo(log::picture) << "adopted" << chosen << picture.image.size();
    return {picture.image, QString()};
}

} // namespace inkvale
