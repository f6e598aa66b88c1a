#pragma once

#include "platform/ModalGate.h"
#include "platform/Platform.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QRegion>

#include <deque>
#include <functional>

namespace inkvale::test {

/// A platform for tests: records every call and answers message boxes from a script, so no
/// test ever waits on a real modal box.
class FakePlatform final : public Platform {
public:
    /// The fifteen style face names.
    [[nodiscard]] static QStringList allStyleFaces();

    struct Message {
        QString text;
        MessageStyle style;
    };
    struct ShellCall {
        QString target;
        ShellWindow window;
    };

    MessageAnswer showMessage(QWidget* parent, const QString& text, MessageStyle style) override;
    [[nodiscard]] qint32 extendedWindowStyle(const QWidget& window) const override {
        return extendedStyles.value(&window);
    }
    void setExtendedWindowStyle(QWidget& window, qint32 style) override {
        extendedStyles.insert(&window, style);
    }
    void setWindowAlpha(QWidget& window, quint8 alpha) override;
    void setWindowRegion(QWidget& /*window*/, const QRegion& devicePixels) override {
        regions.append(devicePixels);
    }
    [[nodiscard]] std::optional<QColor> chooseColour(QWidget* parent) override;
    [[nodiscard]] std::optional<QString>
    chooseFileToOpen(QWidget* parent, const QString& description, const QString& pattern) override;
    /// Records the question and answers it from `saveAnswers`; none left means cancel.
    [[nodiscard]] std::optional<SaveAnswer> chooseFileToSave(QWidget* parent,
                                                             const SaveQuestion& question) override;
    /// Records the document's name; with `printFile` set, prints to that PDF file as the
    /// print dialog's "print to file" does, otherwise the user cancels.
    PrintResult print(QWidget* parent, const QString& documentName,
                      const PagePainter& paint) override;
    /// Records the dialog and runs `onModal` on it while it is "open"; the result is what the
    /// dialog's done() set, or Rejected when nothing closed it.
    int runModal(QDialog& dialog) override;
    bool openInShell(const QString& target, ShellWindow window) override;
    [[nodiscard]] QString programFolder() const override { return folder; }
    [[nodiscard]] std::optional<QString> signatureFolder() const override { return signatures; }
    [[nodiscard]] QByteArrayView embeddedResource(const QString& type, int id) const override;
    [[nodiscard]] std::optional<FileRange> embeddedResourceFile(const QString& type,
                                                                int id) const override {
        return type == QLatin1String("CUSTOM") && resourceFiles.contains(id)
                   ? std::optional<FileRange>(resourceFiles.value(id))
                   : std::nullopt;
    }
    [[nodiscard]] QString userFontFolder() const override { return fontFolder; }
    /// Reads for real, or through `reads` when a test sets it (to hold a read, as a stalled
    /// mount would).
    [[nodiscard]] Result<QByteArray> readFile(const QString& path, qint64 maxBytes) const override {
        return reads ? reads(path) : Platform::readFile(path, maxBytes);
    }
    void attachSkin(const QString& libraryPath, const QString& skinFile) override {
        skinAttachments.append({libraryPath, skinFile});
    }
    [[nodiscard]] QDateTime currentDateTime() const override { return clock; }
    [[nodiscard]] QStringList installedFontFaces() const override { return fonts; }
    /// Records the address, then fetches for real (tests serve it on loopback), or with
    /// `holdFetches` keeps the request until completeFetch() answers it.
    void fetch(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
               QObject* context, FetchDone done) override;
    /// Holds `run` while a message box or a dialog run through this fake is "open".
    void whenNoModalOpen(QObject* context, std::function<void()> run) override {
        m_modals.whenClosed(context, std::move(run));
    }

    /// Answers the held fetch with `reply`; nothing happens when its context is gone. False
    /// when no fetch was held.
    bool completeFetch(const HttpReply& reply);
    /// Whether a held fetch waits for its answer.
    [[nodiscard]] bool fetchHeld() const { return static_cast<bool>(m_heldDone); }
    void loadInBackground(const QUrl& url) override { backgroundLoads.append(url); }
    void endProgram() override { ++endCount; }

    // Recorded calls.
    QList<Message> messages;
    QList<ShellCall> shellCalls;
    QStringList fileFilters; ///< "description|pattern" of every open-file dialog shown
    int colourDialogs = 0;
    QList<SaveQuestion> saveQuestions; ///< every save dialog shown
    QStringList printedDocuments;      ///< the name of every document sent to the print dialog
    QList<QWidget*> modalParents;      ///< the parent of every dialog run modally
    QMap<const QWidget*, qint32> extendedStyles;
    QList<int> alphas;                  ///< every opacity set on a layered window, in order
    int alphaOnPlainWindow = 0;         ///< opacities set on windows that were not layered
    QList<QRegion> regions;             ///< every window region set, in device pixels
    QList<QStringList> skinAttachments; ///< {library, skin file} of every attachment
    QList<QUrl> fetches;
    QList<QUrl> backgroundLoads;
    int endCount = 0;

    // Scripted answers. Message boxes take answers from the front of `answers`; with none
    // left they answer OK for OK boxes and Cancel otherwise.
    std::deque<MessageAnswer> answers;
    /// Answers of the colour and open-file dialogs, from the front; none left means cancel.
    std::deque<QColor> colours;
    std::deque<QString> filesToOpen;
    std::deque<SaveAnswer> saveAnswers;
    /// The PDF file the print dialog prints to; empty: the user cancels it.
    QString printFile;
    /// Reads files in place of the file system, on the reading thread; unset reads for real.
    std::function<Result<QByteArray>(const QString&)> reads;
    /// Acts as the user of a modal dialog.
    std::function<void(QDialog&)> onModal;
    /// Runs while a message box is "open", before its scripted answer.
    std::function<void(const Message&)> onMessage;
    /// Fetches wait for completeFetch() instead of going to the network.
    bool holdFetches = false;
    bool shellSucceeds = true;
    QString folder = QStringLiteral("/tmp/inkvale-fake");
    /// Where signatures are saved, as an installed copy saves them; none: into `folder`.
    std::optional<QString> signatures;
    QDateTime clock;
    /// Installed font faces: every style font, unless a test says otherwise.
    QStringList fonts = allStyleFaces();
    QString fontFolder = QStringLiteral("/tmp/inkvale-fake-fonts");
    /// Embedded resources of type "CUSTOM", by id.
    QMap<int, QByteArray> resources;
    /// Where some of them lie in a file, for copying file to file; the rest are written from
    /// `resources`.
    QMap<int, FileRange> resourceFiles;

private:
    HttpFetcher m_http;
    ModalGate m_modals;
    QPointer<QObject> m_heldContext;
    FetchDone m_heldDone;
};

} // namespace inkvale::test
