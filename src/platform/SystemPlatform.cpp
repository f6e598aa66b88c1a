#include "platform/SystemPlatform.h"

#include "platform/EmbeddedResource.h"
#include "platform/ProgramPlaces.h"
#include "platform/VerifiedLibrary.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QRegion>
#include <QScreen>
#include <QStandardPaths>

#ifdef INKVALE_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_LINUX
#include <cstring>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>
#endif

namespace inkvale {

Platform::~Platform() = default;

std::optional<FileRange> Platform::embeddedResourceFile(const QString& /*type*/, int /*id*/) const {
    return std::nullopt;
}

QString normaliseLineBreaks(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

QString breakableRuns(const QString& text) {
    // A box's text wraps only where it may break a line; a long run without a space (an address,
    // a token) would make the box wider than the screen. Zero-width spaces give it places to
    // break without showing anything.
    constexpr int kLongestRun = 60;
    QString result;
    result.reserve(text.size() + text.size() / kLongestRun);
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestRun && !c.isLowSurrogate()) {
            result += QChar(0x200B);
            run = 1;
        }
        result += c;
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
    const QString file = QFileDialog::getOpenFileName(
        parent, QString(), QString(),
        description + QStringLiteral(" (") + pattern + QLatin1Char(')'), nullptr,
        QFileDialog::HideNameFilterDetails | QFileDialog::DontUseNativeDialog);
    if (file.isEmpty()) {
        return std::nullopt;
    }
    return file;
}

int SystemPlatform::runModal(QDialog& dialog) {
    const ModalGate::Scope modal(m_modals);
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
    // The executable's folder, unless the package installed it into a read-only one.
    return ProgramPlaces::ofThisProgram().workFolder();
}

QByteArrayView SystemPlatform::embeddedResource(const QString& type, int id) const {
    return inkvale::embeddedResource(type, id);
}

#ifdef Q_OS_LINUX
namespace {

/// Where `bytes` lie in the running executable's file: the loadable segment that maps them
/// gives their offset. -1 when they are not in the executable's file-backed image.
qint64 offsetInExecutable(QByteArrayView bytes) {
    struct Search {
        quintptr address = 0;
        quintptr size = 0;
        qint64 offset = -1;
    } search{reinterpret_cast<quintptr>(bytes.data()), static_cast<quintptr>(bytes.size())};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t /*size*/, void* data) -> int {
            auto* wanted = static_cast<Search*>(data);
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
                return 0; // a shared library; the executable has no name here
            }
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                const quintptr start = info->dlpi_addr + segment.p_vaddr;
                if (segment.p_type == PT_LOAD && wanted->address >= start &&
                    wanted->address + wanted->size <= start + segment.p_filesz) {
                    wanted->offset =
                        static_cast<qint64>(segment.p_offset + (wanted->address - start));
                    return 1;
                }
            }
            return 0;
        },
        &search);
    return search.offset;
}

/// Whether the file at `path` holds the first and last bytes of `bytes` at `offset`: a cheap
/// guard against a wrong offset, touching one page of the payload at either end.
bool fileHolds(const char* path, qint64 offset, QByteArrayView bytes) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    constexpr qsizetype kProbe = 64;
    const qsizetype probe = std::min(kProbe, bytes.size());
    char head[kProbe];
    char tail[kProbe];
    const qint64 tailAt = offset + bytes.size() - probe;
    const bool same =
        ::pread(fd, head, static_cast<size_t>(probe), offset) == probe &&
        ::pread(fd, tail, static_cast<size_t>(probe), tailAt) == probe &&
        std::memcmp(head, bytes.data(), static_cast<size_t>(probe)) == 0 &&
        std::memcmp(tail, bytes.data() + bytes.size() - probe, static_cast<size_t>(probe)) == 0;
    ::close(fd);
    return same;
}

} // namespace
#endif

std::optional<FileRange> SystemPlatform::embeddedResourceFile(const QString& type, int id) const {
#ifdef Q_OS_LINUX
    const QByteArrayView bytes = embeddedResource(type, id);
    if (bytes.isEmpty()) {
        return std::nullopt;
    }
    // The running executable itself, even if its file has since been replaced or removed.
    static const char* const kExecutable = "/proc/self/exe";
    const qint64 offset = offsetInExecutable(bytes);
    if (offset < 0 || !fileHolds(kExecutable, offset, bytes)) {
        return std::nullopt;
    }
    return FileRange{QString::fromLatin1(kExecutable), offset, bytes.size()};
#else
    Q_UNUSED(type);
    Q_UNUSED(id);
    return std::nullopt;
#endif
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
    // The one piece of code the program loads from its folder: only the library it carries
    // itself, so that a file planted there is never run.
    const auto attach = reinterpret_cast<AttachEx>(resolveVerifiedLibrary(
        libraryPath, embeddedResource(QStringLiteral("CUSTOM"), kSkinLibraryResource),
        "SkinH_AttachEx"));
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

void SystemPlatform::fetch(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                           QObject* context, FetchDone done) {
    m_http.get(url, deadline, maxBytes, context, std::move(done));
}

void SystemPlatform::whenNoModalOpen(QObject* context, std::function<void()> run) {
    m_modals.whenClosed(context, std::move(run));
}

void SystemPlatform::loadInBackground(const QUrl& url) {
    m_http.getAndDiscard(url);
}

void SystemPlatform::endProgram() {
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace inkvale
