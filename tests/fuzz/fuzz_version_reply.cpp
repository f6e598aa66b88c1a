// The update server's reply: whether it answered, how far it got, its status and its body.

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

    const inkvale::UpdateVerdict verdict = inkvale::judgeUpdateReply(reply);
    const bool usable = reply.answered && reply.complete && !reply.tooLarge &&
                        reply.statusCode >= 200 && reply.statusCode < 300 && !reply.body.isEmpty();
    if (!usable) {
        // A failed, refused, partial or oversized reply never names a version.
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
    // The question shows the whole body between its brackets.
    const QString question = inkvale::updateQuestion(verdict.fetchedText);
    FUZZ_CHECK(question.contains(QStringLiteral("【") + verdict.fetchedText +
                                 QStringLiteral("】是否更新?")));
    FUZZ_CHECK(inkvale::versionPanelText(verdict.networkLabel).endsWith(verdict.networkLabel));
    return 0;
}
