#pragma once

#include <QLoggingCategory>

/// The areas the program logs, each a category of its own. All are quiet by default (their
/// debug and info messages are off) and are switched on as for any Qt program, for instance
/// QT_LOGGING_RULES="inkvale.*=true", or with the designer's --log FILE.
namespace inkvale::log {

/// The update check: the version file's fetch, and why a reply was not taken.
Q_DECLARE_LOGGING_CATEGORY(update)
/// Files the program writes or refuses to write, and the temporaries it cleans up.
Q_DECLARE_LOGGING_CATEGORY(files)
/// The single-instance channel between a second start and the running designer.
Q_DECLARE_LOGGING_CATEGORY(instance)
/// The skin library: checked, loaded or refused.
Q_DECLARE_LOGGING_CATEGORY(skin)
/// Background pictures: read, or refused and why.
Q_DECLARE_LOGGING_CATEGORY(picture)

} // namespace inkvale::log
