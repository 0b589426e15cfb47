// Comparison and search over runs of code units (the UTF-16 units of texts,
// the bytes of blocks). The no-case forms map each unit through a case table
// as they go, so neither form copies or allocates anything.
#pragma once

#include <cstdint>

struct TIdentityMap {
  template <typename U>
  U operator()(U unit) const {
    return unit;
  }
};

template <typename U>
struct TTableMap {
  const U* Table;
  U operator()(U unit) const { return Table[unit]; }
};

// 0, 1 (a greater) or -1; units compare as unsigned values and a proper
// prefix is the smaller.
template <typename U, typename Map>
int CompareMapped(const U* a, uint32_t lengthA, const U* b, uint32_t lengthB, Map map) {
  uint32_t common = lengthA < lengthB ? lengthA : lengthB;
  for (uint32_t i = 0; i < common; ++i) {
    U x = map(a[i]);
    U y = map(b[i]);
    if (x != y) return x > y ? 1 : -1;
  }
  if (lengthA == lengthB) return 0;
  return lengthA > lengthB ? 1 : -1;
}

// Absolute position of the first occurrence of the needle at or after
// `start`, or -1. An empty needle is never found.
template <typename U, typename Map>
int32_t FindMapped(const U* needle, uint32_t needleLength, const U* haystack, uint32_t start,
                   uint32_t haystackLength, Map map) {
  if (needleLength == 0 || start > haystackLength || needleLength > haystackLength - start) {
    return -1;
  }
  U first = map(needle[0]);
  uint32_t lastStart = haystackLength - needleLength;
  for (uint32_t pos = start; pos <= lastStart; ++pos) {
    if (map(haystack[pos]) != first) continue;
    uint32_t i = 1;
    while (i < needleLength && map(haystack[pos + i]) == map(needle[i])) ++i;
    if (i == needleLength) return int32_t(pos);
  }
  return -1;
}
