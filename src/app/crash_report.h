#pragma once
// The crash report: a fault anywhere in the process (SIGSEGV, SIGFPE, SIGILL,
// SIGBUS, SIGTRAP, a stack overflow) is written to the log as a block of
// records with the exception, the registers and the call stack; then the log
// viewer is stopped with "Abort By Unknow Error" and the process ends by the
// signal, without saving the settings. The report also goes to stderr, so a
// crash without a viewer leaves a trace.
#include <string>

namespace tarn {

// Installs the handlers for the whole process and an alternate signal stack
// for the calling thread. Reads "Title" from link.ini in `programFolder` now,
// so the handler does no file parsing. Call once, early in main().
void InstallCrashFilter(const std::string& programFolder);

// Gives the calling thread an alternate signal stack, so a stack overflow on
// it is reported too (the handler cannot run on an exhausted stack). Threads
// that may recurse deeply call it once; the stack is freed at thread exit.
void InstallCrashStackForThisThread();

}  // namespace tarn
