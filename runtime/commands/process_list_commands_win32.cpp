// The process list and the running process: the ids, image names and parent
// ids of every process, read straight from the system's process table; the
// ids and pseudo handles of the running process and thread; and whether a
// process runs as a 64-bit process.
//
// The system functions that not every platform has are looked up once, by
// name, in the libraries of the loaded-library list.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/optional_results.h"
#include "runtime/core/fetch.h"
#include "runtime/core/library_list.h"
#include "runtime/core/variables.h"
#include "runtime/values/list.h"
#include "runtime/values/unified_array.h"

namespace {

// The fields of a process-table record that the list reads, where 32-bit
// Windows puts them.
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName) == 56 &&
              offsetof(SYSTEM_PROCESS_INFORMATION, UniqueProcessId) == 68 &&
              offsetof(SYSTEM_PROCESS_INFORMATION, InheritedFromUniqueProcessId) == 72);

constexpr NTSTATUS kInfoLengthMismatch = NTSTATUS(0xC0000004);
constexpr NTSTATUS kBufferTooSmall = NTSTATUS(0xC0000023);

// The table is asked for in a buffer that starts at 64 KiB and grows by
// 64 KiB (or at once to the size the system reports) while the system says
// it is too small. A table beyond 64 MiB — far more than any real process
// table — is taken as a system that will never be satisfied: 1070.
constexpr ULONG kTableStep = 0x10000;
constexpr ULONG kTableLimit = 0x4000000;

// A function of a library of the list (kernel32, ntdll), or null.
FARPROC SystemFunction(const char16_t* library, const char* name) {
  const TLibHandle module = LibList_Find(library);
  if (module == kLibNotFound || module == 0) return nullptr;
  return GetProcAddress(reinterpret_cast<HMODULE>(module), name);
}

typedef NTSTATUS(WINAPI* TQuerySystemInformation)(ULONG infoClass, void* buffer, ULONG size,
                                                  ULONG* needed);

TQuerySystemInformation QueryFunction() {
  static const TQuerySystemInformation query = reinterpret_cast<TQuerySystemInformation>(
      reinterpret_cast<void*>(SystemFunction(u"ntdll", "ZwQuerySystemInformation")));
  return query;
}

struct TProcessTable {
  std::unique_ptr<uint8_t[]> Buffer;
  ULONG Size = 0;
};

uint64_t NextTableSize(uint64_t size, ULONG needed) {
  return std::max<uint64_t>(size + kTableStep, RoundUp(needed, kTableStep));
}

// 0; 1002 when a buffer cannot be had; 1070 when the query function is
// missing, fails for another reason than the buffer's size, or wants more
// than kTableLimit.
TStatus QueryProcessTable(TProcessTable* table) {
  const TQuerySystemInformation query = QueryFunction();
  if (query == nullptr) return kStatusSystemFunctionMissing;
  for (uint64_t size = kTableStep; size <= kTableLimit;) {
    table->Buffer.reset(new (std::nothrow) uint8_t[size]);
    if (table->Buffer == nullptr) return kStatusOutOfMemory;
    ULONG needed = 0;
    const NTSTATUS result =
        query(SystemProcessInformation, table->Buffer.get(), ULONG(size), &needed);
    if (NT_SUCCESS(result)) {
      table->Size = ULONG(size);
      return kStatusOk;
    }
    if (result != kInfoLengthMismatch && result != kBufferTooSmall) break;
    size = NextTableSize(size, needed);
  }
  table->Buffer.reset();
  return kStatusSystemFunctionMissing;
}

// The lists a script asked for; those not stored are freed with it.
struct TProcessLists {
  TOptionalResult Ids, Names, Parents;
  PArrayHeader IdArray = nullptr;
  PArrayHeader NameList = nullptr;
  PArrayHeader ParentArray = nullptr;

  TProcessLists() = default;
  TProcessLists(const TProcessLists&) = delete;
  TProcessLists& operator=(const TProcessLists&) = delete;
  ~TProcessLists() {
    UA_Free(&IdArray);
    xL_Free(&NameList);
    UA_Free(&ParentArray);
  }
};

uint32_t IdOf(HANDLE id) {
  return uint32_t(reinterpret_cast<uintptr_t>(id));
}

TStatus AddProcess(TProcessLists* lists, const SYSTEM_PROCESS_INFORMATION& process) {
  TStatus status = kStatusOk;
  if (lists->Ids.Given) status = UA_AddDWORDs(&lists->IdArray, IdOf(process.UniqueProcessId), 1);
  if (status == kStatusOk && lists->Names.Given) {
    // The idle process has no name buffer.
    const UNICODE_STRING& name = process.ImageName;
    const int32_t length = name.Buffer != nullptr ? int32_t(name.Length / 2) : 0;
    status =
        UStrL_AddBuffer(&lists->NameList, reinterpret_cast<const char16_t*>(name.Buffer), length);
  }
  if (status == kStatusOk && lists->Parents.Given) {
    status = UA_AddDWORDs(&lists->ParentArray, IdOf(process.InheritedFromUniqueProcessId), 1);
  }
  return status;
}

// Walks the records in table order. A link that would leave the buffer ends
// the walk.
TStatus WalkProcessTable(const TProcessTable& table, TProcessLists* lists) {
  constexpr ULONG kRecord = sizeof(SYSTEM_PROCESS_INFORMATION);
  for (ULONG offset = 0; offset <= table.Size - kRecord;) {
    SYSTEM_PROCESS_INFORMATION process;
    std::memcpy(&process, table.Buffer.get() + offset, kRecord);
    const TStatus status = AddProcess(lists, process);
    if (status != kStatusOk) return status;
    if (process.NextEntryOffset == 0 || process.NextEntryOffset > table.Size - offset) break;
    offset += process.NextEntryOffset;
  }
  return kStatusOk;
}

// Moves a list into its variable when the script asked for it.
void StoreList(TScriptContext* context, const TOptionalResult& result, PArrayHeader* list,
               TVarType kind) {
  if (!result.Given) return;
  if (StoreArrayRef(context, result.Reference, *list, kind) == kStatusOk) *list = nullptr;
}

bool NamesVariable(TScriptContext* context, const TOptionalResult& result) {
  return !result.Given || ResolveVar(context, result.Reference) != nullptr;
}

// ---- 64-bit processes ----

// A 64-bit system is one whose native processor is x64.
bool SystemIs64Bit() {
  static const bool is64Bit = [] {
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    return (info.wProcessorArchitecture & 9) == 9;
  }();
  return is64Bit;
}

typedef BOOL(WINAPI* TIsWow64Process)(HANDLE process, BOOL* wow64);

TIsWow64Process IsWow64Function() {
  static const TIsWow64Process isWow64 = reinterpret_cast<TIsWow64Process>(
      reinterpret_cast<void*>(SystemFunction(u"kernel32", "IsWow64Process")));
  return isWow64;
}

}  // namespace

TStatus CmdProcessList(TScriptContext* context) {
  TProcessLists lists;
  for (TOptionalResult* result : {&lists.Ids, &lists.Names, &lists.Parents}) {
    if (FetchOptionalResult(context, result) != kStatusOk) return kStatusBadParam;
  }
  for (const TOptionalResult* result : {&lists.Ids, &lists.Names, &lists.Parents}) {
    if (!NamesVariable(context, *result)) return kStatusNoSuchVariable;
  }
  if (lists.Names.Given) {
    lists.NameList = xL_New();
    if (lists.NameList == nullptr) return kStatusOutOfMemory;
  }
  TProcessTable table;
  TStatus status = QueryProcessTable(&table);
  if (status == kStatusOk) status = WalkProcessTable(table, &lists);
  if (status != kStatusOk) return status;
  StoreList(context, lists.Ids, &lists.IdArray, vtDWORDArray);
  StoreList(context, lists.Names, &lists.NameList, vtUnicodeStringList);
  StoreList(context, lists.Parents, &lists.ParentArray, vtDWORDArray);
  return kStatusOk;
}

TStatus CmdProcessGetCurrentIds(TScriptContext* context) {
  TOptionalResult results[2];
  for (TOptionalResult& result : results) {
    if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  }
  const uint32_t values[2] = {GetCurrentProcessId(), GetCurrentThreadId()};
  return StoreOptionalDWORDs(context, results, values, 2);
}

TStatus CmdProcessGetCurrentHandles(TScriptContext* context) {
  TOptionalResult results[2];
  for (TOptionalResult& result : results) {
    if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  }
  const uint32_t values[2] = {IdOf(GetCurrentProcess()), IdOf(GetCurrentThread())};
  return StoreOptionalDWORDs(context, results, values, 2);
}

// 1 when the process runs as a 64-bit process: on a 64-bit system, one that
// does not run under WOW64. Where the system cannot tell, 0.
TStatus CmdProcessIs64Bit(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  uint32_t handle;
  TStatus status = GetVarDWORD(context, reference, &handle);
  if (status != kStatusOk) return status;
  TFetchStatus resultStatus;
  const uint32_t result = FetchDWORD(context, &resultStatus, reference);
  if (resultStatus == kFetchUnusable) return kStatusBadParam;
  uint32_t is64Bit = 0;
  const TIsWow64Process isWow64 = IsWow64Function();
  if (SystemIs64Bit() && isWow64 != nullptr) {
    BOOL wow64 = FALSE;
    if (!isWow64(reinterpret_cast<HANDLE>(uintptr_t(handle)), &wow64)) {
      context->LastWindowsError = GetLastError();
      return kStatusIs64BitFailed;
    }
    is64Bit = wow64 ? 0 : 1;
  }
  return Var_StoreDWORD(context, result, is64Bit);
}
