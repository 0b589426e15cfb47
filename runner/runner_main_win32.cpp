// ZorvatEx.exe: the stand-alone runner. A built program is a copy of this
// executable with an image appended; the runner finds the image through the
// last 4 bytes of its own file, runs "GCS" and exits with the status. Load
// and check failures show nothing: they only become the exit code.
#include <windows.h>

#include <string>

#include "base/own_path_win32.h"
#include "base/platform.h"
#include "base/status.h"
#include "runtime/core/runtime_api.h"
#include "runtime/core/system_actions.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  PlatformSetOwnModule(uint32_t(reinterpret_cast<uintptr_t>(instance)));
  InstallRealSystemActions();
  std::wstring path = OwnExecutablePath();
  TStatus status = LoadAndExecute(reinterpret_cast<const char16_t*>(path.c_str()), nullptr);
  // The runner's own file is always readable, so "cannot read an image" can
  // only mean that its last bytes name none: the runner without an image.
  if (status == kStatusNoImage) status = kStatusMalformedImage;
  OnRuntimeUnload();
  ExitProcess(status);
}
