#include "platform/files/DiagnosticLog.h"

#include "platform/files/AtomicFile.h"

#include <QDateTime>
#include <QFile>
#include <QLoggingCategory>

#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace inkvale {

namespace {

struct LogFile {
    std::mutex guard;
    int fd = -1;
    QtMessageHandler previous = nullptr;
};

LogFile& logFile() {
    static LogFile file;
    return file;
}

const char* levelName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "message";
}

void writeAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return; // a full disk loses log lines, never the program's work
        }
        data += written;
        left -= written;
    }
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    LogFile& file = logFile();
    QtMessageHandler previous = nullptr;
    {
        const std::lock_guard lock(file.guard);
        previous = file.previous;
        if (file.fd >= 0) {
            QString text = message;
            // One message, one line, whatever the message holds.
            text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
            const QByteArray line =
                QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8() + ' ' +
                levelName(type) + ' ' +
                QByteArray(context.category != nullptr ? context.category : "default") + ": " +
                text.toUtf8() + '\n';
            writeAll(file.fd, line);
        }
    }
    if (previous != nullptr) {
        previous(type, context, message);
    }
}

} // namespace

Outcome startDiagnosticLog(const QString& path) {
    const Outcome allowed = checkNamedFile(path);
    if (!allowed.ok()) {
        return allowed;
    }
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        return Outcome::ofSystemError(errno, Access::Write);
    }
    struct stat info {};
    // The name may have changed hands since it was judged: only a regular file is written.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Outcome::failed(Cause::NotARegularFile);
    }
    LogFile& file = logFile();
    {
        const std::lock_guard lock(file.guard);
        if (file.fd >= 0) {
            ::close(file.fd);
        }
        file.fd = fd;
    }
    const QtMessageHandler previous = qInstallMessageHandler(&handleMessage);
    if (previous != &handleMessage) {
        const std::lock_guard lock(file.guard);
        file.previous = previous;
    }
    // Asked for a log, the user gets the program's own messages in it; the environment's rules
    // (QT_LOGGING_RULES) still come after these and win.
    QLoggingCategory::setFilterRules(QStringLiteral("inkvale.*=true"));
    return {};
}

void stopDiagnosticLog() {
    LogFile& file = logFile();
    const std::lock_guard lock(file.guard);
    if (file.fd >= 0) {
        ::close(file.fd);
        file.fd = -1;
    }
}

} // namespace inkvale
