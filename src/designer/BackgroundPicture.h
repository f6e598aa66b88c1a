#pragma once

#include "platform/files/Failure.h"
#include "platform/files/RegularFile.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>

namespace inkvale {

/// The outcome of adopting a background picture.
struct BackgroundPicture {
    QImage image;  ///< the loaded picture; null when it could not be adopted
    QString error; ///< why not, for the user; empty on success
};

/// Reads `chosen`, checks that it is a whole picture, and writes its bytes to "xxx.jpg" in
/// `programFolder` (replacing an earlier copy only once the new one is complete). Any failure
/// (the file cannot be read, is not a picture or is damaged, the folder cannot be written)
/// leaves an earlier copy as it was and says why, naming the file or the folder.
[[nodiscard]] BackgroundPicture adoptBackgroundPicture(const QString& chosen,
                                                       const QString& programFolder);

/// Like adoptBackgroundPicture, with the file's bytes (or why there are none) already read.
[[nodiscard]] BackgroundPicture adoptPictureBytes(const Result<QByteArray>& read,
                                                  const QString& chosen,
                                                  const QString& programFolder);

class ProgramFiles;

/// A chosen picture on its way in: its file is read off the window's thread, so that a file
/// that stops answering never holds the window, and adopted (adoptPictureBytes) on the window's
/// thread once the bytes are in. Deleting it gives the read up: nothing of it arrives later.
class ChosenPictureRead final : public QObject {
public:
    using Done = std::function<void(const BackgroundPicture&)>;

    /// Starts reading `chosen` through `files`, which must outlive the read's thread (the
    /// platform does); `done` follows from the event loop.
    ChosenPictureRead(const ProgramFiles& files, QString chosen, QString programFolder,
                      QObject* parent, Done done);

    /// The file being read.
    [[nodiscard]] const QString& chosen() const { return m_chosen; }
    /// Whether the bytes are in.
    [[nodiscard]] bool finished() const { return m_read.finished(); }

private:
    QString m_chosen;
    BackgroundFileRead m_read;
};

} // namespace inkvale
