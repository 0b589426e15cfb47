#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/hash_file_reader.h"

TStatus OpenHashedFile(TScriptContext*, const char16_t* path, THashedFile* file) {
  TPlatformFile handle = PlatformOpenRead(path);
  if (handle == nullptr) return kStatusFileOpenFailed;
  uint64_t size;
  if (!PlatformFileSize(handle, &size)) {
    PlatformClose(handle);
    return kStatusFileOpenFailed;
  }
  file->Handle = handle;
  file->Size = size;
  file->Offset = 0;
  return kStatusOk;
}

TStatus ReadHashedFile(TScriptContext*, THashedFile* file, void* buffer, uint32_t n) {
  uint32_t got = 0;
  if (!PlatformReadAt(file->Handle, file->Offset, buffer, n, &got) || got != n) {
    return kStatusReadFailed;
  }
  file->Offset += n;
  return kStatusOk;
}

void CloseHashedFile(THashedFile* file) {
  if (file->Handle != nullptr) PlatformClose(file->Handle);
  file->Handle = nullptr;
}
