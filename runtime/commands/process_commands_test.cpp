// The process and thread commands on real processes: zv_console.exe reports
// how it was started, zv_fixture.exe shows a window. Every process a script
// starts is ended by TestScript when the test ends, pass or fail, and each
// program also ends by itself after its --exit-after limit.
#include <gtest/gtest.h>
#include <windows.h>
// tlhelp32.h and winternl.h build on the declarations of windows.h.
#include <tlhelp32.h>
#include <winternl.h>

#include <string>
#include <vector>

#include "base/status.h"
#include "tests/fixtures/fixture_common.h"
#include "tests/fixtures/fixture_ids.h"
#include "tests/support/box_watcher.h"
#include "tests/support/input_process_test_scripts.h"
#include "tests/support/test_process.h"

namespace {

constexpr DWORD kWaitMs = 30000;
constexpr uint32_t kBadHandle = 0x7FFFFFF0;

HANDLE HandleOf(uint32_t value) {
  return reinterpret_cast<HANDLE>(uintptr_t(value));
}

// zv_console.exe copied to a folder and a file name with blanks, so that the
// quoting of the program path shows in the command line it receives.
class ConsoleWithBlanks {
 public:
  ConsoleWithBlanks() {
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    folder_ = std::wstring(temp) + L"zv input " + std::to_wstring(GetCurrentProcessId());
    program_ = folder_ + L"\\zv console.exe";
    CreateDirectoryW(folder_.c_str(), nullptr);
    CopyFileW(FixtureProgram(L"zv_console.exe").c_str(), program_.c_str(), FALSE);
  }
  ~ConsoleWithBlanks() {
    DeleteFileW(program_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }
  const std::wstring& Folder() const { return folder_; }
  const std::wstring& Program() const { return program_; }

 private:
  std::wstring folder_;
  std::wstring program_;
};

// An empty file of the given name in the temporary folder, deleted at the end.
class ScratchFile {
 public:
  explicit ScratchFile(const std::wstring& name)
      : name_(std::to_wstring(GetCurrentProcessId()) + L"-" + name) {
    wchar_t temp[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = temp + name_;
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    made_ = file != INVALID_HANDLE_VALUE;
    if (made_) CloseHandle(file);
  }
  ~ScratchFile() { DeleteFileW(path_.c_str()); }
  bool Made() const { return made_; }
  const std::wstring& Name() const { return name_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring name_;
  std::wstring path_;
  bool made_ = false;
};

bool WaitForProcessExit(HANDLE process) {
  return WaitForSingleObject(process, kWaitMs) == WAIT_OBJECT_0;
}

DWORD ProcessExitCode(HANDLE process) {
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return code;
}

// The limited rights that the system grants along with the full ones.
constexpr ACCESS_MASK kImpliedProcessRights = PROCESS_QUERY_LIMITED_INFORMATION | 0x2000;
constexpr ACCESS_MASK kImpliedThreadRights =
    THREAD_QUERY_LIMITED_INFORMATION | THREAD_SET_LIMITED_INFORMATION;

// The access rights a handle was opened with, without the `implied` ones.
ACCESS_MASK GrantedAccess(HANDLE handle, ACCESS_MASK implied) {
  typedef NTSTATUS(NTAPI * TQueryObject)(HANDLE, OBJECT_INFORMATION_CLASS, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<TQueryObject>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
  PUBLIC_OBJECT_BASIC_INFORMATION info = {};
  if (query == nullptr || query(handle, ObjectBasicInformation, &info, sizeof info, nullptr) != 0) {
    return 0;
  }
  return info.GrantedAccess & ~implied;
}

// The first thread of a process.
DWORD MainThreadOf(DWORD processId) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD thread = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more && thread == 0;
       more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == processId) thread = entry.th32ThreadID;
  }
  CloseHandle(snapshot);
  return thread;
}

TEST(ProcessStart, QuotesTheProgramAndPassesArgumentsAndFolder) {
  ConsoleWithBlanks console;
  TempFile out(L"zv-process-start");
  TestScript script(
      FillScript("GlobalsAlloc 4 .\n"
                 "ProcessStart {program} {args} {folder} 0 .\n"
                 "ProcessGetLast 0 1\n"
                 "ThreadGetLast 2 3\n",
                 {{"program", TextLiteral(console.Program())},
                  {"args", TextLiteral(L"--out " + QuoteArgument(out.Path()) + L" --exit 3")},
                  {"folder", TextLiteral(console.Folder())}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  const TProcessInfo& last = script.Context().LastStartedProcess;
  EXPECT_EQ(script.DWord(0), uint32_t(uintptr_t(last.hProcess)));
  EXPECT_EQ(script.DWord(1), last.dwProcessId);
  EXPECT_EQ(script.DWord(2), uint32_t(uintptr_t(last.hThread)));
  EXPECT_EQ(script.DWord(3), last.dwThreadId);
  EXPECT_EQ(GetProcessIdOfThread(last.hThread), last.dwProcessId);
  ASSERT_TRUE(WaitForProcessExit(last.hProcess));
  EXPECT_EQ(ProcessExitCode(last.hProcess), 3u);
  const std::vector<std::string> lines = ReadLines(out.Path());
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "pid id=" + std::to_string(last.dwProcessId));
  EXPECT_EQ(lines[1], "cmdline text=\"" + ToUtf8(console.Program()) + "\" --out " +
                          ToUtf8(QuoteArgument(out.Path())) + " --exit 3");
  EXPECT_EQ(lines[2], "cwd text=" + ToUtf8(console.Folder()));
}

// The top-level window of class `className` that process `processId` shows.
HWND WaitForWindowOf(const wchar_t* className, DWORD processId) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w = FindWindowW(className, nullptr); w != nullptr && found == nullptr;
             w = FindWindowExW(nullptr, w, className, nullptr)) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner == processId) found = w;
        }
        return found != nullptr;
      },
      kWaitMs);
  return found;
}

std::wstring Notepad() {
  wchar_t folder[MAX_PATH + 1] = L"";
  GetSystemDirectoryW(folder, MAX_PATH + 1);
  return std::wstring(folder) + L"\\notepad.exe";
}

TEST(ProcessStart, StartsTheFixtureWindow) {
  TempFile log(L"zv-process-fixture");
  TestScript script(
      FillScript("ProcessStart {program} {args} .\n",
                 {{"program", FixtureLiteral()},
                  {"args", TextLiteral(L"--title \"Zorvat Process Start\" --log " +
                                       QuoteArgument(log.Path()) + L" --exit-after 30000")}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  HWND window = WaitForWindowOf(kFixtureClass, script.Context().LastStartedProcess.dwProcessId);
  ASSERT_NE(window, nullptr);
  wchar_t title[64] = L"";
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"Zorvat Process Start");
}

// A program that shows its window as it was told to (as notepad does) takes
// the show mode given.
TEST(ProcessStart, PassesTheShowMode) {
  TestScript script(FillScript("ProcessStart {program} $ $ 7 .  ; SW_SHOWMINNOACTIVE\n",
                               {{"program", TextLiteral(Notepad())}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  HWND window = WaitForWindowOf(L"Notepad", script.Context().LastStartedProcess.dwProcessId);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return IsIconic(window) != FALSE; }, kWaitMs));
}

TEST(ProcessStart, FailureLeavesTheLastStartedProcessAlone) {
  TestScript script(
      "SettingSet 3 3  ; go on after errors\n"
      "GlobalsAlloc 4 .\n"
      "ProcessStart \"C:\\no such folder\\no such program.exe\" .\n"
      "SettingGet 0 0\n"
      "SettingGet 2 1\n"
      "ProcessGetLast 2 3\n");
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(0), kStatusStartFailed);
  EXPECT_NE(script.DWord(1), 0u);
  EXPECT_EQ(script.DWord(2), 0u);
  EXPECT_EQ(script.DWord(3), 0u);
}

// A suspended start runs only once its thread is resumed; the suspend count
// goes up and down with each call.
TEST(ThreadSuspend, SuspendedStartRunsOnceResumed) {
  TempFile out(L"zv-process-suspended");
  TestScript script(
      FillScript("GlobalsAlloc 6 .\n"
                 "ProcessStart {program} {args} $ $ 4  ; CREATE_SUSPENDED\n"
                 "ThreadSuspend $ 0\n"
                 "ThreadSuspend .\n"
                 "ThreadResume $ 1\n"
                 "ThreadResume $ 2\n"
                 "ThreadResume $ 3\n"
                 "ProcessGetLast $ 4\n",
                 {{"program", ConsoleLiteral()},
                  {"args", TextLiteral(L"--out " + QuoteArgument(out.Path()) + L" --exit 5")}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(0), 1u);
  EXPECT_EQ(script.DWord(1), 3u);
  EXPECT_EQ(script.DWord(2), 2u);
  EXPECT_EQ(script.DWord(3), 1u);
  HANDLE process = script.Context().LastStartedProcess.hProcess;
  ASSERT_TRUE(WaitForProcessExit(process));
  EXPECT_EQ(ProcessExitCode(process), 5u);
  EXPECT_TRUE(WaitForLine(out.Path(), "pid id=" + std::to_string(script.DWord(4)), 0));

  TestScript bad(FillScript("GlobalsAlloc 1 .\nSetDWORD 0 {bad}\nThreadResume 0 .\n",
                            {{"bad", Decimal(kBadHandle)}}));
  EXPECT_EQ(bad.Run(), kStatusSuspendResumeFailed);
}

TEST(Priority, RoundTripsByHandleAndById) {
  TestScript script(FillScript(
      "GlobalsAlloc 16 .\n"
      "ProcessStart {program} \"--sleep 30000 --exit-after 30000\" .\n"
      "ProcessGetLast 0 1\n"
      "ThreadGetLast 2 3\n"
      "ProcessGetPriority 0 4\n"
      "ProcessSetPriority 0 1        ; index 1: below normal\n"
      "ProcessGetPriority 0 5\n"
      "ProcessSetPriorityById 1 4    ; index 4: high\n"
      "ProcessGetPriority 0 6\n"
      "ProcessSetPriorityById $ 0x8000  ; a class value itself, the last started process\n"
      "ProcessGetPriority 0 7\n"
      "ProcessSetPriority .          ; normal, the last started process\n"
      "ProcessGetPriority 0 8\n"
      "ThreadGetPriority 2 9\n"
      "ThreadSetPriority 2 2\n"
      "ThreadGetPriority 2 10\n"
      "ThreadSetPriorityById 3 -1\n"
      "ThreadGetPriority 2 11\n"
      "ThreadSetPriorityById $ 1     ; the last started thread\n"
      "ThreadGetPriority 2 12\n",
      {{"program", ConsoleLiteral()}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(4), DWORD(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(script.DWord(5), DWORD(BELOW_NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(script.DWord(6), DWORD(HIGH_PRIORITY_CLASS));
  EXPECT_EQ(script.DWord(7), DWORD(ABOVE_NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(script.DWord(8), DWORD(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(script.DWord(9), 0u);
  EXPECT_EQ(script.DWord(10), 2u);
  EXPECT_EQ(script.DWord(11), 0xFFFFFFFFu);
  EXPECT_EQ(script.DWord(12), 1u);
}

TEST(Priority, FailuresHaveTheirOwnCodes) {
  TestScript script(
      FillScript("SettingSet 3 3\n"
                 "GlobalsAlloc 8 .\n"
                 "SetDWORD 0 {bad}\n"
                 "ProcessSetPriority 0 2\n"
                 "SettingGet 0 1\n"
                 "ThreadSetPriority 0 0\n"
                 "SettingGet 0 2\n"
                 "ProcessGetPriority 0 7\n"
                 "SettingGet 0 3\n"
                 "ThreadGetPriority 0 7\n"
                 "SettingGet 0 4\n"
                 "ProcessSetPriorityById 0 2    ; no process has this id\n"
                 "SettingGet 0 5\n"
                 "ThreadSetPriorityById 0 0\n"
                 "SettingGet 0 6\n",
                 {{"bad", Decimal(kBadHandle)}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(1), kStatusPriorityClassFailed);
  EXPECT_EQ(script.DWord(2), kStatusThreadPriorityFailed);
  EXPECT_EQ(script.DWord(3), kStatusPriorityGetFailed);
  EXPECT_EQ(script.DWord(4), kStatusPriorityGetFailed);
  EXPECT_EQ(script.DWord(5), kStatusPriorityClassFailed);
  EXPECT_EQ(script.DWord(6), kStatusThreadPriorityFailed);
  EXPECT_EQ(script.Kind(7), vtUninitialized);
}

TEST(ProcessIsRunning, ChangesWhenTheProcessIsTerminated) {
  TestScript start(
      FillScript("GlobalsAlloc 4 .\n"
                 "ProcessStart {program} \"--sleep 30000 --exit-after 30000\" .\n"
                 "ProcessGetLast 0 .\n"
                 "ProcessIsRunning 0 1\n"
                 "ThreadGetLast 2 .\n"
                 "ThreadIsRunning 2 3\n"
                 "ProcessTerminate .  ; the last started process, exit code 0\n",
                 {{"program", ConsoleLiteral()}}));
  ASSERT_EQ(start.Run(), kRanToEnd);
  EXPECT_EQ(start.DWord(1), 1u);
  EXPECT_EQ(start.DWord(3), 1u);
  HANDLE process = start.Context().LastStartedProcess.hProcess;
  ASSERT_TRUE(WaitForProcessExit(process));
  EXPECT_EQ(ProcessExitCode(process), 0u);

  // The handles stay valid after the run: the runtime never closes them.
  TestScript after(
      FillScript("GlobalsAlloc 8 .\n"
                 "SetDWORD 0 {process}\n"
                 "SetDWORD 2 {thread}\n"
                 "SetDWORD 4 {bad}\n"
                 "ProcessIsRunning 0 1\n"
                 "ThreadIsRunning 2 3\n"
                 "ProcessIsRunning 4 5\n"
                 "SetDWORD 6 0\n"
                 "ProcessIsRunning 6 7\n",
                 {{"process", Decimal(start.DWord(0))},
                  {"thread", Decimal(start.DWord(2))},
                  {"bad", Decimal(kBadHandle)}}));
  ASSERT_EQ(after.Run(), kRanToEnd);
  EXPECT_EQ(after.DWord(1), 0u);
  EXPECT_EQ(after.DWord(3), 0u);
  EXPECT_EQ(after.DWord(5), 0u);
  EXPECT_EQ(after.DWord(7), 0u);
}

TEST(ProcessTerminate, EndsWithTheGivenCodeAndReportsFailure) {
  TestScript script(
      FillScript("SettingSet 3 3\n"
                 "GlobalsAlloc 4 .\n"
                 "ProcessStart {program} \"--sleep 30000 --exit-after 30000\" .\n"
                 "ProcessGetLast 0 .\n"
                 "ProcessTerminate 0 7\n"
                 "SetDWORD 1 {bad}\n"
                 "ProcessTerminate 1 .\n"
                 "SettingGet 0 2\n",
                 {{"program", ConsoleLiteral()}, {"bad", Decimal(kBadHandle)}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(2), kStatusTerminateFailed);
  HANDLE process = script.Context().LastStartedProcess.hProcess;
  ASSERT_TRUE(WaitForProcessExit(process));
  EXPECT_EQ(ProcessExitCode(process), 7u);
}

// Terminating the only thread of a suspended process ends the thread with
// the code given.
TEST(ThreadTerminate, EndsTheLastStartedThread) {
  TestScript script(
      FillScript("ProcessStart {program} \"--exit-after 30000\" $ $ 4\n"
                 "ThreadTerminate $ 9\n",
                 {{"program", ConsoleLiteral()}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  HANDLE thread = script.Context().LastStartedProcess.hThread;
  ASSERT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 9u);
}

TEST(ProcessHandles, VariablesOfOtherKindsAndMissingVariablesFail) {
  TestScript block("GlobalsAlloc 2 .\nSetBlock 0 !00!\nProcessIsRunning 0 1\n");
  EXPECT_EQ(block.Run(), kStatusBadVarKindForNumber);
  EXPECT_EQ(block.Kind(1), vtUninitialized);
  TestScript missing("GlobalsAlloc 2 .\nProcessTerminate 99 .\n");
  EXPECT_EQ(missing.Run(), kStatusNoSuchVariable);
  TestScript notANumber("ThreadSuspend 1.5 .\n");
  EXPECT_EQ(notANumber.Run(), kStatusBadParam);
}

// Opening by id records the handle and the id as the last started process
// or thread, with the default access rights unless others are given.
TEST(ProcessOpen, OpensByIdWithTheDefaultAccessRights) {
  TestProcess console;
  ASSERT_TRUE(console.Start(FixtureProgram(L"zv_console.exe"),
                            {L"--sleep", L"30000", L"--exit-after", L"30000"}));
  const DWORD thread = MainThreadOf(console.Id());
  ASSERT_NE(thread, 0u);
  TestScript script(FillScript("GlobalsAlloc 12 .\n"
                               "SetDWORD 0 {pid}\n"
                               "ProcessOpen 0 1 .\n"
                               "ProcessGetLast 2 3\n"
                               "SetDWORD 4 {tid}\n"
                               "ThreadOpen 4 5 .\n"
                               "ThreadGetLast 6 7\n"
                               "ProcessOpen 0 8 0x400\n"
                               "ThreadOpen 4 9 0x40\n",
                               {{"pid", Decimal(console.Id())}, {"tid", Decimal(thread)}}),
                    {1, 8});
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(1), script.DWord(2));
  EXPECT_EQ(script.DWord(3), console.Id());
  EXPECT_EQ(script.DWord(5), script.DWord(6));
  EXPECT_EQ(script.DWord(7), thread);
  EXPECT_EQ(GrantedAccess(HandleOf(script.DWord(1)), kImpliedProcessRights), 0x639u);
  EXPECT_EQ(GrantedAccess(HandleOf(script.DWord(5)), kImpliedThreadRights), 0x63u);
  EXPECT_EQ(GrantedAccess(HandleOf(script.DWord(8)), kImpliedProcessRights),
            ACCESS_MASK(PROCESS_QUERY_INFORMATION));
  EXPECT_EQ(GrantedAccess(HandleOf(script.DWord(9)), kImpliedThreadRights),
            ACCESS_MASK(THREAD_QUERY_INFORMATION));
  CloseHandle(HandleOf(script.DWord(5)));  // the one thread handle no longer recorded
}

// A failed open, or one whose result has nowhere to go, opens nothing and
// leaves the last started process and thread as they were.
TEST(ProcessOpen, FailuresLeaveTheLastStartedRecordAlone) {
  TestScript script(
      FillScript("SettingSet 3 3\n"
                 "GlobalsAlloc 8 .\n"
                 "SetDWORD 0 0xFFFFFFF0  ; no such id\n"
                 "ProcessOpen 0 1 .\n"
                 "SettingGet 0 2\n"
                 "ThreadOpen 0 1 .\n"
                 "SettingGet 0 3\n"
                 "SetDWORD 4 {pid}\n"
                 "ProcessOpen 4 99 .\n"
                 "SettingGet 0 5\n"
                 "ProcessGetLast 6 7\n",
                 {{"pid", Decimal(GetCurrentProcessId())}}));
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(2), kStatusProcessOpenFailed);
  EXPECT_EQ(script.DWord(3), kStatusThreadOpenFailed);
  EXPECT_EQ(script.Kind(1), vtUninitialized);
  EXPECT_EQ(script.DWord(5), kStatusNoSuchVariable);
  EXPECT_EQ(script.DWord(6), 0u);
  EXPECT_EQ(script.DWord(7), 0u);
}

// Without parameters ShellOpen passes the quoted file name, which an
// association ignores: a settings file opens in notepad (the association
// every Wine prefix has).
TEST(ShellOpen, OpensADocumentByAssociationAndAProgramWithParameters) {
  TempFile out(L"zv-shell-open");
  TestScript program(
      FillScript("ShellOpen {program} {params} .\n",
                 {{"program", ConsoleLiteral()},
                  {"params", TextLiteral(L"--out " + QuoteArgument(out.Path()) + L" --exit 4")}}));
  ASSERT_EQ(program.Run(), kRanToEnd);
  HANDLE process = program.Context().LastStartedProcess.hProcess;
  ASSERT_NE(process, nullptr);
  ASSERT_TRUE(WaitForProcessExit(process));
  EXPECT_EQ(ProcessExitCode(process), 4u);
  EXPECT_TRUE(WaitForLine(out.Path(), "arg index=3 text=--exit", 0));

  const ScratchFile document(L"zv-shell-open.ini");
  ASSERT_TRUE(document.Made());
  TestScript open(
      FillScript("ShellOpen {document} .\n", {{"document", TextLiteral(document.Path())}}));
  EXPECT_EQ(open.Run(), kRanToEnd);
  HWND notepad =
      WaitForWindowOf(L"Notepad", GetProcessId(open.Context().LastStartedProcess.hProcess));
  ASSERT_NE(notepad, nullptr);
  wchar_t title[512] = L"";
  EXPECT_TRUE(WaitUntil(
      [&] {
        GetWindowTextW(notepad, title, 512);
        return std::wstring(title).find(document.Name()) != std::wstring::npos;
      },
      kWaitMs))
      << ToUtf8(title);
}

// (Wine's shell leaves the last error at 0 here, so that is not checked.)
TEST(ShellOpen, FailureIsReported) {
  // The shell may explain the failure in a box of its own.
  BoxWatcher watcher(IDOK);
  TestScript script(
      "SettingSet 3 3\n"
      "GlobalsAlloc 1 .\n"
      "ShellOpen \"C:\\no such folder\\no such file.zvtest\" .\n"
      "SettingGet 0 0\n");
  ASSERT_EQ(script.Run(), kRanToEnd);
  EXPECT_EQ(script.DWord(0), kStatusStartFailed);
  EXPECT_EQ(script.Context().LastStartedProcess.hProcess, nullptr);
}

}  // namespace
