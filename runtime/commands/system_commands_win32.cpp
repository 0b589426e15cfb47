// The session, power and system-information commands: logging off, shutting
// down and restarting (with the shutdown privilege the runtime enables for
// itself), suspending and hibernating, locking the workstation, switching
// the monitor's power, and reporting the system's version, its screen-saver
// state and whether it is 64-bit. Everything that acts on the machine goes
// through the system-actions table.
#include <windows.h>

#include <cwchar>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/core/fetch.h"
#include "runtime/core/library_list.h"
#include "runtime/core/system_actions.h"
#include "runtime/core/variables.h"

namespace {

// Major reason "application", minor reason "maintenance": a planned end of
// the session asked for by a program.
constexpr uint32_t kShutdownReason = 0x40001;
constexpr uint32_t kPowerOffFlags = EWX_POWEROFF | EWX_FORCEIFHUNG;
constexpr uint32_t kLogOffFlags = EWX_LOGOFF | EWX_FORCEIFHUNG;
constexpr uint32_t kRebootFlags = EWX_REBOOT | EWX_FORCEIFHUNG;

constexpr int32_t kMonitorOn = -1;
constexpr int32_t kMonitorLowPower = 1;
constexpr int32_t kMonitorOff = 2;

constexpr uint32_t kVersionOutputs = 5;

// Set once the shutdown privilege has been obtained; while it is clear,
// every shutdown-type command asks again.
bool gShutdownPrivilege = false;

TStatus EndSession(TScriptContext* context, uint32_t flags) {
  if (!gShutdownPrivilege)
    gShutdownPrivilege = SystemActions().EnablePrivilege("SeShutdownPrivilege");
  if (!gShutdownPrivilege) {
    context->LastWindowsError = GetLastError();
    return kStatusShutdownFailed;
  }
  const bool ended = SystemActions().EndSession(flags, kShutdownReason);
  context->LastWindowsError = GetLastError();
  return ended ? kStatusOk : kStatusShutdownFailed;
}

TStatus SuspendMachine(TScriptContext* context, bool hibernate) {
  const TActionResult result = SystemActions().Suspend(LibList_PowrProf(), hibernate, false, false);
  if (result == kActionMissing) return kStatusSystemFunctionMissing;
  context->LastWindowsError = GetLastError();
  return result == kActionDone ? kStatusOk : kStatusSuspendFailed;
}

// Nobody has to answer the broadcast, so there is nothing to fail.
TStatus SetMonitorPower(int32_t state) {
  SystemActions().PostMonitorPower(state);
  return kStatusOk;
}

// The processor architecture of the machine, read once: the native one
// where the system can tell it to a 32-bit process.
WORD MachineArchitecture() {
  static const WORD architecture = [] {
    typedef void(WINAPI * TGetNativeSystemInfo)(LPSYSTEM_INFO);
    const TGetNativeSystemInfo native =
        reinterpret_cast<TGetNativeSystemInfo>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32"), "GetNativeSystemInfo")));
    SYSTEM_INFO info = {};
    if (native != nullptr) {
      native(&info);
    } else {
      GetSystemInfo(&info);
    }
    return info.wProcessorArchitecture;
  }();
  return architecture;
}

bool IsArchitecture64Bit(WORD architecture) {
  switch (architecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
    case PROCESSOR_ARCHITECTURE_IA64:
    case PROCESSOR_ARCHITECTURE_ALPHA64:
    case PROCESSOR_ARCHITECTURE_ARM64:
      return true;
    default:
      return false;
  }
}

TStatus StoreSystemFlag(TScriptContext* context, UINT action) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  BOOL flag = FALSE;
  SystemParametersInfoA(action, 0, &flag, 0);
  return Var_StoreDWORD(context, target, flag ? 1 : 0);
}

}  // namespace

TStatus CmdSessionPowerOff(TScriptContext* context) {
  return EndSession(context, kPowerOffFlags);
}
TStatus CmdSessionLogOff(TScriptContext* context) {
  return EndSession(context, kLogOffFlags);
}
TStatus CmdSessionReboot(TScriptContext* context) {
  return EndSession(context, kRebootFlags);
}

TStatus CmdSystemHibernate(TScriptContext* context) {
  return SuspendMachine(context, true);
}
TStatus CmdSystemSuspend(TScriptContext* context) {
  return SuspendMachine(context, false);
}

TStatus CmdSessionLock(TScriptContext* context) {
  const TActionResult result = SystemActions().LockSession();
  if (result == kActionMissing) return kStatusSystemFunctionMissing;
  context->LastWindowsError = GetLastError();
  return result == kActionDone ? kStatusOk : kStatusLockFailed;
}

TStatus CmdMonitorOff(TScriptContext*) {
  return SetMonitorPower(kMonitorOff);
}
TStatus CmdMonitorOn(TScriptContext*) {
  return SetMonitorPower(kMonitorOn);
}
TStatus CmdMonitorLowPower(TScriptContext*) {
  return SetMonitorPower(kMonitorLowPower);
}

// Every output is optional: the default marker skips one, the end of the
// list ends them. Storing stops at the first store that fails.
TStatus CmdSystemGetVersion(TScriptContext* context) {
  uint32_t targets[kVersionOutputs];
  bool given[kVersionOutputs];
  for (uint32_t i = 0; i < kVersionOutputs; ++i) {
    TFetchStatus status;
    targets[i] = FetchDWORD(context, &status, 0);
    if (status == kFetchUnusable) return kStatusBadParam;
    given[i] = status == kFetchValue;
  }
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
  const uint32_t numbers[kVersionOutputs - 1] = {version.wProductType, version.dwMajorVersion,
                                                 version.dwMinorVersion, version.dwBuildNumber};
  for (uint32_t i = 0; i < kVersionOutputs - 1; ++i) {
    if (!given[i]) continue;
    const TStatus stored = Var_StoreDWORD(context, targets[i], numbers[i]);
    if (stored != kStatusOk) return stored;
  }
  if (!given[kVersionOutputs - 1]) return kStatusOk;
  const size_t capacity = sizeof version.szCSDVersion / sizeof version.szCSDVersion[0];
  return Var_StoreUnicodeString(context, targets[kVersionOutputs - 1],
                                reinterpret_cast<const char16_t*>(version.szCSDVersion),
                                uint32_t(wcsnlen(version.szCSDVersion, capacity)));
}

TStatus CmdScreenSaverIsEnabled(TScriptContext* context) {
  return StoreSystemFlag(context, SPI_GETSCREENSAVEACTIVE);
}

TStatus CmdScreenSaverIsRunning(TScriptContext* context) {
  return StoreSystemFlag(context, SPI_GETSCREENSAVERRUNNING);
}

TStatus CmdSystemIs64Bit(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  return Var_StoreDWORD(context, target, IsArchitecture64Bit(MachineArchitecture()) ? 1 : 0);
}
