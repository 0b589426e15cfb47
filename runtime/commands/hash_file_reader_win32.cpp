#include <windows.h>

#include "base/status.h"
#include "runtime/commands/hash_file_reader.h"

TStatus OpenHashedFile(TScriptContext* context, const char16_t* path, THashedFile* file) {
  HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_READ, FILE_SHARE_READ,
                              static_cast<SECURITY_ATTRIBUTES*>(context->SecurityAttributes),
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    context->LastWindowsError = GetLastError();
    return kStatusFileOpenFailed;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size)) {
    context->LastWindowsError = GetLastError();
    CloseHandle(handle);
    return kStatusFileOpenFailed;
  }
  file->Handle = handle;
  file->Size = uint64_t(size.QuadPart);
  file->Offset = 0;
  return kStatusOk;
}

// A read that succeeds with fewer bytes than asked means the file ended
// early: that is recorded as the end-of-file error, since the system error
// of a successful call says nothing.
TStatus ReadHashedFile(TScriptContext* context, THashedFile* file, void* buffer, uint32_t n) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  uint32_t got = 0;
  while (got < n) {
    DWORD chunk = 0;
    if (!ReadFile(static_cast<HANDLE>(file->Handle), p + got, n - got, &chunk, nullptr)) {
      context->LastWindowsError = GetLastError();
      return kStatusReadFailed;
    }
    if (chunk == 0) {
      context->LastWindowsError = ERROR_HANDLE_EOF;
      return kStatusReadFailed;
    }
    got += chunk;
  }
  file->Offset += n;
  return kStatusOk;
}

void CloseHashedFile(THashedFile* file) {
  if (file->Handle != nullptr) CloseHandle(static_cast<HANDLE>(file->Handle));
  file->Handle = nullptr;
}
