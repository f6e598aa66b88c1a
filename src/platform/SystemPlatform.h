#pragma once

#include "platform/ModalGate.h"
#include "platform/Platform.h"

class QPageLayout;
class QPrinter;

namespace inkvale {

/// Turns CR LF and lone CR line breaks into the '\n' that Qt's widgets break lines on.
[[nodiscard]] QString normaliseLineBreaks(const QString& text);

/// `text` with a zero-width space after every 60 characters of a run in which no line may break
/// (by Unicode's line-breaking rules), so that a message box can wrap it to the screen's width;
/// nothing visible changes, and text that may break already is left exactly as it is.
[[nodiscard]] QString breakableRuns(const QString& text);

/// Has `paint` draw on `printer`, set up already (a printer, or a PDF file to print to); false
/// when the printer could not start or the painting failed.
bool printOn(QPrinter& printer, const PagePainter& paint);

/// Prints the document `paint` draws to the PDF file `path`, titled `title`, on pages laid out
/// as `layout` at `resolution` dots per inch: the pages are made in memory, then written as
/// WriteMode::ReplaceNamedFileDurably writes, so that the file is whole or untouched and every
/// failure is told.
PrintResult printToPdfFile(const QString& path, const QString& title, const QPageLayout& layout,
                           int resolution, const PagePainter& paint);

/// The platform layer of a desktop session: Qt message boxes, the desktop opener
/// (xdg-open on Linux), the system's fonts and clock.
class SystemPlatform final : public Platform {
public:
    MessageAnswer showMessage(QWidget* parent, const QString& text, MessageStyle style) override;
    [[nodiscard]] qint32 extendedWindowStyle(const QWidget& window) const override;
    void setExtendedWindowStyle(QWidget& window, qint32 style) override;
    void setWindowAlpha(QWidget& window, quint8 alpha) override;
    void setWindowRegion(QWidget& window, const QRegion& devicePixels) override;
    [[nodiscard]] std::optional<QColor> chooseColour(QWidget* parent) override;
    [[nodiscard]] std::optional<QString>
    chooseFileToOpen(QWidget* parent, const QString& description, const QString& pattern) override;
    [[nodiscard]] std::optional<SaveAnswer> chooseFileToSave(QWidget* parent,
                                                             const SaveQuestion& question) override;
    PrintResult print(QWidget* parent, const QString& documentName,
                      const PagePainter& paint) override;
    int runModal(QDialog& dialog) override;
    bool openInShell(const QString& target, ShellWindow window) override;
    [[nodiscard]] QString programFolder() const override;
    [[nodiscard]] std::optional<QString> signatureFolder() const override;
    [[nodiscard]] QByteArrayView embeddedResource(const QString& type, int id) const override;
    [[nodiscard]] std::optional<FileRange> embeddedResourceFile(const QString& type,
                                                                int id) const override;
    [[nodiscard]] QString userFontFolder() const override;
    void attachSkin(const QString& libraryPath, const QString& skinFile) override;
    [[nodiscard]] QDateTime currentDateTime() const override;
    [[nodiscard]] QStringList installedFontFaces() const override;
    void fetch(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
               QObject* context, FetchDone done) override;
    void whenNoModalOpen(QObject* context, std::function<void()> run) override;
    void loadInBackground(const QUrl& url) override;
    [[noreturn]] void endProgram() override;

private:
    HttpFetcher m_http;
    ModalGate m_modals;
};

} // namespace inkvale
