#include "support/FakePlatform.h"

#include "core/StyleCatalogue.h"
#include "platform/SystemPlatform.h"

#include <QDialog>
#include <QPageLayout>

#include <utility>

namespace inkvale::test {

QStringList FakePlatform::allStyleFaces() {
    const auto faces = faceNamesInBoxOrder();
    return {faces.begin(), faces.end()};
}

MessageAnswer FakePlatform::showMessage(QWidget* /*parent*/, const QString& text,
                                        MessageStyle style) {
    const ModalGate::Scope modal(m_modals);
    messages.append({text, style});
    if (onMessage) {
        onMessage(messages.constLast());
    }
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
    const ModalGate::Scope modal(m_modals);
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
    const ModalGate::Scope modal(m_modals);
    fileFilters.append(description + QLatin1Char('|') + pattern);
    if (filesToOpen.empty()) {
        return std::nullopt;
    }
    const QString file = filesToOpen.front();
    filesToOpen.pop_front();
    return file;
}

std::optional<SaveAnswer> FakePlatform::chooseFileToSave(QWidget* /*parent*/,
                                                         const SaveQuestion& question) {
    const ModalGate::Scope modal(m_modals);
    saveQuestions.append(question);
    if (saveAnswers.empty()) {
        return std::nullopt;
    }
    const SaveAnswer answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

PrintResult FakePlatform::print(QWidget* /*parent*/, const QString& documentName,
                                const PagePainter& paint) {
    const ModalGate::Scope modal(m_modals);
    printedDocuments.append(documentName);
    if (printFile.isEmpty()) {
        return {};
    }
    // As the real dialog prints to a file, on an A4 page.
    return printToPdfFile(printFile, documentName,
                          QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}), 1200,
                          paint);
}

int FakePlatform::runModal(QDialog& dialog) {
    const ModalGate::Scope modal(m_modals);
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

void FakePlatform::fetch(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                         QObject* context, FetchDone done) {
    fetches.append(url);
    if (holdFetches) {
        m_heldContext = context;
        m_heldDone = std::move(done);
        return;
    }
    m_http.get(url, deadline, maxBytes, context, std::move(done));
}

bool FakePlatform::completeFetch(const HttpReply& reply) {
    if (!m_heldDone) {
        return false;
    }
    const FetchDone done = std::exchange(m_heldDone, nullptr);
    if (m_heldContext) {
        done(reply);
    }
    return true;
}

} // namespace inkvale::test
