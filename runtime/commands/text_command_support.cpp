#include "runtime/commands/text_command_support.h"

#include "base/bytes.h"
#include "base/status.h"
#include "runtime/core/variables.h"

TStatus FetchTextOr(TScriptContext* context, TFetchedText* holder, const TArrayHeader* fallback,
                    const TArrayHeader** text) {
  const TFetchStatus status = holder->Fetch(context);
  if (status == kFetchUnusable) return kStatusBadParam;
  *text = status == kFetchValue ? holder->Get() : fallback;
  return *text != nullptr ? kStatusOk : kStatusBadParam;
}

TStatus FetchBlockOr(TScriptContext* context, const TArrayHeader* fallback,
                     const TArrayHeader** block) {
  TFetchStatus status;
  const TArrayHeader* fetched = FetchBinBlock(context, &status);
  if (status == kFetchUnusable) return kStatusBadParam;
  *block = status == kFetchValue ? fetched : fallback;
  return *block != nullptr ? kStatusOk : kStatusBadParam;
}

// Preparation has checked that every parameter lies inside its code
// section, so the kind byte and a variable's reference can be read as they
// stand.
TNextParam PeekParam(TScriptContext* context) {
  if (context->IP >= context->CodeEnd) return {ptEndOfParam, nullptr};
  const uint8_t* p = context->ScriptStart + context->IP;
  if (p[0] != ptVariable) return {p[0], nullptr};
  return {ptVariable, ResolveVar(context, LoadU32(p + 1))};
}

TStatus SkipToListItem(TScriptContext* context, bool defaultIsCount, uint32_t* repeat,
                       TNextParam* next) {
  while (true) {
    *next = PeekParam(context);
    if (next->Kind == ptEndOfParam) return kStatusOk;
    if (next->Kind == ptVariable && next->Variable == nullptr) return kStatusNoSuchVariable;
    const TVarType kind = next->Kind == ptVariable ? next->Variable->VarType : vtInvalid;
    const bool isCount = next->Kind == ptInteger || next->Kind == ptDWORD || next->Kind == ptByte ||
                         next->Kind == ptWord || (defaultIsCount && next->Kind == ptDefault) ||
                         kind == vtInteger || kind == vtDWORD;
    if (!isCount) return kStatusOk;
    TFetchStatus status;
    *repeat = FetchDWORD(context, &status, 1);
  }
}
