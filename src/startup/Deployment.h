#pragma once

#include "payload/Payloads.h"

namespace inkvale {

class ProgramFiles;

/// Writes every embedded file into the Program folder, creating its fonts folder when missing.
/// Each target is written whole to a temporary file beside it, copied there by the kernel from
/// the executable file where the platform says where the payload lies; the old file's name is
/// then removed and the new file takes it, so a target always equals its payload and is never
/// seen half-written (for an instant it may be missing). Nothing waits for the disk: the files
/// are written again at every start. A target without write permission is left as it is.
/// Nothing is reported: a file that cannot be written is passed over. The temporary files of
/// these targets that an earlier deployment left when it was stopped are removed first; those of
/// a deployment still under way are not.
void DeployEmbeddedFiles(const ProgramFiles& platform);

} // namespace inkvale
