#include "online/UpdateCheck.h"

#include "platform/log/LogCategories.h"

#include <QStringDecoder>

#include <array>
#include <string_view>

namespace inkvale {

namespace {

constexpr QStringView kVersionPrefix = u"Ｋelda.系列软件のInkvale";

bool isLineBreak(QChar c) {
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

/// The tags a web page opens with, as browsers recognise one whatever its label; each must be
/// followed by a blank or ">" ("<b" is not "<base").
constexpr std::array<std::string_view, 25> kPageOpenings = {
    "<!doctype html", "<html",  "<head", "<body",   "<script",   "<iframe",   "<h1",  "<div",
    "<font",          "<table", "<a",    "<style",  "<title",    "<b",        "<br",  "<p",
    "<meta",          "<form",  "<link", "<center", "<noscript", "<frameset", "<!--", "<?xml",
    "<frame",
};

bool endsTag(char c) {
    return c == ' ' || c == '>' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

} // namespace

bool looksLikeWebPage(const QByteArray& body) {
    QByteArrayView rest(body);
    if (rest.startsWith("\xEF\xBB\xBF")) {
        rest = rest.sliced(3);
    }
    rest = rest.trimmed();
    for (const std::string_view opening : kPageOpenings) {
        const auto length = static_cast<qsizetype>(opening.size());
        if (rest.size() < length ||
            rest.first(length).compare(QByteArrayView(opening.data(), length),
                                       Qt::CaseInsensitive) != 0) {
            continue;
        }
        // A comment or a declaration stands alone; a tag needs its end.
        if (opening == "<!--" || opening == "<?xml" || rest.size() == length ||
            endsTag(rest.at(length))) {
            return true;
        }
    }
    return false;
}

QString decodeVersionText(const QByteArray& bytes) {
    QStringDecoder gbk("GBK");
    if (!gbk.isValid()) {
        // Qt built without ICU: the system's own encoding is what the file was meant for.
        gbk = QStringDecoder(QStringDecoder::System);
    }
    // The decoder keeps a dangling lead byte for input that never comes; a closing ASCII byte
    // turns it into a replacement character like any other broken sequence.
    QString text = gbk.decode(bytes + '\n');
    text.chop(1);
    return text;
}

bool labelsWebPage(const QByteArray& contentType) {
    const QByteArray mediaType = contentType.split(';').constFirst().trimmed().toLower();
    return mediaType == "text/html" || mediaType == "application/xhtml+xml";
}

UpdateVerdict judgeUpdateReply(const HttpReply& reply) {
    UpdateVerdict verdict;
    // Only 200 carries the whole file: the fetch asks for no range, so a 206 is a part of
    // something, and a 203 another's copy.
    if (!reply.succeeded()) {
        qCInfo(log::update) << "the version file was not fetched from" << reply.requestedUrl << ":"
                            << (reply.error.isEmpty() ? QStringLiteral("no answer") : reply.error)
                            << "status" << reply.statusCode << "complete" << reply.complete
                            << "timed out" << reply.timedOut << "too large" << reply.tooLarge;
        return verdict;
    }
    if (reply.statusCode != 200 || reply.body.isEmpty() || labelsWebPage(reply.contentType) ||
        looksLikeWebPage(reply.body)) {
        qCInfo(log::update) << "the answer from" << reply.finalUrl
                            << "is not a version file: status" << reply.statusCode << "type"
                            << reply.contentType << "bytes" << reply.body.size();
        return verdict;
    }
    // Without a final address the reply came straight from where it was asked for.
    if (reply.finalUrl.isValid() &&
        reply.finalUrl.host().compare(reply.requestedUrl.host(), Qt::CaseInsensitive) != 0) {
        qCInfo(log::update) << "the version file came from another host:" << reply.finalUrl;
        return verdict;
    }
    verdict.fetchedText = decodeVersionText(reply.body);
    verdict.networkLabel = verdict.fetchedText;
    verdict.networkLabel.remove(kVersionPrefix.toString(), Qt::CaseSensitive);
    verdict.kind = verdict.fetchedText == kCurrentVersionText ? UpdateVerdict::Kind::Current
                                                              : UpdateVerdict::Kind::Other;
    qCInfo(log::update) << "version file" << verdict.fetchedText
                        << (verdict.kind == UpdateVerdict::Kind::Current ? "is current"
                                                                         : "names another version");
    return verdict;
}

QString versionPanelText(const QString& networkLabel) {
    QString label = networkLabel;
    label.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : label) {
        if (isLineBreak(c)) {
            c = QLatin1Char(' ');
        }
    }
    return QStringLiteral("当前版本: Sp2 | 网络版本:") + label;
}

QString quotedVersionText(const QString& text) {
    qsizetype cut = std::min<qsizetype>(text.size(), kQuotedTextChars);
    int lines = 1;
    for (qsizetype i = 0; i < cut; ++i) {
        if (!isLineBreak(text.at(i))) {
            continue;
        }
        if (lines == kQuotedTextLines) {
            cut = i;
            break;
        }
        ++lines;
        // CR LF is one break.
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() &&
            text.at(i + 1) == QLatin1Char('\n')) {
            ++i;
        }
    }
    if (cut == text.size()) {
        return text;
    }
    // Never half a character, nor half a CR LF.
    if (cut > 0 && (text.at(cut - 1).isHighSurrogate() ||
                    (text.at(cut - 1) == QLatin1Char('\r') && text.at(cut) == QLatin1Char('\n')))) {
        --cut;
    }
    return text.left(cut) + QStringLiteral("…");
}

QString updateQuestion(const QString& fetchedText) {
    return QStringLiteral("您当前使用的为旧版软件!\r\n \r\n最新版本为:【") +
           quotedVersionText(fetchedText) + QStringLiteral("】是否更新?");
}

} // namespace inkvale
