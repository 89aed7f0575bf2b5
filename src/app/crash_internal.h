#pragma once
// Pieces of the crash report. Everything here runs inside a signal handler:
// no locks, no allocation except where noted, file access by open/mmap only.
#include <signal.h>
#include <sys/ucontext.h>

#include <cstddef>
#include <cstdint>

namespace tarn::crash {

// The platform's exception code and name a signal stands for.
struct ExceptionInfo {
  uint32_t code = 0;
  const char* name = "";
};
ExceptionInfo DescribeSignal(int signal, const siginfo_t* info, const ucontext_t* context);
// The name of an exception code ("ACCESS_VIOLATION"), or "" when unknown.
const char* ExceptionCodeName(uint32_t code);

// Where a code address lies: the module file, the ELF section (numbered as
// in the file's section table) and the offset into it, and the function.
struct CodeLocation {
  char module[1024] = {};
  unsigned section = 0;
  uintptr_t sectionOffset = 0;
  char symbol[512] = {};  // demangled, empty when unknown
  uintptr_t symbolOffset = 0;
};
// `lookup` is the address used to find the function (a return address minus
// one, so a call at the end of a function is attributed to it);
// `address` is the one the offsets are computed from.
void LocateAddress(uintptr_t address, uintptr_t lookup, CodeLocation& where);
// Loads what LocateAddress() needs before a crash (path of the executable,
// the demangler's buffer).
void PrepareLocating();

struct StackFrame {
  uintptr_t pc = 0;
  uintptr_t frame = 0;     // the frame's canonical frame address
  bool exactPc = false;    // pc is the faulting instruction, not a return address
};
// The frames from the faulting instruction outwards (the handler's own frames
// skipped), at most `max`.
size_t CollectStack(uintptr_t faultPc, uintptr_t faultFrame, StackFrame* frames, size_t max);
void PrepareStackWalk();

// One record of the report: to stderr and, when a viewer runs, to it.
using LineSink = void (*)(const char* text, size_t length);

// Writes the report lines after "Current Version".
void WriteReport(int signal, const siginfo_t* info, const ucontext_t* context, LineSink sink);

}  // namespace tarn::crash
