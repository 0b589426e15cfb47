#include "compiler/hash_index.h"

namespace {

void Place(TGrowArray<THashSlot>& slots, uint32_t tag, uint32_t value) {
  const uint32_t mask = slots.Count - 1;
  uint32_t i = tag & mask;
  while (slots.Items[i].Tag != 0) i = (i + 1) & mask;
  slots.Items[i] = {tag, value};
}

// Keeps the table at most half full, so that probes stay short.
void GrowFor(THashIndex& index, uint64_t entries) {
  if (entries * 2 <= index.Slots.Count) return;
  uint32_t size = index.Slots.Count == 0 ? 64 : index.Slots.Count;
  while (entries * 2 > size && size != 0) size *= 2;
  if (size == 0) FatalOutOfMemory();
  TGrowArray<THashSlot> slots{};
  GrowArrayPushZeroed(slots, size);
  for (uint32_t i = 0; i < index.Slots.Count; ++i) {
    const THashSlot& old = index.Slots.Items[i];
    if (old.Tag != 0) Place(slots, old.Tag, old.Value);
  }
  GrowArrayFree(index.Slots);
  index.Slots = slots;
}

}  // namespace

void HashIndexInsert(THashIndex& index, uint64_t hash, uint32_t value) {
  GrowFor(index, uint64_t(index.Used) + 1);
  Place(index.Slots, HashTag(hash), value);
  ++index.Used;
}

void HashIndexReserve(THashIndex& index, uint32_t count) {
  GrowFor(index, uint64_t(index.Used) + count);
}

void HashIndexFree(THashIndex& index) {
  GrowArrayFree(index.Slots);
  index.Used = 0;
}
