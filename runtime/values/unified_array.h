// Unified arrays: every value with a length (numeric arrays, texts, binary
// blocks, lists) is one heap block that starts with a 16-byte header and is
// followed by the elements. Constants of the image use the same header, with
// IsDynamic 0, so a command reads a constant and a variable's value through
// one pointer type; anything that must change a static block copies it first.
//
//   +----------+-----------+---------------+-----------+----------------------+
//   | ElemSize | ElemCount | TrueElemCount | IsDynamic | elements ...         |
//   |   u32    |    u32    | u32 capacity  | u32       | 16 + i * ElemSize    |
//   +----------+-----------+---------------+-----------+----------------------+
//
// Capacities are multiples of 32 elements (0 for an empty new array): growth
// happens in steps of 32, and a block shrinks as soon as its capacity exceeds
// the rounded need. Appends alone grow by half again (UA_GrowCount), so that
// appending item by item takes amortised constant time.
#pragma once

#include <cstdint>

#include "base/value_kinds.h"

struct TArrayHeader {
  uint32_t ElemSize;
  uint32_t ElemCount;
  uint32_t TrueElemCount;
  uint32_t IsDynamic;  // kDynamic for a heap block, 0 for a static one
};
typedef TArrayHeader* PArrayHeader;
static_assert(sizeof(TArrayHeader) == 16);

constexpr uint32_t kDynamic = 0xFFFFFFFFu;
constexpr uint32_t kCapacityStep = 32;
// List items are item pointers; the design's 4 bytes on 32-bit Windows.
constexpr uint32_t kListElemSize = sizeof(void*);

// Typed views of an array: a record whose only field is the header.
struct TUA_Integer {
  TArrayHeader Header;
};
struct TUA_DWORD {
  TArrayHeader Header;
};
struct TUA_BinBlockList {
  TArrayHeader Header;
};
struct TUA_UnicodeStringList {
  TArrayHeader Header;
};
typedef TUA_Integer* PUA_Integer;
typedef TUA_DWORD* PUA_DWORD;
typedef TUA_BinBlockList* PUA_BinBlockList;
typedef TUA_UnicodeStringList* PUA_UnicodeStringList;

inline uint8_t* UA_Data(PArrayHeader a) {
  return reinterpret_cast<uint8_t*>(a + 1);
}
inline const uint8_t* UA_Data(const TArrayHeader* a) {
  return reinterpret_cast<const uint8_t*>(a + 1);
}
inline bool UA_IsStatic(const TArrayHeader* a) {
  return a->IsDynamic == 0;
}

// (Re)allocates the block in the slot with exactly `capacity` elements of
// `elemSize` bytes, keeping the old contents as far as they fit; bytes past
// them are zero. Returns the new block, or null when the size does not fit
// 32-bit arithmetic or the heap cannot supply it; the slot is then left as it
// was (callers report 1002).
PArrayHeader UA_Alloc(PArrayHeader* slot, uint32_t capacity, uint32_t elemSize);

// A new dynamic array of `count` elements (zero-filled) with the capacity
// rounded up to a multiple of 32; null when the size does not fit.
PArrayHeader UA_New(uint32_t count, uint32_t elemSize);

// Sets ElemCount, reallocating as the capacity rule says; a static block is
// always copied (copy on write). Items that come into use are zero. False
// when the size does not fit; the slot is then unchanged.
bool UA_SetCount(PArrayHeader* slot, uint32_t count);
// Whether UA_SetCount(count) would keep the block where it is: a dynamic
// block whose capacity is the one `count` items are given.
bool UA_FitsInPlace(const TArrayHeader* a, uint32_t count);

// Sets a larger ElemCount for an append. When the capacity runs out it grows
// by half again (rounded up to a multiple of 32) rather than to the rounded
// need: a heap that cannot grow a large block in place copies it on every
// reallocation, and appending one item at a time must not copy the array
// every 32 items. A static block is copied first. Items that come into use
// are zero. False when the size does not fit; the slot is then unchanged.
bool UA_GrowCount(PArrayHeader* slot, uint32_t count);

// Frees a dynamic block; the slot becomes null in every case.
void UA_Free(PArrayHeader* slot);

// The item count of an array of the given value kind (texts and blocks do not
// count their terminator); 0 for a null array.
uint32_t UA_ItemCount(const TArrayHeader* a, TVarType kind);

// A new array of the same kind holding items [index, index + min(n, count -
// index)); null when index >= count or the array is absent, or on a size
// failure. Texts and blocks come from their constructors (terminators set);
// a list slice owns duplicates of its items: text items by the clone rule,
// block items by their bytes (a null item becomes the shared empty block).
PArrayHeader UA_Slice(const TArrayHeader* a, TVarType kind, uint32_t index, uint32_t n);

// Append n copies of one value; the array is created when the slot is null.
// Result 0, or 1002 when the array cannot be allocated.
uint32_t UA_AddDWORDs(PArrayHeader* slot, uint32_t value, uint32_t n);
uint32_t UA_AddInts(PArrayHeader* slot, int64_t value, uint32_t n);
uint32_t UA_AddExts(PArrayHeader* slot, TExtended value, uint32_t n);

// Index of the first item equal to the value in [first, min(last, count - 1)],
// else -1.
int32_t UA_FindDWORD(const TArrayHeader* a, uint32_t value, uint32_t first, uint32_t last);
int32_t UA_FindInt(const TArrayHeader* a, int64_t value, uint32_t first, uint32_t last);
int32_t UA_FindExt(const TArrayHeader* a, TExtended value, uint32_t first, uint32_t last);

// n rounded up to a multiple of m (m > 0), in 64 bits so that it cannot wrap.
inline uint64_t RoundUp(uint64_t n, uint64_t m) {
  return (n + m - 1) / m * m;
}
inline uint32_t UMin(uint32_t a, uint32_t b) {
  return a < b ? a : b;
}
inline uint32_t UMax(uint32_t a, uint32_t b) {
  return a > b ? a : b;
}
