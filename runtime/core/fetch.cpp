#include "runtime/core/fetch.h"

#include "runtime/core/bytes.h"
#include "runtime/core/image.h"
#include "runtime/core/status.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

// What TakeParam returns when IP stands at the end of its code section: there
// is nothing more to read, so the list has ended.
constexpr uint8_t kNoParam = 0xFF;

// Reads the kind byte at IP and steps IP over the parameter. The end byte
// is not stepped over: a handler that fetches again after the end of its list
// keeps getting the end instead of reading the next instruction, and the
// executor steps over the end byte when the handler returns.
inline uint8_t TakeParam(TScriptContext* c, const uint8_t** payload) {
  const uint32_t ip = c->IP;
  if (ip >= c->CodeEnd) return kNoParam;
  const uint8_t* p = c->ScriptStart + ip;
  const uint8_t kind = p[0];
  *payload = p + 1;
  if (kind != ptEndOfParam) {
    c->IP = ip + 1 + (kind < kParamTypeCount ? kParamPayloadSize[kind] : 0);
  }
  return kind;
}

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

uint32_t FetchDWORD(TScriptContext* context, uint8_t* status, uint32_t defaultValue) {
  const uint8_t* p = nullptr;
  *status = kFetchValue;
  switch (TakeParam(context, &p)) {
    case ptByte:
      return uint32_t(int32_t(int8_t(p[0])));
    case ptWord:
      return uint32_t(int32_t(int16_t(LoadU16(p))));
    case ptDWORD:
    case ptInteger:  // the low 32 bits
      return LoadU32(p);
    case ptVariable: {
      TZorvatVariable* v = PayloadVariable(context, p);
      if (v != nullptr && (v->VarType == vtDWORD || v->VarType == vtInteger)) return v->AsDWORD;
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

int64_t FetchInt64(TScriptContext* context, uint8_t* status, int64_t defaultValue) {
  const uint8_t* p = nullptr;
  *status = kFetchValue;
  switch (TakeParam(context, &p)) {
    case ptByte:
      return int8_t(p[0]);
    case ptWord:
      return int16_t(LoadU16(p));
    case ptDWORD:
      return int64_t(LoadU32(p));
    case ptInteger:
      return int64_t(LoadU64(p));
    case ptVariable: {
      TZorvatVariable* v = PayloadVariable(context, p);
      if (v != nullptr && v->VarType == vtInteger) return v->AsInteger;
      if (v != nullptr && v->VarType == vtDWORD) return int64_t(v->AsDWORD);
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

TExtended FetchExtended(TScriptContext* context, uint8_t* status, TExtended defaultValue) {
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

PArrayHeader FetchArray(TScriptContext* context, uint8_t* status, TParamType expected) {
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

PArrayHeader FetchText(TScriptContext* context, uint8_t* status) {
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

TStatus FetchRequiredDWORD(TScriptContext* context, uint32_t* value) {
  uint8_t status;
  *value = FetchDWORD(context, &status, 0);
  return status == kFetchValue ? kStatusOk : kStatusBadParam;
}

uint32_t CountParams(const TScriptContext* context, uint32_t position, uint32_t* end) {
  uint32_t count = 0;
  while (position < context->CodeEnd) {
    const uint8_t kind = context->ScriptStart[position];
    position += 1 + (kind < kParamTypeCount ? kParamPayloadSize[kind] : 0);
    if (kind == ptEndOfParam) break;
    ++count;
  }
  *end = position < context->CodeEnd ? position : context->CodeEnd;
  return count;
}
