#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace inkvale::test {

/// The files that are not regular files, each named like a picture, made in a folder of the
/// test's: what a user may point a file dialog at, or what may be left under a file's name.
/// Whatever still waits on one of its FIFOs is let go when it goes.
class SpecialFiles final {
public:
    /// The kinds make() knows.
    [[nodiscard]] static QStringList kinds() {
        return {QStringLiteral("FIFO"),
                QStringLiteral("FIFO through a symbolic link"),
                QStringLiteral("FIFO with a writer that never writes"),
                QStringLiteral("socket"),
                QStringLiteral("character device"),
                QStringLiteral("folder named .jpg")};
    }

    explicit SpecialFiles(QString folder)
        : m_folder(std::move(folder)) {}
    SpecialFiles(const SpecialFiles&) = delete;
    SpecialFiles& operator=(const SpecialFiles&) = delete;
    ~SpecialFiles() { letGo(); }

    /// Makes a file of `kind` named `name` and returns its path; empty when it cannot.
    [[nodiscard]] QString make(const QString& kind, const QString& name) {
        const QString path = QDir(m_folder).filePath(name);
        const QByteArray native = QFile::encodeName(path);
        if (kind == QLatin1String("FIFO")) {
            return makeFifo(path);
        }
        if (kind == QLatin1String("FIFO through a symbolic link")) {
            const QString target = makeFifo(path + QStringLiteral(".fifo"));
            return !target.isEmpty() && QFile::link(target, path) ? path : QString();
        }
        if (kind == QLatin1String("FIFO with a writer that never writes")) {
            // Held open for writing: a reader would find it open, then wait for data for ever.
            if (makeFifo(path).isEmpty()) {
                return {};
            }
            const int writer = ::open(native.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (writer < 0) {
                return {};
            }
            m_held.append(writer);
            return path;
        }
        if (kind == QLatin1String("socket")) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            if (fd < 0 || native.size() >= qsizetype(sizeof address.sun_path)) {
                return {};
            }
            std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
            if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                ::close(fd);
                return {};
            }
            m_held.append(fd);
            return path;
        }
        if (kind == QLatin1String("character device")) {
            return QFile::link(QStringLiteral("/dev/zero"), path) ? path : QString();
        }
        if (kind == QLatin1String("folder named .jpg")) {
            return QDir(m_folder).mkdir(name) ? path : QString();
        }
        return {};
    }

    /// Lets go whatever waits on one of the FIFOs (a reader that should not have opened one):
    /// a writer comes and goes, so its open returns and its read ends.
    void letGo() {
        for (const QString& fifo : m_fifos) {
            const int writer =
                ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) {
                ::close(writer);
            }
        }
        for (const int fd : m_held) {
            ::close(fd);
        }
        m_held.clear();
    }

private:
    QString makeFifo(const QString& path) {
        if (::mkfifo(QFile::encodeName(path).constData(), 0644) != 0) {
            return {};
        }
        m_fifos.append(path);
        return path;
    }

    QString m_folder;
    QStringList m_fifos;
    QList<int> m_held;
};

} // namespace inkvale::test
