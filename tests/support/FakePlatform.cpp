#include "support/FakePlatform.h"

#include "designer/StyleCatalogue.h"

#include <QDialog>

namespace inkvale::test {

QStringList FakePlatform::allStyleFaces() {
    const auto faces = faceNamesInBoxOrder();
    return {faces.begin(), faces.end()};
}

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

void FakePlatform::setWindowAlpha(QWidget& window, quint8 alpha) {
    if ((extendedWindowStyle(window) & kLayeredWindowStyle) != 0) {
        alphas.append(alpha);
    } else {
        ++alphaOnPlainWindow;
    }
}

std::optional<QColor> FakePlatform::chooseColour(QWidget* /*parent*/) {
    ++colourDialogs;
    if (colours.empty()) {
        return std::nullopt;
    }
    const QColor colour = colours.front();
    colours.pop_front();
    return colour;
}

std::optional<QString> FakePlatform::chooseFileToOpen(QWidget* /*parent*/,
                                                      const QString& description,
                                                      const QString& pattern) {
    fileFilters.append(description + QLatin1Char('|') + pattern);
    if (filesToOpen.empty()) {
        return std::nullopt;
    }
    const QString file = filesToOpen.front();
    filesToOpen.pop_front();
    return file;
}

int FakePlatform::runModal(QDialog& dialog) {
    modalParents.append(dialog.parentWidget());
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    if (onModal) {
        onModal(dialog);
    }
    dialog.hide();
    return dialog.result();
}

QByteArrayView FakePlatform::embeddedResource(const QString& type, int id) const {
    const auto found = resources.constFind(id);
    if (type != QLatin1String("CUSTOM") || found == resources.constEnd()) {
        return {};
    }
    return QByteArrayView(*found);
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
