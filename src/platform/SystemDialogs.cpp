#include "platform/FileDialogDetails.h"
#include "platform/SystemPlatform.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace inkvale {

QString normaliseLineBreaks(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

QString breakableRuns(const QString& text) {
    // A box's text wraps only where a line may break, and Qt's box neither widens past the
    // screen nor breaks a word: a long run without a place to break (a token, a very long file
    // name) would be cut off at the box's edge. Such a run alone gets zero-width spaces. Text
    // that may break already (between Chinese characters, after a slash or a space) keeps every
    // character as it is, so that a path or a file name copied from the box is the real one.
    constexpr int kLongestRun = 60;
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    QString result;
    result.reserve(text.size());
    qsizetype runStart = 0;
    while (runStart < text.size()) {
        breaks.setPosition(runStart);
        qsizetype runEnd = breaks.toNextBoundary();
        if (runEnd < 0 || runEnd > text.size()) {
            runEnd = text.size();
        }
        int run = 0;
        for (qsizetype i = runStart; i < runEnd; ++i) {
            const QChar c = text.at(i);
            // The blanks a run may end with are where it breaks.
            run += c.isSpace() ? 0 : 1;
            if (run > kLongestRun && !c.isLowSurrogate() && !c.isSpace()) {
                result += QChar(0x200B);
                run = 1;
            }
            result += c;
        }
        runStart = runEnd;
    }
    return result;
}

namespace {

struct BoxShape {
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape;
};

BoxShape shapeOf(MessageStyle style) {
    switch (style) {
    case MessageStyle::Warning:
        return {QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok};
    case MessageStyle::Information:
        return {QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok};
    case MessageStyle::InformationYesNoCancel:
        return {QMessageBox::Information, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                QMessageBox::Cancel};
    case MessageStyle::InformationYesNo:
        return {QMessageBox::Information, QMessageBox::Yes | QMessageBox::No, QMessageBox::No};
    }
    return {QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok};
}

/// A message box that comes up centred on the screen when its owner is not shown (yet): Qt
/// would otherwise centre it on the owner's unplaced rectangle, in a corner of the screen.
class MessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
        if (owner != nullptr && owner->isVisible()) {
            return;
        }
        // Still before the window is mapped: it appears at its place straight away.
        const QScreen* target = owner != nullptr ? owner->screen() : screen();
        if (target == nullptr) {
            target = QGuiApplication::primaryScreen();
        }
        if (target != nullptr) {
            QRect frame = frameGeometry();
            frame.moveCenter(target->availableGeometry().center());
            move(frame.topLeft());
        }
    }
};

} // namespace

MessageAnswer SystemPlatform::showMessage(QWidget* parent, const QString& text,
                                          MessageStyle style) {
    const BoxShape shape = shapeOf(style);
    MessageBox box(shape.icon, kMessageTitle.toString(), breakableRuns(normaliseLineBreaks(text)),
                   shape.buttons, parent);
    box.setEscapeButton(shape.escape);
    const ModalGate::Scope modal(m_modals);
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    default:
        return MessageAnswer::Cancel;
    }
}

std::optional<QColor> SystemPlatform::chooseColour(QWidget* parent) {
    const ModalGate::Scope modal(m_modals);
    // Qt's own dialog, which speaks the program's language; the desktop's would not.
    const QColor colour =
        QColorDialog::getColor(Qt::black, parent, QString(), QColorDialog::DontUseNativeDialog);
    if (!colour.isValid()) {
        return std::nullopt;
    }
    return colour;
}

std::optional<QString> SystemPlatform::chooseFileToOpen(QWidget* parent, const QString& description,
                                                        const QString& pattern) {
    const ModalGate::Scope modal(m_modals);
    QFileDialog dialog(parent, QString(), QString(),
                       description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    dialog.setOptions(QFileDialog::HideNameFilterDetails | QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    showDetailsInChinese(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

int SystemPlatform::runModal(QDialog& dialog) {
    const ModalGate::Scope modal(m_modals);
    return dialog.exec();
}

void SystemPlatform::whenNoModalOpen(QObject* context, std::function<void()> run) {
    m_modals.whenClosed(context, std::move(run));
}

} // namespace inkvale
