#include "online/UpdateCheck.h"

#include <QStringDecoder>

namespace inkvale {

namespace {

constexpr QStringView kVersionPrefix = u"Ｋelda.系列软件のInkvale";

} // namespace

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

UpdateVerdict judgeUpdateReply(const HttpReply& reply) {
    UpdateVerdict verdict;
    if (!reply.succeeded() || reply.body.isEmpty()) {
        return verdict;
    }
    verdict.fetchedText = decodeVersionText(reply.body);
    verdict.networkLabel = verdict.fetchedText;
    verdict.networkLabel.remove(kVersionPrefix.toString(), Qt::CaseSensitive);
    verdict.kind = verdict.fetchedText == kCurrentVersionText ? UpdateVerdict::Kind::Current
                                                              : UpdateVerdict::Kind::Other;
    return verdict;
}

QString versionPanelText(const QString& networkLabel) {
    return QStringLiteral("当前版本: Sp2 | 网络版本:") + networkLabel;
}

QString updateQuestion(const QString& fetchedText) {
    return QStringLiteral("您当前使用的为旧版软件!\r\n \r\n最新版本为:【") + fetchedText +
           QStringLiteral("】是否更新?");
}

} // namespace inkvale
