#include "platform/VerifiedLibrary.h"

#include "platform/files/RegularFile.h"
#include "platform/log/LogCategories.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace inkvale {

#ifdef Q_OS_UNIX

namespace {

/// Closes a file descriptor when it goes out of scope.
class FileDescriptor final {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd = -1;
};

/// Whether the regular file open at `fd` holds exactly `expected`, read from its first byte.
bool holdsExactly(int fd, QByteArrayView expected) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size != static_cast<off_t>(expected.size())) {
        return false;
    }
    std::array<char, 1 << 16> buffer{};
    qsizetype compared = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        if (got > expected.size() - compared ||
            std::memcmp(buffer.data(), expected.data() + compared, static_cast<size_t>(got)) != 0) {
            return false;
        }
        compared += got;
    }
    return compared == expected.size();
}

/// A memory file holding `bytes`, sealed against every change; -1 when the system has none.
int sealedCopyOf(QByteArrayView bytes) {
    const int fd = ::memfd_create("inkvale-library", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) {
        return -1;
    }
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            ::close(fd);
            return -1;
        }
        data += written;
        left -= written;
    }
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

/// The library made of `bytes`, loaded once for the process. What is loaded is what was
/// checked: not the file again by its name, which anyone who may write into its folder could
/// swap between the check and the load, but the same bytes from a sealed memory file of this
/// process's own, which nobody can change. Each such file stays open, so that its name under
/// /proc/self/fd never comes to stand for another file: the loader hands back the library it
/// loaded before under a name, whatever file now stands behind that name.
void* loadedFrom(QByteArrayView bytes) {
    static std::mutex guard;
    static std::vector<std::pair<QByteArray, void*>> loaded;
    const std::lock_guard lock(guard);
    for (const auto& [carried, library] : loaded) {
        if (carried == bytes) {
            return library;
        }
    }
    const int sealed = sealedCopyOf(bytes);
    if (sealed < 0) {
        return nullptr;
    }
    void* library = ::dlopen(("/proc/self/fd/" + QByteArray::number(sealed)).constData(),
                             RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        ::close(sealed);
        return nullptr;
    }
    loaded.emplace_back(bytes.toByteArray(), library);
    return library;
}

} // namespace

QFunctionPointer resolveVerifiedLibrary(const QString& path, QByteArrayView expected,
                                        const char* symbol) {
    if (expected.isEmpty() || !QDir::isAbsolutePath(path)) {
        qCInfo(log::skin, "no library to load at %s", qPrintable(path));
        return nullptr;
    }
    // A FIFO left under the library's name is refused unopened: it would hold the start.
    const Result<int> opened = openRegularFile(path);
    const FileDescriptor file(opened.ok() ? opened.value : -1);
    if (file.get() < 0) {
        qCInfo(log::skin, "refused %s: %s", qPrintable(path),
               qPrintable(englishText(opened.outcome)));
        return nullptr;
    }
    if (!holdsExactly(file.get(), expected)) {
        qCInfo(log::skin, "refused %s: it is not the library this program carries",
               qPrintable(path));
        return nullptr;
    }
    void* library = loadedFrom(expected);
    if (library == nullptr) {
        const char* why = ::dlerror();
        qCInfo(log::skin, "could not load the checked library: %s",
               why != nullptr ? why : "no sealed memory file");
        return nullptr;
    }
    auto* resolved = reinterpret_cast<QFunctionPointer>(::dlsym(library, symbol));
    qCInfo(log::skin, "loaded the checked library from %s", qPrintable(path));
    return resolved;
}

#else

QFunctionPointer resolveVerifiedLibrary(const QString& /*path*/, QByteArrayView /*expected*/,
                                        const char* /*symbol*/) {
    // No loader that can be held to one exact file: the program keeps the system's look.
    return nullptr;
}

#endif

} // namespace inkvale
