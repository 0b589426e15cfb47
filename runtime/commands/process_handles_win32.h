// How the process, thread and memory commands read the processes and
// threads a script names. A script holds a handle or an identifier as the
// DWORD (or integer) value of a variable; a command whose handle parameter is
// omitted uses the last started process or thread of the context.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/status.h"
#include "runtime/core/fetch.h"
#include "runtime/core/types.h"
#include "runtime/core/variables.h"

inline HANDLE HandleFromValue(uint32_t value) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}
inline uint32_t ValueOfHandle(HANDLE handle) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

// Fetches the next parameter as a variable holding a handle or an identifier
// and reads that variable's value: 0; 102 when the parameter is unusable;
// 101 for a variable of another kind; 1001 for a missing variable. The
// default marker and the end of the list give `fallback`.
inline TStatus FetchHandleValue(TScriptContext* context, uint32_t fallback, uint32_t* value) {
  TFetchStatus status;
  const uint32_t reference = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (status != kFetchValue) {
    *value = fallback;
    return kStatusOk;
  }
  return GetVarDWORD(context, reference, value);
}

inline TStatus FetchProcessHandle(TScriptContext* context, HANDLE* handle) {
  uint32_t value;
  const TStatus status =
      FetchHandleValue(context, ValueOfHandle(context->LastStartedProcess.hProcess), &value);
  *handle = HandleFromValue(value);
  return status;
}

inline TStatus FetchThreadHandle(TScriptContext* context, HANDLE* handle) {
  uint32_t value;
  const TStatus status =
      FetchHandleValue(context, ValueOfHandle(context->LastStartedProcess.hThread), &value);
  *handle = HandleFromValue(value);
  return status;
}
