#pragma once

#include "platform/HttpFetcher.h"

#include <QString>
#include <QStringView>

namespace inkvale {

/// The version file's text for this version, compared whole.
inline constexpr QStringView kCurrentVersionText = u"Ｋelda.系列软件のInkvale Sp2";
/// A version file is a line of text; anything larger is not one.
inline constexpr qint64 kVersionFileLimit = 64 * 1024;

/// Texts the update check shows.
inline constexpr QStringView kUpdateFailedText = u"检测更新失败!请您稍后再试,暂时使用原版";
inline constexpr QStringView kUpdateReadyText = u"程序加载完毕.请您选择签名..";
inline constexpr QStringView kUnknownVersionPanel = u"当前版本: Sp2 | 网络版本:未知";

/// What the fetched version file says about this version.
struct UpdateVerdict {
    enum class Kind {
        Failed,  ///< nothing usable came back: the program goes on with this version
        Current, ///< the server names this version
        Other,   ///< the server names another version
    };
    Kind kind = Kind::Failed;
    QString fetchedText;  ///< the body, decoded
    QString networkLabel; ///< the body without the version prefix
};

/// Decodes a version file from GBK; bytes that are not GBK become replacement characters.
[[nodiscard]] QString decodeVersionText(const QByteArray& bytes);

/// Judges a fetched version file. A failed fetch, a status other than 2xx, an oversized body
/// and an empty body all mean the check failed.
[[nodiscard]] UpdateVerdict judgeUpdateReply(const HttpReply& reply);

/// Panel 3's text for a known network version label.
[[nodiscard]] QString versionPanelText(const QString& networkLabel);

/// The question that offers the download of `fetchedText`.
[[nodiscard]] QString updateQuestion(const QString& fetchedText);

} // namespace inkvale
