// Whole collections held in variables: find the first or every item equal to
// (or, in lists, matching) a value, append a value several times, set the
// item count, and delete a run of items. One handler per operation serves
// the five collection kinds (DWORD, integer and float arrays, block and text
// lists), chosen by the command; setting the count and deleting also work on
// the bytes of a block and the units of a text.
//
// A collection that is a constant of the image is never written: growing,
// shrinking or deleting copies it first. Every check (variable, kind, mode,
// index) comes before the first change, so a failing command leaves the
// variable as it was.
#include <cstring>

#include "base/grow_array.h"
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

// The value a find or append command compares or adds, fetched by the
// collection kind: a number, or a block or text (empty when omitted).
struct TItemValue {
  uint32_t AsDWORD = 0;
  int64_t AsInteger = 0;
  TExtended AsExtended = 0;
  const TArrayHeader* Block = nullptr;  // a block, or a text in Text
  TFetchedText Text;
};

TStatus FetchItemValue(TScriptContext* context, TVarType kind, TItemValue* value) {
  TFetchStatus status = kFetchValue;
  switch (kind) {
    case vtDWORDArray:
      return FetchDWORDOr(context, 0, &value->AsDWORD);
    case vtIntArray:
      value->AsInteger = FetchInt64(context, &status, 0);
      break;
    case vtExtArray:
      value->AsExtended = FetchExtended(context, &status, 0);
      break;
    case vtBinBlockList:
      return FetchBlockOr(context, BB_Empty(), &value->Block);
    default:
      return FetchTextOr(context, &value->Text, USTR_Empty(), &value->Block);
  }
  return status == kFetchUnusable ? kStatusBadParam : kStatusOk;
}

// The variable named by `reference` when it holds exactly `kind`.
TStatus CollectionOfKind(TScriptContext* context, uint32_t reference, TVarType kind,
                         TZorvatVariable** variable) {
  *variable = ResolveVar(context, reference);
  if (*variable == nullptr) return kStatusNoSuchVariable;
  return (*variable)->VarType == kind ? kStatusOk : kStatusWrongKind;
}

// ---- Find ----

// Index of the first match in [first, last] (clamped to the items), or -1.
int32_t FindFrom(const TArrayHeader* a, TVarType kind, const TItemValue& value, uint32_t mode,
                 uint32_t first, uint32_t last) {
  switch (kind) {
    case vtDWORDArray:
      return UA_FindDWORD(a, value.AsDWORD, first, last);
    case vtIntArray:
      return UA_FindInt(a, value.AsInteger, first, last);
    case vtExtArray:
      return UA_FindExt(a, value.AsExtended, first, last);
    case vtBinBlockList:
      return BBL_Find(a, value.Block, first, mode, last);
    default:
      return UStrL_Find(a, value.Block, first, mode, last);
  }
}

// The indexes of every match, collected in one pass over the items.
TStatus FindEvery(const TArrayHeader* a, TVarType kind, const TItemValue& value, uint32_t mode,
                  uint32_t first, uint32_t last, PArrayHeader* found) {
  TGrowArray<uint32_t> indexes{};
  for (int64_t from = first; from <= last;) {
    const int32_t at = FindFrom(a, kind, value, mode, uint32_t(from), last);
    if (at < 0) break;
    *GrowArrayPush(indexes) = uint32_t(at);
    from = int64_t(at) + 1;
  }
  *found = UA_New(indexes.Count, 4);
  if (*found != nullptr && indexes.Count != 0) {
    std::memcpy(UA_Data(*found), indexes.Items, size_t(indexes.Count) * 4);
  }
  GrowArrayFree(indexes);
  return *found != nullptr ? kStatusOk : kStatusOutOfMemory;
}

// (array var, result var = the array var, value, start, [mode]). A start of
// -n searches items 0 to n.
TStatus FindInCollection(TScriptContext* context, TVarType kind, bool every) {
  uint32_t reference, result, start, mode = 1;
  TItemValue value;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, reference, &result) != kStatusOk) return kStatusBadParam;
  if (FetchItemValue(context, kind, &value) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &start) != kStatusOk) return kStatusBadParam;
  if (IsList(kind) && FetchDWORDOr(context, 1, &mode) != kStatusOk) return kStatusBadParam;
  TZorvatVariable* v;
  const TStatus found = CollectionOfKind(context, reference, kind, &v);
  if (found != kStatusOk) return found;
  if (IsList(kind) && (mode < 1 || mode > 4)) return kStatusBadListMatchMode;
  const bool fromStart = int32_t(start) < 0;
  const uint32_t first = fromStart ? 0 : start;
  const uint32_t last = fromStart ? 0 - start : UINT32_MAX;
  if (!every) {
    const int32_t at = FindFrom(v->UA, kind, value, mode, first, last);
    return Var_StoreDWORD(context, result, AsDWORDResult(at));
  }
  PArrayHeader indexes;
  const TStatus made = FindEvery(v->UA, kind, value, mode, first, last, &indexes);
  if (made != kStatusOk) return made;
  const TStatus stored = StoreArrayRef(context, result, indexes, vtDWORDArray);
  if (stored != kStatusOk) UA_Free(&indexes);
  return stored;
}

// ---- Append ----

// (array var, value, count = 1): count copies in one growth.
TStatus AppendToCollection(TScriptContext* context, TVarType kind) {
  uint32_t reference, count;
  TItemValue value;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchItemValue(context, kind, &value) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 1, &count) != kStatusOk) return kStatusBadParam;
  TZorvatVariable* v;
  const TStatus found = CollectionOfKind(context, reference, kind, &v);
  if (found != kStatusOk || count == 0) return found;
  switch (kind) {
    case vtDWORDArray:
      return UA_AddDWORDs(&v->UA, value.AsDWORD, count);
    case vtIntArray:
      return UA_AddInts(&v->UA, value.AsInteger, count);
    case vtExtArray:
      return UA_AddExts(&v->UA, value.AsExtended, count);
    case vtBinBlockList:
      return BBL_AddCopies(&v->UA, const_cast<PArrayHeader>(value.Block), count);
    default:
      return UStrL_AddCopies(&v->UA, const_cast<PArrayHeader>(value.Block), count);
  }
}

// ---- Set count and delete ----

bool IsResizable(TVarType kind) {
  switch (kind) {
    case vtIntArray:
    case vtExtArray:
    case vtBinBlock:
    case vtBinBlockList:
    case vtDWORDArray:
    case vtUnicodeString:
    case vtUnicodeStringList:
      return true;
    default:
      return false;
  }
}

TStatus ResizableVariable(TScriptContext* context, uint32_t reference, TZorvatVariable** v) {
  *v = ResolveVar(context, reference);
  if (*v == nullptr) return kStatusNoSuchVariable;
  return IsResizable((*v)->VarType) ? kStatusOk : kStatusWrongKind;
}

// Drops the elements from `count` on, which are already released or moved:
// the value is whole from here on, and a heap that refuses to give the room
// back only leaves the block larger than it needs.
void ShrinkInPlace(PArrayHeader* slot, uint32_t count) {
  (*slot)->ElemCount = count;
  UA_SetCount(slot, count);
}

// Sets the item count of a resizable value. New numeric items are zero, new
// list items the shared empty block or text, and a block or text grows by
// zero bytes or units; list items cut off are freed.
bool SetItemCount(TZorvatVariable* v, uint32_t count) {
  PArrayHeader* slot = &v->UA;
  switch (v->VarType) {
    case vtBinBlock:
      return BB_SetLength(slot, count);
    case vtUnicodeString:
      return USTR_SetLength(slot, count);
    default:
      break;
  }
  if (*slot == nullptr) {
    *slot = UA_New(0, VarKindElemSize(v->VarType));
    if (*slot == nullptr) return false;
  }
  const uint32_t old = (*slot)->ElemCount;
  if (IsList(v->VarType) && count < old && !UA_IsStatic(*slot)) {
    for (uint32_t i = count; i < old; ++i) UA_Free(&xL_Items(*slot)[i]);
    ShrinkInPlace(slot, count);
    return true;
  }
  if (!UA_SetCount(slot, count)) return false;
  if (IsList(v->VarType)) {
    PArrayHeader empty = v->VarType == vtBinBlockList ? BB_Empty() : USTR_Empty();
    for (uint32_t i = old; i < count; ++i) xL_Items(*slot)[i] = empty;
  }
  return true;
}

// Address of element i.
uint8_t* ItemBytes(PArrayHeader a, uint32_t i) {
  return UA_Data(a) + uint64_t(i) * a->ElemSize;
}

}  // namespace

TStatus CmdDWORDArrayFind(TScriptContext* context) {
  return FindInCollection(context, vtDWORDArray, false);
}
TStatus CmdDWORDArrayFindAll(TScriptContext* context) {
  return FindInCollection(context, vtDWORDArray, true);
}
TStatus CmdIntArrayFind(TScriptContext* context) {
  return FindInCollection(context, vtIntArray, false);
}
TStatus CmdIntArrayFindAll(TScriptContext* context) {
  return FindInCollection(context, vtIntArray, true);
}
TStatus CmdFloatArrayFind(TScriptContext* context) {
  return FindInCollection(context, vtExtArray, false);
}
TStatus CmdFloatArrayFindAll(TScriptContext* context) {
  return FindInCollection(context, vtExtArray, true);
}
TStatus CmdBlockListFind(TScriptContext* context) {
  return FindInCollection(context, vtBinBlockList, false);
}
TStatus CmdBlockListFindAll(TScriptContext* context) {
  return FindInCollection(context, vtBinBlockList, true);
}
TStatus CmdTextListFind(TScriptContext* context) {
  return FindInCollection(context, vtUnicodeStringList, false);
}
TStatus CmdTextListFindAll(TScriptContext* context) {
  return FindInCollection(context, vtUnicodeStringList, true);
}

TStatus CmdDWORDArrayAppend(TScriptContext* context) {
  return AppendToCollection(context, vtDWORDArray);
}
TStatus CmdIntArrayAppend(TScriptContext* context) {
  return AppendToCollection(context, vtIntArray);
}
TStatus CmdFloatArrayAppend(TScriptContext* context) {
  return AppendToCollection(context, vtExtArray);
}
TStatus CmdBlockListAppend(TScriptContext* context) {
  return AppendToCollection(context, vtBinBlockList);
}
TStatus CmdTextListAppend(TScriptContext* context) {
  return AppendToCollection(context, vtUnicodeStringList);
}

// (var, length = 1, relative flag = 0). A relative length is added to the
// current count; a result below 0 is 0, and one beyond what a value can hold
// cannot be allocated (1002).
TStatus CmdItemsSetCount(TScriptContext* context) {
  uint32_t reference, relative;
  TFetchStatus status;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  const int64_t length = FetchInt64(context, &status, 1);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &relative) != kStatusOk) return kStatusBadParam;
  TZorvatVariable* v;
  const TStatus found = ResizableVariable(context, reference, &v);
  if (found != kStatusOk) return found;
  int64_t count = length;
  if (relative != 0) {
    const int64_t current = UA_ItemCount(v->UA, v->VarType);
    count = length > INT64_MAX - current ? INT64_MAX : current + length;
  }
  if (count < 0) count = 0;
  if (count > int64_t(UINT32_MAX)) return kStatusOutOfMemory;
  return SetItemCount(v, uint32_t(count)) ? kStatusOk : kStatusOutOfMemory;
}

// (var, start = the last item, count = 1). Removes min(count, length - start)
// items from start; the items after them move down.
TStatus CmdItemsDelete(TScriptContext* context) {
  uint32_t reference, count;
  TFetchStatus status;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  uint32_t start = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  const bool lastItem = status != kFetchValue;
  if (FetchDWORDOr(context, 1, &count) != kStatusOk) return kStatusBadParam;
  TZorvatVariable* v;
  const TStatus found = ResizableVariable(context, reference, &v);
  if (found != kStatusOk || count == 0) return found;
  const uint32_t length = UA_ItemCount(v->UA, v->VarType);
  if (lastItem) start = length - 1;
  if (length == 0 || start >= length) return kStatusIndexOutOfRange;
  const TStatus writable = MakeVarWritable(context, reference);
  if (writable != kStatusOk) return writable;
  const uint32_t removed = UMin(count, length - start);
  PArrayHeader a = v->UA;
  if (IsList(v->VarType)) {
    for (uint32_t i = start; i < start + removed; ++i) UA_Free(&xL_Items(a)[i]);
  }
  // Texts and blocks move their terminators down with the items.
  std::memmove(ItemBytes(a, start), ItemBytes(a, start + removed),
               size_t(a->ElemCount - start - removed) * a->ElemSize);
  ShrinkInPlace(&v->UA, a->ElemCount - removed);
  return kStatusOk;
}
