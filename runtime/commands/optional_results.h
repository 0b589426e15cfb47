// Result variables that a command stores into only when the script names
// them (the cursor position, the mouse buttons, the last-started process).
// Every named variable is checked before the first store, so a command that
// names one missing variable stores into none of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

struct TOptionalResult {
  uint32_t Reference = 0;
  bool Given = false;
};

// Fetches the next parameter as an optional result variable: 0, or 102 when
// it is unusable. The default marker and the end of the list name none.
inline TStatus FetchOptionalResult(TScriptContext* context, TOptionalResult* result) {
  TFetchStatus status;
  result->Reference = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  result->Given = status == kFetchValue;
  return kStatusOk;
}

// Stores values[i] as a DWORD into every given result: 0, or 1001 when one of
// them names no variable (then nothing is stored).
inline TStatus StoreOptionalDWORDs(TScriptContext* context, const TOptionalResult* results,
                                   const uint32_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (results[i].Given && ResolveVar(context, results[i].Reference) == nullptr) {
      return kStatusNoSuchVariable;
    }
  }
  for (size_t i = 0; i < count; ++i) {
    if (results[i].Given) Var_StoreDWORD(context, results[i].Reference, values[i]);
  }
  return kStatusOk;
}
