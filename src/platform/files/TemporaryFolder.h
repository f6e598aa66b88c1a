#pragma once

#include <QString>
#include <QStringView>

namespace inkvale {

/// The folders that hold a dragged signature's file for the program that takes the drop.
inline constexpr QStringView kDragFolderPrefix = u"inkvale-drag-";

/// A folder of this process's own in the system's temporary folder, for files that another
/// program takes from us by name (a drag onto a file manager). Named `prefix` and six random
/// characters; removed with its files when the object goes. While the process lives it holds
/// a lock on the folder, so that a later start can tell a folder that a killed or crashed
/// process left from one still in use (see removeAbandonedFolders).
class TemporaryFolder final {
public:
    explicit TemporaryFolder(const QString& prefix);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    /// Whether the folder could be made.
    [[nodiscard]] bool isValid() const { return m_lock >= 0; }
    /// The folder's path; empty when it could not be made.
    [[nodiscard]] const QString& path() const { return m_path; }
    /// The path of `name` in the folder.
    [[nodiscard]] QString filePath(const QString& name) const;

private:
    QString m_path;
    int m_lock = -1; ///< the folder, open and locked
};

/// Removes the folders that TemporaryFolder(prefix) made in the system's temporary folder and
/// that no process holds any more, with the files in them: only folders of this user's, named
/// `prefix` and six characters, that hold the mark every such folder is made with (a file
/// ".inkvale-temporary-folder"), not changed in the last minute (a folder whose maker has not
/// yet locked it), holding nothing but regular files. Anything else is left as it is.
void removeAbandonedFolders(const QString& prefix);

} // namespace inkvale
