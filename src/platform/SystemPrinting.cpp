#include "platform/SystemPlatform.h"
#include "platform/files/AtomicFile.h"

#include <QBuffer>
#include <QLineEdit>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

namespace inkvale {

namespace {

/// The print dialog, judging the file to print to by the rule for every file a user names
/// before its own check opens it: Qt's check opens the file to see that it is writable, and
/// opening a FIFO that nobody reads would hold the whole window until someone does.
class CheckedPrintDialog final : public QPrintDialog {
public:
    explicit CheckedPrintDialog(QPrinter* printer, QWidget* parent)
        : QPrintDialog(printer, parent) {}

    /// The file that was refused, and why; an empty file when none was.
    [[nodiscard]] const QString& refusedFile() const { return m_refusedFile; }
    [[nodiscard]] const Outcome& refusal() const { return m_refusal; }

    void accept() override {
        // The field of "print to file" in Qt's own dialog; enabled only when printing to one.
        const auto* file = findChild<QLineEdit*>(QStringLiteral("filename"));
        if (file != nullptr && file->isEnabled() && !file->text().isEmpty()) {
            Outcome allowed = checkNamedFile(file->text());
            if (!allowed.ok()) {
                m_refusedFile = file->text();
                m_refusal = std::move(allowed);
                done(QDialog::Rejected);
                return;
            }
        }
        QPrintDialog::accept();
    }

private:
    QString m_refusedFile;
    Outcome m_refusal;
};

} // namespace

bool printOn(QPrinter& printer, const PagePainter& paint) {
    return printer.isValid() && paint(printer);
}

PrintResult printToPdfFile(const QString& path, const QString& title, const QPageLayout& layout,
                           int resolution, const PagePainter& paint) {
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(title);
        writer.setPageLayout(layout);
        writer.setResolution(resolution);
        if (!paint(writer)) {
            return {false, path, Outcome::failed(Cause::NotEncoded)};
        }
    }
    if (pdf.isEmpty()) {
        return {false, path, Outcome::failed(Cause::NotEncoded)};
    }
    Outcome written = writeFileAtomically(path, pdf, WriteMode::ReplaceNamedFileDurably);
    return {written.ok(), path, std::move(written)};
}

PrintResult SystemPlatform::print(QWidget* parent, const QString& documentName,
                                  const PagePainter& paint) {
    const ModalGate::Scope modal(m_modals);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    // Without a printer installed the dialog offers printing to a PDF file.
    CheckedPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印签名"));
    if (dialog.exec() != QDialog::Accepted) {
        return {false, dialog.refusedFile(), dialog.refusal()};
    }
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        // Qt's own PDF engine would open the file itself and say nothing of a failed write.
        return printToPdfFile(printer.outputFileName(), documentName, printer.pageLayout(),
                              printer.resolution(), paint);
    }
    return {printOn(printer, paint), {}, {}};
}

} // namespace inkvale
