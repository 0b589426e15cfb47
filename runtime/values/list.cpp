// Lists of texts and of binary blocks: one generic list of owned item
// pointers, and the adding and finding that each item kind needs.
#include "runtime/values/list.h"

#include <cstring>

#include "base/status.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

typedef PArrayHeader (*TCloneItem)(PArrayHeader item);

// Makes room for n more items (null until written) and returns the index of
// the first, creating the list when the slot is null. False on a size
// failure, with the slot unchanged.
bool GrowList(PArrayHeader* slot, uint32_t n, uint32_t* first) {
  if (*slot == nullptr) {
    PArrayHeader list = UA_New(n, kListElemSize);
    if (list == nullptr) return false;
    *slot = list;
    *first = 0;
    return true;
  }
  uint32_t count = (*slot)->ElemCount;
  if (n > UINT32_MAX - count || !UA_GrowCount(slot, count + n)) return false;
  *first = count;
  return true;
}

// Adds an item the caller made; the list takes it, or it is freed.
uint32_t AddOwned(PArrayHeader* slot, PArrayHeader item) {
  if (item == nullptr) return kStatusOutOfMemory;
  if (xL_Add(slot, item)) return kStatusOk;
  UA_Free(&item);
  return kStatusOutOfMemory;
}

uint32_t AddClones(PArrayHeader* slot, PArrayHeader item, uint32_t n, TCloneItem clone) {
  uint32_t first = 0;
  if (n == 0) {
    if (*slot != nullptr) return kStatusOk;
    return GrowList(slot, 0, &first) ? kStatusOk : kStatusOutOfMemory;
  }
  // Every clone of one item has the same size: once the first exists, the
  // others cannot fail, so the list never holds a half-done run.
  PArrayHeader last = clone(item);
  if (last == nullptr) return kStatusOutOfMemory;
  if (!GrowList(slot, n, &first)) {
    UA_Free(&last);
    return kStatusOutOfMemory;
  }
  PArrayHeader* items = xL_Items(*slot);
  uint32_t end = first + n - 1;
  items[end] = last;
  for (uint32_t i = end; i > first; --i) items[i - 1] = clone(item);
  return kStatusOk;
}

// A run of units that a list item or needle stands for; a null item is an
// empty run.
template <typename U>
struct TUnits {
  const U* Data;
  uint32_t Length;
};

TUnits<char16_t> TextUnits(const TArrayHeader* text) {
  if (text == nullptr) text = USTR_Empty();
  return {USTR_Chars(text), USTR_Length(text)};
}

TUnits<uint8_t> BlockUnits(const TArrayHeader* block) {
  if (block == nullptr) block = BB_Empty();
  return {UA_Data(block), BB_Length(block)};
}

bool Equal(TUnits<char16_t> item, TUnits<char16_t> needle, bool ignoreCase) {
  if (item.Length != needle.Length) return false;
  if (ignoreCase) {
    return USTR_CompareNoCase(item.Data, item.Length, needle.Data, needle.Length) == 0;
  }
  return std::memcmp(item.Data, needle.Data, size_t(item.Length) * sizeof(char16_t)) == 0;
}

bool Equal(TUnits<uint8_t> item, TUnits<uint8_t> needle, bool ignoreCase) {
  if (item.Length != needle.Length) return false;
  if (ignoreCase) return BB_Compare(item.Data, item.Length, needle.Data, needle.Length, true) == 0;
  return std::memcmp(item.Data, needle.Data, item.Length) == 0;
}

bool Contains(TUnits<char16_t> item, TUnits<char16_t> needle, bool ignoreCase) {
  if (ignoreCase) {
    return USTR_FindNoCase(needle.Data, needle.Length, item.Data, 0, item.Length) >= 0;
  }
  return USTR_Find(needle.Data, needle.Length, item.Data, 0, item.Length) >= 0;
}

bool Contains(TUnits<uint8_t> item, TUnits<uint8_t> needle, bool ignoreCase) {
  return BB_Find(needle.Data, needle.Length, item.Data, ignoreCase, 0, item.Length) >= 0;
}

// Match modes: 1 equal, 2 equal ignoring case, 3 contains, 4 contains
// ignoring case.
template <typename View>
int32_t FindInList(const TArrayHeader* list, const TArrayHeader* needle, uint32_t first,
                   uint32_t mode, uint32_t last, View view) {
  uint32_t count = xL_Count(list);
  if (mode < 1 || mode > 4 || count == 0 || last < first) return -1;
  bool whole = mode <= 2;
  bool ignoreCase = mode == 2 || mode == 4;
  auto wanted = view(needle);
  uint32_t end = UMin(last, count - 1);
  const PArrayHeader* items = xL_Items(list);
  for (uint64_t i = first; i <= end; ++i) {
    auto item = view(items[i]);
    if (whole ? Equal(item, wanted, ignoreCase) : Contains(item, wanted, ignoreCase)) {
      return int32_t(i);
    }
  }
  return -1;
}

}  // namespace

PArrayHeader xL_New() {
  return UA_New(0, kListElemSize);
}

void xL_Free(PArrayHeader* slot) {
  PArrayHeader list = *slot;
  // The items of a constant list belong to the image, as the list does.
  if (list != nullptr && !UA_IsStatic(list)) {
    PArrayHeader* items = xL_Items(list);
    for (uint32_t i = 0; i < list->ElemCount; ++i) UA_Free(&items[i]);
  }
  UA_Free(slot);
}

bool xL_Add(PArrayHeader* slot, PArrayHeader item) {
  uint32_t index = 0;
  if (!GrowList(slot, 1, &index)) return false;
  xL_Items(*slot)[index] = item;
  return true;
}

uint32_t xL_Count(const TArrayHeader* list) {
  return list == nullptr ? 0 : list->ElemCount;
}

PArrayHeader xL_Item(const TArrayHeader* list, uint32_t index) {
  return index < xL_Count(list) ? xL_Items(list)[index] : nullptr;
}

uint32_t UStrL_AddBuffer(PArrayHeader* slot, const char16_t* units, int32_t length) {
  // -1 alone means "up to the terminating zero"; any other negative length
  // is a length nothing can be allocated for.
  if (length < -1) return kStatusOutOfMemory;
  PArrayHeader text =
      length == -1 ? USTR_FromPWideChar(units) : USTR_FromBuffer(units, uint32_t(length));
  return AddOwned(slot, text);
}

uint32_t UStrL_AddCopies(PArrayHeader* slot, PArrayHeader text, uint32_t n) {
  return AddClones(slot, text == nullptr ? USTR_Empty() : text, n, USTR_Clone);
}

int32_t UStrL_Find(const TArrayHeader* list, const TArrayHeader* needle, uint32_t first,
                   uint32_t mode, uint32_t last) {
  return FindInList(list, needle, first, mode, last, TextUnits);
}

uint32_t BBL_AddBuffer(PArrayHeader* slot, const void* data, uint32_t length) {
  return AddOwned(slot, BB_FromBuffer(data, length));
}

uint32_t BBL_AddCopies(PArrayHeader* slot, PArrayHeader block, uint32_t n) {
  return AddClones(slot, block == nullptr ? BB_Empty() : block, n, BB_Clone);
}

int32_t BBL_Find(const TArrayHeader* list, const TArrayHeader* needle, uint32_t first,
                 uint32_t mode, uint32_t last) {
  return FindInList(list, needle, first, mode, last, BlockUnits);
}
