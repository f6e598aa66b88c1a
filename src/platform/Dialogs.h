#pragma once

#include <QColor>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class QDialog;
class QObject;
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

    /// Shows `dialog` modally and returns when it has closed, with its result code.
    virtual int runModal(QDialog& dialog) = 0;

    /// Runs `run` from the event loop once no modal dialog or message box opened through this
    /// platform is open any more (soon, when none is open now), unless `context` has been
    /// destroyed first. For work that arrives on its own and must not pop up over a dialog
    /// the user is busy with.
    virtual void whenNoModalOpen(QObject* context, std::function<void()> run) = 0;
};

} // namespace inkvale
