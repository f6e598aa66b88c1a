#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace inkvale {

class InstanceChannel;

/// One running designer per Program folder. Every start writes the folder's files, and the
/// running designer keeps its skin library loaded from there and saves its signatures there, so a
/// second start from the same folder does not start again: it brings the running designer's
/// window forward and ends. Copies of the program in other folders run side by side.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    /// The designer of `programFolder`; the meeting point lives in `channelFolder` (the user's
    /// runtime folder when empty).
    explicit SingleInstance(const QString& programFolder, const QString& channelFolder = {},
                            QObject* parent = nullptr);

    /// Asks a designer already running from the same folder to come forward. True when one
    /// was told, and this start should end (its launcher's busy feedback `launchId` is ended);
    /// false when this start is the designer of its folder (or cannot tell, and runs on its own).
    [[nodiscard]] bool handOverToRunningDesigner(const QByteArray& launchId = {});

    /// The window a second start brings forward: an open modal box or dialog first, then the
    /// main window, then the splash. Null when the program shows no window.
    [[nodiscard]] static QWidget* windowToBringForward();

    /// The channel's name for `programFolder`: the same for every path that leads to the same
    /// folder.
    [[nodiscard]] static QString channelName(const QString& programFolder);

signals:
    /// A later start from the same folder asked this designer to come forward.
    void secondStart();

private:
    InstanceChannel* m_channel = nullptr;
};

} // namespace inkvale
