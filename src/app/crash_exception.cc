// Signals as the platform's exception codes.
#include <sys/ucontext.h>

#include "app/crash_internal.h"

namespace tarn::crash {
namespace {

struct NamedCode {
  uint32_t code;
  const char* name;
};

constexpr NamedCode kNames[] = {
    {0xC0000005, "ACCESS_VIOLATION"},      {0x80000002, "DATATYPE_MISALIGNMENT"},
    {0x80000003, "BREAKPOINT"},            {0x80000004, "SINGLE_STEP"},
    {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"}, {0xC000008D, "FLT_DENORMAL_OPERAND"},
    {0xC000008E, "FLT_DIVIDE_BY_ZERO"},    {0xC000008F, "FLT_INEXACT_RESULT"},
    {0xC0000090, "FLT_INVALID_OPERATION"}, {0xC0000091, "FLT_OVERFLOW"},
    {0xC0000092, "FLT_STACK_CHECK"},       {0xC0000093, "FLT_UNDERFLOW"},
    {0xC0000094, "INT_DIVIDE_BY_ZERO"},    {0xC0000095, "INT_OVERFLOW"},
    {0xC0000096, "PRIV_INSTRUCTION"},      {0xC0000006, "IN_PAGE_ERROR"},
    {0xC000001D, "ILLEGAL_INSTRUCTION"},   {0xC0000025, "NONCONTINUABLE_EXCEPTION"},
    {0xC00000FD, "STACK_OVERFLOW"},        {0xC0000026, "INVALID_DISPOSITION"},
    {0x80000001, "GUARD_PAGE"},            {0xC0000008, "INVALID_HANDLE"},
};

// A fault this close to the stack pointer is the stack running into its
// guard page.
constexpr uintptr_t kStackFaultReach = 64 * 1024;

bool NearStackPointer(const siginfo_t* info, const ucontext_t* context) {
  if (!info || !context) return false;
  uintptr_t addr = reinterpret_cast<uintptr_t>(info->si_addr);
  uintptr_t sp = static_cast<uintptr_t>(context->uc_mcontext.gregs[REG_RSP]);
  return addr + kStackFaultReach >= sp && addr <= sp + kStackFaultReach;
}

uint32_t FloatingCode(int siCode) {
  switch (siCode) {
    case FPE_INTOVF: return 0xC0000095;
    case FPE_FLTDIV: return 0xC000008E;
    case FPE_FLTOVF: return 0xC0000091;
    case FPE_FLTUND: return 0xC0000093;
    case FPE_FLTRES: return 0xC000008F;
    case FPE_FLTINV: return 0xC0000090;
    case FPE_FLTSUB: return 0xC000008C;
    default: return 0xC0000094;  // FPE_INTDIV and anything unnamed
  }
}

}  // namespace

const char* ExceptionCodeName(uint32_t code) {
  for (const NamedCode& n : kNames)
    if (n.code == code) return n.name;
  return "";
}

ExceptionInfo DescribeSignal(int signal, const siginfo_t* info, const ucontext_t* context) {
  int siCode = info ? info->si_code : 0;
  uint32_t code;
  switch (signal) {
    case SIGSEGV: code = NearStackPointer(info, context) ? 0xC00000FD : 0xC0000005; break;
    case SIGFPE: code = FloatingCode(siCode); break;
    case SIGILL: code = (siCode == ILL_PRVOPC || siCode == ILL_PRVREG) ? 0xC0000096 : 0xC000001D; break;
    case SIGBUS: code = 0x80000002; break;
    case SIGTRAP: code = siCode == TRAP_TRACE ? 0x80000004 : 0x80000003; break;
    default: code = 0xC0000025; break;
  }
  return {code, ExceptionCodeName(code)};
}

}  // namespace tarn::crash
