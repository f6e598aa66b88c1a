#include "platform/VerifiedLibrary.h"

#include "platform/files/RegularFile.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <array>
#include <cerrno>
#include <cstring>

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

} // namespace

QFunctionPointer resolveVerifiedLibrary(const QString& path, QByteArrayView expected,
                                        const char* symbol) {
    if (expected.isEmpty() || !QDir::isAbsolutePath(path)) {
        return nullptr;
    }
    // A FIFO left under the library's name is refused unopened: it would hold the start.
    const Result<int> opened = openRegularFile(path);
    const FileDescriptor file(opened.ok() ? opened.value : -1);
    if (file.get() < 0 || !holdsExactly(file.get(), expected)) {
        return nullptr;
    }
    // A path with a '/' is opened as it is: the dynamic loader searches nothing and tries no
    // other name. Only someone who may write into the folder could swap the file between the
    // check and the load, and they could replace the program itself as well. (Loading through
    // /proc/self/fd would not help: the loader takes a name it has loaded before for the same
    // library, whatever file now stands behind it.)
    void* library = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<QFunctionPointer>(::dlsym(library, symbol));
}

#else

QFunctionPointer resolveVerifiedLibrary(const QString& /*path*/, QByteArrayView /*expected*/,
                                        const char* /*symbol*/) {
    // No loader that can be held to one exact file: the program keeps the system's look.
    return nullptr;
}

#endif

} // namespace inkvale
