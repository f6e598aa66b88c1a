#pragma once

#include "payload/Payloads.h"
#include "platform/files/AtomicFile.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace inkvale {

/// The program's own files: its folder, the payloads it carries and the skin library.
class ProgramFiles {
public:
    virtual ~ProgramFiles() = default;

    /// The program's own folder, without a trailing separator: the one that holds its
    /// executable, or, for a copy installed where it may not write, the folder of the user's
    /// that stands in for it (see ProgramPlaces).
    [[nodiscard]] virtual QString programFolder() const = 0;

    /// The folder an installed copy saves signatures into (the user's pictures folder), created
    /// when missing; nothing for a portable copy, which saves into programFolder().
    [[nodiscard]] virtual std::optional<QString> signatureFolder() const = 0;

    /// empty when there is none. Valid for as long as the program runs.
    [[nodiscard]] virtual QByteArrayView embeddedResource(const QString& type, int id) const = 0;

    /// Where the payload of embeddedResource(type, id) lies inside a file, so that it can be
    /// copied without passing through the program's memory; nothing when it lies in no file
    /// (the default) or cannot be found there.
    [[nodiscard]] virtual std::optional<FileRange> embeddedResourceFile(const QString& type,
                                                                        int id) const;

    /// Reads the whole file at `path` as readWholeFile does: anything but a regular file is
    /// refused unopened, a file larger than `maxBytes` unread. Safe to call from any thread; a
    /// file that stops answering (a network mount gone away) holds only the thread that asked.
    [[nodiscard]] virtual Result<QByteArray> readFile(const QString& path, qint64 maxBytes) const;

    /// Loads the skin library at `libraryPath` and asks it to apply `skinFile` to the running
    /// program. The library is loaded only when the file's bytes are exactly those of the
    /// embedded resource kSkinLibraryResource, and only from that exact path. A missing or
    /// different library, a missing entry point or a skin it rejects leaves the system look.
    virtual void attachSkin(const QString& libraryPath, const QString& skinFile) = 0;
};

} // namespace inkvale
