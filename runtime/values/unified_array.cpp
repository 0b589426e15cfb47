#include "runtime/values/unified_array.h"

#include <cstring>

#include "base/bytes.h"
#include "base/heap.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// Byte size of a block of `capacity` elements, or 0 when it is not a positive
// signed 32-bit value (or exceeds the fuzz builds' cap).
uint32_t BlockBytes(uint64_t capacity, uint32_t elemSize) {
  uint64_t bytes = capacity * elemSize + sizeof(TArrayHeader);
  if (capacity > kMaxHeapBlockBytes || bytes > kMaxHeapBlockBytes) return 0;
  return uint32_t(bytes);
}

uint32_t UsedBytes(const TArrayHeader* a) {
  return uint32_t(uint64_t(a->ElemCount) * a->ElemSize + sizeof(TArrayHeader));
}

template <typename T>
T ItemAt(const TArrayHeader* a, uint32_t i) {
  T v;
  std::memcpy(&v, UA_Data(a) + uint64_t(i) * sizeof(T), sizeof(T));
  return v;
}

// The last index a find looks at, or -1 when there is nothing to look at.
int64_t FindEnd(const TArrayHeader* a, uint32_t first, uint32_t last) {
  if (a == nullptr || a->ElemCount == 0 || last < first) return -1;
  return UMin(last, a->ElemCount - 1);
}

// Grows the array in the slot (or creates it) by n items and returns the
// index of the first new one, or -1 when it cannot be allocated.
int64_t GrowBy(PArrayHeader* slot, uint32_t n, uint32_t elemSize) {
  if (*slot == nullptr) {
    PArrayHeader a = UA_New(n, elemSize);
    if (a == nullptr) return -1;
    *slot = a;
    return 0;
  }
  uint32_t first = (*slot)->ElemCount;
  if (uint64_t(first) + n > 0xFFFFFFFFu) return -1;
  if (!UA_GrowCount(slot, first + n)) return -1;
  return first;
}

template <typename T>
uint32_t AddCopies(PArrayHeader* slot, T value, uint32_t n, uint32_t elemSize) {
  int64_t first = GrowBy(slot, n, elemSize);
  if (first < 0) return 1002;
  uint8_t* data = UA_Data(*slot);
  // Written backwards from the last item, as the design does.
  for (uint64_t i = uint64_t(first) + n; i > uint64_t(first); --i) {
    std::memcpy(data + (i - 1) * elemSize, &value, elemSize);
  }
  return 0;
}

// A block item of a slice gets its own bytes; a null item becomes the shared
// empty block.
PArrayHeader CopyBlockBytes(PArrayHeader block) {
  return block == nullptr ? BB_Empty() : BB_FromBuffer(UA_Data(block), BB_Length(block));
}

// A new list holding a duplicate of each of `taken` items from `index`;
// null, with nothing left allocated, when an item cannot be duplicated.
PArrayHeader SliceList(const TArrayHeader* list, uint32_t index, uint32_t taken,
                       PArrayHeader (*duplicate)(PArrayHeader item)) {
  PArrayHeader slice = UA_New(taken, kListElemSize);
  if (slice == nullptr) return nullptr;
  const PArrayHeader* from = xL_Items(list) + index;
  PArrayHeader* to = xL_Items(slice);
  for (uint32_t i = 0; i < taken; ++i) {
    PArrayHeader item = from[i];
    to[i] = duplicate(item);
    if (to[i] == nullptr && item != nullptr) {
      xL_Free(&slice);
      return nullptr;
    }
  }
  return slice;
}

}  // namespace

PArrayHeader UA_Alloc(PArrayHeader* slot, uint32_t capacity, uint32_t elemSize) {
  uint32_t bytes = BlockBytes(capacity, elemSize);
  if (bytes == 0) return nullptr;
  PArrayHeader old = *slot;
  uint32_t kept = 0;
  uint32_t oldCount = 0;
  PArrayHeader block;
  if (old != nullptr && !UA_IsStatic(old)) {
    kept = UMin(bytes, UsedBytes(old));
    oldCount = old->ElemCount;
    block = static_cast<PArrayHeader>(MemResize(old, bytes));
  } else {
    block = static_cast<PArrayHeader>(MemAlloc(bytes));
    if (block != nullptr && old != nullptr) {
      kept = UMin(bytes, UsedBytes(old));
      oldCount = old->ElemCount;
      std::memcpy(block, old, kept);
    }
  }
  // A failed resize leaves the old block in place: the slot keeps its value.
  if (block == nullptr) return nullptr;
  std::memset(reinterpret_cast<uint8_t*>(block) + kept, 0, bytes - kept);
  block->ElemSize = elemSize;
  block->TrueElemCount = capacity;
  block->ElemCount = UMin(capacity, oldCount);
  block->IsDynamic = kDynamic;
  *slot = block;
  return block;
}

PArrayHeader UA_New(uint32_t count, uint32_t elemSize) {
  uint64_t capacity = RoundUp(count, kCapacityStep);
  if (capacity > 0xFFFFFFFFu) return nullptr;
  PArrayHeader a = nullptr;
  if (UA_Alloc(&a, uint32_t(capacity), elemSize) == nullptr) return nullptr;
  a->ElemCount = count;
  return a;
}

bool UA_FitsInPlace(const TArrayHeader* a, uint32_t count) {
  return !UA_IsStatic(a) && count <= a->TrueElemCount &&
         a->TrueElemCount <= RoundUp(count, kCapacityStep);
}

bool UA_SetCount(PArrayHeader* slot, uint32_t count) {
  PArrayHeader a = *slot;
  uint64_t target = RoundUp(count, kCapacityStep);
  if (!UA_FitsInPlace(a, count)) {
    if (target > 0xFFFFFFFFu) return false;
    a = UA_Alloc(slot, uint32_t(target), a->ElemSize);
    if (a == nullptr) return false;
  }
  // Items that come into use read as zero, never as what an earlier, longer
  // count left behind.
  if (count > a->ElemCount) {
    std::memset(UA_Data(a) + uint64_t(a->ElemCount) * a->ElemSize, 0,
                size_t(count - a->ElemCount) * a->ElemSize);
  }
  a->ElemCount = count;
  return true;
}

bool UA_GrowCount(PArrayHeader* slot, uint32_t count) {
  PArrayHeader a = *slot;
  if (UA_IsStatic(a) || count > a->TrueElemCount) {
    const uint64_t need = RoundUp(count, kCapacityStep);
    const uint64_t grown =
        RoundUp(a->TrueElemCount + uint64_t(a->TrueElemCount) / 2, kCapacityStep);
    if (need > 0xFFFFFFFFu) return false;
    PArrayHeader bigger = nullptr;
    // Near the size limit the rounded need may still fit where the growth
    // does not.
    if (!UA_IsStatic(a) && grown > need && grown <= 0xFFFFFFFFu) {
      bigger = UA_Alloc(slot, uint32_t(grown), a->ElemSize);
    }
    if (bigger == nullptr) bigger = UA_Alloc(slot, uint32_t(need), a->ElemSize);
    if (bigger == nullptr) return false;
    a = bigger;
  }
  if (count > a->ElemCount) {
    std::memset(UA_Data(a) + uint64_t(a->ElemCount) * a->ElemSize, 0,
                size_t(count - a->ElemCount) * a->ElemSize);
  }
  a->ElemCount = count;
  return true;
}

void UA_Free(PArrayHeader* slot) {
  if (*slot != nullptr && !UA_IsStatic(*slot)) MemRelease(*slot);
  *slot = nullptr;
}

uint32_t UA_ItemCount(const TArrayHeader* a, TVarType kind) {
  if (a == nullptr) return 0;
  switch (kind) {
    case vtBinBlock:
      return a->ElemCount >= 2 ? a->ElemCount - 2 : 0;
    case vtUnicodeString:
      return a->ElemCount >= 1 ? a->ElemCount - 1 : 0;
    default:
      return a->ElemCount;
  }
}

PArrayHeader UA_Slice(const TArrayHeader* a, TVarType kind, uint32_t index, uint32_t n) {
  uint32_t count = UA_ItemCount(a, kind);
  if (a == nullptr || index >= count) return nullptr;
  uint32_t taken = UMin(n, count - index);
  switch (kind) {
    case vtUnicodeString:
      return USTR_Copy(a, index, taken);
    case vtBinBlock:
      return BB_FromBuffer(UA_Data(a) + index, taken);
    case vtUnicodeStringList:
      return SliceList(a, index, taken, USTR_Clone);
    case vtBinBlockList:
      return SliceList(a, index, taken, CopyBlockBytes);
    default:
      break;
  }
  PArrayHeader slice = UA_New(taken, a->ElemSize);
  if (slice == nullptr) return nullptr;
  std::memcpy(UA_Data(slice), UA_Data(a) + uint64_t(index) * a->ElemSize,
              size_t(taken) * a->ElemSize);
  return slice;
}

uint32_t UA_AddDWORDs(PArrayHeader* slot, uint32_t value, uint32_t n) {
  return AddCopies(slot, value, n, 4);
}

uint32_t UA_AddInts(PArrayHeader* slot, int64_t value, uint32_t n) {
  return AddCopies(slot, value, n, 8);
}

uint32_t UA_AddExts(PArrayHeader* slot, TExtended value, uint32_t n) {
  return AddCopies(slot, value, n, kExtendedBytes);
}

int32_t UA_FindDWORD(const TArrayHeader* a, uint32_t value, uint32_t first, uint32_t last) {
  int64_t end = FindEnd(a, first, last);
  for (int64_t i = first; i <= end; ++i) {
    if (ItemAt<uint32_t>(a, uint32_t(i)) == value) return int32_t(i);
  }
  return -1;
}

int32_t UA_FindInt(const TArrayHeader* a, int64_t value, uint32_t first, uint32_t last) {
  int64_t end = FindEnd(a, first, last);
  for (int64_t i = first; i <= end; ++i) {
    if (ItemAt<int64_t>(a, uint32_t(i)) == value) return int32_t(i);
  }
  return -1;
}

int32_t UA_FindExt(const TArrayHeader* a, TExtended value, uint32_t first, uint32_t last) {
  int64_t end = FindEnd(a, first, last);
  for (int64_t i = first; i <= end; ++i) {
    const uint8_t* item = UA_Data(a) + uint64_t(i) * kExtendedBytes;
    if (LoadExtended(item) == value) return int32_t(i);
  }
  return -1;
}
