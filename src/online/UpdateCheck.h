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

/// How much of a fetched text the update question quotes before it cuts it with "…".
inline constexpr int kQuotedTextChars = 200;
inline constexpr int kQuotedTextLines = 6;

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

/// Whether a Content-Type header labels a web page (HTML or XHTML), whatever its parameters.
[[nodiscard]] bool labelsWebPage(const QByteArray& contentType);

/// Whether `body` is plainly a web page: after an optional byte order mark and blanks it opens
/// with a markup declaration or one of the tags a page starts with ("<!DOCTYPE html", "<html",
/// "<head", "<body", "<script", "<!--", "<?xml"...), letter case ignored. A version file never
/// starts with "<".
[[nodiscard]] bool looksLikeWebPage(const QByteArray& body);

/// Judges a fetched version file; depends on nothing but `reply`. The check failed when the
/// fetch failed, the status is not 2xx, the body is empty or oversized, the body is a web page
/// (a login or error page of a network in between, not a version file), whether the server
/// labels it as one or as plain text or bytes, or redirects led to another host than the one
/// asked.
[[nodiscard]] UpdateVerdict judgeUpdateReply(const HttpReply& reply);

/// Panel 3's text for a known network version label, on one line: every line break in the
/// label shows as a space.
[[nodiscard]] QString versionPanelText(const QString& networkLabel);

/// `text` whole when it is short, otherwise cut after kQuotedTextChars characters or at the
/// end of its kQuotedTextLines-th line, whichever comes first, and ended with "…".
[[nodiscard]] QString quotedVersionText(const QString& text);

/// The question that offers the download of `fetchedText`, quoted as quotedVersionText does.
[[nodiscard]] QString updateQuestion(const QString& fetchedText);

} // namespace inkvale
