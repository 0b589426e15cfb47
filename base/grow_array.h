// A growable array that is valid when zero-filled, so that it can sit in
// records that hosts allocate and clear themselves (TScriptContext). Items are
// moved with memcpy: T must be trivially copyable.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "base/fatal.h"
#include "base/heap.h"

// No growable array outgrows what 32-bit sizes can address.
constexpr uint64_t kMaxGrowArrayBytes = 0x7FFFFFFF;

template <typename T>
struct TGrowArray {
  T* Items;
  uint32_t Count;
  uint32_t Capacity;
};

// The capacity to grow to for `needed` items (doubling, at least 8), or 0
// when they do not fit what one block may hold.
template <typename T>
uint64_t GrowArrayCapacityFor(const TGrowArray<T>& a, uint32_t needed) {
  static_assert(std::is_trivially_copyable_v<T>);
  uint64_t capacity = a.Capacity < 8 ? 8 : uint64_t(a.Capacity) * 2;
  if (capacity < needed) capacity = needed;
  // Doubling may overshoot what one block may hold; the exact need may fit.
  if (capacity > 0xFFFFFFFFu / 2 || capacity * sizeof(T) > kMaxGrowArrayBytes) capacity = needed;
  return capacity * sizeof(T) > kMaxGrowArrayBytes ? 0 : capacity;
}

// Makes room for at least `needed` items; false, with the array unchanged,
// when the heap cannot supply them. The runtime's frames and stacks grow
// through the Try forms and report 1002.
template <typename T>
bool GrowArrayTryReserve(TGrowArray<T>& a, uint32_t needed) {
  if (needed <= a.Capacity) return true;
  const uint64_t capacity = GrowArrayCapacityFor(a, needed);
  if (capacity == 0) return false;
  void* items = MemResize(static_cast<void*>(a.Items), size_t(capacity) * sizeof(T));
  if (items == nullptr) return false;
  a.Items = static_cast<T*>(items);
  a.Capacity = uint32_t(capacity);
  return true;
}

// The same for callers that have no status to report a shortage with (the
// compiler's tables): running out of memory ends the process.
template <typename T>
void GrowArrayReserve(TGrowArray<T>& a, uint32_t needed) {
  if (needed <= a.Capacity) return;
  const uint64_t capacity = GrowArrayCapacityFor(a, needed);
  if (capacity == 0) FatalOutOfMemory();
  a.Items =
      static_cast<T*>(MemResizeRequired(static_cast<void*>(a.Items), size_t(capacity) * sizeof(T)));
  a.Capacity = uint32_t(capacity);
}

// Appends `n` zero-filled items and returns the first of them; null, with
// the array unchanged, when they cannot be allocated.
template <typename T>
T* GrowArrayTryPushZeroed(TGrowArray<T>& a, uint32_t n) {
  if (n > 0xFFFFFFFFu - a.Count || !GrowArrayTryReserve(a, a.Count + n)) return nullptr;
  T* first = a.Items + a.Count;
  std::memset(static_cast<void*>(first), 0, size_t(n) * sizeof(T));
  a.Count += n;
  return first;
}

template <typename T>
T* GrowArrayTryPush(TGrowArray<T>& a) {
  return GrowArrayTryPushZeroed(a, 1);
}

// Appends `n` zero-filled items and returns the first of them; running out
// of memory ends the process.
template <typename T>
T* GrowArrayPushZeroed(TGrowArray<T>& a, uint32_t n) {
  if (n > 0xFFFFFFFFu - a.Count) FatalOutOfMemory();
  GrowArrayReserve(a, a.Count + n);
  T* first = a.Items + a.Count;
  std::memset(static_cast<void*>(first), 0, size_t(n) * sizeof(T));
  a.Count += n;
  return first;
}

template <typename T>
T* GrowArrayPush(TGrowArray<T>& a) {
  return GrowArrayPushZeroed(a, 1);
}

// Frees the storage; the array is empty (and zero-filled) afterwards.
template <typename T>
void GrowArrayFree(TGrowArray<T>& a) {
  MemRelease(static_cast<void*>(a.Items));
  a.Items = nullptr;
  a.Count = 0;
  a.Capacity = 0;
}
