#pragma once

namespace inkvale {

/// Whether the process's standard error goes to a terminal (and not to a file or a pipe).
[[nodiscard]] bool standardErrorIsTerminal();

/// Whether the process's standard output goes to a terminal.
[[nodiscard]] bool standardOutputIsTerminal();

/// Ends the process at once with `status`, after flushing standard output and error: a
/// command-line tool that has written all its files has nothing left to tear down, and tearing
/// down Qt and the font libraries is a noticeable part of a short run.
[[noreturn]] void endCommandLineProcess(int status);

/// Makes a write beyond the process's file-size limit fail with an error the program reports,
/// instead of the system ending the process, whichever library writes (a font cache, say).
void reportFileSizeLimitAsError();

/// Makes a write to a pipe whose reader has gone (`inkvale-render --verbose ... | head`) fail with
/// an error the program reports, instead of the system ending the process in the middle of
/// whatever it was writing, its hidden temporary files left behind.
void reportBrokenPipeAsError();

/// Lets the memory allocator keep what is freed for the process's next allocations instead of
/// handing it back to the system at once: a batch allocates and frees a picture per name on
/// several threads, and giving the pages back and faulting them in again costs more system time
/// than the drawing. For short-lived command-line processes, whose memory is freed at exit.
void keepFreedMemoryInProcess();

/// While it lives, whatever the process writes to its standard error at the system level goes
/// nowhere: some libraries (libpng decoding a damaged picture) print there themselves, in
/// their own words, beside the program's own message about the same failure. Only for stretches
/// where the program itself writes nothing there and no other thread runs.
class StandardErrorSilenced final {
public:
    StandardErrorSilenced();
    ~StandardErrorSilenced();
    StandardErrorSilenced(const StandardErrorSilenced&) = delete;
    StandardErrorSilenced& operator=(const StandardErrorSilenced&) = delete;

private:
    int m_saved = -1; ///< the original standard error, to put back
};

} // namespace inkvale
