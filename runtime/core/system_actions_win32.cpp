// The real calls behind the system-actions table: they end the session,
// suspend, lock, switch the monitor and set the clock of the machine for
// real. Only the shipped programs link this file (and install it at start);
// the tests use a recorder instead.
#include <windows.h>

#include "runtime/core/library_list.h"
#include "runtime/core/system_actions.h"

namespace {

typedef BOOL(WINAPI* TOpenProcessToken)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* TLookupPrivilegeValueA)(LPCSTR, LPCSTR, PLUID);
typedef BOOL(WINAPI* TAdjustTokenPrivileges)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD,
                                             PTOKEN_PRIVILEGES, PDWORD);
typedef BOOLEAN(WINAPI* TSetSuspendState)(BOOLEAN, BOOLEAN, BOOLEAN);
typedef BOOL(WINAPI* TLockWorkStation)();

// The token functions, resolved from advapi32 on first use; advapi32 is a
// system entry of the library list, so the addresses stay valid.
struct TTokenFunctions {
  TOpenProcessToken OpenToken = nullptr;
  TLookupPrivilegeValueA Lookup = nullptr;
  TAdjustTokenPrivileges Adjust = nullptr;
};

const TTokenFunctions& TokenFunctions() {
  static const TTokenFunctions functions = [] {
    TTokenFunctions f;
    HMODULE advapi = reinterpret_cast<HMODULE>(LibList_Advapi32());
    if (advapi == nullptr) return f;
    f.OpenToken = reinterpret_cast<TOpenProcessToken>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "OpenProcessToken")));
    f.Lookup = reinterpret_cast<TLookupPrivilegeValueA>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "LookupPrivilegeValueA")));
    f.Adjust = reinterpret_cast<TAdjustTokenPrivileges>(
        reinterpret_cast<void*>(GetProcAddress(advapi, "AdjustTokenPrivileges")));
    return f;
  }();
  return functions;
}

// AdjustTokenPrivileges succeeds even when the token does not hold the
// privilege at all; it then says so through the last error, and the
// privilege counts as not obtained, so that the next command asks again.
bool EnablePrivilege(const char* name) {
  const TTokenFunctions& f = TokenFunctions();
  if (f.OpenToken == nullptr || f.Lookup == nullptr || f.Adjust == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  HANDLE token = nullptr;
  if (!f.OpenToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = f.Lookup(nullptr, name, &privileges.Privileges[0].Luid) &&
                 f.Adjust(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() != ERROR_NOT_ALL_ASSIGNED;
  const DWORD error = GetLastError();
  CloseHandle(token);
  SetLastError(error);
  return enabled;
}

bool EndSession(uint32_t flags, uint32_t reason) {
  return ExitWindowsEx(flags, reason) != 0;
}

// The power library may have been released (and loaded again) since the
// last call, so its suspend function is looked up on every call.
TActionResult Suspend(uintptr_t powerLibrary, bool hibernate, bool force, bool wakeEventsDisabled) {
  if (powerLibrary == 0) return kActionMissing;
  TSetSuspendState suspend = reinterpret_cast<TSetSuspendState>(reinterpret_cast<void*>(
      GetProcAddress(reinterpret_cast<HMODULE>(powerLibrary), "SetSuspendState")));
  if (suspend == nullptr) return kActionMissing;
  return suspend(hibernate, force, wakeEventsDisabled) ? kActionDone : kActionFailed;
}

// user32 stays loaded for the life of the runtime, so its address is kept.
TActionResult LockSession() {
  static const TLockWorkStation lock = reinterpret_cast<TLockWorkStation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), "LockWorkStation")));
  if (lock == nullptr) return kActionMissing;
  return lock() ? kActionDone : kActionFailed;
}

void PostMonitorPower(int32_t state) {
  PostMessageA(HWND_BROADCAST, WM_SYSCOMMAND, SC_MONITORPOWER, LPARAM(state));
}

SYSTEMTIME ToSystemTime(const TCalendarTime& t) {
  return SYSTEMTIME{t.Year, t.Month,  t.DayOfWeek, t.Day,
                    t.Hour, t.Minute, t.Second,    t.Milliseconds};
}

bool SetLocalClock(const TCalendarTime& time) {
  const SYSTEMTIME st = ToSystemTime(time);
  return SetLocalTime(&st) != 0;
}

bool SetUtcClock(const TCalendarTime& time) {
  const SYSTEMTIME st = ToSystemTime(time);
  return SetSystemTime(&st) != 0;
}

const TSystemActions kRealActions = {
    &EnablePrivilege,  &EndSession,    &Suspend,     &LockSession,
    &PostMonitorPower, &SetLocalClock, &SetUtcClock,
};

}  // namespace

void InstallRealSystemActions() {
  InstallSystemActions(&kRealActions);
}
