#include "base/crc64.h"

#include <array>

namespace {

constexpr uint64_t kPolynomial = 0xC96C5795D7870F42ull;

// Table k gives the effect of a byte that still has k more bytes to pass
// through the register, so that eight bytes are folded in at once instead of
// one after another (images run to megabytes, and every load checks them).
typedef std::array<std::array<uint64_t, 256>, 8> TCrcTables;

constexpr TCrcTables MakeTables() {
  TCrcTables tables{};
  for (uint64_t i = 0; i < 256; ++i) {
    uint64_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kPolynomial : v >> 1;
    tables[0][i] = v;
  }
  for (int k = 1; k < 8; ++k) {
    for (int i = 0; i < 256; ++i) {
      const uint64_t previous = tables[k - 1][i];
      tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

// Built by the compiler, so it exists before anything runs.
constexpr TCrcTables kTables = MakeTables();

uint64_t LoadU64Le(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

uint64_t CRC64_Update(uint64_t state, const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (; length >= 8; p += 8, length -= 8) {
    const uint64_t v = state ^ LoadU64Le(p);
    state = kTables[7][v & 0xFF] ^ kTables[6][(v >> 8) & 0xFF] ^ kTables[5][(v >> 16) & 0xFF] ^
            kTables[4][(v >> 24) & 0xFF] ^ kTables[3][(v >> 32) & 0xFF] ^
            kTables[2][(v >> 40) & 0xFF] ^ kTables[1][(v >> 48) & 0xFF] ^ kTables[0][v >> 56];
  }
  for (; length > 0; ++p, --length) state = kTables[0][(state ^ *p) & 0xFF] ^ (state >> 8);
  return state;
}
