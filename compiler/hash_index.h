// An open-addressing hash index from 64-bit hashes to 32-bit values (item
// numbers in an array that the caller keeps). The caller says what "equal"
// means, so one index type serves names compared without case, section names
// compared exactly and long-data candidates compared by content. Zero-filled
// is empty.
#pragma once

#include <cstdint>

#include "base/grow_array.h"

struct THashSlot {
  uint64_t Hash;
  uint32_t Value;
  uint32_t Used;
};

struct THashIndex {
  TGrowArray<THashSlot> Slots;  // Count is the table size, a power of two
  uint32_t Used;
};

// Spreads the bits of a hash over the slot number.
inline uint64_t MixHash(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

// The value of the first entry with this hash for which `equal(value)` holds.
template <typename Equal>
const uint32_t* HashIndexFind(const THashIndex& index, uint64_t hash, Equal equal) {
  if (index.Slots.Count == 0) return nullptr;
  const uint32_t mask = index.Slots.Count - 1;
  for (uint32_t i = uint32_t(MixHash(hash)) & mask;; i = (i + 1) & mask) {
    const THashSlot& slot = index.Slots.Items[i];
    if (!slot.Used) return nullptr;
    if (slot.Hash == hash && equal(slot.Value)) return &slot.Value;
  }
}

// Asks for the slot where a lookup of `hash` starts to be brought into the
// cache. A large index is read at random; many lookups whose hashes are
// known ahead then wait for memory together instead of one after another.
inline void HashIndexPrefetch(const THashIndex& index, uint64_t hash) {
  if (index.Slots.Count == 0) return;
  __builtin_prefetch(&index.Slots.Items[uint32_t(MixHash(hash)) & (index.Slots.Count - 1)]);
}

// Adds an entry; entries with equal hashes are all kept.
void HashIndexInsert(THashIndex& index, uint64_t hash, uint32_t value);
// Sizes the table for `count` more entries, so that adding them moves
// nothing (and slots asked for ahead stay where they are).
void HashIndexReserve(THashIndex& index, uint32_t count);
void HashIndexFree(THashIndex& index);
