#pragma once

#include <QtGlobal>

namespace inkvale {

/// From now on, requireMemoryHeadroom() asks for `bytes` of room. Off (0) until a program turns
/// it on: the command-line renderer does, for runs under a memory limit.
void setMemoryHeadroom(qsizetype bytes);

/// Throws std::bad_alloc unless the process could still allocate the headroom set. Called
/// before the font libraries are entered: fontconfig dereferences a failed allocation and
/// ends the process with a segmentation fault, where the program would say "not enough
/// memory". What is allocated is freed at once; the allocator keeps it for what follows.
void requireMemoryHeadroom();

} // namespace inkvale
