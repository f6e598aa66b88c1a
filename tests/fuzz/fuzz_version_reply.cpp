// The update server's reply: whether it answered, how far it got, its status, its content type,
// where it came from and its body.

#include "FuzzCheck.h"
#include "online/UpdateCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    inkvale::HttpReply reply;
    reply.answered = (data[0] & 1) != 0;
    reply.complete = (data[0] & 2) != 0;
    reply.tooLarge = (data[0] & 4) != 0;
    // Mostly real statuses, now and then any number at all.
    const int status = data[1] | (data[2] << 8);
    reply.statusCode = (data[0] & 8) != 0 ? status - 0x8000 : status % 600;
    reply.body =
        QByteArray(reinterpret_cast<const char*>(data + 3), static_cast<qsizetype>(size - 3));
    // A portal's login page, a plain text file or no label at all.
    static const QByteArray kTypes[] = {"", "text/plain; charset=gbk", "TEXT/HTML; charset=utf-8",
                                        "application/xhtml+xml"};
    reply.contentType = kTypes[(data[0] >> 4) & 3];
    reply.requestedUrl = QUrl(QStringLiteral("http://update.inkvale.example/files/vermo.txt"));
    // Straight from the server, redirected on the same host, or brought from another host.
    static const char* const kFinal[] = {"", "http://update.inkvale.example/login",
                                         "http://portal.example/login",
                                         "http://UPDATE.inkvale.example/files/vermo.txt"};
    reply.finalUrl = QUrl(QString::fromLatin1(kFinal[(data[0] >> 6) & 3]));

    const inkvale::UpdateVerdict verdict = inkvale::judgeUpdateReply(reply);
    const bool webPage = reply.contentType.toLower().startsWith("text/html") ||
                         reply.contentType.startsWith("application/xhtml");
    // A body that opens as a page is one, whatever its label; looksLikeWebPage has its own table
    // of cases, and here it must at least know a page that opens with its html tag.
    const bool pageBody = inkvale::looksLikeWebPage(reply.body);
    const QByteArray opening =
        (reply.body.startsWith("\xEF\xBB\xBF") ? reply.body.mid(3) : reply.body).trimmed();
    if (opening.toLower().startsWith("<html>")) {
        FUZZ_CHECK(pageBody);
    }
    if (!opening.startsWith('<')) {
        FUZZ_CHECK(!pageBody);
    }
    const bool otherHost = reply.finalUrl.host() == QStringLiteral("portal.example");
    // Only a 200 carries the whole file: no range is asked for.
    const bool usable = reply.answered && reply.complete && !reply.tooLarge &&
                        reply.statusCode == 200 && !reply.body.isEmpty() && !webPage && !pageBody &&
                        !otherHost;
    if (!usable) {
        // A failed, refused, partial (206) or oversized reply, a web page or a reply from another
        // host never names a version.
        FUZZ_CHECK(verdict.kind == inkvale::UpdateVerdict::Kind::Failed);
        FUZZ_CHECK(verdict.fetchedText.isEmpty() && verdict.networkLabel.isEmpty());
        return 0;
    }
    FUZZ_CHECK(verdict.kind != inkvale::UpdateVerdict::Kind::Failed);
    FUZZ_CHECK(verdict.fetchedText == inkvale::decodeVersionText(reply.body));
    FUZZ_CHECK(!verdict.fetchedText.isEmpty());
    FUZZ_CHECK((verdict.kind == inkvale::UpdateVerdict::Kind::Current) ==
               (verdict.fetchedText == inkvale::kCurrentVersionText));
    if (verdict.kind == inkvale::UpdateVerdict::Kind::Current) {
        FUZZ_CHECK(verdict.networkLabel == QStringLiteral(" Sp2"));
    }
    // The label is the body with the prefix taken out, never anything added.
    FUZZ_CHECK(verdict.networkLabel.size() <= verdict.fetchedText.size());
    if (!verdict.fetchedText.contains(QStringLiteral("Ｋelda.系列软件のInkvale"))) {
        FUZZ_CHECK(verdict.networkLabel == verdict.fetchedText);
    }
    // The question quotes the body, whole or cut with an ellipsis, between its brackets.
    const QString quoted = inkvale::quotedVersionText(verdict.fetchedText);
    FUZZ_CHECK(quoted == verdict.fetchedText ||
               (quoted.endsWith(QStringLiteral("…")) &&
                verdict.fetchedText.startsWith(quoted.chopped(1))));
    FUZZ_CHECK(quoted.size() <= inkvale::kQuotedTextChars + 1);
    const QString question = inkvale::updateQuestion(verdict.fetchedText);
    FUZZ_CHECK(question.contains(QStringLiteral("【") + quoted + QStringLiteral("】是否更新?")));
    const QString panel = inkvale::versionPanelText(verdict.networkLabel);
    FUZZ_CHECK(panel.size() == inkvale::versionPanelText(QString()).size() +
                                   verdict.networkLabel.size() -
                                   verdict.networkLabel.count(QStringLiteral("\r\n")));
    FUZZ_CHECK(!panel.contains(QLatin1Char('\n')) && !panel.contains(QLatin1Char('\r')));
    return 0;
}
