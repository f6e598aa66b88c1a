#include "core/MemoryHeadroom.h"

#include <atomic>
#include <memory>
#include <new>

namespace inkvale {

namespace {

std::atomic<qsizetype> headroom{0};

} // namespace

void setMemoryHeadroom(qsizetype bytes) {
    headroom = bytes;
}

void requireMemoryHeadroom() {
    const qsizetype bytes = headroom;
    if (bytes <= 0) {
        return;
    }
    const std::unique_ptr<char[]> room(new (std::nothrow) char[std::size_t(bytes)]);
    if (!room) {
        throw std::bad_alloc();
    }
    // A store the compiler must keep, so that the allocation is not left out.
    *static_cast<volatile char*>(room.get()) = 0;
}

} // namespace inkvale
