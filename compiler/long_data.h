// The long-data section "LDS": texts and binary blocks that parameters refer
// to by offset, each stored as a constant unified array:
//
//   u32 ElemSize (1 block, 2 text) | u32 count | u32 count | u32 0 | payload | 00 00
//
// with count = (payload bytes + 2) / ElemSize. Identical items are stored
// once: an item is placed at the FIRST offset of "LDS" where its exact bytes
// already stand (which may, rarely, lie inside an earlier item's data), and
// appended only when they stand nowhere.
//
// Finding that offset without searching byte by byte: any occurrence starts
// with a 16-byte header {1 or 2, c, c, 0}, and a header fixes the extent of
// the would-be item (16 + ElemSize * c bytes). The index watches "LDS" grow
// under a rolling hash; each header position becomes a candidate whose hash
// is known in constant time once its extent is complete, and the index keeps
// the first offset of each distinct candidate. A lookup is then one probe and
// one comparison, and a whole compilation stays linear in the size of "LDS".
#pragma once

#include <cstdint>

#include "base/grow_array.h"
#include "compiler/hash_index.h"

struct TRawScript;

struct TLdsPending {  // a header whose extent is not complete yet
  uint64_t End;
  uint64_t StartHash;  // rolling hash of "LDS" before the header
  uint32_t Start;
};

struct TLdsCandidate {  // a complete candidate, the first of its content
  uint64_t Hash;
  uint32_t Offset;
  uint32_t Length;
};

struct TLdsPowerCache {
  uint64_t Length;
  uint64_t Power;
};

struct TLongDataIndex {
  uint32_t Scanned;                 // bytes of "LDS" the rolling hash has seen
  uint64_t RollingHash;             // hash of "LDS"[0, Scanned)
  uint64_t RecentHashes[16];        // hash of "LDS"[0, p) at slot p % 16, for the last 16 p
  TGrowArray<TLdsPending> Pending;  // a min-heap by End
  TGrowArray<TLdsCandidate> Candidates;
  THashIndex Index;
  TLdsPowerCache Powers[256];
};

// Stores an item with this payload and returns its offset in "LDS".
uint32_t StoreLongData(TRawScript* raw, const uint8_t* payload, uint32_t length, uint32_t elemSize);
void FreeLongDataIndex(TLongDataIndex& index);
