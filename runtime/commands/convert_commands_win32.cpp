// The full path of a process's executable, read from a process handle that a
// script variable holds (from the process start or open commands).
#include <windows.h>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/convert_sources.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

namespace {

// Looked up once in kernel32, so that the runtime still loads where the
// system lacks it; the command then fails with 1070.
typedef BOOL(WINAPI* TQueryFullProcessImageNameW)(HANDLE process, DWORD flags, LPWSTR name,
                                                  PDWORD size);
TQueryFullProcessImageNameW QueryImageName() {
  static const TQueryFullProcessImageNameW query =
      reinterpret_cast<TQueryFullProcessImageNameW>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
  return query;
}

constexpr DWORD kPathUnits = 260;

}  // namespace

TStatus CmdProcessGetImagePath(TScriptContext* context) {
  TConvertVariables names;
  if (FetchConvertVariables(context, &names) != kStatusOk) return kStatusBadParam;
  uint32_t handle;
  const TStatus read = GetVarDWORD(context, names.Source, &handle);
  if (read != kStatusOk) return read;
  const TQueryFullProcessImageNameW query = QueryImageName();
  if (query == nullptr) {
    context->LastWindowsError = 0;
    return kStatusSystemFunctionMissing;
  }
  wchar_t path[kPathUnits + 1];
  DWORD length = kPathUnits;
  if (!query(reinterpret_cast<HANDLE>(uintptr_t(handle)), 0, path, &length)) {
    context->LastWindowsError = GetLastError();
    return kStatusImagePathFailed;
  }
  return Var_StoreUnicodeString(context, names.Result, reinterpret_cast<const char16_t*>(path),
                                length);
}
