// The check values the language offers over data: CRC-32 and MD5. Both can
// be fed in several pieces, so that a file can be hashed chunk by chunk with
// the same result as in one pass. (The CRC-64 of the image checksum is in
// crc64.h.)
#pragma once

#include <cstddef>
#include <cstdint>

// ---- CRC-32 (IEEE 802.3: reflected polynomial 0xEDB88320) ----
constexpr uint32_t kCrc32Initial = 0xFFFFFFFFu;

inline uint32_t CRC32_Init() {
  return kCrc32Initial;
}
// Feeds bytes to a running state.
uint32_t CRC32_Update(uint32_t state, const void* data, size_t length);
// The check value of a finished state.
inline uint32_t CRC32_Final(uint32_t state) {
  return ~state;
}
inline uint32_t CRC32_Calc(const void* data, size_t length) {
  return CRC32_Final(CRC32_Update(CRC32_Init(), data, length));
}

// ---- MD5 (RFC 1321) ----
constexpr size_t kMd5DigestBytes = 16;

struct TMD5State {
  uint32_t Words[4];    // A, B, C, D
  uint64_t Length;      // bytes fed so far
  uint8_t Pending[64];  // the start of a block not yet complete
};

void MD5_Init(TMD5State* state);
void MD5_Update(TMD5State* state, const void* data, size_t length);
// Pads the message and writes the 16 digest bytes in the standard order.
// The state must be initialised again before it is reused.
void MD5_Final(TMD5State* state, uint8_t digest[kMd5DigestBytes]);
