#pragma once

#include "platform/files/Failure.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

class QDialog;
class QObject;
class QPagedPaintDevice;
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

/// Title of every message box the program shows.
inline constexpr QStringView kMessageTitle = u"OrvekZanvi提示";

/// What a save dialog asks: the file, its format among `filters`, and, beside them, a
/// resolution and a switch.
struct SaveQuestion {
    QString title;
    QString folder;          ///< where the dialog opens
    QString suggestedName;   ///< the file name it proposes, without its extension
    QStringList filters;     ///< "描述 (*.ext)", one per format
    int filter = 0;          ///< the one chosen first
    QString resolutionLabel; ///< the resolution box's label; no box when empty
    QStringList resolutions; ///< its choices
    int resolution = 0;      ///< the one chosen first
    QString switchLabel;     ///< the check box's text; no box when empty
    bool switchOn = false;   ///< whether it starts checked
    /// A preview that plays beside the file list while one of `previewFilters` is chosen:
    /// `previewFrames` in turn, `previewIntervalMs` each, from the first again after the last.
    /// The check box does not apply to those filters: while one is chosen it is disabled and
    /// shown unticked, and it is ticked again as it was when another is chosen.
    QList<QImage> previewFrames;
    int previewIntervalMs = 40;
    QList<int> previewFilters;
    QString previewName; ///< what a screen reader calls the preview
    /// A second choice beside the resolution, offered only while one of `choiceFilters` is
    /// chosen; no box when `choiceLabel` is empty.
    QString choiceLabel;
    QStringList choices;
    int choice = 0; ///< the one chosen first
    QList<int> choiceFilters;
};

/// The answer to a SaveQuestion: the file and the choices made beside it.
struct SaveAnswer {
    QString path;       ///< with the extension of the chosen filter when none was typed
    int filter = 0;     ///< index into SaveQuestion::filters
    int resolution = 0; ///< index into SaveQuestion::resolutions
    bool switchOn = false;
    int choice = 0; ///< index into SaveQuestion::choices
};

/// Paints a document onto a printer's pages; false when it could not.
using PagePainter = std::function<bool(QPagedPaintDevice& pages)>;

/// What became of a print.
struct PrintResult {
    bool printed = false; ///< false: the user cancelled, or the printing failed
    QString file;         ///< the file printed to ("print to file"); empty for a printer
    Outcome written;      ///< why that file was refused or could not be written
};

/// Message boxes and dialogs: everything that waits for the user's answer.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// Shows a modal message box titled kMessageTitle and waits for the user's answer. Line
    /// breaks in `text` may be CR LF or a lone CR.
    virtual MessageAnswer showMessage(QWidget* parent, const QString& text, MessageStyle style) = 0;

    /// Shows the colour dialog; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<QColor> chooseColour(QWidget* parent) = 0;

    /// Shows the open-file dialog with one filter: `description` naming files that match
    /// `pattern`. Nothing when the user cancels.
    [[nodiscard]] virtual std::optional<QString>
    chooseFileToOpen(QWidget* parent, const QString& description, const QString& pattern) = 0;

    /// Shows the save-file dialog that `question` describes; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<SaveAnswer>
    chooseFileToSave(QWidget* parent, const SaveQuestion& question) = 0;

    /// Shows the print dialog for a document named `documentName` and, when the user prints,
    /// has `paint` draw it on the printer, or on the file the user prints to, which is written
    /// by the rule for every file a user names (WriteMode::ReplaceNamedFileDurably): a FIFO, a
    /// device or a link of another user's in a shared folder is refused as the dialog closes,
    /// never opened, and a full disk is reported, never left as a broken file.
    virtual PrintResult print(QWidget* parent, const QString& documentName,
                              const PagePainter& paint) = 0;

    /// Shows `dialog` modally and returns when it has closed, with its result code.
    virtual int runModal(QDialog& dialog) = 0;

    /// Runs `run` from the event loop once no modal dialog or message box opened through this
    /// platform is open any more (soon, when none is open now), unless `context` has been
    /// destroyed first. For work that arrives on its own and must not pop up over a dialog
    /// the user is busy with.
    virtual void whenNoModalOpen(QObject* context, std::function<void()> run) = 0;
};

} // namespace inkvale
