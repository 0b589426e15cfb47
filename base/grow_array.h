// A growable array that is valid when zero-filled, so that it can sit in
// records that hosts allocate and clear themselves (TScriptContext). Items are
// moved with memcpy: T must be trivially copyable.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "base/fatal.h"

template <typename T>
struct TGrowArray {
  T* Items;
  uint32_t Count;
  uint32_t Capacity;
};

// Makes room for at least `needed` items. Running out of memory ends the
// process, as every heap failure of the runtime does.
template <typename T>
void GrowArrayReserve(TGrowArray<T>& a, uint32_t needed) {
  static_assert(std::is_trivially_copyable_v<T>);
  if (needed <= a.Capacity) return;
  uint64_t capacity = a.Capacity < 8 ? 8 : uint64_t(a.Capacity) * 2;
  if (capacity < needed) capacity = needed;
  if (capacity > 0xFFFFFFFFu / 2 || capacity * sizeof(T) > SIZE_MAX / 2) FatalOutOfMemory();
  void* items = std::realloc(static_cast<void*>(a.Items), size_t(capacity) * sizeof(T));
  if (items == nullptr) FatalOutOfMemory();
  a.Items = static_cast<T*>(items);
  a.Capacity = uint32_t(capacity);
}

// Appends one zero-filled item and returns it.
template <typename T>
T* GrowArrayPush(TGrowArray<T>& a) {
  GrowArrayReserve(a, a.Count + 1);
  T* item = &a.Items[a.Count++];
  std::memset(static_cast<void*>(item), 0, sizeof(T));
  return item;
}

// Appends `n` zero-filled items and returns the first of them.
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
T* GrowArrayLast(TGrowArray<T>& a) {
  return a.Count == 0 ? nullptr : &a.Items[a.Count - 1];
}

// Frees the storage; the array is empty (and zero-filled) afterwards.
template <typename T>
void GrowArrayFree(TGrowArray<T>& a) {
  std::free(static_cast<void*>(a.Items));
  a.Items = nullptr;
  a.Count = 0;
  a.Capacity = 0;
}
