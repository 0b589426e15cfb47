#include "runtime/values/hashes.h"

#include <array>
#include <cstring>
#include <utility>

namespace {

// ---- CRC-32 ----

constexpr uint32_t kCrc32Polynomial = 0xEDB88320u;

// Slicing by eight: table 0 is the classic byte table; table k gives the
// effect of a byte followed by k zero bytes, so eight bytes are folded into
// the state with eight independent lookups instead of a chain of eight.
typedef std::array<std::array<uint32_t, 256>, 8> TCrc32Tables;

constexpr TCrc32Tables MakeCrc32Tables() {
  TCrc32Tables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kCrc32Polynomial : v >> 1;
    tables[0][i] = v;
  }
  for (int k = 1; k < 8; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      const uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous >> 8) ^ tables[0][previous & 0xFF];
    }
  }
  return tables;
}

// Built by the compiler, so several threads may hash at once without a
// first-use race.
constexpr TCrc32Tables kCrc32Tables = MakeCrc32Tables();

// ---- MD5 ----

// Per-step shift amounts and the sine-derived constants of RFC 1321.
constexpr uint8_t kShifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t kSines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

inline uint32_t RotateLeft(uint32_t v, unsigned n) {
  return (v << n) | (v >> (32 - n));
}

inline uint32_t LittleEndianWord(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Step I of the 64, with its function, message word, constant and shift all
// fixed at compile time, so the whole transform unrolls into straight code.
template <unsigned I>
[[gnu::always_inline]] inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d,
                                        const uint32_t* m) {
  uint32_t f;
  unsigned g;
  if constexpr (I < 16) {
    f = d ^ (b & (c ^ d));
    g = I;
  } else if constexpr (I < 32) {
    f = c ^ (d & (b ^ c));
    g = (5 * I + 1) % 16;
  } else if constexpr (I < 48) {
    f = b ^ c ^ d;
    g = (3 * I + 5) % 16;
  } else {
    f = c ^ (b | ~d);
    g = (7 * I) % 16;
  }
  a = b + RotateLeft(a + f + kSines[I] + m[g], kShifts[I]);
}

// Four steps, each on the words turned one place further.
template <unsigned I>
[[gnu::always_inline]] inline void FourSteps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                             const uint32_t* m) {
  Step<I>(a, b, c, d, m);
  Step<I + 1>(d, a, b, c, m);
  Step<I + 2>(c, d, a, b, m);
  Step<I + 3>(b, c, d, a, m);
}

template <size_t... Group>
[[gnu::always_inline]] inline void AllSteps(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d,
                                            const uint32_t* m, std::index_sequence<Group...>) {
  (FourSteps<unsigned(Group * 4)>(a, b, c, d, m), ...);
}

void TransformBlock(uint32_t words[4], const uint8_t block[64]) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i) m[i] = LittleEndianWord(block + 4 * i);
  uint32_t a = words[0], b = words[1], c = words[2], d = words[3];
  AllSteps(a, b, c, d, m, std::make_index_sequence<16>());
  words[0] += a;
  words[1] += b;
  words[2] += c;
  words[3] += d;
}

}  // namespace

uint32_t CRC32_Update(uint32_t state, const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  const TCrc32Tables& t = kCrc32Tables;
  for (; length >= 8; p += 8, length -= 8) {
    const uint32_t low = LittleEndianWord(p) ^ state;
    const uint32_t high = LittleEndianWord(p + 4);
    state = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
            t[4][low >> 24] ^ t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^
            t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
  }
  for (; length != 0; ++p, --length) state = t[0][(state ^ *p) & 0xFF] ^ (state >> 8);
  return state;
}

void MD5_Init(TMD5State* state) {
  state->Words[0] = 0x67452301;
  state->Words[1] = 0xefcdab89;
  state->Words[2] = 0x98badcfe;
  state->Words[3] = 0x10325476;
  state->Length = 0;
}

void MD5_Update(TMD5State* state, const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t pending = size_t(state->Length % 64);
  state->Length += length;
  if (pending != 0) {
    const size_t take = length < 64 - pending ? length : 64 - pending;
    std::memcpy(state->Pending + pending, p, take);
    p += take;
    length -= take;
    if (pending + take < 64) return;
    TransformBlock(state->Words, state->Pending);
  }
  for (; length >= 64; p += 64, length -= 64) TransformBlock(state->Words, p);
  if (length != 0) std::memcpy(state->Pending, p, length);
}

void MD5_Final(TMD5State* state, uint8_t digest[kMd5DigestBytes]) {
  const uint64_t bits = state->Length * 8;
  // 0x80, then zeros up to 56 bytes into a block, then the bit count.
  uint8_t padding[72] = {0x80};
  const size_t pending = size_t(state->Length % 64);
  const size_t padLength = pending < 56 ? 56 - pending : 120 - pending;
  for (int i = 0; i < 8; ++i) padding[padLength + i] = uint8_t(bits >> (8 * i));
  MD5_Update(state, padding, padLength + 8);
  for (int w = 0; w < 4; ++w) {
    for (int i = 0; i < 4; ++i) digest[4 * w + i] = uint8_t(state->Words[w] >> (8 * i));
  }
}
