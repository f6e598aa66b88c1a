#include "platform/SystemPlatform.h"

#include <QPrintDialog>
#include <QPrinter>

namespace inkvale {

bool printOn(QPrinter& printer, const PagePainter& paint) {
    return printer.isValid() && paint(printer);
}

bool SystemPlatform::print(QWidget* parent, const QString& documentName, const PagePainter& paint) {
    const ModalGate::Scope modal(m_modals);
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(documentName);
    // Without a printer installed the dialog offers printing to a PDF file.
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印签名"));
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return printOn(printer, paint);
}

} // namespace inkvale
