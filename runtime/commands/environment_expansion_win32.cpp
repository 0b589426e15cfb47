#include <windows.h>

#include <vector>

#include "base/status.h"
#include "runtime/commands/environment_expansion.h"

// The system reports the size it needs when the buffer is too small; the
// first try leaves room for the usual growth, the second has the exact size.
// Every retry asks for more than the last, so the loop ends.
TStatus ExpandEnvironment(const std::u16string& text, std::u16string* expanded,
                          uint32_t* lastError) {
  const wchar_t* source = reinterpret_cast<const wchar_t*>(text.c_str());
  uint64_t size = uint64_t(text.size()) + 260;
  while (true) {
    if (size > 0x3FFFFFFF) return kStatusOutOfMemory;
    std::vector<wchar_t> buffer(size);
    const DWORD needed = ExpandEnvironmentStringsW(source, buffer.data(), DWORD(size));
    if (needed == 0) {
      *lastError = GetLastError();
      return kStatusExpandFailed;
    }
    if (needed <= size) {
      expanded->assign(reinterpret_cast<const char16_t*>(buffer.data()), needed - 1);
      return kStatusOk;
    }
    size = needed;
  }
}
