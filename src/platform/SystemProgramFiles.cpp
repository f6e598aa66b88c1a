#include "platform/ProgramPlaces.h"
#include "platform/SystemPlatform.h"
#include "platform/VerifiedLibrary.h"
#include "platform/files/EmbeddedResource.h"

#include <QCoreApplication>

#ifdef Q_OS_LINUX
#include <cstring>
#include <fcntl.h>
#include <link.h>
#include <unistd.h>
#endif

namespace inkvale {

QString SystemPlatform::programFolder() const {
    // The executable's folder, unless the package installed it into a read-only one.
    return ProgramPlaces::ofThisProgram().workFolder();
}

std::optional<QString> SystemPlatform::signatureFolder() const {
    return ProgramPlaces::ofThisProgram().signatureFolder();
}

QByteArrayView SystemPlatform::embeddedResource(const QString& type, int id) const {
    return inkvale::embeddedResource(type, id);
}

#ifdef Q_OS_LINUX
namespace {

/// Where `bytes` lie in the running executable's file: the loadable segment that maps them
/// gives their offset. -1 when they are not in the executable's file-backed image.
qint64 offsetInExecutable(QByteArrayView bytes) {
    struct Search {
        quintptr address = 0;
        quintptr size = 0;
        qint64 offset = -1;
    } search{reinterpret_cast<quintptr>(bytes.data()), static_cast<quintptr>(bytes.size())};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t /*size*/, void* data) -> int {
            auto* wanted = static_cast<Search*>(data);
            if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
                return 0; // a shared library; the executable has no name here
            }
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                const ElfW(Phdr)& segment = info->dlpi_phdr[i];
                const quintptr start = info->dlpi_addr + segment.p_vaddr;
                if (segment.p_type == PT_LOAD && wanted->address >= start &&
                    wanted->address + wanted->size <= start + segment.p_filesz) {
                    wanted->offset =
                        static_cast<qint64>(segment.p_offset + (wanted->address - start));
                    return 1;
                }
            }
            return 0;
        },
        &search);
    return search.offset;
}

/// Whether the file at `path` holds the first and last bytes of `bytes` at `offset`: a cheap
/// guard against a wrong offset, touching one page of the payload at either end.
bool fileHolds(const char* path, qint64 offset, QByteArrayView bytes) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    constexpr qsizetype kProbe = 64;
    const qsizetype probe = std::min(kProbe, bytes.size());
    char head[kProbe];
    char tail[kProbe];
    const qint64 tailAt = offset + bytes.size() - probe;
    const bool same =
        ::pread(fd, head, static_cast<size_t>(probe), offset) == probe &&
        ::pread(fd, tail, static_cast<size_t>(probe), tailAt) == probe &&
        std::memcmp(head, bytes.data(), static_cast<size_t>(probe)) == 0 &&
        std::memcmp(tail, bytes.data() + bytes.size() - probe, static_cast<size_t>(probe)) == 0;
    ::close(fd);
    return same;
}

} // namespace
#endif

std::optional<FileRange> SystemPlatform::embeddedResourceFile(const QString& type, int id) const {
#ifdef Q_OS_LINUX
    const QByteArrayView bytes = embeddedResource(type, id);
    if (bytes.isEmpty()) {
        return std::nullopt;
    }
    // The running executable itself, even if its file has since been replaced or removed.
    static const char* const kExecutable = "/proc/self/exe";
    const qint64 offset = offsetInExecutable(bytes);
    if (offset < 0 || !fileHolds(kExecutable, offset, bytes)) {
        return std::nullopt;
    }
    return FileRange{QString::fromLatin1(kExecutable), offset, bytes.size()};
#else
    Q_UNUSED(type);
    Q_UNUSED(id);
    return std::nullopt;
#endif
}

void SystemPlatform::attachSkin(const QString& libraryPath, const QString& skinFile) {
    using AttachEx = int (*)(const char*, const char*);
    // The one piece of code the program loads from its folder: only the library it carries
    // itself, so that a file planted there is never run.
    const auto attach = reinterpret_cast<AttachEx>(resolveVerifiedLibrary(
        libraryPath, embeddedResource(QStringLiteral("CUSTOM"), kSkinLibraryResource),
        "SkinH_AttachEx"));
    if (attach == nullptr) {
        return;
    }
    // The library stays loaded: the skin lives on in the application it was applied to.
    attach(skinFile.toLocal8Bit().constData(), "");
}

} // namespace inkvale
