// The lines of the crash report after the version line: exception, fault
// address, registers and call stack, each formatted into a buffer of 1,024
// characters and handed to the sink as one record. The 32-bit layout of the
// lines is kept with 64-bit widths and the x86-64 register names.
#include <cstdarg>
#include <cstdio>

#include "app/crash_internal.h"

namespace tarn::crash {
namespace {

constexpr size_t kLineSize = 1024;
constexpr size_t kMaxFrames = 64;

char g_line[kLineSize];
StackFrame g_frames[kMaxFrames];
CodeLocation g_where;

__attribute__((format(printf, 2, 3))) void Line(LineSink sink, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(g_line, kLineSize, format, args);
  va_end(args);
  if (n < 0) return;
  sink(g_line, static_cast<size_t>(n) < kLineSize ? static_cast<size_t>(n) : kLineSize - 1);
}

unsigned long Reg(const ucontext_t* c, int r) { return static_cast<unsigned long>(c->uc_mcontext.gregs[r]); }

unsigned Segment16(unsigned long packed, int index) { return static_cast<unsigned>((packed >> (16 * index)) & 0xFFFF); }

// DS, ES and SS do not change in 64-bit user mode, so the handler's values
// are the faulting thread's.
unsigned ReadDs() { unsigned short v; asm volatile("mov %%ds, %0" : "=r"(v)); return v; }
unsigned ReadEs() { unsigned short v; asm volatile("mov %%es, %0" : "=r"(v)); return v; }
unsigned ReadSs() { unsigned short v; asm volatile("mov %%ss, %0" : "=r"(v)); return v; }

void WriteRegisters(const ucontext_t* c, LineSink sink) {
  Line(sink, "\nRegisters:\n");
  Line(sink, "RAX:%016lX\nRBX:%016lX\nRCX:%016lX\nRDX:%016lX\nRSI:%016lX\nRDI:%016lX\n",
                  Reg(c, REG_RAX), Reg(c, REG_RBX), Reg(c, REG_RCX), Reg(c, REG_RDX), Reg(c, REG_RSI),
                  Reg(c, REG_RDI));
  Line(sink,
                  "R8:%016lX\nR9:%016lX\nR10:%016lX\nR11:%016lX\nR12:%016lX\nR13:%016lX\nR14:%016lX\nR15:%016lX\n",
                  Reg(c, REG_R8), Reg(c, REG_R9), Reg(c, REG_R10), Reg(c, REG_R11), Reg(c, REG_R12),
                  Reg(c, REG_R13), Reg(c, REG_R14), Reg(c, REG_R15));
  unsigned long segments = Reg(c, REG_CSGSFS);  // cs, gs, fs, (ss) in 16-bit fields
  Line(sink, "CS:RIP:%04X:%016lX\n", Segment16(segments, 0), Reg(c, REG_RIP));
  Line(sink, "SS:RSP:%04X:%016lX  RBP:%016lX\n", ReadSs(), Reg(c, REG_RSP), Reg(c, REG_RBP));
  Line(sink, "DS:%04X  ES:%04X  FS:%04X  GS:%04X\n", ReadDs(), ReadEs(), Segment16(segments, 2),
                  Segment16(segments, 1));
  Line(sink, "Flags:%08X\n", static_cast<unsigned>(Reg(c, REG_EFL)));
}

void WriteStack(const ucontext_t* c, LineSink sink) {
  Line(sink, "\nCall stack:\n");
  Line(sink, "Address   Frame\n");
  size_t n = CollectStack(Reg(c, REG_RIP), Reg(c, REG_RSP), g_frames, kMaxFrames);
  for (size_t i = 0; i < n; ++i) {
    const StackFrame& f = g_frames[i];
    if (f.frame == 0 || f.pc == 0) continue;  // the end marker beyond _start
    LocateAddress(f.pc, f.exactPc || f.pc == 0 ? f.pc : f.pc - 1, g_where);
    if (g_where.symbol[0])
      Line(sink, "%016lX  %016lX  %s+%lX\n", static_cast<unsigned long>(f.pc),
                      static_cast<unsigned long>(f.frame), g_where.symbol,
                      static_cast<unsigned long>(g_where.symbolOffset));
    else
      Line(sink, "%016lX  %016lX  %04X:%08lX %s\n", static_cast<unsigned long>(f.pc),
                      static_cast<unsigned long>(f.frame), g_where.section,
                      static_cast<unsigned long>(g_where.sectionOffset), g_where.module);
  }
  Line(sink, "\n");
}

}  // namespace

void WriteReport(int signal, const siginfo_t* info, const ucontext_t* c, LineSink sink) {
  ExceptionInfo e = DescribeSignal(signal, info, c);
  Line(sink, "//=====================================================\n");
  Line(sink, "Exception code: %08X %s\n", e.code, e.name);
  uintptr_t pc = Reg(c, REG_RIP);
  LocateAddress(pc, pc, g_where);
  Line(sink, "Fault address:  %016lX %02X:%08lX %s\n", static_cast<unsigned long>(pc), g_where.section,
                  static_cast<unsigned long>(g_where.sectionOffset), g_where.module);
  WriteRegisters(c, sink);
  WriteStack(c, sink);
}

}  // namespace tarn::crash
