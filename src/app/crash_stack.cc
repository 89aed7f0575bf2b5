// The call stack of the faulting thread, walked from inside the signal
// handler with the unwinder: it steps through the kernel's signal frame into
// the faulting function, and the handler's own frames before it are skipped.
// The unwinder's first use loads its tables, so PrepareStackWalk() runs it
// once before any crash.
#include <unwind.h>

#include "app/crash_internal.h"

namespace tarn::crash {
namespace {

struct Walk {
  uintptr_t faultPc;
  StackFrame* frames;
  size_t max;
  size_t count = 0;
  bool found = false;
};

_Unwind_Reason_Code Step(_Unwind_Context* context, void* arg) {
  Walk& w = *static_cast<Walk*>(arg);
  int beforeInstruction = 0;
  uintptr_t pc = _Unwind_GetIPInfo(context, &beforeInstruction);
  if (!w.found) {
    if (pc != w.faultPc) return _URC_NO_REASON;  // still in the handler
    w.found = true;
  }
  if (w.count == w.max) return _URC_END_OF_STACK;
  w.frames[w.count++] = {pc, static_cast<uintptr_t>(_Unwind_GetCFA(context)), beforeInstruction != 0};
  return _URC_NO_REASON;
}

_Unwind_Reason_Code Nothing(_Unwind_Context*, void*) { return _URC_END_OF_STACK; }

}  // namespace

void PrepareStackWalk() { _Unwind_Backtrace(Nothing, nullptr); }

size_t CollectStack(uintptr_t faultPc, uintptr_t faultFrame, StackFrame* frames, size_t max) {
  if (max == 0) return 0;
  Walk w{faultPc, frames, max};
  _Unwind_Backtrace(Step, &w);
  if (w.found) return w.count;
  // No unwind information at the fault (a jump to a bad address, code
  // without tables): only the faulting instruction is known.
  frames[0] = {faultPc, faultFrame, true};
  return 1;
}

}  // namespace tarn::crash
