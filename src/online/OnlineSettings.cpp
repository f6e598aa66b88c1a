#include "online/OnlineSettings.h"

#include <QUrlQuery>

namespace inkvale {

namespace {

const QString kForumHome = QStringLiteral("http://forum.inkvale.example/");
const QString kUpdateFile = QStringLiteral("http://update.inkvale.example/files/vermo.txt");
const QString kDownloadPage = QStringLiteral("http://forum.inkvale.example/thread-4123-1-2.html");
const QString kChatHost = QStringLiteral("http://chat.messenger.example/msgrd");

QUrl fromEnvironment(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return QUrl(value.isEmpty() ? fallback : value);
}

} // namespace

OnlineSettings OnlineSettings::fromEnvironment() {
    OnlineSettings settings;
    settings.update = inkvale::fromEnvironment("INKVALE_UPDATE_URL", kUpdateFile);
    settings.download = inkvale::fromEnvironment("INKVALE_DOWNLOAD_URL", kDownloadPage);
    settings.forum = inkvale::fromEnvironment("INKVALE_FORUM_URL", kForumHome);
    settings.makerChat = chatLink(QStringLiteral("800012345"), QStringLiteral("Kelda系列软件"));
    settings.studioChat = chatLink(QStringLiteral("800067890"), QStringLiteral("Tavrin工作室"));
    return settings;
}

QUrl chatLink(const QString& uin, const QString& site) {
    QUrl url(kChatHost);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("V"), QStringLiteral("1"));
    query.addQueryItem(QStringLiteral("Uin"), uin);
    query.addQueryItem(QStringLiteral("Site"), QString::fromLatin1(QUrl::toPercentEncoding(site)));
    query.addQueryItem(QStringLiteral("Menu"), QStringLiteral("yes"));
    url.setQuery(query);
    return url;
}

} // namespace inkvale
