// Sort: orders the items of a key variable (an array, text, block or list)
// and moves the items of any number of companion variables the same way, so
// that parallel arrays stay parallel. Everything is checked before anything
// moves: a failing sort leaves every variable as it was.
//
// The sort is a quicksort around the middle item, tracking the pivot by its
// position as items move. It recurses into the smaller part and loops over
// the larger, so its depth stays logarithmic; the parts are disjoint, so
// the order in which they are sorted does not change the result.
#include <cmath>
#include <cstring>

#include "base/bytes.h"
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

// List flags; any other key kind sorts descending when the flags are not 0.
constexpr uint32_t kDescending = 1;
constexpr uint32_t kIgnoreCase = 2;
constexpr uint32_t kShorterFirst = 4;

// One variable whose items move: its data and the size of one item.
struct TSortTarget {
  uint8_t* Data;
  uint32_t Size;
};

template <typename T>
int Order(T a, T b) {
  if (a < b) return -1;
  return a == b ? 0 : 1;
}

// NaNs sort after every number and equal to each other, so that the order
// stays consistent and the partition scans always stop.
int OrderFloats(TExtended a, TExtended b) {
  if (std::isnan(a) || std::isnan(b)) return Order(std::isnan(a), std::isnan(b));
  return Order(a, b);
}

int CompareTextItems(const TArrayHeader* a, const TArrayHeader* b, uint32_t flags) {
  if ((flags & kShorterFirst) != 0 && USTR_Length(a) != USTR_Length(b)) {
    return Order(USTR_Length(a), USTR_Length(b));
  }
  if (a == nullptr) a = USTR_Empty();
  if (b == nullptr) b = USTR_Empty();
  return (flags & kIgnoreCase) != 0
             ? USTR_CompareNoCase(USTR_Chars(a), USTR_Length(a), USTR_Chars(b), USTR_Length(b))
             : USTR_Compare(USTR_Chars(a), USTR_Length(a), USTR_Chars(b), USTR_Length(b));
}

int CompareBlockItems(const TArrayHeader* a, const TArrayHeader* b, uint32_t flags) {
  if ((flags & kShorterFirst) != 0 && BB_Length(a) != BB_Length(b)) {
    return Order(BB_Length(a), BB_Length(b));
  }
  if (a == nullptr) a = BB_Empty();
  if (b == nullptr) b = BB_Empty();
  return BB_Compare(UA_Data(a), BB_Length(a), UA_Data(b), BB_Length(b), (flags & kIgnoreCase) != 0);
}

// Compares items i and j of the key.
struct TSortKey {
  const uint8_t* Data;
  TVarType Kind;
  uint32_t Flags;
  bool Descending;

  int Compare(int64_t i, int64_t j) const {
    const int order = Ascending(i, j);
    return Descending ? -order : order;
  }

 private:
  template <typename T>
  T At(int64_t i) const {
    T v;
    std::memcpy(&v, Data + i * int64_t(sizeof(T)), sizeof(T));
    return v;
  }
  int Ascending(int64_t i, int64_t j) const {
    switch (Kind) {
      case vtIntArray:
        return Order(At<int64_t>(i), At<int64_t>(j));
      case vtDWORDArray:
        return Order(At<uint32_t>(i), At<uint32_t>(j));
      case vtExtArray:
        return OrderFloats(LoadExtended(Data + i * kExtendedBytes),
                           LoadExtended(Data + j * kExtendedBytes));
      case vtBinBlock:
        return Order(Data[i], Data[j]);
      case vtUnicodeString:
        return Order(At<char16_t>(i), At<char16_t>(j));
      case vtUnicodeStringList:
        return CompareTextItems(At<PArrayHeader>(i), At<PArrayHeader>(j), Flags);
      default:
        return CompareBlockItems(At<PArrayHeader>(i), At<PArrayHeader>(j), Flags);
    }
  }
};

struct TSorter {
  TSortKey Key;
  const TGrowArray<TSortTarget>& Targets;

  void Exchange(int64_t i, int64_t j) const {
    for (uint32_t t = 0; t < Targets.Count; ++t) {
      const TSortTarget& target = Targets.Items[t];
      uint8_t* a = target.Data + i * target.Size;
      uint8_t* b = target.Data + j * target.Size;
      for (uint32_t k = 0; k < target.Size; ++k) {
        const uint8_t v = a[k];
        a[k] = b[k];
        b[k] = v;
      }
    }
  }

  // One partition of [left, right]: afterwards the items up to *last are
  // not after the pivot and those from *first on are not before it.
  void Partition(int64_t left, int64_t right, int64_t* first, int64_t* last) const {
    int64_t i = left, j = right, pivot = (left + right) / 2;
    do {
      while (Key.Compare(i, pivot) < 0) ++i;
      while (Key.Compare(j, pivot) > 0) --j;
      if (i <= j) {
        if (i != j) Exchange(i, j);
        if (pivot == i) {
          pivot = j;
        } else if (pivot == j) {
          pivot = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    *first = i;
    *last = j;
  }

  void Sort(int64_t left, int64_t right) const {
    while (left < right) {
      int64_t i, j;
      Partition(left, right, &i, &j);
      if (j - left < right - i) {
        Sort(left, j);
        left = i;
      } else {
        Sort(i, right);
        right = j;
      }
    }
  }
};

struct TSortVariables {
  TGrowArray<TZorvatVariable*> Items{};
  TGrowArray<uint32_t> References{};
  TSortVariables() = default;
  TSortVariables(const TSortVariables&) = delete;
  TSortVariables& operator=(const TSortVariables&) = delete;
  ~TSortVariables() {
    GrowArrayFree(Items);
    GrowArrayFree(References);
  }
};

// Adds a variable that must have items, as many as the key; a variable
// named twice is moved once.
TStatus AddVariable(TScriptContext* context, uint32_t reference, TSortVariables* variables) {
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (!VarKindHasItems(v->VarType)) return kStatusSortMismatch;
  const uint32_t count = UA_ItemCount(v->UA, v->VarType);
  for (uint32_t i = 0; i < variables->Items.Count; ++i) {
    const TZorvatVariable* known = variables->Items.Items[i];
    if (UA_ItemCount(known->UA, known->VarType) != count) return kStatusSortMismatch;
    if (known == v) return kStatusOk;
  }
  TZorvatVariable** item = GrowArrayTryPush(variables->Items);
  uint32_t* itemReference = GrowArrayTryPush(variables->References);
  if (item == nullptr || itemReference == nullptr) return kStatusOutOfMemory;
  *item = v;
  *itemReference = reference;
  return kStatusOk;
}

TStatus SortVariables(TScriptContext* context) {
  uint32_t keyReference, flags;
  if (FetchRequiredDWORD(context, &keyReference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &flags) != kStatusOk) return kStatusBadParam;
  TSortVariables variables;
  TStatus status = AddVariable(context, keyReference, &variables);
  while (status == kStatusOk) {
    TFetchStatus fetched;
    const uint32_t reference = FetchDWORD(context, &fetched, 0);
    if (fetched == kFetchEnd) break;
    if (fetched != kFetchValue) return kStatusBadParam;
    status = AddVariable(context, reference, &variables);
  }
  if (status != kStatusOk) return status;
  // A constant list is always empty, so only arrays, texts and blocks may
  // need their own copy before they change.
  for (uint32_t i = 0; i < variables.References.Count; ++i) {
    if (MakeVarWritable(context, variables.References.Items[i]) != kStatusOk) {
      return kStatusOutOfMemory;
    }
  }
  const TZorvatVariable* key = variables.Items.Items[0];
  const uint32_t count = UA_ItemCount(key->UA, key->VarType);
  if (count < 2) return kStatusOk;
  TGrowArray<TSortTarget> targets{};
  if (!GrowArrayTryReserve(targets, variables.Items.Count)) return kStatusOutOfMemory;
  for (uint32_t i = 0; i < variables.Items.Count; ++i) {
    const TZorvatVariable* v = variables.Items.Items[i];
    *GrowArrayPush(targets) = {UA_Data(v->UA), v->UA->ElemSize};
  }
  const bool isList = key->VarType == vtBinBlockList || key->VarType == vtUnicodeStringList;
  const bool descending = isList ? (flags & kDescending) != 0 : flags != 0;
  const TSorter sorter{{UA_Data(key->UA), key->VarType, flags, descending}, targets};
  sorter.Sort(0, int64_t(count) - 1);
  GrowArrayFree(targets);
  return kStatusOk;
}

}  // namespace

TStatus CmdSort(TScriptContext* context) {
  return RunToEndOfParams(context, [&] { return SortVariables(context); });
}
