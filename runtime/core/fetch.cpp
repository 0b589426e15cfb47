#include "runtime/core/fetch.h"

#include "base/bytes.h"
#include "base/status.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

using fetch_detail::kNoParam;
using fetch_detail::TakeParam;

inline TZorvatVariable* PayloadVariable(TScriptContext* c, const uint8_t* payload) {
  return ResolveVar(c, LoadU32(payload));
}

// Empty arrays handed out for array variables that hold no array, so that a
// handler never sees null together with status 0.
struct TEmptyArrays {
  TArrayHeader IntArray{8, 0, 0, 0};
  TArrayHeader ExtArray{10, 0, 0, 0};
  TArrayHeader DWORDArray{4, 0, 0, 0};
  TArrayHeader List{kListElemSize, 0, 0, 0};
};
TEmptyArrays gEmpty;

PArrayHeader EmptyArrayOf(TVarType kind) {
  switch (kind) {
    case vtIntArray:
      return &gEmpty.IntArray;
    case vtExtArray:
      return &gEmpty.ExtArray;
    case vtDWORDArray:
      return &gEmpty.DWORDArray;
    case vtBinBlock:
      return BB_Empty();
    case vtUnicodeString:
      return USTR_Empty();
    default:
      return &gEmpty.List;
  }
}

}  // namespace

TExtended FetchExtended(TScriptContext* context, TFetchStatus* status, TExtended defaultValue) {
  const uint8_t* p = nullptr;
  *status = kFetchValue;
  switch (TakeParam(context, &p)) {
    case ptByte:
      return TExtended(int8_t(p[0]));
    case ptWord:
      return TExtended(int16_t(LoadU16(p)));
    case ptDWORD:
      return TExtended(LoadU32(p));
    case ptInteger:
      return TExtended(int64_t(LoadU64(p)));
    case ptExtended:
      return LoadExtended(p);
    case ptVariable: {
      TZorvatVariable* v = PayloadVariable(context, p);
      if (v == nullptr) break;
      if (v->VarType == vtInteger) return TExtended(v->AsInteger);
      if (v->VarType == vtExtended) return v->AsExtended;
      if (v->VarType == vtDWORD) return TExtended(v->AsDWORD);
      break;
    }
    case ptDefault:
      *status = kFetchDefault;
      return defaultValue;
    case ptEndOfParam:
    case kNoParam:
      *status = kFetchEnd;
      return defaultValue;
  }
  *status = kFetchUnusable;
  return 0;
}

PArrayHeader FetchArray(TScriptContext* context, TFetchStatus* status, TParamType expected) {
  const uint8_t* p = nullptr;
  *status = kFetchValue;
  const uint8_t kind = TakeParam(context, &p);
  switch (kind) {
    case ptDefault:
      *status = kFetchDefault;
      return nullptr;
    case ptEndOfParam:
    case kNoParam:
      *status = kFetchEnd;
      return nullptr;
    case ptVariable: {
      TZorvatVariable* v = PayloadVariable(context, p);
      TVarType wanted = ParamKindToVarKind(expected);
      if (v == nullptr || v->VarType != wanted || !VarKindHasItems(wanted)) break;
      return v->UA != nullptr ? v->UA : EmptyArrayOf(wanted);
    }
    default:
      if (kind == expected && IsLongDataKind(kind)) {
        return context->Prepared->Constants[LoadU32(p)];
      }
      break;
  }
  *status = kFetchUnusable;
  return nullptr;
}

PArrayHeader FetchText(TScriptContext* context, TFetchStatus* status) {
  const uint8_t* p = nullptr;
  *status = kFetchValue;
  PArrayHeader text = nullptr;
  switch (TakeParam(context, &p)) {
    case ptDefault:
      *status = kFetchDefault;
      return nullptr;
    case ptEndOfParam:
    case kNoParam:
      *status = kFetchEnd;
      return nullptr;
    case ptUnicodeString:
      return context->Prepared->Constants[LoadU32(p)];
    case ptBinBlock:
      text = USTR_FromBB(context->Prepared->Constants[LoadU32(p)]);
      break;
    case ptVariable: {
      TZorvatVariable* v = PayloadVariable(context, p);
      if (v != nullptr && v->VarType == vtBinBlock) text = USTR_FromBB(v->UA);
      if (v != nullptr && v->VarType == vtUnicodeString) {
        text = v->UA != nullptr ? USTR_Clone(v->UA) : USTR_Empty();
      }
      break;
    }
  }
  if (text == nullptr) *status = kFetchUnusable;
  return text;
}

PArrayHeader FetchTextInPlace(TScriptContext* context, TFetchStatus* status, bool* owned) {
  *owned = false;
  const uint32_t at = context->IP;
  const uint8_t* p = nullptr;
  const uint8_t kind = TakeParam(context, &p);
  if (kind == ptVariable) {
    TZorvatVariable* v = PayloadVariable(context, p);
    if (v != nullptr && v->VarType == vtUnicodeString) {
      *status = kFetchValue;
      return v->UA != nullptr ? v->UA : USTR_Empty();
    }
  }
  // Everything else as FetchText reads it: a constant as it is, a block
  // converted.
  context->IP = at;
  PArrayHeader text = FetchText(context, status);
  *owned = *status == kFetchValue && text != nullptr && !UA_IsStatic(text);
  return text;
}
