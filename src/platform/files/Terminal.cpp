#include "platform/files/Terminal.h"

#include <QtGlobal>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace inkvale {

bool standardErrorIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

bool standardOutputIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) == 1;
#endif
}

void endCommandLineProcess(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

void reportFileSizeLimitAsError() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void reportBrokenPipeAsError() {
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

void keepFreedMemoryInProcess() {
#ifdef __GLIBC__
    // Freed memory below 256 MiB at the heap's top stays; blocks under 32 MiB come from the
    // heap, not from maps of their own that are unmapped at every free.
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

StandardErrorSilenced::StandardErrorSilenced() {
    std::fflush(stderr);
#ifdef Q_OS_WIN
    m_saved = _dup(2);
    const int nowhere = _open("NUL", _O_WRONLY);
    if (nowhere >= 0) {
        _dup2(nowhere, 2);
        _close(nowhere);
    }
#else
    m_saved = ::dup(STDERR_FILENO);
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere >= 0) {
        ::dup2(nowhere, STDERR_FILENO);
        ::close(nowhere);
    }
#endif
}

StandardErrorSilenced::~StandardErrorSilenced() {
    std::fflush(stderr);
    if (m_saved < 0) {
        return;
    }
#ifdef Q_OS_WIN
    _dup2(m_saved, 2);
    _close(m_saved);
#else
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
#endif
}

} // namespace inkvale
