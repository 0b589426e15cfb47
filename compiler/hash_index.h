// An open-addressing hash index from 64-bit hashes to 32-bit values (item
// numbers in an array that the caller keeps). The caller says what "equal"
// means, so one index type serves names compared without case, section names
// compared exactly and long-data candidates compared by content. Zero-filled
// is empty.
//
// A slot keeps 32 bits of the mixed hash, which also give its home position,
// rather than the whole hash: eight-byte slots make a table of hundreds of
// thousands of labels or texts half as large, and such a table is read at
// random. Entries whose tags agree are told apart by `equal`.
#pragma once

#include <cstdint>

#include "base/grow_array.h"

struct THashSlot {
  uint32_t Tag;  // 0: the slot is free
  uint32_t Value;
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

inline uint32_t HashTag(uint64_t hash) {
  const uint32_t tag = uint32_t(MixHash(hash));
  return tag != 0 ? tag : 1;
}

// The value of the first entry with this hash for which `equal(value)` holds.
template <typename Equal>
const uint32_t* HashIndexFind(const THashIndex& index, uint64_t hash, Equal equal) {
  if (index.Slots.Count == 0) return nullptr;
  const uint32_t mask = index.Slots.Count - 1;
  const uint32_t tag = HashTag(hash);
  for (uint32_t i = tag & mask;; i = (i + 1) & mask) {
    const THashSlot& slot = index.Slots.Items[i];
    if (slot.Tag == 0) return nullptr;
    if (slot.Tag == tag && equal(slot.Value)) return &slot.Value;
  }
}

// Asks for the slot where a lookup of `hash` starts to be brought into the
// cache. A large index is read at random; many lookups whose hashes are
// known ahead then wait for memory together instead of one after another.
inline void HashIndexPrefetch(const THashIndex& index, uint64_t hash) {
  if (index.Slots.Count == 0) return;
  __builtin_prefetch(&index.Slots.Items[HashTag(hash) & (index.Slots.Count - 1)]);
}

// Adds an entry; entries with equal hashes are all kept.
void HashIndexInsert(THashIndex& index, uint64_t hash, uint32_t value);
// Sizes the table for `count` more entries, so that adding them moves
// nothing (and slots asked for ahead stay where they are).
void HashIndexReserve(THashIndex& index, uint32_t count);
void HashIndexFree(THashIndex& index);
