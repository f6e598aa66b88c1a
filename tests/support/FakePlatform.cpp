#include "support/FakePlatform.h"

namespace inkvale::test {

MessageAnswer FakePlatform::showMessage(QWidget* /*parent*/, const QString& text,
                                        MessageStyle style) {
    messages.append({text, style});
    if (!answers.empty()) {
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    const bool okBox = style == MessageStyle::Information || style == MessageStyle::Warning;
    return okBox ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

bool FakePlatform::openInShell(const QString& target, ShellWindow window) {
    shellCalls.append({target, window});
    return shellSucceeds;
}

HttpReply FakePlatform::fetch(const QUrl& url, std::chrono::milliseconds timeout, qint64 maxBytes) {
    fetches.append(url);
    return m_http.get(url, timeout, maxBytes);
}

} // namespace inkvale::test
