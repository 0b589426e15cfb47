// Little-endian loads and stores at any alignment. The image packs its
// fields without padding, so everything read from it goes through these.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t LoadU16(const void* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline uint32_t LoadU32(const void* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline uint64_t LoadU64(const void* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreU16(void* p, uint16_t v) {
  std::memcpy(p, &v, sizeof v);
}
inline void StoreU32(void* p, uint32_t v) {
  std::memcpy(p, &v, sizeof v);
}
inline void StoreU64(void* p, uint64_t v) {
  std::memcpy(p, &v, sizeof v);
}

// An 80-bit extended value is kept in 10 bytes wherever it is stored.
constexpr unsigned kExtendedBytes = 10;
inline long double LoadExtended(const void* p) {
  long double v = 0;
  std::memcpy(&v, p, kExtendedBytes);
  return v;
}
inline void StoreExtended(void* p, long double v) {
  std::memcpy(p, &v, kExtendedBytes);
}
