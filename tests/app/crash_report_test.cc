// The crash report, from a child program that crashes on purpose with the
// crash filter installed and a real log viewer running.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/crash_internal.h"
#include "app/log_client.h"
#include "log_viewer_test_support.h"
#include "platform/child_process.h"

namespace tarn {
namespace {

using test::LogLine;

struct HelperRun {
  int status = 0;
  std::string err;  // the helper's stderr
  std::vector<LogLine> lines;
};

HelperRun RunHelper(const std::string& how, const std::string& programFolder, const test::TempDir& home) {
  HelperRun run;
  const std::string errFile = home / "stderr.txt";
  platform::ChildProcess child;
  EXPECT_TRUE(child.Start("/bin/sh", {"-c", "exec \"$0\" run \"$1\" \"$2\" \"$3\" 2>\"$4\"", TARN_LOG_TEST_HELPER,
                                      how, programFolder, home.path(), errFile}));
  EXPECT_TRUE(child.WaitExit(60000));
  run.status = child.ExitStatus();
  run.err = test::ReadFile(errFile);
  run.lines = test::ReadLogLines(test::LogFileOf(home.path()));
  return run;
}

// Index of the first line at or after `from` whose text starts with `start`.
size_t Find(const std::vector<LogLine>& lines, const std::string& start, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i].text.rfind(start, 0) == 0) return i;
  return std::string::npos;
}

std::string Text(const std::vector<LogLine>& lines) {
  std::string all;
  for (const LogLine& l : lines) all += "[" + std::to_string(l.level) + "] " + l.text + "\n";
  return all;
}

TEST(CrashReport, ReportsEachFaultAndEndsWithoutSaving) {
  struct Case {
    const char* how;
    int signal;
    const char* exception;
    const char* function;
    bool reachesMain;  // a runaway recursion is deeper than the frames shown
  };
  const Case cases[] = {
      {"null-write", SIGSEGV, "Exception code: C0000005 ACCESS_VIOLATION", "CrashByNullWrite", true},
      {"divide-by-zero", SIGFPE, "Exception code: C0000094 INT_DIVIDE_BY_ZERO", "CrashByDivision", true},
      {"stack-overflow", SIGSEGV, "Exception code: C00000FD STACK_OVERFLOW", "CrashByRecursion", false},
      {"illegal-instruction", SIGILL, "Exception code: C000001D ILLEGAL_INSTRUCTION", "CrashByIllegalInstruction",
       true},
      {"breakpoint", SIGTRAP, "Exception code: 80000003 BREAKPOINT", "CrashByBreakpoint", true},
      {"bus-error", SIGBUS, "Exception code: 80000002 DATATYPE_MISALIGNMENT", "CrashByBusError", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    test::TempDir home;
    HelperRun run = RunHelper(c.how, test::ProgramDir(), home);
    ASSERT_TRUE(WIFSIGNALED(run.status)) << "status " << run.status << "\n" << run.err;
    EXPECT_EQ(WTERMSIG(run.status), c.signal);
    EXPECT_FALSE(std::filesystem::exists(home / "Settings.ini")) << "settings were saved after a crash";
    EXPECT_EQ(test::ListenerPid(home.path()), -1) << "the viewer still runs";

    const auto& lines = run.lines;
    SCOPED_TRACE(Text(lines));
    for (const LogLine& l : lines) ASSERT_NE(l.level, -1) << "unstamped line: " << l.text;
    // The report in its order, each part after the one before.
    size_t at = 0;
    for (const std::string part : {"helper is up", "Current Version: Tarn Orvane 1.0.0",
                                   "//=====================================================", c.exception,
                                   "Fault address:  ", "Registers:", "RAX:", "RBX:", "RCX:", "RDX:", "RSI:",
                                   "RDI:", "R8:", "R15:", "CS:RIP:", "SS:RSP:", "DS:", "Flags:", "Call stack:",
                                   "Address   Frame"}) {
      size_t found = Find(lines, part, at);
      ASSERT_NE(found, std::string::npos) << "missing or out of order: " << part;
      at = found + 1;
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().level, 2);
    EXPECT_EQ(lines.back().text, "Abort By Unknow Error");

    // The fault address is the instruction pointer, in the helper program;
    // the first frame is that instruction, in the crashing function.
    unsigned long faultAddress = 0, rip = 0, framePc = 0, frame = 0;
    unsigned cs = 0;
    const std::string& fault = lines[Find(lines, "Fault address:  ")].text;
    ASSERT_EQ(std::sscanf(fault.c_str(), "Fault address:  %lx", &faultAddress), 1);
    EXPECT_NE(fault.find("/log_test_helper"), std::string::npos) << fault;
    ASSERT_EQ(std::sscanf(lines[Find(lines, "CS:RIP:")].text.c_str(), "CS:RIP:%x:%lx", &cs, &rip), 2);
    EXPECT_EQ(faultAddress, rip);
    size_t first = Find(lines, "Address   Frame") + 1;
    ASSERT_LT(first, lines.size());
    ASSERT_EQ(std::sscanf(lines[first].text.c_str(), "%lx  %lx", &framePc, &frame), 2) << lines[first].text;
    EXPECT_EQ(framePc, rip);
    EXPECT_NE(lines[first].text.find(c.function), std::string::npos) << lines[first].text;
    EXPECT_EQ(lines[lines.size() - 2].text, "") << "the blank record after the stack";
    EXPECT_EQ(Text(lines).find("  main") != std::string::npos, c.reachesMain);  // main+ or main.cold+
    // The same report went to stderr.
    EXPECT_NE(run.err.find(c.exception), std::string::npos) << run.err;
  }
}

TEST(CrashReport, MissingLinkIniLeavesTheVersionEmptyAndSaysSo) {
  test::TempDir programs, home;
  std::filesystem::create_symlink(test::ProgramDir() + kLogViewerProgram, programs / kLogViewerProgram);
  HelperRun run = RunHelper("null-write", programs.path(), home);
  ASSERT_TRUE(WIFSIGNALED(run.status));
  EXPECT_NE(run.err.find("Cannot find ini file: " + programs.path() + "link.ini!\n"), std::string::npos) << run.err;
  size_t version = Find(run.lines, "Current Version:");
  ASSERT_NE(version, std::string::npos);
  EXPECT_EQ(run.lines[version].text, "Current Version: ");
}

TEST(CrashReport, NormalEndStopsTheViewerAndSaves) {
  test::TempDir home;
  HelperRun run = RunHelper("normal", test::ProgramDir(), home);
  ASSERT_TRUE(WIFEXITED(run.status));
  EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(home / "Settings.ini"));
  ASSERT_EQ(run.lines.size(), 2u) << Text(run.lines);
  EXPECT_EQ(run.lines[1].text, "Abort Normal");
}

TEST(CrashReport, SignalsMapToTheExceptionCodes) {
  struct Case {
    int signal;
    int code;
    uint32_t expected;
    const char* name;
  };
  const Case cases[] = {
      {SIGFPE, FPE_INTDIV, 0xC0000094, "INT_DIVIDE_BY_ZERO"},
      {SIGFPE, FPE_INTOVF, 0xC0000095, "INT_OVERFLOW"},
      {SIGFPE, FPE_FLTDIV, 0xC000008E, "FLT_DIVIDE_BY_ZERO"},
      {SIGFPE, FPE_FLTOVF, 0xC0000091, "FLT_OVERFLOW"},
      {SIGFPE, FPE_FLTUND, 0xC0000093, "FLT_UNDERFLOW"},
      {SIGFPE, FPE_FLTRES, 0xC000008F, "FLT_INEXACT_RESULT"},
      {SIGFPE, FPE_FLTINV, 0xC0000090, "FLT_INVALID_OPERATION"},
      {SIGFPE, FPE_FLTSUB, 0xC000008C, "ARRAY_BOUNDS_EXCEEDED"},
      {SIGILL, ILL_ILLOPC, 0xC000001D, "ILLEGAL_INSTRUCTION"},
      {SIGILL, ILL_PRVOPC, 0xC0000096, "PRIV_INSTRUCTION"},
      {SIGTRAP, TRAP_BRKPT, 0x80000003, "BREAKPOINT"},
      {SIGTRAP, TRAP_TRACE, 0x80000004, "SINGLE_STEP"},
      {SIGBUS, BUS_ADRALN, 0x80000002, "DATATYPE_MISALIGNMENT"},
      {SIGSEGV, SEGV_MAPERR, 0xC0000005, "ACCESS_VIOLATION"},
  };
  ucontext_t context{};
  context.uc_mcontext.gregs[REG_RSP] = 0x7ffc00100000;
  for (const Case& c : cases) {
    siginfo_t info{};
    info.si_code = c.code;
    info.si_addr = nullptr;
    crash::ExceptionInfo e = crash::DescribeSignal(c.signal, &info, &context);
    EXPECT_EQ(e.code, c.expected) << c.name;
    EXPECT_STREQ(e.name, c.name);
  }
}

}  // namespace
}  // namespace tarn
