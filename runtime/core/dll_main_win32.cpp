// Zorvat.dll's entry point: the module handle that InitContext hands to
// native libraries is the library's own, the session and clock commands act
// on the machine for real, and unloading the library runs the runtime's
// unload steps.
#include <windows.h>

#include "base/platform.h"
#include "runtime/core/runtime_api.h"
#include "runtime/core/system_actions.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    PlatformSetOwnModule(uint32_t(reinterpret_cast<uintptr_t>(instance)));
    DisableThreadLibraryCalls(instance);
    InstallRealSystemActions();
  } else if (reason == DLL_PROCESS_DETACH) {
    OnRuntimeUnload();
  }
  return TRUE;
}
