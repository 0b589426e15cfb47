// The registry tree listing: a key and all its sub-keys walked depth-first,
// returned as parallel lists in script variables, one row per key or one row
// per value (with its key's data repeated). One working record carries the
// root, the reusable name and data buffers, the lists being filled and the
// options through the recursion. The lists reach the script's variables only
// when the whole walk succeeded; keys and values the walk cannot open or
// read are left out, as if they were not there.
#include <windows.h>

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
#include "runtime/values/list.h"
#include "runtime/values/text.h"
#include "runtime/values/unified_array.h"

namespace {

constexpr uint32_t kDefaultMaxDepth = 255;
// The registry nests keys at most this deep; a walk that gets deeper is
// following a link back into itself, and stops there rather than overflow
// the stack.
constexpr uint32_t kRegistryDepthLimit = 512;
constexpr uint32_t kNameStep = 32;
constexpr uint32_t kDataStep = 64;
// Names in the registry are at most 16,383 units long.
constexpr uint32_t kMaxNameUnits = 16384;
// How often one value is retried after it outgrew the buffers because the
// key changed while it was being listed.
constexpr int kGrowRetries = 8;

// The working record of one command execution. It owns the lists until
// they are handed to the script's variables, and frees whatever is left.
struct TBuildRegTreeIntData {
  HKEY RegBranch = nullptr;
  const wchar_t* RegBranchName = nullptr;
  std::unique_ptr<wchar_t[]> NameBufferPtr;
  uint32_t NameBufferSize = 0;
  std::unique_ptr<uint8_t[]> DataBufferPtr;
  uint32_t DataBufferSize = 0;
  PArrayHeader PKeyNameList = nullptr;
  PArrayHeader PWriteDateList = nullptr;
  PArrayHeader PKeyLevelList = nullptr;
  PArrayHeader PValueNameList = nullptr;
  PArrayHeader PValueTypeList = nullptr;
  PArrayHeader PValueDataList = nullptr;
  bool ReadValues = false;
  bool StoreFullPath = false;
  uint32_t MaxDepth = kDefaultMaxDepth;

  TBuildRegTreeIntData() = default;
  TBuildRegTreeIntData(const TBuildRegTreeIntData&) = delete;
  TBuildRegTreeIntData& operator=(const TBuildRegTreeIntData&) = delete;
  ~TBuildRegTreeIntData() {
    xL_Free(&PKeyNameList);
    UA_Free(&PWriteDateList);
    UA_Free(&PKeyLevelList);
    xL_Free(&PValueNameList);
    UA_Free(&PValueTypeList);
    xL_Free(&PValueDataList);
  }
};

// What one key's RegQueryInfoKeyW tells the walk.
struct TKeyFacts {
  DWORD LongestSubKey = 0;
  DWORD LongestValueName = 0;
  DWORD LongestData = 0;
  FILETIME Written = {0, 0};
};

bool QueryKeyFacts(HKEY key, TKeyFacts* facts) {
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &facts->LongestSubKey, nullptr,
                          nullptr, &facts->LongestValueName, &facts->LongestData, nullptr,
                          &facts->Written) == ERROR_SUCCESS;
}

// ---- Buffers ----

// The buffers only ever grow during one command. False when memory for a
// larger one cannot be had; the buffer is then left as it was.
template <typename T>
bool GrowBuffer(std::unique_ptr<T[]>* buffer, uint32_t* size, uint64_t needed) {
  if (needed <= *size) return true;
  T* larger = new (std::nothrow) T[needed];
  if (larger == nullptr) return false;
  buffer->reset(larger);
  *size = uint32_t(needed);
  return true;
}

bool GrowNameBuffer(TBuildRegTreeIntData* data, uint64_t units) {
  return GrowBuffer(&data->NameBufferPtr, &data->NameBufferSize, RoundUp(units, kNameStep));
}

// Never zero bytes, so that the registry always gets a buffer to fill.
bool GrowDataBuffer(TBuildRegTreeIntData* data, uint64_t bytes) {
  return GrowBuffer(&data->DataBufferPtr, &data->DataBufferSize,
                    RoundUp(bytes > kDataStep ? bytes : kDataStep, kDataStep));
}

bool FitBuffers(TBuildRegTreeIntData* data, const TKeyFacts& facts) {
  const DWORD longestName =
      facts.LongestSubKey > facts.LongestValueName ? facts.LongestSubKey : facts.LongestValueName;
  if (!GrowNameBuffer(data, uint64_t(longestName) + 1)) return false;
  return !data->ReadValues || data->PValueDataList == nullptr ||
         GrowDataBuffer(data, facts.LongestData);
}

// After ERROR_MORE_DATA: the key changed since it was asked for its
// longest name and data. Asks again and grows past what failed, to what the
// registry now reports or at least twice the buffer that was too small.
// 0 with *retry set when the entry can be read again; 0 without it when the
// key's listing has to end there; 1002 when memory cannot be had.
TStatus RefitBuffers(TBuildRegTreeIntData* data, HKEY key, DWORD reportedData, bool* retry) {
  *retry = false;
  TKeyFacts facts;
  if (!QueryKeyFacts(key, &facts)) return kStatusOk;
  const bool dataTooSmall = data->PValueDataList != nullptr && reportedData > data->DataBufferSize;
  if (!dataTooSmall && data->NameBufferSize >= kMaxNameUnits) return kStatusOk;
  const bool grown = FitBuffers(data, facts) &&
                     (dataTooSmall ? GrowDataBuffer(data, reportedData)
                                   : GrowNameBuffer(data, uint64_t(data->NameBufferSize) * 2));
  *retry = grown;
  return grown ? kStatusOk : kStatusOutOfMemory;
}

// ---- Rows ----

TStatus AddText(PArrayHeader* list, const wchar_t* units, size_t length) {
  return UStrL_AddBuffer(list, reinterpret_cast<const char16_t*>(units), int32_t(length));
}

TStatus EmitKeyRow(TBuildRegTreeIntData* data, const std::wstring& keyPath,
                   const std::wstring& keyName, const TKeyFacts& facts, uint32_t level) {
  TStatus status = kStatusOk;
  if (data->PKeyNameList != nullptr) {
    const std::wstring name = data->StoreFullPath ? data->RegBranchName + keyPath : keyName;
    status = AddText(&data->PKeyNameList, name.data(), name.size());
  }
  if (status == kStatusOk && data->PWriteDateList != nullptr) {
    ULARGE_INTEGER time;
    time.LowPart = facts.Written.dwLowDateTime;
    time.HighPart = facts.Written.dwHighDateTime;
    status = UA_AddInts(&data->PWriteDateList, int64_t(time.QuadPart), 1);
  }
  if (status == kStatusOk && data->PKeyLevelList != nullptr) {
    status = UA_AddDWORDs(&data->PKeyLevelList, level, 1);
  }
  return status;
}

TStatus EmitValueRow(TBuildRegTreeIntData* data, DWORD nameLength, DWORD type, DWORD size) {
  TStatus status = kStatusOk;
  if (data->PValueNameList != nullptr) {
    status = AddText(&data->PValueNameList, data->NameBufferPtr.get(), nameLength);
  }
  if (status == kStatusOk && data->PValueTypeList != nullptr) {
    status = UA_AddDWORDs(&data->PValueTypeList, type, 1);
  }
  if (status == kStatusOk && data->PValueDataList != nullptr) {
    status = BBL_AddBuffer(&data->PValueDataList, data->DataBufferPtr.get(), size);
  }
  return status;
}

// ---- The walk ----

// One row per value of the open key, each behind its key's row.
TStatus ListValues(TBuildRegTreeIntData* data, HKEY key, const std::wstring& keyPath,
                   const std::wstring& keyName, const TKeyFacts& facts, uint32_t level) {
  int retries = 0;
  for (DWORD index = 0;;) {
    DWORD nameLength = data->NameBufferSize;
    DWORD type = REG_NONE;
    DWORD size = data->DataBufferSize;
    const bool withData = data->PValueDataList != nullptr;
    const LONG result =
        RegEnumValueW(key, index, data->NameBufferPtr.get(), &nameLength, nullptr, &type,
                      withData ? data->DataBufferPtr.get() : nullptr, withData ? &size : nullptr);
    if (result == ERROR_MORE_DATA && retries < kGrowRetries) {
      ++retries;
      bool retry;
      const TStatus status = RefitBuffers(data, key, size, &retry);
      if (status != kStatusOk || !retry) return status;
      continue;
    }
    if (result != ERROR_SUCCESS) return kStatusOk;
    retries = 0;
    TStatus status = EmitKeyRow(data, keyPath, keyName, facts, level);
    if (status == kStatusOk) status = EmitValueRow(data, nameLength, type, withData ? size : 0);
    if (status != kStatusOk) return status;
    ++index;
  }
}

std::wstring ChildPath(const std::wstring& parent, const wchar_t* name, DWORD length) {
  std::wstring path = parent;
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path.append(name, length);
}

TStatus WalkKey(TBuildRegTreeIntData* data, const std::wstring& keyPath,
                const std::wstring& keyName, uint32_t level) {
  TRegKey key;
  if (key.Open(data->RegBranch, keyPath, KEY_READ) != ERROR_SUCCESS) return kStatusOk;
  TKeyFacts facts;
  if (!QueryKeyFacts(key.Get(), &facts)) return kStatusOk;
  TStatus status = kStatusOk;
  if (!data->ReadValues) status = EmitKeyRow(data, keyPath, keyName, facts, level);
  if (status != kStatusOk) return status;
  if (!FitBuffers(data, facts)) return kStatusOutOfMemory;
  if (data->ReadValues) status = ListValues(data, key.Get(), keyPath, keyName, facts, level);
  if (status != kStatusOk || level >= data->MaxDepth || level + 1 >= kRegistryDepthLimit) {
    return status;
  }
  int retries = 0;
  for (DWORD index = 0;;) {
    DWORD length = data->NameBufferSize;
    const LONG result = RegEnumKeyExW(key.Get(), index, data->NameBufferPtr.get(), &length, nullptr,
                                      nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA && retries < kGrowRetries) {
      ++retries;
      bool retry;
      status = RefitBuffers(data, key.Get(), 0, &retry);
      if (status != kStatusOk || !retry) return status;
      continue;
    }
    if (result != ERROR_SUCCESS) return kStatusOk;
    retries = 0;
    ++index;
    // The walk below reuses the name buffer, so the name is taken out first.
    const std::wstring name(data->NameBufferPtr.get(), length);
    status = WalkKey(data, ChildPath(keyPath, name.data(), length), name, level + 1);
    if (status != kStatusOk) return status;
  }
}

// ---- The commands ----

// One result list: the variable that receives it, the kind it gets, and the
// record's field that holds it while the walk fills it.
struct TTreeList {
  TOptionalResult Result;
  TVarType Kind;
  PArrayHeader TBuildRegTreeIntData::*Field;
};

enum TTreeListIndex { kKeyNames, kWriteDates, kLevels, kValueNames, kValueTypes, kValueData };

// The parameters, in their order: 0 or 102.
TStatus FetchTreeRequest(TScriptContext* context, bool values, TFetchedText* holder,
                         const TArrayHeader** keyPath, uint32_t* fullPath, TTreeList* lists,
                         uint32_t* maxDepth) {
  if (FetchTextOr(context, holder, USTR_Empty(), keyPath) != kStatusOk ||
      FetchOptionalResult(context, &lists[kKeyNames].Result) != kStatusOk ||
      FetchDWORDOr(context, 0, fullPath) != kStatusOk ||
      FetchOptionalResult(context, &lists[kWriteDates].Result) != kStatusOk ||
      FetchOptionalResult(context, &lists[kLevels].Result) != kStatusOk) {
    return kStatusBadParam;
  }
  for (int i = kValueNames; values && i <= kValueData; ++i) {
    if (FetchOptionalResult(context, &lists[i].Result) != kStatusOk) return kStatusBadParam;
  }
  return FetchDWORDOr(context, kDefaultMaxDepth, maxDepth);
}

// A new empty list of the kind; null when it cannot be made.
PArrayHeader NewList(TVarType kind) {
  if (kind == vtUnicodeStringList || kind == vtBinBlockList) return xL_New();
  return UA_New(0, VarKindElemSize(kind));
}

TStatus ListTree(TScriptContext* context, bool values) {
  typedef TBuildRegTreeIntData R;
  TTreeList lists[] = {
      {{}, vtUnicodeStringList, &R::PKeyNameList}, {{}, vtIntArray, &R::PWriteDateList},
      {{}, vtDWORDArray, &R::PKeyLevelList},       {{}, vtUnicodeStringList, &R::PValueNameList},
      {{}, vtDWORDArray, &R::PValueTypeList},      {{}, vtBinBlockList, &R::PValueDataList},
  };
  TFetchedText holder;
  const TArrayHeader* keyPath;
  uint32_t fullPath;
  TBuildRegTreeIntData data;
  TStatus status =
      FetchTreeRequest(context, values, &holder, &keyPath, &fullPath, lists, &data.MaxDepth);
  if (status != kStatusOk) return status;
  for (const TTreeList& list : lists) {
    if (list.Result.Given && ResolveVar(context, list.Result.Reference) == nullptr) {
      return kStatusNoSuchVariable;
    }
  }
  for (const TTreeList& list : lists) {
    if (!list.Result.Given) continue;
    data.*list.Field = NewList(list.Kind);
    if (data.*list.Field == nullptr) return kStatusOutOfMemory;
  }
  TRegistryPath path;
  status = SplitRegistryPath(keyPath, &path);
  if (status != kStatusOk) return status;
  data.RegBranch = path.Root->Key;
  data.RegBranchName = path.Root->Prefix;
  data.ReadValues = values && (lists[kValueNames].Result.Given || lists[kValueTypes].Result.Given ||
                               lists[kValueData].Result.Given);
  data.StoreFullPath = fullPath != 0;
  // A path with a zero unit names no key that can be opened.
  if (!path.HasZero) status = WalkKey(&data, path.SubKey, std::wstring(), 0);
  if (status != kStatusOk) return status;
  // Every variable was checked above, so each store takes its list.
  for (const TTreeList& list : lists) {
    if (!list.Result.Given) continue;
    if (StoreArrayRef(context, list.Result.Reference, data.*list.Field, list.Kind) == kStatusOk) {
      data.*list.Field = nullptr;
    }
  }
  return kStatusOk;
}

}  // namespace

TStatus CmdRegistryListKeys(TScriptContext* context) {
  return ListTree(context, false);
}

TStatus CmdRegistryListValues(TScriptContext* context) {
  return ListTree(context, true);
}
