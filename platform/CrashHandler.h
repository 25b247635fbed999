#pragma once
// On a fatal signal, writes "<dumpFolder>/MM-DD HH-MM-SS.dmp" with the signal and a backtrace,
// then lets the process end as it would have. Everything the handler needs is prepared here,
// because a signal handler may only use async-signal-safe calls.

#include <string>

namespace vx {

// Installs the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT. onWritten, when set, is
// called (from the handler) with the dump path and whether it was written; keep it trivial.
void InstallCrashHandler(const std::string& dumpFolder,
                         void (*onWritten)(const char* path, bool ok) = nullptr);

} // namespace vx
