// The parameters that the conversions of a variable's value share: the
// source variable's reference, which must be given, and the result
// variable's, which defaults to the source so that the result replaces it.
#pragma once

#include <cstdint>

#include "base/status.h"
#include "runtime/core/fetch.h"

struct TConvertVariables {
  uint32_t Source;
  uint32_t Result;
};

// 0, or 102 when the source is not given or the result is unusable.
inline TStatus FetchConvertVariables(TScriptContext* context, TConvertVariables* names) {
  if (FetchRequiredDWORD(context, &names->Source) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  names->Result = FetchDWORD(context, &status, names->Source);
  return status == kFetchUnusable ? kStatusBadParam : kStatusOk;
}
