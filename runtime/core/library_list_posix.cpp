// The loaded-library list in the portable build: no command there can load a
// native library, so the list holds nothing and there is nothing to free.
#include "runtime/core/library_list.h"

TLibHandle LibList_Find(const char16_t*) {
  return kLibNotFound;
}

void LibList_Add(const char16_t*, TLibHandle, bool) {}

TLibHandle LibList_Load(const char16_t*, uint32_t) {
  return 0;
}

void LibList_FreeAll() {}

TLibHandle LibList_Advapi32() {
  return 0;
}

TLibHandle LibList_PowrProf() {
  return 0;
}

uint32_t LibList_Count() {
  return 0;
}

bool LibList_Entry(uint32_t, TLoadedLibraryInfo*) {
  return false;
}
