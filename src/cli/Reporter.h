#pragma once

#include "cli/RenderCommand.h"
#include "cli/RenderOptions.h"

#include <QSizeF>
#include <QString>
#include <QStringList>

#include <optional>

namespace inkvale {

/// What --json tells of a written file.
struct WrittenFile {
    QString path;
    QString name;
    int line = 0;            ///< the name's line in the names file; 0 outside batches
    std::optional<int> slot; ///< the style; none for a contact sheet, which has all of them
    QString format;          ///< the extension: png, svg, gif, ...
    QSizeF pixels;           ///< the picture's size (in CSS pixels for SVG and PDF)
    qreal dotsPerInch = 96.0;
    QStringList faces; ///< the faces that drew the name, the style's own first
    QStringList notes; ///< what the notes on standard error say of the name
};

/// Where a run tells the user what happens: its messages on standard error, each on a line of
/// its own, and on a terminal a progress line that the messages keep clear of.
class Reporter final {
public:
    /// `quiet` keeps warnings and notes back; `listing` says how each written file is named on
    /// standard output.
    explicit Reporter(const RenderConsole& console, bool quiet = false,
                      Listing listing = Listing::None)
        : m_console(console)
        , m_quiet(quiet)
        , m_listing(listing) {}

    /// Reports `message` as the reason the run fails; returns kRenderFailed.
    int fail(const QString& message) const;
    /// Reports `message` as a warning: the run goes on. Not when quiet.
    void warn(const QString& message) const;
    /// Tells the user `message` about what was drawn ("note: …"). Not when quiet.
    void note(const QString& message) const;
    /// Names the written `file` on standard output as the listing asks; how that write went,
    /// which a script reading the list must not miss.
    [[nodiscard]] Outcome wrote(const WrittenFile& file) const;
    /// Whether the listing is JSON, which needs every field of WrittenFile.
    [[nodiscard]] bool listsJson() const { return m_listing == Listing::Json; }
    /// Writes the finished `bytes` of a file to standard output; how it went.
    [[nodiscard]] Outcome writeToStandardOutput(QByteArrayView bytes) const;
    /// Whether standard output is a terminal, where a file's bytes do not belong.
    [[nodiscard]] bool standardOutputIsTerminal() const { return m_console.outIsTerminal; }
    /// A line of its own on standard error, clear of the progress line.
    void say(const QString& line) const;

    /// Shows that `done` of `total` names are done, when standard error is a terminal: a line
    /// rewritten in place, at most once per percent.
    void showProgress(qsizetype done, qsizetype total);
    /// Ends the progress line, so that what follows starts on a line of its own.
    void endProgress();
    /// Shows that `done` of `total` frames of an animation are made, when standard error is a
    /// terminal and the run is not quiet: a line rewritten in place, at most once per percent.
    void showFrames(qsizetype done, qsizetype total);
    /// Takes the frames' line off the terminal, leaving it as it was before.
    void clearFrames();

private:
    const RenderConsole& m_console;
    bool m_quiet = false;
    Listing m_listing = Listing::None;
    QString m_progressLine; ///< the progress line shown last, while it is on the terminal
};

} // namespace inkvale
