// Copying whole values and runs of items between variables, and exchanging
// two items of an array, text, block or list. Copies are independent: a
// dynamic value is duplicated (a list with all its items), a constant of the
// image is shared, since nothing writes a constant in place.
#include <cstring>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

bool IsList(TVarType kind) {
  return kind == vtBinBlockList || kind == vtUnicodeStringList;
}

// A duplicate of an array value, or the value itself when it is static;
// false when it cannot be allocated.
bool DuplicateArray(PArrayHeader array, TVarType kind, PArrayHeader* copy) {
  *copy = array;
  if (array == nullptr || UA_IsStatic(array)) return true;
  if (kind == vtUnicodeString) {
    *copy = USTR_Clone(array);
  } else if (kind == vtBinBlock) {
    *copy = BB_Clone(array);
  } else if (UA_ItemCount(array, kind) == 0) {
    *copy = IsList(kind) ? xL_New() : UA_New(0, VarKindElemSize(kind));
  } else {
    *copy = UA_Slice(array, kind, 0, UA_ItemCount(array, kind));
  }
  return *copy != nullptr;
}

// Exchanges two elements of `size` bytes.
void SwapBytes(uint8_t* a, uint8_t* b, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) {
    const uint8_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

}  // namespace

TStatus CmdVarCopy(TScriptContext* context) {
  uint32_t source, target;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* from = ResolveVar(context, source);
  TZorvatVariable* to = ResolveVar(context, target);
  if (from == nullptr || to == nullptr) return kStatusNoSuchVariable;
  if (from == to) return kStatusOk;
  TZorvatVariable copy = *from;
  if (VarKindHasItems(from->VarType) && !DuplicateArray(from->UA, from->VarType, &copy.UA)) {
    return kStatusOutOfMemory;
  }
  ReleaseVar(to);
  *to = copy;
  return kStatusOk;
}

TStatus CmdVarCopyPart(TScriptContext* context) {
  uint32_t source, start, count, target;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &start) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0x7FFFFFFF, &count) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, source, &target) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, source);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (!VarKindHasItems(v->VarType)) return kStatusNoItems;
  if (start >= UA_ItemCount(v->UA, v->VarType)) return kStatusIndexOutOfRange;
  const TVarType kind = v->VarType;
  PArrayHeader part = UA_Slice(v->UA, kind, start, count);
  if (part == nullptr) return kStatusOutOfMemory;
  const TStatus stored = StoreArrayRef(context, target, part, kind);
  if (stored != kStatusOk) {
    if (IsList(kind)) {
      xL_Free(&part);
    } else {
      UA_Free(&part);
    }
  }
  return stored;
}

// Index b given as the default marker is a + 1; missing, it is 1.
TStatus CmdSwap(TScriptContext* context) {
  uint32_t reference, a, b;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &a) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  b = FetchDWORD(context, &status, 1);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (status == kFetchDefault) b = a + 1;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (!VarKindHasItems(v->VarType)) return kStatusNoItems;
  const uint32_t count = UA_ItemCount(v->UA, v->VarType);
  if (a >= count || b >= count) return kStatusIndexOutOfRange;
  // A constant list is always empty, so only arrays, texts and blocks may
  // need their own copy first.
  if (MakeVarWritable(context, reference) != kStatusOk) return kStatusOutOfMemory;
  const uint32_t size = v->UA->ElemSize;
  SwapBytes(UA_Data(v->UA) + uint64_t(a) * size, UA_Data(v->UA) + uint64_t(b) * size, size);
  return kStatusOk;
}
