#include "designer/FailureText.h"

#include <QDir>

namespace inkvale {

namespace {

/// The folder as the user's file manager shows it.
QString shown(const QString& path) {
    return QStringLiteral("“") + QDir::toNativeSeparators(path) + QStringLiteral("”");
}

} // namespace

QString shownFolder(const QString& path) {
    return shown(path);
}

QString signatureFolderFailureText(const Outcome& result, const QString& folder) {
    return QStringLiteral("无法写入文件夹%1:%2。").arg(shown(folder), chineseText(result));
}

QString folderWriteFailureText(const Outcome& result, const QString& folder) {
    const QString where = shown(folder);
    switch (result.cause) {
    case Cause::None:
        return {};
    case Cause::NoPermission:
        return QStringLiteral("没有权限写入程序所在的文件夹%1。\r\n"
                              "请把本程序移到您可以写入的文件夹(例如您的主文件夹)中再运行。")
            .arg(where);
    case Cause::ReadOnlyFileSystem:
        return QStringLiteral("程序所在的文件夹%1位于只读的文件系统上,无法写入。\r\n"
                              "请把本程序移到您可以写入的文件夹(例如您的主文件夹)中再运行。")
            .arg(where);
    case Cause::NoSpace:
        return QStringLiteral("磁盘空间不足(或已超出磁盘配额),无法写入文件夹%1。\r\n"
                              "请清理出一些空间后再试。")
            .arg(where);
    case Cause::FileTooLarge:
        return QStringLiteral("文件超出了系统允许本程序写入的大小,无法写入文件夹%1。").arg(where);
    case Cause::NoSuchFile:
        return QStringLiteral("程序所在的文件夹%1已不存在。").arg(where);
    case Cause::NameTaken:
        return QStringLiteral("文件夹%1中已没有可用的文件名。").arg(where);
    default:
        break;
    }
    return QStringLiteral("写入文件夹%1时出错:%2").arg(where, chineseText(result));
}

QString pictureReadFailureText(const Outcome& result, const QString& path) {
    const QString what = shown(path);
    switch (result.cause) {
    case Cause::None:
        return {};
    case Cause::NoPermission:
        return QStringLiteral("没有权限读取所选图片%1。").arg(what);
    case Cause::NoSuchFile:
        return QStringLiteral("所选图片%1不存在。").arg(what);
    case Cause::FileTooLarge:
        return QStringLiteral("所选文件%1太大,不是可用的背景图片。").arg(what);
    case Cause::NotARegularFile:
        return QStringLiteral("所选的%1不是普通文件(而是管道、设备或套接字),不能用作图片。")
            .arg(what);
    default:
        break;
    }
    return QStringLiteral("无法读取所选图片%1:%2").arg(what, chineseText(result));
}

} // namespace inkvale
