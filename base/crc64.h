// CRC-64 of the image checksum: the reflected CRC over the ECMA-182
// polynomial (reflected form 0xC96C5795D7870F42), state starting at all ones,
// no final inversion. It is therefore the bitwise complement of CRC-64/XZ of
// the same bytes, and the value of an empty input is all ones.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint64_t kCrc64Initial = 0xFFFFFFFFFFFFFFFFull;

// Feeds bytes to a running state; the image writer checksums as it writes.
uint64_t CRC64_Update(uint64_t state, const void* data, size_t length);

inline uint64_t CRC64_Calc(const void* data, size_t length) {
  return CRC64_Update(kCrc64Initial, data, length);
}
