// Files and directories: copy, move and delete files, test for files and
// directories, read and change the current directory, and raw handle-based
// file access (open, seek, read and write values, whole variables and single
// bytes, truncate, file times, free disk space). A file handle is the native
// handle held as a DWORD in a script variable; it stays open until the script
// closes it, so other command families may write through it too.
//
// Every file-system call records the platform's last error. A handle value
// that is not an open file simply makes the platform call fail, which gives
// the command's failure code.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/file_paths_win32.h"
#include "runtime/commands/optional_results.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// ---- Copy, move, delete ----

// Fetches source, target and the overwrite flag (default 1).
TStatus FetchCopyParams(TScriptContext* context, TFetchedPath* source, TFetchedPath* target,
                        bool* overwrite) {
  TStatus status = source->Fetch(context);
  if (status == kStatusOk) status = target->Fetch(context);
  TFetchStatus fetched;
  *overwrite = FetchDWORD(context, &fetched, 1) != 0;
  if (status == kStatusOk && fetched == kFetchUnusable) status = kStatusBadParam;
  return status;
}

// The platform refuses to replace a read-only file, but a process with
// administrator rights may get past that on some file systems; the check
// keeps a read-only target safe in every case.
bool IsReadOnlyTarget(const wchar_t* target) {
  const DWORD attributes = GetFileAttributesW(target);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
    return false;
  }
  SetLastError(ERROR_ACCESS_DENIED);
  return true;
}

// A move across volumes cannot be a rename. The copy goes to a temporary name
// beside the target first, so that an existing target is replaced only once
// the source is gone, and a source that cannot be deleted leaves everything as
// it was.
bool MoveAcrossVolumes(const wchar_t* source, const wchar_t* target, bool overwrite) {
  DWORD fullLength = GetFullPathNameW(target, 0, nullptr, nullptr);
  std::wstring folder(fullLength, L'\0');
  fullLength = GetFullPathNameW(target, fullLength, folder.data(), nullptr);
  folder.resize(fullLength);
  const size_t slash = folder.find_last_of(L"\\/");
  if (fullLength == 0 || slash == std::wstring::npos) return false;
  folder.resize(slash + 1);
  if (!overwrite && GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_FILE_EXISTS);
    return false;
  }
  wchar_t temporary[MAX_PATH];
  if (GetTempFileNameW(folder.c_str(), L"zvm", 0, temporary) == 0) return false;
  DWORD error = ERROR_SUCCESS;
  if (!CopyFileW(source, temporary, FALSE)) {
    error = GetLastError();
  } else if (!DeleteFileW(source)) {
    error = GetLastError();
  } else if (MoveFileExW(temporary, target, overwrite ? MOVEFILE_REPLACE_EXISTING : 0)) {
    return true;
  } else {
    // The target refused the replacement: the source goes back where it was.
    error = GetLastError();
    MoveFileExW(temporary, source, MOVEFILE_COPY_ALLOWED);
  }
  SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(temporary);
  SetLastError(error);
  return false;
}

// A move either happens whole or not at all: on one volume it is a rename,
// which keeps an overwritten target until the new contents stand in its
// place, and which fails without change when the source cannot be moved.
bool MoveOneFile(const wchar_t* source, const wchar_t* target, bool overwrite) {
  const DWORD attributes = GetFileAttributesW(source);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);  // folders move with the tree commands
    return false;
  }
  if (overwrite && IsReadOnlyTarget(target)) return false;
  if (MoveFileExW(source, target, overwrite ? MOVEFILE_REPLACE_EXISTING : 0)) return true;
  if (GetLastError() != ERROR_NOT_SAME_DEVICE) return false;
  return MoveAcrossVolumes(source, target, overwrite);
}

// ---- Handle variables and reads ----

// Reads exactly `size` bytes at the file's current position.
bool ReadExactly(TScriptContext* context, HANDLE file, void* buffer, DWORD size) {
  DWORD got = 0;
  const BOOL ok =
      RecordedCall(context, [&] { return ReadFile(file, buffer, size, &got, nullptr); });
  return ok && got == size;
}

bool WriteAll(TScriptContext* context, HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  const BOOL ok =
      RecordedCall(context, [&] { return WriteFile(file, data, size, &written, nullptr); });
  return ok && written == size;
}

bool SeekFromStart(TScriptContext* context, HANDLE file, int64_t offset) {
  LONG high = LONG(uint64_t(offset) >> 32);
  const DWORD low = RecordedCall(
      context, [&] { return SetFilePointer(file, LONG(uint32_t(offset)), &high, FILE_BEGIN); });
  return low != INVALID_SET_FILE_POINTER || context->LastWindowsError == ERROR_SUCCESS;
}

// Codes 93 to 96: the handle and the result variable, then `size` bytes.
// Any parameter that cannot be read, like a short read, gives 1028.
TStatus ReadValue(TScriptContext* context, void* buffer, DWORD size, uint32_t* reference) {
  HANDLE file = INVALID_HANDLE_VALUE;
  if (FetchHandleVariable(context, &file) != kStatusOk) return kStatusReadFailed;
  if (FetchRequiredDWORD(context, reference) != kStatusOk) return kStatusReadFailed;
  if (ResolveVar(context, *reference) == nullptr) return kStatusReadFailed;
  return ReadExactly(context, file, buffer, size) ? kStatusOk : kStatusReadFailed;
}

// ---- Writing a whole variable ----

// The bytes of a list's items with `separator` between them.
template <typename TItemBytes>
std::vector<uint8_t> JoinListItems(const TArrayHeader* list, const void* separator,
                                   uint32_t separatorSize, TItemBytes itemBytes) {
  std::vector<uint8_t> bytes;
  const uint32_t count = xL_Count(list);
  for (uint32_t i = 0; i < count; ++i) {
    if (i != 0) {
      const auto* s = static_cast<const uint8_t*>(separator);
      bytes.insert(bytes.end(), s, s + separatorSize);
    }
    uint32_t size = 0;
    const uint8_t* data = itemBytes(xL_Item(list, i), &size);
    bytes.insert(bytes.end(), data, data + size);
  }
  return bytes;
}

TStatus WriteVariable(TScriptContext* context, HANDLE file, const TZorvatVariable* v) {
  static constexpr uint8_t kBlockSeparator[2] = {0x0D, 0x0A};
  static constexpr uint8_t kTextSeparator[4] = {0x0D, 0x00, 0x0A, 0x00};
  const void* data = nullptr;
  uint32_t size = 0;
  std::vector<uint8_t> joined;
  switch (v->VarType) {
    case vtInteger:
      data = &v->AsInteger;
      size = 8;
      break;
    case vtExtended:
      data = &v->AsExtended;
      size = kExtendedBytes;
      break;
    case vtDWORD:
      data = &v->AsDWORD;
      size = 4;
      break;
    case vtIntArray:
    case vtExtArray:
    case vtDWORDArray:
    case vtBinBlock:
    case vtUnicodeString:
      if (v->UA != nullptr) {
        data = UA_Data(v->UA);
        size = UA_ItemCount(v->UA, v->VarType) * v->UA->ElemSize;
      }
      break;
    case vtBinBlockList:
      joined = JoinListItems(v->UA, kBlockSeparator, 2, [](const TArrayHeader* item, uint32_t* n) {
        *n = BB_Length(item);
        return item == nullptr ? nullptr : UA_Data(item);
      });
      break;
    case vtUnicodeStringList:
      joined = JoinListItems(v->UA, kTextSeparator, 4, [](const TArrayHeader* item, uint32_t* n) {
        *n = USTR_Length(item) * 2;
        return item == nullptr ? nullptr : UA_Data(item);
      });
      break;
    default:
      return kStatusWrongKind;
  }
  if (v->VarType == vtBinBlockList || v->VarType == vtUnicodeStringList) {
    data = joined.data();
    size = uint32_t(joined.size());
  }
  if (size == 0) return kStatusOk;
  return WriteAll(context, file, data, size) ? kStatusOk : kStatusWriteFailed;
}

// ---- Patch and compare ----

enum TPatchMode : uint8_t { kFilePatch, kFileCompare, kMemoryPatch, kMemoryCompare };

bool IsCompare(TPatchMode mode) {
  return mode == kFileCompare || mode == kMemoryCompare;
}

// One pair: writes or compares the byte at `offset`. Returns 0 or an error
// code; `*stop` ends the walk, `*match` turns 0 on a different byte.
TStatus PatchOne(TScriptContext* context, TPatchMode mode, HANDLE target, int64_t offset,
                 uint8_t byte, bool seek, bool* stop, bool* match) {
  *stop = true;
  void* address = reinterpret_cast<void*>(uintptr_t(uint32_t(offset)));
  uint8_t found = 0;
  SIZE_T moved = 0;
  switch (mode) {
    case kFilePatch:
      // A seek that fails would write the byte somewhere else.
      if (seek && !SeekFromStart(context, target, offset)) return kStatusWriteFailed;
      if (!WriteAll(context, target, &byte, 1)) return kStatusWriteFailed;
      break;
    case kFileCompare:
      if (seek && !SeekFromStart(context, target, offset)) return kStatusReadFailed;
      if (!ReadExactly(context, target, &found, 1)) return kStatusReadFailed;
      if (found != byte) *match = false;
      break;
    case kMemoryPatch:
      RecordedCall(context, [&] { return WriteProcessMemory(target, address, &byte, 1, &moved); });
      *stop = false;
      return moved == 1 ? kStatusOk : kStatusMemoryWriteFailed;
    case kMemoryCompare:
      RecordedCall(context, [&] { return ReadProcessMemory(target, address, &found, 1, &moved); });
      if (moved != 1) return kStatusMemoryReadFailed;
      if (found != byte) *match = false;
      break;
  }
  *stop = !*match;
  return kStatusOk;
}

// Codes 89, 90, 105 and 106. File offsets that follow each other are
// written or read without seeking again.
TStatus PatchOrCompare(TScriptContext* context, TPatchMode mode) {
  uint32_t end;
  CountParams(context, context->IP, &end);
  HANDLE target = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &target);
  uint32_t result = 0;
  if (status == kStatusOk && IsCompare(mode)) {
    status = FetchRequiredDWORD(context, &result);
    if (status == kStatusOk && ResolveVar(context, result) == nullptr) {
      status = kStatusNoSuchVariable;
    }
  }
  uint32_t pairEnd;
  const uint32_t remaining = CountParams(context, context->IP, &pairEnd);
  if (status == kStatusOk && remaining % 2 != 0) status = kStatusOddOffset;
  bool match = true;
  int64_t next = 0;
  // A byte that cannot be written into process memory does not stop the
  // others; every other failure ends the walk.
  const uint32_t pairs = status == kStatusOk ? remaining / 2 : 0;
  for (uint32_t i = 0; i < pairs; ++i) {
    TFetchStatus offsetStatus, byteStatus;
    const int64_t offset = FetchInt64(context, &offsetStatus, 0);
    const int64_t byte = FetchInt64(context, &byteStatus, 0);
    if (offsetStatus != kFetchValue || byteStatus != kFetchValue) {
      status = kStatusBadParam;
      break;
    }
    bool stop = false;
    const TStatus one = PatchOne(context, mode, target, offset, uint8_t(byte),
                                 i == 0 || offset != next, &stop, &match);
    next = offset + 1;
    if (one != kStatusOk) status = one;
    if (stop) break;
  }
  context->IP = end;
  if (IsCompare(mode) && status == kStatusOk) {
    Var_StoreDWORD(context, result, match ? 1 : 0);
  }
  return status;
}

// Optional 64-bit time parameter: given, or left unchanged.
TStatus FetchOptionalTime(TScriptContext* context, FILETIME* time, bool* given) {
  TFetchStatus status;
  const int64_t value = FetchInt64(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  *given = status == kFetchValue;
  *time = FileTimeOf(value);
  return kStatusOk;
}

TStatus StoreOptionalInts(TScriptContext* context, const TOptionalResult* results,
                          const int64_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (results[i].Given && ResolveVar(context, results[i].Reference) == nullptr) {
      return kStatusNoSuchVariable;
    }
  }
  for (size_t i = 0; i < count; ++i) {
    if (results[i].Given) Var_StoreInteger(context, results[i].Reference, values[i]);
  }
  return kStatusOk;
}

TStatus FetchOptionalResults(TScriptContext* context, TOptionalResult* results, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (FetchOptionalResult(context, &results[i]) != kStatusOk) return kStatusBadParam;
  }
  return kStatusOk;
}

// The 1 of a file test: the path names something and is not a directory.
bool IsExistingFile(TScriptContext* context, const TFetchedPath& path) {
  if (!path.Usable() || path.Empty() || HasWildcards(path.Get())) return false;
  WIN32_FIND_DATAW data;
  const HANDLE find = RecordedCall(context, [&] { return FindFirstFileW(path.Get(), &data); });
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingDirectory(TScriptContext* context, const TFetchedPath& path) {
  if (!path.Usable() || path.Empty() || HasWildcards(path.Get())) return false;
  const DWORD attributes = RecordedCall(context, [&] { return GetFileAttributesW(path.Get()); });
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const bool directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || context->IgnoreSymlinks != 0) {
    return directory;
  }
  // A link counts only when what it points to can be opened.
  const HANDLE target = RecordedCall(context, [&] {
    return CreateFileW(path.Get(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  });
  if (target == INVALID_HANDLE_VALUE) return false;
  CloseHandle(target);
  return directory;
}

// Codes 99 and 259.
TStatus TestPath(TScriptContext* context, bool directory) {
  TFetchedPath path;
  TStatus status = path.Fetch(context);
  uint32_t result = 0;
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &result);
  if (status != kStatusOk) return status;
  const bool found = directory ? IsExistingDirectory(context, path) : IsExistingFile(context, path);
  return Var_StoreDWORD(context, result, found ? 1 : 0);
}

}  // namespace

TStatus CmdFileCopy(TScriptContext* context) {
  TFetchedPath source, target;
  bool overwrite;
  const TStatus status = FetchCopyParams(context, &source, &target, &overwrite);
  if (status != kStatusOk) return status;
  if (!source.Usable() || !target.Usable()) return kStatusCopyMoveFailed;
  const BOOL copied = RecordedCall(context, [&] {
    if (overwrite && IsReadOnlyTarget(target.Get())) return FALSE;
    return CopyFileW(source.Get(), target.Get(), overwrite ? FALSE : TRUE);
  });
  return copied ? kStatusOk : kStatusCopyMoveFailed;
}

TStatus CmdFileMove(TScriptContext* context) {
  TFetchedPath source, target;
  bool overwrite;
  const TStatus status = FetchCopyParams(context, &source, &target, &overwrite);
  if (status != kStatusOk) return status;
  if (!source.Usable() || !target.Usable()) return kStatusCopyMoveFailed;
  const bool moved =
      RecordedCall(context, [&] { return MoveOneFile(source.Get(), target.Get(), overwrite); });
  return moved ? kStatusOk : kStatusCopyMoveFailed;
}

TStatus CmdFileDelete(TScriptContext* context) {
  TFetchedPath path;
  TStatus status = path.Fetch(context);
  TFetchStatus fetched;
  const bool clearAttributes = FetchDWORD(context, &fetched, 0) != 0;
  if (status == kStatusOk && fetched == kFetchUnusable) status = kStatusBadParam;
  if (status != kStatusOk) return status;
  if (!path.Usable()) return kStatusDeleteFailed;
  const DWORD old = GetFileAttributesW(path.Get());
  if (clearAttributes) SetFileAttributesW(path.Get(), FILE_ATTRIBUTE_NORMAL);
  if (RecordedCall(context, [&] { return DeleteFileW(path.Get()); })) return kStatusOk;
  // A file that stays keeps the attributes it had.
  if (clearAttributes && old != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(path.Get(), old);
  return kStatusDeleteFailed;
}

TStatus CmdFileExists(TScriptContext* context) {
  return TestPath(context, false);
}

TStatus CmdDirectoryExists(TScriptContext* context) {
  return TestPath(context, true);
}

TStatus CmdCurrentDirGet(TScriptContext* context) {
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  DWORD length = RecordedCall(context, [] { return GetCurrentDirectoryW(0, nullptr); });
  if (length == 0) return kStatusCurrentDirGetFailed;
  std::wstring folder(length, L'\0');
  length = RecordedCall(context, [&] { return GetCurrentDirectoryW(length, folder.data()); });
  if (length == 0 || length >= folder.size()) return kStatusCurrentDirGetFailed;
  return Var_StoreUnicodeString(context, result, reinterpret_cast<const char16_t*>(folder.data()),
                                length);
}

TStatus CmdCurrentDirSet(TScriptContext* context) {
  TFetchedPath path;
  if (path.Fetch(context) != kStatusOk) return kStatusBadParam;
  if (path.Empty() || !path.Usable()) return kStatusCurrentDirSetFailed;
  const BOOL set = RecordedCall(context, [&] { return SetCurrentDirectoryW(path.Get()); });
  return set ? kStatusOk : kStatusCurrentDirSetFailed;
}

TStatus CmdFileOpen(TScriptContext* context) {
  TFetchedPath path;
  TStatus status = path.Fetch(context);
  uint32_t result = 0;
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &result);
  TFetchStatus fetched[4];
  const DWORD disposition = FetchDWORD(context, &fetched[0], OPEN_EXISTING);
  const DWORD share = FetchDWORD(context, &fetched[1], FILE_SHARE_READ);
  const DWORD flags = FetchDWORD(context, &fetched[2], FILE_ATTRIBUTE_NORMAL);
  const DWORD access = FetchDWORD(context, &fetched[3], GENERIC_READ | GENERIC_WRITE);
  for (TFetchStatus f : fetched) {
    if (status == kStatusOk && f == kFetchUnusable) status = kStatusBadParam;
  }
  if (status != kStatusOk) return status;
  // Checked before the call, so that a handle never opens without a place
  // to keep it (and CREATE_ALWAYS never empties a file for nothing).
  if (ResolveVar(context, result) == nullptr) return kStatusNoSuchVariable;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (path.Usable()) {
    auto* security = static_cast<SECURITY_ATTRIBUTES*>(context->SecurityAttributes);
    file = RecordedCall(context, [&] {
      return CreateFileW(path.Get(), access, share, security, disposition, flags, nullptr);
    });
  }
  Var_StoreDWORD(context, result, ValueOfHandle(file));
  return file == INVALID_HANDLE_VALUE ? kStatusFileOpenFailed : kStatusOk;
}

TStatus CmdFileClose(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  const TStatus status = FetchHandleVariable(context, &file);
  if (status != kStatusOk) return status;
  return RecordedCall(context, [&] { return CloseHandle(file); }) ? kStatusOk
                                                                  : kStatusCloseHandleFailed;
}

TStatus CmdFileSeek(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  TFetchStatus fetched[2];
  const int64_t distance = FetchInt64(context, &fetched[0], 0);
  const DWORD method = FetchDWORD(context, &fetched[1], FILE_BEGIN);
  if (status == kStatusOk && (fetched[0] == kFetchUnusable || fetched[1] == kFetchUnusable)) {
    status = kStatusBadParam;
  }
  if (status != kStatusOk) return status;
  LONG high = LONG(uint64_t(distance) >> 32);
  RecordedCall(context,
               [&] { return SetFilePointer(file, LONG(uint32_t(distance)), &high, method); });
  return kStatusOk;
}

TStatus CmdFileTruncate(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  TFetchStatus fetched;
  const int64_t position = FetchInt64(context, &fetched, 0);
  if (status == kStatusOk && fetched == kFetchUnusable) status = kStatusBadParam;
  if (status != kStatusOk) return status;
  if (!SeekFromStart(context, file, position)) return kStatusWriteFailed;
  return RecordedCall(context, [&] { return SetEndOfFile(file); }) ? kStatusOk : kStatusWriteFailed;
}

TStatus CmdFileGetSize(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  uint32_t result = 0;
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &result);
  if (status != kStatusOk) return status;
  DWORD high = 0;
  const DWORD low = RecordedCall(context, [&] { return GetFileSize(file, &high); });
  // Storing the failure marker would report a size of 4 GB.
  if (low == INVALID_FILE_SIZE && context->LastWindowsError != ERROR_SUCCESS) {
    return kStatusReadFailed;
  }
  return Var_StoreInteger(context, result, int64_t((uint64_t(high) << 32) | low));
}

TStatus CmdFileWriteByte(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  uint32_t value = 0;
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &value);
  if (status != kStatusOk) return status;
  const uint8_t byte = uint8_t(value);
  return WriteAll(context, file, &byte, 1) ? kStatusOk : kStatusWriteFailed;
}

TStatus CmdFileWriteBlock(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  const TStatus status = FetchHandleVariable(context, &file);
  TFetchStatus fetched;
  const TArrayHeader* block = FetchBinBlock(context, &fetched);
  if (status != kStatusOk) return status;
  if (fetched == kFetchUnusable) return kStatusBadParam;
  const uint32_t length = fetched == kFetchValue ? BB_Length(block) : 0;
  if (length == 0) return kStatusOk;
  return WriteAll(context, file, UA_Data(block), length) ? kStatusOk : kStatusWriteFailed;
}

TStatus CmdFileWriteVar(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  uint32_t reference = 0;
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &reference);
  if (status != kStatusOk) return status;
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  return WriteVariable(context, file, v);
}

TStatus CmdFilePatch(TScriptContext* context) {
  return PatchOrCompare(context, kFilePatch);
}

TStatus CmdFileCompare(TScriptContext* context) {
  return PatchOrCompare(context, kFileCompare);
}

TStatus CmdMemoryPatch(TScriptContext* context) {
  return PatchOrCompare(context, kMemoryPatch);
}

TStatus CmdMemoryCompare(TScriptContext* context) {
  return PatchOrCompare(context, kMemoryCompare);
}

TStatus CmdFileReadByte(TScriptContext* context) {
  uint8_t byte = 0;
  uint32_t result;
  const TStatus status = ReadValue(context, &byte, 1, &result);
  return status == kStatusOk ? Var_StoreDWORD(context, result, byte) : status;
}

TStatus CmdFileReadDWORD(TScriptContext* context) {
  uint32_t value = 0;
  uint32_t result;
  const TStatus status = ReadValue(context, &value, 4, &result);
  return status == kStatusOk ? Var_StoreDWORD(context, result, value) : status;
}

TStatus CmdFileReadInt(TScriptContext* context) {
  int64_t value = 0;
  uint32_t result;
  const TStatus status = ReadValue(context, &value, 8, &result);
  return status == kStatusOk ? Var_StoreInteger(context, result, value) : status;
}

TStatus CmdFileReadFloat(TScriptContext* context) {
  uint8_t bytes[kExtendedBytes];
  uint32_t result;
  const TStatus status = ReadValue(context, bytes, kExtendedBytes, &result);
  return status == kStatusOk ? Var_StoreFloat(context, result, LoadExtended(bytes)) : status;
}

TStatus CmdFileReadBlock(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  uint32_t result = 0, count = 0;
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &result);
  if (status == kStatusOk) status = FetchRequiredDWORD(context, &count);
  if (status != kStatusOk) return status;
  if (ResolveVar(context, result) == nullptr) return kStatusNoSuchVariable;
  // The buffer need not be larger than what is left of a file: a count far
  // beyond the end must not ask the heap for gigabytes.
  LARGE_INTEGER size, position, zero = {};
  if (GetFileSizeEx(file, &size) && SetFilePointerEx(file, zero, &position, FILE_CURRENT)) {
    const int64_t left = size.QuadPart > position.QuadPart ? size.QuadPart - position.QuadPart : 0;
    if (int64_t(count) > left) count = uint32_t(left);
  }
  PArrayHeader block = BB_New(count);
  if (block == nullptr) return kStatusOutOfMemory;
  DWORD got = 0;
  const BOOL read = RecordedCall(
      context, [&] { return count == 0 || ReadFile(file, UA_Data(block), count, &got, nullptr); });
  if (!read || !BB_SetLength(&block, got)) {
    UA_Free(&block);
    return read ? kStatusOutOfMemory : kStatusReadFailed;
  }
  status = StoreArrayRef(context, result, block, vtBinBlock);
  if (status != kStatusOk) UA_Free(&block);
  return status;
}

TStatus CmdFileSetTime(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  FILETIME times[3];  // creation, last write, last access
  bool given[3];
  for (int i = 0; i < 3; ++i) {
    const TStatus fetched = FetchOptionalTime(context, &times[i], &given[i]);
    if (status == kStatusOk) status = fetched;
  }
  if (status != kStatusOk) return status;
  for (int i = 0; i < 3; ++i) {
    const FILETIME local = times[i];
    if (given[i] && !LocalFileTimeToFileTime(&local, &times[i])) return kStatusFileTimeSetFailed;
  }
  const BOOL set = RecordedCall(context, [&] {
    return SetFileTime(file, given[0] ? &times[0] : nullptr, given[2] ? &times[2] : nullptr,
                       given[1] ? &times[1] : nullptr);
  });
  return set ? kStatusOk : kStatusFileTimeSetFailed;
}

TStatus CmdFileGetTime(TScriptContext* context) {
  HANDLE file = INVALID_HANDLE_VALUE;
  TStatus status = FetchHandleVariable(context, &file);
  TOptionalResult results[3];  // creation, last write, last access
  if (status == kStatusOk) status = FetchOptionalResults(context, results, 3);
  if (status != kStatusOk) return status;
  FILETIME creation, access, write;
  if (!RecordedCall(context, [&] { return GetFileTime(file, &creation, &access, &write); })) {
    return kStatusFileTimeGetFailed;
  }
  const FILETIME utc[3] = {creation, write, access};
  int64_t values[3];
  for (int i = 0; i < 3; ++i) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc[i], &local)) return kStatusFileTimeGetFailed;
    values[i] = FileTimeValue(local);
  }
  return StoreOptionalInts(context, results, values, 3);
}

TStatus CmdDiskGetFreeSpace(TScriptContext* context) {
  TFetchedPath path;
  TStatus status = path.Fetch(context);
  TOptionalResult results[3];  // free to the caller, total, total free
  if (status == kStatusOk) status = FetchOptionalResults(context, results, 3);
  if (status != kStatusOk) return status;
  if (!path.Usable()) return kStatusFreeSpaceFailed;
  ULARGE_INTEGER free, total, totalFree;
  if (!RecordedCall(context,
                    [&] { return GetDiskFreeSpaceExW(path.Get(), &free, &total, &totalFree); })) {
    return kStatusFreeSpaceFailed;
  }
  const int64_t values[3] = {int64_t(free.QuadPart), int64_t(total.QuadPart),
                             int64_t(totalFree.QuadPart)};
  return StoreOptionalInts(context, results, values, 3);
}
