#pragma once

#include "platform/AtomicFile.h"
#include "platform/HttpFetcher.h"

#include <QByteArrayView>
#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QDialog;
class QObject;
class QRegion;
class QWidget;

namespace inkvale {

/// The four kinds of message box the program shows. The values are the style numbers the
/// program's texts are written against: icon plus buttons.
enum class MessageStyle : int {
    Warning = 48,                ///< warning icon, OK
    Information = 64,            ///< information icon, OK
    InformationYesNoCancel = 67, ///< information icon, Yes, No and Cancel
    InformationYesNo = 68,       ///< information icon, Yes and No
};

/// A message box answer, numbered as the program compares them.
enum class MessageAnswer : int {
    Ok = 1,
    Cancel = 2,
    Yes = 6,
    No = 7,
};

/// How a window opened through the shell should come up.
enum class ShellWindow : int {
    Normal = 1,    ///< normal window with focus (folders)
    Minimised = 2, ///< minimised with focus (web addresses)
};

/// The extended window style bit that makes a window layered: its opacity can be set.
inline constexpr qint32 kLayeredWindowStyle = 0x80000;

/// Id of the embedded resource of type "CUSTOM" that holds the skin library.
inline constexpr int kSkinLibraryResource = 101;

/// Title of every message box the program shows.
inline constexpr QStringView kMessageTitle = u"OrvekZanvi提示";

/// Everything the forms need from the world outside the program. Forms receive one instance;
/// tests hand in a fake that records calls and scripts answers.
class Platform {
public:
    virtual ~Platform();

    /// Shows a modal message box titled kMessageTitle and waits for the user's answer. Line
    /// breaks in `text` may be CR LF or a lone CR.
    virtual MessageAnswer showMessage(QWidget* parent, const QString& text, MessageStyle style) = 0;

    /// The extended style word of a top-level window.
    [[nodiscard]] virtual qint32 extendedWindowStyle(const QWidget& window) const = 0;
    /// Replaces the extended style word. Setting kLayeredWindowStyle makes the window layered:
    /// it shows nothing until its first setWindowAlpha.
    virtual void setExtendedWindowStyle(QWidget& window, qint32 style) = 0;
    /// Sets the opacity of a layered window: 0 fully transparent, 255 opaque. Where the system
    /// cannot make windows translucent this has no visible effect.
    virtual void setWindowAlpha(QWidget& window, quint8 alpha) = 0;
    /// Clips a top-level window to `devicePixels`, a region in the window's device pixels.
    virtual void setWindowRegion(QWidget& window, const QRegion& devicePixels) = 0;

    /// Shows the colour dialog; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<QColor> chooseColour(QWidget* parent) = 0;

    /// Shows the open-file dialog with one filter: `description` naming files that match
    /// `pattern`. Nothing when the user cancels.
    [[nodiscard]] virtual std::optional<QString>
    chooseFileToOpen(QWidget* parent, const QString& description, const QString& pattern) = 0;

    /// Shows `dialog` modally and returns when it has closed, with its result code.
    virtual int runModal(QDialog& dialog) = 0;

    /// Opens `target` (a web address or a folder path) with the desktop's opener, passing it as
    /// one argument. Returns false when the opener could not be started.
    virtual bool openInShell(const QString& target, ShellWindow window) = 0;

    /// The program's own folder, without a trailing separator: the one that holds its
    /// executable, or, for a copy installed where it may not write, the folder of the user's
    /// that stands in for it (see ProgramPlaces).
    [[nodiscard]] virtual QString programFolder() const = 0;

    /// The whole payload of the embedded resource of `type` and `id`, read in place (no copy);
    /// empty when there is none. Valid for as long as the program runs.
    [[nodiscard]] virtual QByteArrayView embeddedResource(const QString& type, int id) const = 0;

    /// Where the payload of embeddedResource(type, id) lies inside a file, so that it can be
    /// copied without passing through the program's memory; nothing when it lies in no file
    /// (the default) or cannot be found there.
    [[nodiscard]] virtual std::optional<FileRange> embeddedResourceFile(const QString& type,
                                                                        int id) const;

    /// The folder where the user installs fonts for themselves, created when missing.
    [[nodiscard]] virtual QString userFontFolder() const = 0;

    /// Loads the skin library at `libraryPath` and asks it to apply `skinFile` to the running
    /// program. The library is loaded only when the file's bytes are exactly those of the
    /// embedded resource kSkinLibraryResource, and only from that exact path. A missing or
    /// different library, a missing entry point or a skin it rejects leaves the system look.
    virtual void attachSkin(const QString& libraryPath, const QString& skinFile) = 0;

    /// The local date and time.
    [[nodiscard]] virtual QDateTime currentDateTime() const = 0;

    /// The face names of the installed fonts, in the order the system reports them.
    [[nodiscard]] virtual QStringList installedFontFaces() const = 0;

    /// Starts a plain HTTP GET of `url` and returns at once (see HttpFetcher::get): `done` runs
    /// later from the event loop with the reply, unless `context` has been destroyed first.
    /// Nothing waits meanwhile: windows keep working.
    virtual void fetch(const QUrl& url, std::chrono::milliseconds deadline, qint64 maxBytes,
                       QObject* context, FetchDone done) = 0;

    /// Runs `run` from the event loop once no modal dialog or message box opened through this
    /// platform is open any more (soon, when none is open now), unless `context` has been
    /// destroyed first. For work that arrives on its own and must not pop up over a dialog
    /// the user is busy with.
    virtual void whenNoModalOpen(QObject* context, std::function<void()> run) = 0;

    /// Loads `url` in the background and throws the page away, as a hidden browser would;
    /// never shows anything, never reports a failure.
    virtual void loadInBackground(const QUrl& url) = 0;

    /// Ends the program at once: no window gets a close event. The real platform does not
    /// return; a fake does, so callers return straight after calling it.
    virtual void endProgram() = 0;
};

} // namespace inkvale
