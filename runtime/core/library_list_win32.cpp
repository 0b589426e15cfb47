// The loaded-library list on Windows.
//
// Scripts may run at the same time on threads of their own, and they all
// share this one list, so it is guarded by a lock. The lock is held only
// while the list itself is read or changed, never across LoadLibraryW or
// FreeLibrary: those run the library's own start-up and clean-up code, and
// the runtime's unload (which frees the list) runs inside the loader.
#include <windows.h>

#include "base/fatal.h"
#include "base/grow_array.h"
#include "runtime/core/library_list.h"
#include "runtime/values/text.h"

namespace {

struct TOneLoadedLibrary {
  PArrayHeader LibraryName;  // owned, zero-terminated
  HMODULE LibHandle;
  bool SystemLibrary;
};

struct TLoadedLibraryList {
  SRWLOCK Lock = SRWLOCK_INIT;
  TGrowArray<TOneLoadedLibrary> Entries{};
  bool Started = false;
};
TLoadedLibraryList gList;

class TListLock {
 public:
  TListLock() { AcquireSRWLockExclusive(&gList.Lock); }
  ~TListLock() { ReleaseSRWLockExclusive(&gList.Lock); }
  TListLock(const TListLock&) = delete;
  TListLock& operator=(const TListLock&) = delete;
};

const wchar_t* Wide(const char16_t* s) {
  return reinterpret_cast<const wchar_t*>(s);
}
const wchar_t* Wide(const TArrayHeader* text) {
  return Wide(USTR_Chars(text));
}

TLibHandle HandleValue(HMODULE module) {
  return reinterpret_cast<TLibHandle>(module);
}

// Takes ownership of `name`.
void AddLocked(PArrayHeader name, HMODULE module, bool system) {
  *GrowArrayPush(gList.Entries) = {name, module, system};
}

PArrayHeader CopyOf(const char16_t* name) {
  PArrayHeader copy = USTR_FromPWideChar(name);
  if (copy == nullptr) FatalOutOfMemory();
  return copy;
}

// The libraries the runtime works with itself. user32 is loaded (not only
// looked up) so that it stays for as long as the list names it; the runtime
// imports it, so this runs no library code.
void StartLocked() {
  if (gList.Started) return;
  gList.Started = true;
  AddLocked(CopyOf(u"kernel32"), GetModuleHandleW(L"kernel32"), true);
  AddLocked(CopyOf(u"user32"), LoadLibraryW(L"user32"), true);
  AddLocked(CopyOf(u"ntdll"), GetModuleHandleW(L"ntdll"), true);
}

TLibHandle FindLocked(const wchar_t* name) {
  StartLocked();
  for (uint32_t i = 0; i < gList.Entries.Count; ++i) {
    const TOneLoadedLibrary& entry = gList.Entries.Items[i];
    if (lstrcmpiW(Wide(entry.LibraryName), name) == 0) return HandleValue(entry.LibHandle);
  }
  return kLibNotFound;
}

// Loads a library without letting the system stop an unattended script
// with a box about a missing or damaged file: failure is only a result.
HMODULE LoadQuietly(const wchar_t* name) {
  DWORD previous = 0;
  const BOOL changed =
      SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous);
  HMODULE module = LoadLibraryW(name);
  if (changed) SetThreadErrorMode(previous, nullptr);
  return module;
}

// Records `module`, just loaded under the owned `name`, unless another thread
// recorded a library of that name meanwhile: then that entry wins and the
// second reference is given back. Returns the handle the list holds.
TLibHandle RecordLoaded(PArrayHeader name, HMODULE module) {
  TLibHandle held;
  {
    TListLock lock;
    held = FindLocked(Wide(name));
    if (held == kLibNotFound) {
      AddLocked(name, module, false);
      return HandleValue(module);
    }
  }
  UA_Free(&name);
  FreeLibrary(module);
  return held;
}

}  // namespace

TLibHandle LibList_Find(const char16_t* name) {
  TListLock lock;
  return FindLocked(Wide(name));
}

void LibList_Add(const char16_t* name, TLibHandle handle, bool system) {
  PArrayHeader copy = CopyOf(name);
  TListLock lock;
  StartLocked();
  AddLocked(copy, reinterpret_cast<HMODULE>(handle), system);
}

TLibHandle LibList_Load(const char16_t* name, uint32_t length) {
  PArrayHeader copy = USTR_FromBuffer(name, length);
  if (copy == nullptr) return 0;
  TLibHandle found;
  {
    TListLock lock;
    found = FindLocked(Wide(copy));
  }
  if (found != kLibNotFound) {
    UA_Free(&copy);
    return found;
  }
  HMODULE loaded = LoadQuietly(Wide(copy));
  if (loaded == nullptr) {
    UA_Free(&copy);
    return 0;
  }
  return RecordLoaded(copy, loaded);
}

// The entries leave the list before their libraries are freed, so that no
// other thread finds a handle that is going away.
void LibList_FreeAll() {
  TGrowArray<HMODULE> released{};
  {
    TListLock lock;
    TGrowArray<TOneLoadedLibrary>& entries = gList.Entries;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < entries.Count; ++i) {
      TOneLoadedLibrary& entry = entries.Items[i];
      if (entry.SystemLibrary) {
        entries.Items[kept++] = entry;
        continue;
      }
      *GrowArrayPush(released) = entry.LibHandle;
      UA_Free(&entry.LibraryName);
    }
    entries.Count = kept;
  }
  for (uint32_t i = 0; i < released.Count; ++i) FreeLibrary(released.Items[i]);
  GrowArrayFree(released);
}

// The runtime normally imports advapi32 already; where it does not, loading
// it once keeps it for the life of the process, as a system entry should.
TLibHandle LibList_Advapi32() {
  TLibHandle found = LibList_Find(u"advapi32");
  if (found != kLibNotFound) return found;
  HMODULE module = GetModuleHandleW(L"advapi32");
  if (module == nullptr) module = LoadQuietly(L"advapi32");
  if (module == nullptr) return 0;
  // An extra reference from a race with another thread is harmless here:
  // system entries are never released.
  TListLock lock;
  found = FindLocked(L"advapi32");
  if (found != kLibNotFound) return found;
  AddLocked(CopyOf(u"advapi32"), module, true);
  return HandleValue(module);
}

TLibHandle LibList_PowrProf() {
  static const char16_t kName[] = u"PowrProf";
  return LibList_Load(kName, sizeof kName / sizeof kName[0] - 1);
}

uint32_t LibList_Count() {
  TListLock lock;
  StartLocked();
  return gList.Entries.Count;
}

bool LibList_Entry(uint32_t index, TLoadedLibraryInfo* info) {
  TListLock lock;
  StartLocked();
  if (index >= gList.Entries.Count) return false;
  const TOneLoadedLibrary& entry = gList.Entries.Items[index];
  info->LibraryName.assign(USTR_Chars(entry.LibraryName), USTR_Length(entry.LibraryName));
  info->LibHandle = HandleValue(entry.LibHandle);
  info->SystemLibrary = entry.SystemLibrary;
  return true;
}
