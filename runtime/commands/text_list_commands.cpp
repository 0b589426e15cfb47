// Binary-block lists built from parameters or split from a block, and single
// items of block and text lists replaced. A list owns its items: a replaced
// item is freed, and a new item is a copy of what the script gave (a
// constant is shared, since nothing writes a constant).
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// Numbers set how often the next block is appended (1 to begin with and
// after each block); blocks are appended. Anything else fails with 1004.
// The list is built aside and stored at the end, as if the variable had been
// made an empty list first: a wrong parameter leaves the items before it
// (and the variable itself reads as that list), while a list that runs out
// of memory is dropped whole and the variable keeps its old value.
TStatus BuildBlockList(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* target = ResolveVar(context, reference);
  if (target == nullptr) return kStatusNoSuchVariable;
  PArrayHeader list = xL_New();
  if (list == nullptr) return kStatusOutOfMemory;
  uint32_t repeat = 1;
  TStatus status = kStatusOk;
  while (status == kStatusOk) {
    TNextParam next;
    status = SkipToListItem(context, false, &repeat, &next);
    if (status != kStatusOk || next.Kind == ptEndOfParam) break;
    const bool isTarget = next.Kind == ptVariable && next.Variable == target;
    const TVarType kind = next.Kind != ptVariable ? vtInvalid
                          : isTarget              ? vtBinBlockList
                                                  : next.Variable->VarType;
    if (next.Kind != ptBinBlock && kind != vtBinBlock) {
      status = kStatusWrongKind;
      break;
    }
    TFetchStatus fetched;
    PArrayHeader block = FetchBinBlock(context, &fetched);
    status = BBL_AddCopies(&list, block, repeat);
    repeat = 1;
  }
  if (status == kStatusOutOfMemory) {
    xL_Free(&list);
    return status;
  }
  StoreArrayRef(context, reference, list, vtBinBlockList);
  return status;
}

// The list variable's item at the index, checked: 1001, 1004 or 1011.
TStatus ListSlot(TScriptContext* context, uint32_t reference, TVarType listKind, uint32_t index,
                 PArrayHeader** slot) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != listKind) return kStatusWrongKind;
  // A constant list is always empty, so every list written here is the
  // variable's own.
  if (index >= xL_Count(v->UA)) return kStatusIndexOutOfRange;
  *slot = &xL_Items(v->UA)[index];
  return kStatusOk;
}

void ReplaceItem(PArrayHeader* slot, PArrayHeader item) {
  UA_Free(slot);
  *slot = item;
}

}  // namespace

TStatus CmdBlockListBuild(TScriptContext* context) {
  return RunToEndOfParams(context, [&] { return BuildBlockList(context); });
}

TStatus CmdBlockListSet(TScriptContext* context) {
  uint32_t reference, index;
  const TArrayHeader* block;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &index) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Empty(), &block) != kStatusOk) return kStatusBadParam;
  PArrayHeader* slot;
  const TStatus found = ListSlot(context, reference, vtBinBlockList, index, &slot);
  if (found != kStatusOk) return found;
  PArrayHeader copy = BB_Clone(const_cast<PArrayHeader>(block));
  if (copy == nullptr) return kStatusOutOfMemory;
  ReplaceItem(slot, copy);
  return kStatusOk;
}

TStatus CmdTextListSet(TScriptContext* context) {
  uint32_t reference, index;
  TFetchedText held;
  const TArrayHeader* text;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &index) != kStatusOk) return kStatusBadParam;
  if (FetchTextOr(context, &held, USTR_Empty(), &text) != kStatusOk) return kStatusBadParam;
  PArrayHeader* slot;
  const TStatus found = ListSlot(context, reference, vtUnicodeStringList, index, &slot);
  if (found != kStatusOk) return found;
  ReplaceItem(slot, held.Get() != nullptr ? held.Release() : USTR_Empty());
  return kStatusOk;
}

TStatus CmdBlockSplit(TScriptContext* context) {
  uint32_t source, target, keepEmpty;
  const TArrayHeader *delimiter, *quote;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Empty(), &delimiter) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Empty(), &quote) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &keepEmpty) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, source);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtBinBlock) return kStatusWrongKind;
  const TArrayHeader* block = v->UA != nullptr ? v->UA : BB_Empty();
  PArrayHeader list;
  bool split;
  const uint32_t status =
      SplitAsGiven(UA_Data(block), BB_Length(block), UA_Data(delimiter), BB_Length(delimiter),
                   UA_Data(quote), BB_Length(quote), keepEmpty != 0, &list, &split);
  if (status != kStatusOk || !split) return status;
  const TStatus stored = StoreArrayRef(context, target, list, vtBinBlockList);
  if (stored != kStatusOk) xL_Free(&list);
  return stored;
}
