#include "platform/SystemPlatform.h"

#include "platform/EmbeddedResource.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLibrary>
#include <QMessageBox>
#include <QProcess>
#include <QRegion>
#include <QResource>
#include <QStandardPaths>

#ifdef INKVALE_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

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

namespace {

// Qt has no style words: the extended style lives on the widget, and only the layered bit
// means anything here.
constexpr const char* kExtendedStyleProperty = "inkvaleExtendedStyle";

} // namespace

qint32 SystemPlatform::extendedWindowStyle(const QWidget& window) const {
    return window.property(kExtendedStyleProperty).toInt();
}

void SystemPlatform::setExtendedWindowStyle(QWidget& window, qint32 style) {
    const bool wasLayered = (extendedWindowStyle(window) & kLayeredWindowStyle) != 0;
    window.setProperty(kExtendedStyleProperty, style);
    if (!wasLayered && (style & kLayeredWindowStyle) != 0) {
        // A layered window shows nothing until its opacity is set.
        window.setWindowOpacity(0.0);
    }
}

void SystemPlatform::setWindowAlpha(QWidget& window, quint8 alpha) {
    if ((extendedWindowStyle(window) & kLayeredWindowStyle) != 0) {
        window.setWindowOpacity(alpha / 255.0);
    }
}

void SystemPlatform::setWindowRegion(QWidget& window, const QRegion& devicePixels) {
    // Qt masks are in device-independent pixels; take every device pixel that the region holds.
    const qreal ratio = window.devicePixelRatioF();
    QRegion mask;
    for (const QRect& rect : devicePixels) {
        const QRectF logical(rect.x() / ratio, rect.y() / ratio, rect.width() / ratio,
                             rect.height() / ratio);
        mask += logical.toAlignedRect();
    }
    window.setMask(mask);
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

QByteArrayView SystemPlatform::embeddedResource(const QString& type, int id) const {
    return inkvale::embeddedResource(type, id);
}

QString SystemPlatform::userFontFolder() const {
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\windows\\fonts");
#else
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) {
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    }
    const QString folder = dataHome + QStringLiteral("/fonts");
    QDir().mkpath(folder);
    return folder;
#endif
}

void SystemPlatform::attachSkin(const QString& libraryPath, const QString& skinFile) {
    using AttachEx = int (*)(const char*, const char*);
    QLibrary library(libraryPath);
    const auto attach = reinterpret_cast<AttachEx>(library.resolve("SkinH_AttachEx"));
    if (attach == nullptr) {
        return;
    }
    // The library stays loaded: the skin lives on in the application it was applied to.
    attach(skinFile.toLocal8Bit().constData(), "");
}

QDateTime SystemPlatform::currentDateTime() const {
    return QDateTime::currentDateTime();
}

QStringList SystemPlatform::installedFontFaces() const {
#ifdef INKVALE_HAVE_FONTCONFIG
    // The system's own list, one entry per installed family, read afresh from a configuration
    // of our own: fonts the user has just installed count, and Qt's configuration is left alone.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return {};
    }
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = FcFontList(config, pattern, objects);
    QStringList faces;
    if (fonts != nullptr) {
        for (int i = 0; i < fonts->nfont; ++i) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
                faces.append(QString::fromUtf8(reinterpret_cast<const char*>(family)));
            }
        }
        FcFontSetDestroy(fonts);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return faces;
#else
    return QFontDatabase::families();
#endif
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
