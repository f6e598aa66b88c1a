#pragma once

#include <QString>

#include <optional>

namespace inkvale {

/// How this copy of the program came to where it runs, told by a marker file that the
/// installation puts beside the executable; a copy without one is portable.
enum class Installation {
    Portable, ///< an unpacked archive or a build folder: it writes and saves beside itself
    ForUser,  ///< installed by scripts/install into a folder of the user's own
    System,   ///< installed by the Debian package into a read-only system folder
};

/// Marker of a copy installed for one user: `<executable's folder>/kUserInstallMarker`.
inline constexpr QStringView kUserInstallMarker = u"installed-for-user";
/// Marker of a copy installed by the package: `<executable's folder>/kSystemInstallMarker`,
/// that is /usr/share/inkvale/installed-by-package for /usr/bin/inkvale.
inline constexpr QStringView kSystemInstallMarker = u"../share/inkvale/installed-by-package";

/// Where a copy of the program writes the files it carries (and keeps its background picture and
/// its single-instance lock, which follow those files), and where it saves signatures.
///
/// A portable copy does all of it in the folder of its executable. A copy installed for the user
/// writes its files there too (the folder is the user's), but saves into the user's pictures
/// folder, where a user looks for pictures. A copy installed by the package cannot write beside
/// itself: its files go to the user's state folder (`$XDG_STATE_HOME/inkvale`, by default
/// ~/.local/state/inkvale), and it saves into the pictures folder too.
class ProgramPlaces final {
public:
    /// The places of the copy whose executable lies in `executableFolder`, for the user of the
    /// process's environment (HOME, XDG_STATE_HOME, and XDG_PICTURES_DIR as the user's folder
    /// settings name it).
    explicit ProgramPlaces(const QString& executableFolder);

    /// The folder of the running program's executable file, however it was started: directly,
    /// through a symbolic link, or through the dynamic loader (whose folder it never is).
    [[nodiscard]] static QString executableFolder();

    /// The places of the running program, whose executable lies in executableFolder(). Made
    /// once; the folder it writes into is created then.
    [[nodiscard]] static const ProgramPlaces& ofThisProgram();

    /// How the copy was installed.
    [[nodiscard]] Installation installation() const { return m_installation; }

    /// The folder the program writes the files it carries into, without a trailing separator.
    [[nodiscard]] QString workFolder() const { return m_workFolder; }

    /// The folder signatures are saved into, created when missing; nothing for a portable copy,
    /// which saves beside itself (into workFolder()).
    [[nodiscard]] std::optional<QString> signatureFolder() const;

private:
    Installation m_installation = Installation::Portable;
    QString m_workFolder;
};

} // namespace inkvale
