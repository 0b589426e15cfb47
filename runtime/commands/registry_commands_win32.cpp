// The registry commands: create and delete keys, test for keys and values,
// write and read values of the common types, delete values, and read a
// key's counts and time stamp. Every command names its key by a text that
// begins with a root name (see registry_keys_win32.h) and closes the key it
// opened before it returns, on every path.
#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/optional_results.h"
#include "runtime/commands/registry_keys_win32.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

// Values that fit are read in one query into a buffer on the stack.
constexpr DWORD kLocalValueBytes = 1025;
// Far beyond any value the registry keeps; a source that keeps asking for
// more (the performance data root reports no useful size) is given up on
// rather than grown without end.
constexpr DWORD kMaxValueBytes = 0x10000000;
// Deeper than the registry lets keys nest, so that a recursive delete that
// reaches this depth is following a link loop, not a real tree.
constexpr int kMaxDeleteDepth = 512;
constexpr DWORD kMinDeleteNameUnits = 261;
// What a recursive delete needs on the key it empties.
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

// A key path parameter, split: 0, 102 or 1045.
TStatus FetchKeyPath(TScriptContext* context, TRegistryPath* path) {
  TFetchedText holder;
  const TArrayHeader* text;
  if (FetchTextOr(context, &holder, nullptr, &text) != kStatusOk) return kStatusBadParam;
  return SplitRegistryPath(text, path);
}

// A value name parameter: 0 or 102. `*usable` is false for a name that
// holds a zero unit (it would name another value).
TStatus FetchValueName(TScriptContext* context, std::wstring* name, bool* usable) {
  TFetchedText holder;
  const TArrayHeader* text;
  if (FetchTextOr(context, &holder, nullptr, &text) != kStatusOk) return kStatusBadParam;
  *usable = RegistryValueName(text, name);
  return kStatusOk;
}

// Key path and value name, the first two parameters of the value commands.
struct TValueAddress {
  TRegistryPath Path;
  std::wstring Name;
  bool NameUsable = true;
};

TStatus FetchValueAddress(TScriptContext* context, TValueAddress* address) {
  const TStatus status = FetchKeyPath(context, &address->Path);
  if (status != kStatusOk) return status;
  return FetchValueName(context, &address->Name, &address->NameUsable);
}

TStatus Recorded(TScriptContext* context, LONG result, TStatus failure) {
  context->LastWindowsError = DWORD(result);
  return result == ERROR_SUCCESS ? kStatusOk : failure;
}

// Opens the key of a value command: 0 or 1046.
TStatus OpenValueKey(TScriptContext* context, const TValueAddress& address, REGSAM access,
                     TRegKey* key) {
  return Recorded(context, key->Open(address.Path, access), kStatusRegKeyOpenFailed);
}

// ---- Writing ----

TStatus WriteValue(TScriptContext* context, const TValueAddress& address, DWORD type,
                   const void* data, DWORD size) {
  TRegKey key;
  const TStatus opened = OpenValueKey(context, address, KEY_SET_VALUE, &key);
  if (opened != kStatusOk) return opened;
  if (!address.NameUsable) return Recorded(context, ERROR_INVALID_NAME, kStatusRegValueWriteFailed);
  const LONG result = RegSetValueExW(key.Get(), address.Name.c_str(), 0, type,
                                     static_cast<const BYTE*>(data), size);
  return Recorded(context, result, kStatusRegValueWriteFailed);
}

// ---- Reading ----

// A value's type and data, read whole: first into the buffer on the stack,
// then into a heap buffer of the size the registry reports for as long as
// it reports that the data has grown.
struct TValueQuery {
  uint8_t Local[kLocalValueBytes];
  std::unique_ptr<uint8_t[]> Heap;
  DWORD Type = REG_NONE;
  DWORD Size = 0;
  const uint8_t* Data() const { return Heap != nullptr ? Heap.get() : Local; }
};

// The next buffer size after ERROR_MORE_DATA: what the registry reported,
// but always more than the last one, so that a source that reports no
// useful size cannot keep the query at one size for ever. 0 = give up.
DWORD NextQuerySize(DWORD current, DWORD reported) {
  DWORD next = reported > current ? reported : current * 2;
  if (next > kMaxValueBytes) next = current < kMaxValueBytes ? kMaxValueBytes : 0;
  return next;
}

// 0, or 1049 (with the registry's code recorded).
TStatus QueryValue(TScriptContext* context, HKEY key, const TValueAddress& address,
                   TValueQuery* query) {
  if (!address.NameUsable) return Recorded(context, ERROR_INVALID_NAME, kStatusRegValueReadFailed);
  DWORD capacity = kLocalValueBytes;
  uint8_t* buffer = query->Local;
  while (true) {
    query->Size = capacity;
    const LONG result =
        RegQueryValueExW(key, address.Name.c_str(), nullptr, &query->Type, buffer, &query->Size);
    if (result != ERROR_MORE_DATA) return Recorded(context, result, kStatusRegValueReadFailed);
    capacity = NextQuerySize(capacity, query->Size);
    if (capacity == 0) return Recorded(context, result, kStatusRegValueReadFailed);
    query->Heap.reset(new (std::nothrow) uint8_t[capacity]);
    if (query->Heap == nullptr) return kStatusOutOfMemory;
    buffer = query->Heap.get();
  }
}

// Opens the key and reads the value: 0, 1046 or 1049.
TStatus ReadValue(TScriptContext* context, const TValueAddress& address, TValueQuery* query) {
  TRegKey key;
  const TStatus opened = OpenValueKey(context, address, KEY_QUERY_VALUE, &key);
  if (opened != kStatusOk) return opened;
  return QueryValue(context, key.Get(), address, query);
}

bool EndsInZeros(const TValueQuery& query, DWORD count) {
  if (query.Size < count) return false;
  for (DWORD i = query.Size - count; i < query.Size; ++i) {
    if (query.Data()[i] != 0) return false;
  }
  return true;
}

// The number of bytes a script sees: the data without the terminator that
// a string value carries (one zero unit; two at the end of a multi-string).
// The registry also keeps strings stored without it, so only zeros that are
// there are dropped, never characters, and a short value cannot underflow.
DWORD DataWithoutTerminator(const TValueQuery& query) {
  const bool text = query.Type == REG_SZ || query.Type == REG_EXPAND_SZ;
  if (query.Type == REG_MULTI_SZ && EndsInZeros(query, 4)) return query.Size - 4;
  if ((text || query.Type == REG_MULTI_SZ) && EndsInZeros(query, 2)) return query.Size - 2;
  return query.Size;
}

// ---- Recursive key deletion ----

std::wstring ChildPath(const std::wstring& parent, const wchar_t* name) {
  std::wstring path = parent;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path + name;
}

// The longest sub-key name of an open key, in units (0 when unknown).
DWORD LongestSubKeyName(HKEY key) {
  DWORD longest = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  return longest;
}

// Deletes the key and everything below it; the registry's result for the
// key itself. Sub-key 0 is deleted until none is left or one cannot be
// deleted (then the key cannot be deleted either, and the loop cannot spin
// on it).
LONG DeleteKeyTree(HKEY root, const std::wstring& path, int depth) {
  LONG result = RegDeleteKeyW(root, path.c_str());
  if (result == ERROR_SUCCESS || depth >= kMaxDeleteDepth) return result;
  TRegKey key;
  if (key.Open(root, path, kReadWrite) == ERROR_SUCCESS) {
    const DWORD longest = LongestSubKeyName(key.Get());
    const DWORD units = longest + 1 > kMinDeleteNameUnits ? longest + 1 : kMinDeleteNameUnits;
    std::unique_ptr<wchar_t[]> name(new (std::nothrow) wchar_t[units]);
    while (name != nullptr) {
      DWORD length = units;
      if (RegEnumKeyExW(key.Get(), 0, name.get(), &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      if (DeleteKeyTree(root, ChildPath(path, name.get()), depth + 1) != ERROR_SUCCESS) break;
    }
  }
  key.Close();
  return RegDeleteKeyW(root, path.c_str());
}

// A sub-key path that is empty or only separators names the root itself,
// which a script never means to delete: an empty variable in a built path
// would otherwise empty a whole hive.
bool NamesRoot(const std::wstring& subKey) {
  return subKey.find_first_not_of(L'\\') == std::wstring::npos;
}

}  // namespace

TStatus CmdRegKeyCreate(TScriptContext* context) {
  TRegistryPath path;
  const TStatus status = FetchKeyPath(context, &path);
  if (status != kStatusOk) return status;
  if (path.HasZero) return Recorded(context, ERROR_INVALID_NAME, kStatusRegKeyOpenFailed);
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG result = RegCreateKeyExW(
      path.Root->Key, path.SubKey.c_str(), 0, nullptr, 0, KEY_CREATE_SUB_KEY,
      static_cast<LPSECURITY_ATTRIBUTES>(context->SecurityAttributes), &key, &disposition);
  if (result == ERROR_SUCCESS) RegCloseKey(key);
  return Recorded(context, result, kStatusRegKeyOpenFailed);
}

TStatus CmdRegKeyDelete(TScriptContext* context) {
  TRegistryPath path;
  const TStatus status = FetchKeyPath(context, &path);
  if (status != kStatusOk) return status;
  uint32_t recursive;
  if (FetchDWORDOr(context, 0, &recursive) != kStatusOk) return kStatusBadParam;
  if (path.HasZero || NamesRoot(path.SubKey)) {
    return Recorded(context, ERROR_ACCESS_DENIED, kStatusRegKeyDeleteFailed);
  }
  const LONG result = recursive != 0 ? DeleteKeyTree(path.Root->Key, path.SubKey, 0)
                                     : RegDeleteKeyW(path.Root->Key, path.SubKey.c_str());
  return Recorded(context, result, kStatusRegKeyDeleteFailed);
}

TStatus CmdRegKeyExists(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TRegistryPath path;
  const TStatus status = FetchKeyPath(context, &path);
  if (status != kStatusOk) return status;
  TRegKey key;
  const LONG result = key.Open(path, KEY_QUERY_VALUE);
  context->LastWindowsError = DWORD(result);
  return Var_StoreDWORD(context, target, result == ERROR_SUCCESS ? 1 : 0);
}

TStatus CmdRegValueExists(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TValueAddress address;
  const TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  TRegKey key;
  LONG result = key.Open(address.Path, KEY_QUERY_VALUE);
  if (result == ERROR_SUCCESS) {
    result = address.NameUsable ? RegQueryValueExW(key.Get(), address.Name.c_str(), nullptr,
                                                   nullptr, nullptr, nullptr)
                                : ERROR_INVALID_NAME;
  }
  context->LastWindowsError = DWORD(result);
  return Var_StoreDWORD(context, target, result == ERROR_SUCCESS ? 1 : 0);
}

TStatus CmdRegWriteDWORD(TScriptContext* context) {
  TValueAddress address;
  const TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  uint32_t value;
  if (FetchDWORDOr(context, 0, &value) != kStatusOk) return kStatusBadParam;
  return WriteValue(context, address, REG_DWORD, &value, sizeof(value));
}

TStatus CmdRegWriteData(TScriptContext* context) {
  TValueAddress address;
  const TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  const TArrayHeader* block;
  uint32_t type;
  if (FetchBlockOr(context, BB_Empty(), &block) != kStatusOk ||
      FetchDWORDOr(context, REG_SZ, &type) != kStatusOk) {
    return kStatusBadParam;
  }
  const uint32_t length = BB_Length(block);
  const uint8_t* bytes = UA_Data(block);
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    // A block always carries two zero bytes behind its data: the terminator.
    return WriteValue(context, address, type, bytes, length + 2);
  }
  if (type == REG_MULTI_SZ) {
    // The last string's terminator and the empty string that ends the list.
    PArrayHeader terminated = BB_New(length + 2);
    if (terminated == nullptr) return kStatusOutOfMemory;
    std::memcpy(UA_Data(terminated), bytes, length);
    const TStatus written = WriteValue(context, address, type, UA_Data(terminated), length + 4);
    UA_Free(&terminated);
    return written;
  }
  return WriteValue(context, address, type, bytes, length);
}

TStatus CmdRegWriteText(TScriptContext* context) {
  TValueAddress address;
  const TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  TFetchedText holder;
  const TArrayHeader* text;
  if (FetchTextOr(context, &holder, USTR_Empty(), &text) != kStatusOk) return kStatusBadParam;
  return WriteValue(context, address, REG_SZ, USTR_Chars(text),
                    (USTR_Length(text) + 1) * sizeof(char16_t));
}

TStatus CmdRegDeleteValue(TScriptContext* context) {
  TValueAddress address;
  const TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  TRegKey key;
  const TStatus opened = OpenValueKey(context, address, KEY_SET_VALUE, &key);
  if (opened != kStatusOk) return opened;
  const LONG result =
      address.NameUsable ? RegDeleteValueW(key.Get(), address.Name.c_str()) : ERROR_INVALID_NAME;
  return Recorded(context, result, kStatusRegValueDeleteFailed);
}

TStatus CmdRegReadDWORD(TScriptContext* context) {
  TValueAddress address;
  TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TValueQuery query;
  status = ReadValue(context, address, &query);
  if (status != kStatusOk) return status;
  if (query.Type != REG_DWORD || query.Size != sizeof(uint32_t)) return kStatusWrongKind;
  uint32_t value;
  std::memcpy(&value, query.Data(), sizeof(value));
  return Var_StoreDWORD(context, target, value);
}

TStatus CmdRegReadData(TScriptContext* context) {
  TValueAddress address;
  TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TOptionalResult typeResult;
  if (FetchOptionalResult(context, &typeResult) != kStatusOk) return kStatusBadParam;
  TValueQuery query;
  status = ReadValue(context, address, &query);
  if (status != kStatusOk) return status;
  // Both results or neither.
  if (typeResult.Given && ResolveVar(context, typeResult.Reference) == nullptr) {
    return kStatusNoSuchVariable;
  }
  status = Var_StoreBinBlock(context, target, query.Data(), DataWithoutTerminator(query));
  if (status != kStatusOk) return status;
  const uint32_t type = query.Type;
  return StoreOptionalDWORDs(context, &typeResult, &type, 1);
}

TStatus CmdRegReadText(TScriptContext* context) {
  TValueAddress address;
  TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TValueQuery query;
  status = ReadValue(context, address, &query);
  if (status != kStatusOk) return status;
  if (query.Type != REG_SZ && query.Type != REG_EXPAND_SZ) return kStatusWrongKind;
  // The data need not be aligned for char16_t: copy the units out.
  const uint32_t units = DataWithoutTerminator(query) / sizeof(char16_t);
  PArrayHeader text = USTR_New(units);
  if (text == nullptr) return kStatusOutOfMemory;
  std::memcpy(USTR_Chars(text), query.Data(), units * sizeof(char16_t));
  status = StoreArrayRef(context, target, text, vtUnicodeString);
  if (status != kStatusOk) UA_Free(&text);
  return status;
}

TStatus CmdRegReadType(TScriptContext* context) {
  TValueAddress address;
  TStatus status = FetchValueAddress(context, &address);
  if (status != kStatusOk) return status;
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TRegKey key;
  status = OpenValueKey(context, address, KEY_QUERY_VALUE, &key);
  if (status != kStatusOk) return status;
  if (!address.NameUsable) return Recorded(context, ERROR_INVALID_NAME, kStatusRegValueReadFailed);
  DWORD type = REG_NONE;
  DWORD size = 0;
  status = Recorded(
      context, RegQueryValueExW(key.Get(), address.Name.c_str(), nullptr, &type, nullptr, &size),
      kStatusRegValueReadFailed);
  if (status != kStatusOk) return status;
  return Var_StoreDWORD(context, target, type);
}

TStatus CmdRegKeyInfo(TScriptContext* context) {
  TRegistryPath path;
  TStatus status = FetchKeyPath(context, &path);
  if (status != kStatusOk) return status;
  TOptionalResult results[3];
  for (TOptionalResult& result : results) {
    if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  }
  TRegKey key;
  status = Recorded(context, key.Open(path, KEY_QUERY_VALUE), kStatusRegKeyInfoFailed);
  if (status != kStatusOk) return status;
  DWORD counts[2] = {0, 0};
  FILETIME written = {0, 0};
  status = Recorded(context,
                    RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &counts[0], nullptr,
                                     nullptr, &counts[1], nullptr, nullptr, nullptr, &written),
                    kStatusRegKeyInfoFailed);
  if (status != kStatusOk) return status;
  FILETIME local;
  if (!FileTimeToLocalFileTime(&written, &local)) return kStatusRegKeyInfoFailed;
  const TOptionalResult& time = results[2];
  if (time.Given && ResolveVar(context, time.Reference) == nullptr) return kStatusNoSuchVariable;
  const uint32_t values[2] = {counts[0], counts[1]};
  status = StoreOptionalDWORDs(context, results, values, 2);
  if (status != kStatusOk || !time.Given) return status;
  ULARGE_INTEGER stamp;
  stamp.LowPart = local.dwLowDateTime;
  stamp.HighPart = local.dwHighDateTime;
  return Var_StoreInteger(context, time.Reference, int64_t(stamp.QuadPart));
}
