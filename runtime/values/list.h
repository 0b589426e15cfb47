// Lists: unified arrays of item pointers (ElemSize = pointer size) that own
// their items — texts in a text list, binary blocks in a block list. A block
// list item may be null and then counts as an empty block. Items that are
// static (the shared empty text or block) are never freed.
#pragma once

#include <cstdint>

#include "runtime/values/unified_array.h"

// ---- Generic list (Zorvat_xL) ----
PArrayHeader xL_New();  // null on a size failure
// Frees every item, then the list; the slot becomes null.
void xL_Free(PArrayHeader* slot);
// Appends one item pointer (the list takes it); creates the list when the
// slot is null. False on a size failure (the caller still owns the item).
bool xL_Add(PArrayHeader* slot, PArrayHeader item);
uint32_t xL_Count(const TArrayHeader* list);
// The item at `index`, or null when the index is not below the count.
PArrayHeader xL_Item(const TArrayHeader* list, uint32_t index);
// The item pointers themselves, for code that walks or replaces items.
inline PArrayHeader* xL_Items(PArrayHeader list) {
  return reinterpret_cast<PArrayHeader*>(UA_Data(list));
}
inline const PArrayHeader* xL_Items(const TArrayHeader* list) {
  return reinterpret_cast<const PArrayHeader*>(UA_Data(list));
}

// ---- Text lists (Zorvat_UStrL) ----
// Appends a new text of `length` units at `units`; -1 = up to the terminating
// zero, 0 = the static empty text. 0, or 1002.
uint32_t UStrL_AddBuffer(PArrayHeader* slot, const char16_t* units, int32_t length);
// Appends n clones of the text (clone rule of USTR_Clone); creates the list
// when the slot is null. 0, or 1002.
uint32_t UStrL_AddCopies(PArrayHeader* slot, PArrayHeader text, uint32_t n);
// Index of the first item in [first, min(last, count - 1)] that matches:
// mode 1 equal, 2 equal ignoring case, 3 contains, 4 contains ignoring case;
// other modes match nothing. -1 when none.
int32_t UStrL_Find(const TArrayHeader* list, const TArrayHeader* needle, uint32_t first,
                   uint32_t mode, uint32_t last);

// ---- Binary-block lists (Zorvat_BBL) ----
// Appends a new block holding a copy of `length` bytes (0 = the static empty
// block). 0, or 1002.
uint32_t BBL_AddBuffer(PArrayHeader* slot, const void* data, uint32_t length);
// Appends n clones of the block (clone rule of BB_Clone; null counts as the
// empty block); creates the list when the slot is null. 0, or 1002.
uint32_t BBL_AddCopies(PArrayHeader* slot, PArrayHeader block, uint32_t n);
// As UStrL_Find, with the comparisons of BB_Compare and BB_Find; a null item
// counts as an empty block.
int32_t BBL_Find(const TArrayHeader* list, const TArrayHeader* needle, uint32_t first,
                 uint32_t mode, uint32_t last);
