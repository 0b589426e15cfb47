#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tests/support/system_action_recorder.h"

namespace {

SystemActionRecorder* gActive = nullptr;

SystemActionRecorder& Active() {
  return *gActive;
}

void Answer() {
  SetLastError(Active().LastError);
}

std::string CalendarText(const TCalendarTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.Year, t.Month, t.Day,
                t.Hour, t.Minute, t.Second, t.Milliseconds);
  return text;
}

void RecordClock(const char* kind, const TCalendarTime& t) {
  Active().Calls.push_back(std::string(kind) + " clock " + CalendarText(t));
  uint64_t fileTime = 0;
  PlatformCalendarToFileTime(t, &fileTime);
  Active().ClockTimes.push_back(fileTime);
}

bool EnablePrivilege(const char* name) {
  Active().Calls.push_back(std::string("privilege ") + name);
  Answer();
  return Active().GrantPrivilege;
}

bool EndSession(uint32_t flags, uint32_t reason) {
  char text[48];
  std::snprintf(text, sizeof text, "end session %u 0x%X", flags, reason);
  Active().Calls.push_back(text);
  Answer();
  return Active().EndSessionSucceeds;
}

TActionResult Suspend(uintptr_t library, bool hibernate, bool force, bool wakeOff) {
  char text[48];
  std::snprintf(text, sizeof text, "suspend hibernate=%d force=%d wake-off=%d", hibernate, force,
                wakeOff);
  Active().Calls.push_back(text);
  Active().PowerLibrary = library;
  Answer();
  return Active().SuspendResult;
}

TActionResult LockSession() {
  Active().Calls.push_back("lock");
  Answer();
  return Active().LockResult;
}

void PostMonitorPower(int32_t state) {
  Active().Calls.push_back("monitor " + std::to_string(state));
}

bool SetLocalClock(const TCalendarTime& t) {
  RecordClock("local", t);
  Answer();
  return Active().ClockSucceeds;
}

bool SetUtcClock(const TCalendarTime& t) {
  RecordClock("utc", t);
  Answer();
  return Active().ClockSucceeds;
}

const TSystemActions kRecordingActions = {
    &EnablePrivilege,  &EndSession,    &Suspend,     &LockSession,
    &PostMonitorPower, &SetLocalClock, &SetUtcClock,
};

// ---- The import trap ----

LONG gTrappedCalls = 0;

BOOL WINAPI RefuseClock(const SYSTEMTIME*) {
  InterlockedIncrement(&gTrappedCalls);
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

bool IsClockSetter(const char* name) {
  static const std::string kUtc = JoinedName("Set|System|Time");
  static const std::string kLocal = JoinedName("Set|Local|Time");
  return name == kUtc || name == kLocal;
}

// Walks the import table of the program's own module and points every
// by-name import of a clock setter at the trap.
uint32_t PatchImports() {
  auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return 0;
  uint32_t patched = 0;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       d->Name != 0; ++d) {
    if (d->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (!IsClockSetter(reinterpret_cast<const char*>(byName->Name))) continue;
      DWORD oldProtection;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                          &oldProtection)) {
        continue;
      }
      slots->u1.Function = reinterpret_cast<uintptr_t>(&RefuseClock);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, oldProtection, &oldProtection);
      ++patched;
    }
  }
  return patched;
}

}  // namespace

SystemActionRecorder::SystemActionRecorder() {
  TrapClockImports();
  gActive = this;
  previous_ = InstallSystemActions(&kRecordingActions);
}

SystemActionRecorder::~SystemActionRecorder() {
  InstallSystemActions(previous_);
  gActive = nullptr;
}

uint32_t TrapClockImports() {
  static const uint32_t patched = PatchImports();
  return patched;
}

uint32_t TrappedClockCalls() {
  return uint32_t(gTrappedCalls);
}

std::string JoinedName(const char* pieces) {
  // Read through a volatile, so that the compiler cannot join the pieces
  // while building.
  static volatile char separator = '|';
  std::string name;
  for (const char* p = pieces; *p != 0; ++p) {
    if (*p != separator) name += *p;
  }
  return name;
}
