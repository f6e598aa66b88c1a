#include "platform/SystemPlatform.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace inkvale {

Platform::~Platform() = default;

QString normaliseLineBreaks(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
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

} // namespace

MessageAnswer SystemPlatform::showMessage(QWidget* parent, const QString& text,
                                          MessageStyle style) {
    const BoxShape shape = shapeOf(style);
    QMessageBox box(shape.icon, kMessageTitle.toString(), normaliseLineBreaks(text), shape.buttons,
                    parent);
    box.setEscapeButton(shape.escape);
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
    const QColor colour = QColorDialog::getColor(Qt::black, parent);
    if (!colour.isValid()) {
        return std::nullopt;
    }
    return colour;
}

std::optional<QString> SystemPlatform::chooseFileToOpen(QWidget* parent, const QString& description,
                                                        const QString& pattern) {
    const QString file = QFileDialog::getOpenFileName(parent, QString(), QString(),
                                                      description + QStringLiteral(" (") + pattern +
                                                          QLatin1Char(')'),
                                                      nullptr, QFileDialog::HideNameFilterDetails);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return file;
}

int SystemPlatform::runModal(QDialog& dialog) {
    return dialog.exec();
}

bool SystemPlatform::openInShell(const QString& target, ShellWindow /*window*/) {
    // The desktop opener decides how the window comes up; there is no portable way to ask
    // for a minimised one.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(opener, {target});
}

QString SystemPlatform::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

QDateTime SystemPlatform::currentDateTime() const {
    return QDateTime::currentDateTime();
}

QStringList SystemPlatform::installedFontFaces() const {
    return QFontDatabase::families();
}

HttpReply SystemPlatform::fetch(const QUrl& url, std::chrono::milliseconds timeout,
                                qint64 maxBytes) {
    return m_http.get(url, timeout, maxBytes);
}

void SystemPlatform::loadInBackground(const QUrl& url) {
    m_http.getAndDiscard(url);
}

void SystemPlatform::endProgram() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace inkvale
