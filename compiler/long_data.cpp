#include "compiler/long_data.h"

#include <cstring>

#include "base/image_format.h"
#include "compiler/compiler_work.h"
#include "compiler/sections.h"

namespace {

// Polynomial hashing modulo the Mersenne prime 2^61 - 1. The hash never
// leaves the process, so each build may compute the product its fastest way:
// one 128-bit product where the compiler has it, 32-bit pieces elsewhere.
constexpr uint64_t kModulus = (uint64_t(1) << 61) - 1;
constexpr uint64_t kBase = 0x1F3A5C7E9B2D4F61ull % kModulus;
constexpr uint32_t kHeaderBytes = 16;

constexpr uint64_t Reduce(uint64_t x) {
  x = (x & kModulus) + (x >> 61);
  return x >= kModulus ? x - kModulus : x;
}

constexpr uint64_t AddByteTo(uint64_t product, uint8_t byte) {
  return Reduce(product + byte + 1);
}

#ifdef __SIZEOF_INT128__
typedef unsigned __int128 TWide;

// With 2^61 = 1: the low 61 bits plus the rest shifted down. Takes any value
// below 2^125.
constexpr uint64_t ReduceWide(TWide x) {
  return Reduce((uint64_t(x) & kModulus) + uint64_t(x >> 61));
}

constexpr uint64_t MulMod(uint64_t a, uint64_t b) {
  return ReduceWide(TWide(a) * b);
}

constexpr uint64_t PowerOfBase(int exponent) {
  uint64_t power = 1;
  for (int i = 0; i < exponent; ++i) power = MulMod(power, kBase);
  return power;
}

constexpr uint64_t kBasePowers[9] = {PowerOfBase(0), PowerOfBase(1), PowerOfBase(2),
                                     PowerOfBase(3), PowerOfBase(4), PowerOfBase(5),
                                     PowerOfBase(6), PowerOfBase(7), PowerOfBase(8)};

// Eight bytes at once, as eight independent products instead of a chain of
// eight: hash * B^8 + sum of (byte k + 1) * B^(7 - k), below 2^123 unreduced.
uint64_t AddEightBytes(uint64_t hash, const uint8_t* p) {
  TWide sum = TWide(hash) * kBasePowers[8];
  for (int k = 0; k < 8; ++k) sum += TWide(p[k] + 1u) * kBasePowers[7 - k];
  return ReduceWide(sum);
}
#else
uint64_t MulMod(uint64_t a, uint64_t b) {
  const uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32;
  const uint64_t bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
  const uint64_t low = aLo * bLo;
  const uint64_t mid = aLo * bHi + aHi * bLo;  // below 2^62
  const uint64_t high = aHi * bHi;             // below 2^58
  // With 2^61 = 1: high * 2^64 = 8 * high; mid * 2^32 = (mid >> 29) + (mid mod 2^29) * 2^32.
  uint64_t sum =
      (high << 3) + (mid >> 29) + ((mid & 0x1FFFFFFFu) << 32) + (low >> 61) + (low & kModulus);
  return Reduce(sum);
}

uint64_t AddEightBytes(uint64_t hash, const uint8_t* p) {
  for (int k = 0; k < 8; ++k) hash = AddByteTo(MulMod(hash, kBase), p[k]);
  return hash;
}
#endif

uint64_t AddByte(uint64_t hash, uint8_t byte) {
  return AddByteTo(MulMod(hash, kBase), byte);
}

uint64_t HashOf(const uint8_t* bytes, uint32_t length) {
  uint64_t h = 0;
  uint32_t i = 0;
  for (; i + 8 <= length; i += 8) h = AddEightBytes(h, bytes + i);
  for (; i < length; ++i) h = AddByte(h, bytes[i]);
  return h;
}

uint64_t Power(TLongDataIndex& index, uint64_t exponent) {
  TLdsPowerCache& cached = index.Powers[exponent & 255];
  if (cached.Length == exponent && cached.Power != 0) return cached.Power;
  uint64_t result = 1, base = kBase;
  for (uint64_t e = exponent; e != 0; e >>= 1) {
    if (e & 1) result = MulMod(result, base);
    base = MulMod(base, base);
  }
  cached = {exponent, result};
  return result;
}

uint64_t CandidateKey(uint64_t hash, uint32_t length) {
  return hash ^ (uint64_t(length) * 0x9E3779B97F4A7C15ull);
}

uint32_t LoadU32Le(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreU32Le(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// ---- The pending headers, a min-heap by the offset where they complete. ----

void PushPending(TGrowArray<TLdsPending>& heap, TLdsPending entry) {
  uint32_t i = heap.Count;
  *GrowArrayPush(heap) = entry;
  while (i > 0) {
    uint32_t parent = (i - 1) / 2;
    if (heap.Items[parent].End <= heap.Items[i].End) break;
    TLdsPending t = heap.Items[parent];
    heap.Items[parent] = heap.Items[i];
    heap.Items[i] = t;
    i = parent;
  }
}

TLdsPending PopPending(TGrowArray<TLdsPending>& heap) {
  TLdsPending top = heap.Items[0];
  heap.Items[0] = heap.Items[--heap.Count];
  uint32_t i = 0;
  for (;;) {
    uint32_t least = i, left = 2 * i + 1, right = left + 1;
    if (left < heap.Count && heap.Items[left].End < heap.Items[least].End) least = left;
    if (right < heap.Count && heap.Items[right].End < heap.Items[least].End) least = right;
    if (least == i) break;
    TLdsPending t = heap.Items[least];
    heap.Items[least] = heap.Items[i];
    heap.Items[i] = t;
    i = least;
  }
  return top;
}

const uint32_t* FindCandidate(const TLongDataIndex& index, uint64_t hash, uint32_t length) {
  return HashIndexFind(index.Index, CandidateKey(hash, length), [&](uint32_t k) {
    const TLdsCandidate& c = index.Candidates.Items[k];
    return c.Hash == hash && c.Length == length;
  });
}

// A header position whose extent just became complete. Only the first
// candidate of each content is kept: equal contents have equal lengths, so
// the one that completes first also starts first.
void CompleteCandidate(TLongDataIndex& index, const uint8_t* lds, const TLdsPending& p) {
  const uint32_t length = uint32_t(p.End - p.Start);
  // Every item ends with two zero bytes; nothing else can ever match.
  if (lds[p.End - 1] != 0 || lds[p.End - 2] != 0) return;
  const uint64_t hash =
      Reduce(index.RollingHash + kModulus - MulMod(p.StartHash, Power(index, length)));
  if (FindCandidate(index, hash, length) != nullptr) return;
  *GrowArrayPush(index.Candidates) = {hash, p.Start, length};
  HashIndexInsert(index.Index, CandidateKey(hash, length), index.Candidates.Count - 1);
}

// The header that ends at the byte just hashed, if the 16 bytes form one.
void NoteHeader(TLongDataIndex& index, const uint8_t* lds, uint32_t start) {
  const uint8_t* h = lds + start;
  const uint32_t elemSize = LoadU32Le(h);
  const uint32_t count = LoadU32Le(h + 4);
  if ((elemSize != kByteElemSize && elemSize != kCharElemSize) || count == 0 ||
      LoadU32Le(h + 8) != count || LoadU32Le(h + 12) != 0) {
    return;
  }
  const uint64_t end = uint64_t(start) + kHeaderBytes + uint64_t(elemSize) * count;
  if (end > 0xFFFFFFFFu) return;
  PushPending(index.Pending, {end, index.RecentHashes[start % 16], start});
}

// Feeds the bytes of "LDS" that the index has not seen yet.
void CatchUp(TLongDataIndex& index, const uint8_t* lds, uint32_t size) {
  for (uint32_t i = index.Scanned; i < size; ++i) {
    index.RecentHashes[i % 16] = index.RollingHash;
    index.RollingHash = AddByte(index.RollingHash, lds[i]);
    if (i + 1 >= kHeaderBytes) NoteHeader(index, lds, i + 1 - kHeaderBytes);
    while (index.Pending.Count > 0 && index.Pending.Items[0].End == uint64_t(i) + 1) {
      CompleteCandidate(index, lds, PopPending(index.Pending));
    }
  }
  index.Scanned = size;
}

// Whether a header could start at a byte of this value: its element size
// is 1 or 2.
bool MayStartHeader(uint8_t byte) {
  return byte == kByteElemSize || byte == kCharElemSize;
}

// An item just appended to an "LDS" that the index had seen to its end.
// Unless a header may start inside it (other than its own) or in the 15
// bytes before it, or a pending candidate ends inside it, feeding its bytes
// one by one would only move the rolling hash and complete the item's own
// header: both follow from the item's hash in one step. Most texts and
// blocks are appended this way.
void SkipAppendedItem(TLongDataIndex& index, const uint8_t* lds, uint32_t start, uint32_t length,
                      uint64_t itemHash) {
  if (index.Scanned != start) return;
  for (uint32_t p = start >= kHeaderBytes - 1 ? start - (kHeaderBytes - 1) : 0; p < start; ++p) {
    if (MayStartHeader(lds[p])) return;
  }
  for (uint32_t p = start + 1; p < start + length; ++p) {
    if (MayStartHeader(lds[p])) return;
  }
  const uint32_t end = start + length;
  if (index.Pending.Count > 0 && index.Pending.Items[0].End < end) return;
  index.RecentHashes[start % 16] = index.RollingHash;
  NoteHeader(index, lds, start);
  index.RollingHash = Reduce(MulMod(index.RollingHash, Power(index, length)) + itemHash);
  index.Scanned = end;
  while (index.Pending.Count > 0 && index.Pending.Items[0].End == end) {
    CompleteCandidate(index, lds, PopPending(index.Pending));
  }
}

void BuildItem(TGrowArray<uint8_t>& item, const uint8_t* payload, uint32_t length,
               uint32_t elemSize) {
  const uint32_t count = uint32_t((uint64_t(length) + 2) / elemSize);
  item.Count = 0;
  uint8_t* p = GrowArrayPushZeroed(item, kHeaderBytes + length + 2);
  StoreU32Le(p, elemSize);
  StoreU32Le(p + 4, count);
  StoreU32Le(p + 8, count);
  if (length > 0) std::memcpy(p + kHeaderBytes, payload, length);
}

// The first offset at which `item` stands in `bytes`, searched directly; -1
// when it stands nowhere. Only needed when two different contents share a
// 61-bit hash, which the index cannot tell apart.
int64_t FindFirstOccurrence(const uint8_t* bytes, uint32_t size, const uint8_t* item,
                            uint32_t length) {
  if (length > size) return -1;
  for (uint32_t o = 0; o + length <= size; ++o) {
    if (bytes[o] == item[0] && std::memcmp(bytes + o, item, length) == 0) return o;
  }
  return -1;
}

}  // namespace

uint32_t StoreLongData(TRawScript* raw, const uint8_t* payload, uint32_t length,
                       uint32_t elemSize) {
  TCompilerWork* work = EnsureWork(raw);
  TCompSection& lds = raw->Sections.Items[kLdsSection];
  if (uint64_t(length) + kHeaderBytes + 2 > 0xFFFFFFFFu) {
    work->ImageTooLarge = true;
    return 0;
  }
  BuildItem(work->Item, payload, length, elemSize);
  const uint8_t* item = work->Item.Items;
  const uint32_t itemLength = work->Item.Count;
  TLongDataIndex& index = work->LongData;
  const uint64_t hash = HashOf(item, itemLength);
  // The index is large and read at random: its slot is on its way from
  // memory while the bytes stored since the last item are hashed.
  HashIndexPrefetch(index.Index, CandidateKey(hash, itemLength));
  CatchUp(index, lds.Ptr, lds.Size);
  if (const uint32_t* k = FindCandidate(index, hash, itemLength)) {
    const uint32_t offset = index.Candidates.Items[*k].Offset;
    if (std::memcmp(lds.Ptr + offset, item, itemLength) == 0) return offset;
    int64_t found = FindFirstOccurrence(lds.Ptr, lds.Size, item, itemLength);
    if (found >= 0) return uint32_t(found);
  }
  const uint32_t offset = lds.Size;
  if (!AppendBytes(lds, item, itemLength)) {
    work->ImageTooLarge = true;
  } else {
    SkipAppendedItem(index, lds.Ptr, offset, itemLength, hash);
  }
  return offset;
}

void FreeLongDataIndex(TLongDataIndex& index) {
  GrowArrayFree(index.Pending);
  GrowArrayFree(index.Candidates);
  HashIndexFree(index.Index);
  index = {};
}
