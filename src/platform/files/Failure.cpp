#include "platform/files/Failure.h"

#include <QStringView>

#include <array>
#include <cerrno>
#include <cstring>

namespace inkvale {

namespace {

/// What each cause is called. "%1" stands for the outcome's detail.
struct CauseText {
    Cause cause;
    QStringView chinese;
    QStringView englishWriting;
    QStringView englishReading; ///< empty: as when writing
};

constexpr std::array<CauseText, 17> kTexts{{
    {Cause::NoPermission, u"没有权限", u"permission denied: this user may not write there",
     u"permission denied: this user may not read it"},
    {Cause::NoSpace, u"磁盘空间不足", u"the disk is full", {}},
    {Cause::ReadOnlyFileSystem,
     u"文件系统是只读的",
     u"the folder is on a read-only file system",
     {}},
    {Cause::FileTooLarge, u"文件超出了系统允许的大小",
     u"the file is larger than this process may write",
     u"the file is larger than any picture within the pixel limit"},
    {Cause::NoSuchFile, u"文件或文件夹不存在", u"its folder does not exist", u"no such file"},
    {Cause::NameTaken, u"文件名已被占用", u"a file of that name exists already", {}},
    {Cause::IsFolder, u"这是一个文件夹", u"it is a folder", {}},
    {Cause::NotARegularFile,
     u"这不是普通文件(而是管道、设备或套接字)",
     u"it is not a regular file but a pipe, a device or a socket",
     {}},
    {Cause::NotAPicture,
     u"不是可以打开的图片",
     u"it is not a picture in a format this program reads (%1)",
     {}},
    {Cause::PictureTooLarge, u"图片尺寸过大", u"it has more than %1 million pixels", {}},
    {Cause::DamagedPicture,
     u"图片已损坏或不完整",
     u"the picture is damaged: it is cut short or has errors in its data",
     {}},
    {Cause::NotEncoded, u"图片无法编码", u"the picture could not be encoded", {}},
    {Cause::NoMemory, u"内存不足", u"not enough memory", {}},
    {Cause::HardLinked,
     u"文件有其他硬链接",
     u"it has other hard links, which would keep the old file: remove it first or write "
     u"another name",
     {}},
    {Cause::UntrustedLink,
     u"这是其他用户放在共享文件夹中的符号链接,为安全起见不会跟随它",
     u"it is a symbolic link that another user put in a shared folder, which is not followed",
     {}},
    {Cause::Other, u"%1", u"%1", {}},
}};

const CauseText* textOf(Cause cause) {
    for (const CauseText& text : kTexts) {
        if (text.cause == cause) {
            return &text;
        }
    }
    return nullptr;
}

QString filled(QStringView text, const QString& detail) {
    return text.contains(u"%1") ? text.toString().arg(detail) : text.toString();
}

} // namespace

Outcome Outcome::ofSystemError(int systemError, Access access) {
    Cause cause = Cause::Other;
    switch (systemError) {
    case 0:
        return {Cause::None, access, 0, {}};
    case EACCES:
    case EPERM:
        cause = Cause::NoPermission;
        break;
    case ENOSPC:
    case EDQUOT:
        cause = Cause::NoSpace;
        break;
    case EROFS:
        cause = Cause::ReadOnlyFileSystem;
        break;
    case EFBIG:
        cause = Cause::FileTooLarge;
        break;
    case ENOMEM:
        cause = Cause::NoMemory;
        break;
    case ENOENT:
    case ENOTDIR:
        cause = Cause::NoSuchFile;
        break;
    case EEXIST:
        cause = Cause::NameTaken;
        break;
    default:
        break;
    }
    return {cause, access, systemError, QString::fromLocal8Bit(std::strerror(systemError))};
}

QString englishText(const Outcome& outcome) {
    const CauseText* text = textOf(outcome.cause);
    if (text == nullptr) {
        return {};
    }
    if (outcome.cause == Cause::Other && outcome.detail.isEmpty()) {
        return outcome.access == Access::Read ? QStringLiteral("the file could not be read")
                                              : QStringLiteral("the file could not be written");
    }
    const bool reading = outcome.access == Access::Read && !text->englishReading.isEmpty();
    return filled(reading ? text->englishReading : text->englishWriting, outcome.detail);
}

QString chineseText(const Outcome& outcome) {
    const CauseText* text = textOf(outcome.cause);
    return text == nullptr ? QString() : filled(text->chinese, outcome.detail);
}

} // namespace inkvale
