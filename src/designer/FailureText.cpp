#include "designer/FailureText.h"

#include <QDir>

namespace inkvale {

namespace {

/// The folder as the user's file manager shows it.
QString shown(const QString& path) {
    return QStringLiteral("“") + QDir::toNativeSeparators(path) + QStringLiteral("”");
}

} // namespace

QString failureReasonText(WriteFailure failure, const QString& systemReason) {
    switch (failure) {
    case WriteFailure::None:
        return {};
    case WriteFailure::NoPermission:
        return QStringLiteral("没有权限");
    case WriteFailure::NoSpace:
        return QStringLiteral("磁盘空间不足");
    case WriteFailure::ReadOnlyFileSystem:
        return QStringLiteral("文件系统是只读的");
    case WriteFailure::FileTooLarge:
        return QStringLiteral("文件超出了系统允许的大小");
    case WriteFailure::FolderMissing:
        return QStringLiteral("文件或文件夹不存在");
    case WriteFailure::NameTaken:
        return QStringLiteral("文件名已被占用");
    case WriteFailure::Other:
        break;
    }
    return systemReason;
}

QString folderWriteFailureText(const WriteResult& result, const QString& folder) {
    const QString where = shown(folder);
    switch (result.failure) {
    case WriteFailure::None:
        return {};
    case WriteFailure::NoPermission:
        return QStringLiteral("没有权限写入程序所在的文件夹%1。\r\n"
                              "请把本程序移到您可以写入的文件夹(例如您的主文件夹)中再运行。")
            .arg(where);
    case WriteFailure::ReadOnlyFileSystem:
        return QStringLiteral("程序所在的文件夹%1位于只读的文件系统上,无法写入。\r\n"
                              "请把本程序移到您可以写入的文件夹(例如您的主文件夹)中再运行。")
            .arg(where);
    case WriteFailure::NoSpace:
        return QStringLiteral("磁盘空间不足(或已超出磁盘配额),无法写入文件夹%1。\r\n"
                              "请清理出一些空间后再试。")
            .arg(where);
    case WriteFailure::FileTooLarge:
        return QStringLiteral("文件超出了系统允许本程序写入的大小,无法写入文件夹%1。").arg(where);
    case WriteFailure::FolderMissing:
        return QStringLiteral("程序所在的文件夹%1已不存在。").arg(where);
    case WriteFailure::NameTaken:
        return QStringLiteral("文件夹%1中已没有可用的文件名。").arg(where);
    case WriteFailure::Other:
        break;
    }
    return QStringLiteral("写入文件夹%1时出错:%2").arg(where, result.systemReason);
}

QString pictureReadFailureText(const ReadResult& result, const QString& path) {
    const QString what = shown(path);
    switch (result.failure) {
    case WriteFailure::None:
        return {};
    case WriteFailure::NoPermission:
        return QStringLiteral("没有权限读取所选图片%1。").arg(what);
    case WriteFailure::FolderMissing:
        return QStringLiteral("所选图片%1不存在。").arg(what);
    case WriteFailure::FileTooLarge:
        return QStringLiteral("所选文件%1太大,不是可用的背景图片。").arg(what);
    default:
        break;
    }
    return QStringLiteral("无法读取所选图片%1:%2")
        .arg(what, failureReasonText(result.failure, result.systemReason));
}

} // namespace inkvale
