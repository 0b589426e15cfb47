#include "base/crc64.h"

#include <array>

namespace {

constexpr uint64_t kPolynomial = 0xC96C5795D7870F42ull;

constexpr std::array<uint64_t, 256> MakeTable() {
  std::array<uint64_t, 256> table{};
  for (uint64_t i = 0; i < 256; ++i) {
    uint64_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kPolynomial : v >> 1;
    table[i] = v;
  }
  return table;
}

// Built by the compiler, so it exists before anything runs.
constexpr std::array<uint64_t, 256> kTable = MakeTable();

}  // namespace

uint64_t CRC64_Update(uint64_t state, const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < length; ++i) state = kTable[(state ^ p[i]) & 0xFF] ^ (state >> 8);
  return state;
}
