// Tovalind.dll's entry point: what the library registered and created on
// first use goes when a script frees the library.
#include <windows.h>

#include "dialogs/runtime_link_win32.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // At process exit (reserved not null) the system reclaims everything.
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) ReleaseLibraryResources();
  return TRUE;
}
