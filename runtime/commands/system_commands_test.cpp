// The session, power and clock commands with the system actions recorded
// instead of made (nothing here ends the session, suspends, locks, switches
// the monitor or sets the clock of the machine), and the system-information
// commands for real. The privilege and clock-restore records are
// process-wide, so each story that depends on them is told in one test.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/platform.h"
#include "base/status.h"
#include "runtime/core/clock_restore.h"
#include "runtime/core/library_list.h"
#include "runtime/core/runtime_api.h"
#include "tests/support/system_action_recorder.h"
#include "tests/support/test_script_support.h"

namespace {

typedef std::vector<std::string> Lines;

// Runs one script; `*lastError` receives LastWindowsError afterwards.
TStatus RunScript(const std::string& source, uint32_t* lastError = nullptr) {
  CompiledScript script("GlobalsAlloc 8 .\n" + source);
  const TStatus status = script.Run();
  if (lastError != nullptr) *lastError = script.Context().LastWindowsError;
  return status;
}

// The calls recorded since the last look.
Lines Take(SystemActionRecorder& recorder) {
  Lines calls;
  calls.swap(recorder.Calls);
  return calls;
}

std::string FileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH];
  return std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
}

std::wstring ShippedRuntimePath() {
  std::wstring path = L"Z:";
  for (char c : std::string(ZORVAT_COMMAND_LIST_DIR)) path += c == '/' ? L'\\' : wchar_t(c);
  return path + L"\\Zorvat.dll";
}

class SystemCommands : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(UseShippedCommandList()); }
};

// The real calls live in one object file that only the shipped programs
// link; it names ExitWindowsEx, SetSuspendState, LockWorkStation and
// SetLocalTime (and SetSystemTime, which the thread library imports too, for
// a clock function we never call). None of the four names is in this
// program, so that object is not in it, and neither is its monitor broadcast
// or its SetSystemTime call. The shipped runtime shows the scan finds them.
TEST_F(SystemCommands, ATestProgramCannotReachTheRealCalls) {
  const std::string own = FileBytes(OwnPath());
  const std::string shipped = FileBytes(ShippedRuntimePath());
  ASSERT_FALSE(own.empty());
  ASSERT_FALSE(shipped.empty());
  for (const char* pieces :
       {"Exit|Windows|Ex", "Set|Suspend|State", "Lock|Work|Station", "Set|Local|Time"}) {
    const std::string name = JoinedName(pieces);
    EXPECT_EQ(own.find(name), std::string::npos) << name;
    EXPECT_NE(shipped.find(name), std::string::npos) << name;
  }

  // Without a recorder the commands meet the inert table: they fail (the
  // monitor commands have nothing to fail), and the trapped clock imports
  // are never called.
  TrapClockImports();
  EXPECT_EQ(RunScript("SessionPowerOff\nExit 0\n"), kStatusShutdownFailed);
  EXPECT_EQ(RunScript("SystemSuspend\nExit 0\n"), kStatusSystemFunctionMissing);
  EXPECT_EQ(RunScript("SessionLock\nExit 0\n"), kStatusSystemFunctionMissing);
  EXPECT_EQ(RunScript("MonitorOff\nExit 0\n"), kStatusOk);
  EXPECT_EQ(RunScript("TimeSetSystem 126256467060070000\n"), kStatusClockSetFailed);
  // The failed change left its record; the exit command cannot restore the
  // clock either, and keeps the record for a later try.
  EXPECT_EQ(RunScript("Exit 0\n"), kStatusOk);
  EXPECT_EQ(TrappedClockCalls(), 0u);
  SystemActionRecorder recorder;
  EXPECT_TRUE(RestoreSystemTime());
  EXPECT_EQ(recorder.ClockTimes.size(), 1u);
}

// A refused privilege is asked for again by the next shutdown-type command;
// once obtained it is not asked for again. The last error is recorded on
// every path.
TEST_F(SystemCommands, ShutdownFamilyAsksForThePrivilegeUntilItHasIt) {
  SystemActionRecorder recorder;
  recorder.GrantPrivilege = false;
  recorder.LastError = ERROR_ACCESS_DENIED;
  uint32_t lastError = 0;
  EXPECT_EQ(RunScript("SessionPowerOff\nExit 0\n", &lastError), kStatusShutdownFailed);
  EXPECT_EQ(lastError, uint32_t(ERROR_ACCESS_DENIED));
  EXPECT_EQ(Take(recorder), Lines{"privilege SeShutdownPrivilege"});
  EXPECT_EQ(RunScript("SessionLogOff\nExit 0\n"), kStatusShutdownFailed);
  EXPECT_EQ(Take(recorder), Lines{"privilege SeShutdownPrivilege"});

  recorder.GrantPrivilege = true;
  recorder.EndSessionSucceeds = false;
  recorder.LastError = ERROR_NOT_READY;
  EXPECT_EQ(RunScript("SessionReboot\nExit 0\n", &lastError), kStatusShutdownFailed);
  EXPECT_EQ(lastError, uint32_t(ERROR_NOT_READY));
  EXPECT_EQ(Take(recorder), (Lines{"privilege SeShutdownPrivilege", "end session 18 0x40001"}));

  recorder.EndSessionSucceeds = true;
  recorder.LastError = 0;
  EXPECT_EQ(RunScript("SessionPowerOff\nSessionLogOff\nSessionReboot\nExit 0\n"), kStatusOk);
  EXPECT_EQ(Take(recorder),
            (Lines{"end session 24 0x40001", "end session 16 0x40001", "end session 18 0x40001"}));
}

// The power library is loaded through the library list, where DllFreeAll
// can release it; the next suspend loads it again.
TEST_F(SystemCommands, SuspendAndHibernateUseThePowerLibrary) {
  SystemActionRecorder recorder;
  EXPECT_EQ(RunScript("SystemHibernate\nExit 0\n"), kStatusOk);
  EXPECT_EQ(Take(recorder), Lines{"suspend hibernate=1 force=0 wake-off=0"});
  const TLibHandle loaded = LibList_Find(u"PowrProf");
  ASSERT_NE(loaded, kLibNotFound);
  EXPECT_EQ(recorder.PowerLibrary, loaded);
  bool isSystemEntry = true;
  for (uint32_t i = 0; i < LibList_Count(); ++i) {
    TLoadedLibraryInfo info;
    if (LibList_Entry(i, &info) && info.LibHandle == loaded) isSystemEntry = info.SystemLibrary;
  }
  EXPECT_FALSE(isSystemEntry);

  recorder.SuspendResult = kActionFailed;
  recorder.LastError = ERROR_NOT_SUPPORTED;
  uint32_t lastError = 0;
  EXPECT_EQ(RunScript("DllFreeAll\nSystemSuspend\nExit 0\n", &lastError), kStatusSuspendFailed);
  EXPECT_EQ(lastError, uint32_t(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(Take(recorder), Lines{"suspend hibernate=0 force=0 wake-off=0"});
  EXPECT_NE(LibList_Find(u"PowrProf"), kLibNotFound);
  EXPECT_NE(recorder.PowerLibrary, 0u);

  recorder.SuspendResult = kActionMissing;
  EXPECT_EQ(RunScript("SystemHibernate\nExit 0\n"), kStatusSystemFunctionMissing);
}

TEST_F(SystemCommands, LockAndMonitorPower) {
  SystemActionRecorder recorder;
  EXPECT_EQ(RunScript("SessionLock\nExit 0\n"), kStatusOk);
  recorder.LockResult = kActionFailed;
  recorder.LastError = ERROR_ACCESS_DENIED;
  uint32_t lastError = 0;
  EXPECT_EQ(RunScript("SessionLock\nExit 0\n", &lastError), kStatusLockFailed);
  EXPECT_EQ(lastError, uint32_t(ERROR_ACCESS_DENIED));
  recorder.LockResult = kActionMissing;
  EXPECT_EQ(RunScript("SessionLock\nExit 0\n"), kStatusSystemFunctionMissing);
  EXPECT_EQ(RunScript("MonitorOff\nMonitorLowPower\nMonitorOn\nExit 0\n"), kStatusOk);
  EXPECT_EQ(Take(recorder),
            (Lines{"lock", "lock", "lock", "monitor 2", "monitor 1", "monitor -1"}));
}

// Setting the clock keeps the true time of the first change; restoring sets
// the clock to that time plus the ticks elapsed, once. The exit command
// restores too, and so does unloading when setting 8 says so.
TEST_F(SystemCommands, ClockChangesAreRecordedAndRestored) {
  SystemActionRecorder recorder;
  EXPECT_EQ(RunScript("TimeRestore\nExit 0\n"), kStatusOk);  // nothing was changed
  EXPECT_TRUE(Take(recorder).empty());

  const uint64_t before = PlatformSystemTimeNow();
  EXPECT_EQ(RunScript("TimeSetSystem 126256467060070000\nTimeSetSystem #5.6.2010,7:08:09.010\n"),
            kRanToEnd);
  EXPECT_EQ(Take(recorder),
            (Lines{"privilege SeSystemtimePrivilege", "utc clock 2001-02-03 04:05:06.007",
                   "utc clock 2010-06-05 07:08:09.010"}));
  EXPECT_EQ(RunScript("TimeRestore\nTimeRestore\n"), kRanToEnd);
  ASSERT_EQ(recorder.Calls.size(), 1u);  // the second restore had nothing to do
  EXPECT_EQ(recorder.Calls[0].substr(0, 10), "utc clock ");
  // The machine's clock never moved, so the restored time is the clock's.
  const uint64_t restored = recorder.ClockTimes.back();
  EXPECT_GE(restored + 20000000, before);
  EXPECT_LE(restored, PlatformSystemTimeNow() + 20000000);
  Take(recorder);

  // A refused change still leaves the record; exit puts the clock back.
  recorder.ClockSucceeds = false;
  recorder.LastError = ERROR_PRIVILEGE_NOT_HELD;
  uint32_t lastError = 0;
  EXPECT_EQ(RunScript("TimeSetLocal 126256467060070000\n", &lastError), kStatusClockSetFailed);
  EXPECT_EQ(lastError, uint32_t(ERROR_PRIVILEGE_NOT_HELD));
  EXPECT_EQ(Take(recorder), Lines{"local clock 2001-02-03 04:05:06.007"});
  // A restore that fails keeps the record for the next try.
  EXPECT_EQ(RunScript("TimeRestore\n"), kStatusClockSetFailed);
  recorder.ClockSucceeds = true;
  EXPECT_EQ(RunScript("Exit 0\n"), kStatusOk);
  EXPECT_EQ(Take(recorder).size(), 2u);
  EXPECT_EQ(RunScript("Exit 0\n"), kStatusOk);
  EXPECT_TRUE(Take(recorder).empty());

  // Unloading restores only with setting 8 on.
  EXPECT_EQ(RunScript("TimeSetSystem 126256467060070000\n"), kRanToEnd);
  OnRuntimeUnload();
  EXPECT_EQ(Take(recorder).size(), 1u);  // the change alone
  EXPECT_EQ(RunScript("SettingSet 8 1\n"), kRanToEnd);
  OnRuntimeUnload();
  SetAutoRestoreOnUnload(0);
  EXPECT_EQ(Take(recorder).size(), 1u);  // the restore
  EXPECT_TRUE(RestoreSystemTime());
  EXPECT_TRUE(Take(recorder).empty());

  // A stamp that names no time sets nothing; a missing one is no stamp.
  EXPECT_EQ(RunScript("SetInt 0 -1\nTimeSetSystem @0\n"), kStatusClockSetFailed);
  EXPECT_EQ(RunScript("SetFloat 0 1.5\nTimeSetSystem @0\n"), kStatusBadParam);
  EXPECT_TRUE(Take(recorder).empty());
  EXPECT_TRUE(RestoreSystemTime());
  EXPECT_EQ(TrappedClockCalls(), 0u);
}

TEST_F(SystemCommands, SystemInformation) {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)));
  CompiledScript all("GlobalsAlloc 8 .\nSystemGetVersion 0 1 2 3 4\n");
  ASSERT_EQ(all.Run(), kRanToEnd);
  EXPECT_EQ(all.DWord(0), version.wProductType);
  EXPECT_EQ(all.DWord(1), version.dwMajorVersion);
  EXPECT_EQ(all.DWord(2), version.dwMinorVersion);
  EXPECT_EQ(all.DWord(3), version.dwBuildNumber);
  EXPECT_EQ(all.Text(4), std::u16string(reinterpret_cast<const char16_t*>(version.szCSDVersion)));

  // The default marker skips one output, the end marker ends them; a store
  // that fails stops the rest.
  CompiledScript some(
      "GlobalsAlloc 8 .\nSystemGetVersion $ 1 .\nSystemGetVersion .\n"
      "SystemGetVersion 2 40 3 . \n");
  EXPECT_EQ(some.Run(), kStatusNoSuchVariable);
  EXPECT_EQ(some.Kind(0), vtUninitialized);
  EXPECT_EQ(some.DWord(1), version.dwMajorVersion);
  EXPECT_EQ(some.DWord(2), version.wProductType);
  EXPECT_EQ(some.Kind(3), vtUninitialized);

  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  BOOL saverActive = FALSE, saverRunning = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &saverActive, 0);
  SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &saverRunning, 0);
  CompiledScript facts(
      "GlobalsAlloc 8 .\nSystemIs64Bit 0\nScreenSaverIsEnabled 1\n"
      "ScreenSaverIsRunning 2\n");
  ASSERT_EQ(facts.Run(), kRanToEnd);
  EXPECT_EQ(facts.DWord(0), wow64 ? 1u : 0u);  // a 32-bit process on a 64-bit system
  EXPECT_EQ(facts.DWord(1), saverActive ? 1u : 0u);
  EXPECT_EQ(facts.DWord(2), saverRunning ? 1u : 0u);
  EXPECT_EQ(RunScript("SetFloat 0 1.5\nSystemIs64Bit @0\n"), kStatusBadParam);
}

}  // namespace
