#pragma once

#include <csignal>
#include <sys/resource.h>

namespace inkvale::test {

/// Lowers this process's file-size limit to `bytes` while it lives: writes past it fail with
/// EFBIG, as under a quota. Only the soft limit changes, so any user can put it back.
class FileSizeLimit final {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        // Past the limit the system would stop the process instead of failing the write; the
        // program's writer ignores the signal too, for good, so it stays ignored here.
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit lowered{bytes, m_old.rlim_max};
        m_applied = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    /// Whether the limit is in force.
    [[nodiscard]] bool applied() const { return m_applied; }

private:
    rlimit m_old{};
    bool m_applied = false;
};

} // namespace inkvale::test
