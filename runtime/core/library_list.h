// The process-wide list of the native libraries the runtime has bound, so
// that a library a script names is loaded once, found again by name
// (ignoring case), and released when a script asks for it or when the
// runtime goes away — while the libraries the runtime itself depends on
// (system entries) stay loaded.
//
// The list starts with the system entries kernel32, user32 and ntdll, made
// on its first use. Entries under other names are added on demand: by
// LibList_Load for the libraries scripts name, and by the two first-use
// helpers below for the session and power commands.
//
// The Windows build implements it (library_list_win32.cpp); in the portable
// build nothing can be loaded, so the list stays empty there.
#pragma once

#include <cstdint>
#include <string>

// A module handle (HMODULE on Windows).
typedef uintptr_t TLibHandle;
constexpr TLibHandle kLibNotFound = ~TLibHandle(0);

// The handle of the first entry whose name equals `name` ignoring case, or
// kLibNotFound. `name` is zero-terminated.
TLibHandle LibList_Find(const char16_t* name);
// Appends an entry; a system entry is never released by the list.
void LibList_Add(const char16_t* name, TLibHandle handle, bool system);
// The library named by `length` units at `name`: the handle of an entry of
// that name, or the library loaded now and recorded as a non-system entry.
// 0 when it cannot be loaded (nothing is recorded then).
TLibHandle LibList_Load(const char16_t* name, uint32_t length);
// Releases every non-system entry's library and removes those entries; the
// system entries stay, in their order.
void LibList_FreeAll();

// advapi32, recorded as a system entry the first time it is asked for (the
// first privilege a command enables). 0 when it is not available.
TLibHandle LibList_Advapi32();
// PowrProf, loaded through LibList_Load the first time the suspend function
// is needed. It is not a system entry: DllFreeAll releases it, so a caller
// looks its functions up on every use instead of keeping their addresses.
// 0 when it is not available.
TLibHandle LibList_PowrProf();

// A copy of one entry, for inspection.
struct TLoadedLibraryInfo {
  std::u16string LibraryName;
  TLibHandle LibHandle = 0;
  bool SystemLibrary = false;
};
uint32_t LibList_Count();
// False when `index` is not below LibList_Count().
bool LibList_Entry(uint32_t index, TLoadedLibraryInfo* info);
