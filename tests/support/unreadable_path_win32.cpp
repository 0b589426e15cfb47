#include <windows.h>

#include "tests/support/image_builder.h"
#include "tests/support/test_harness.h"

UnreadablePath::UnreadablePath() : Path(TempPath("unreadable_file")) {
  std::u16string wide = ToU16(Path);
  Handle = CreateFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), GENERIC_READ | GENERIC_WRITE,
                       0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

UnreadablePath::~UnreadablePath() {
  if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
  std::u16string wide = ToU16(Path);
  DeleteFileW(reinterpret_cast<const wchar_t*>(wide.c_str()));
}
