#pragma once

#include <QString>
#include <QUrl>

#include <chrono>

namespace inkvale {

/// Where the program's online services live. The defaults name hosts under the `.example`
/// domain, which is reserved for documentation: a default install sends nothing to a
/// stranger's host. INKVALE_UPDATE_URL, INKVALE_DOWNLOAD_URL and INKVALE_FORUM_URL replace them.
struct OnlineSettings {
    QUrl update;     ///< the version file
    QUrl download;   ///< the download page offered when a newer version exists
    QUrl forum;      ///< the forum's home page
    QUrl makerChat;  ///< chat link to the maker ("建议提交")
    QUrl studioChat; ///< chat link to the banner studio
    /// From the request to the last byte of the version file.
    std::chrono::milliseconds updateDeadline{std::chrono::seconds(60)};

    /// The defaults, with any address the environment replaces.
    [[nodiscard]] static OnlineSettings fromEnvironment();
};

/// A chat-link address: V=1, Uin, Site (percent-encoded) and Menu=yes, in that order.
[[nodiscard]] QUrl chatLink(const QString& uin, const QString& site);

} // namespace inkvale
