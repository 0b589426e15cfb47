#include "base/crc64.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Crc64, EmptyInputIsAllOnes) {
  EXPECT_EQ(CRC64_Calc("", 0), 0xFFFFFFFFFFFFFFFFull);
}

TEST(Crc64, IsTheComplementOfCrc64Xz) {
  // CRC-64/XZ check value of "123456789" is 0x995DC9BBDF1939FA.
  EXPECT_EQ(CRC64_Calc("123456789", 9), ~0x995DC9BBDF1939FAull);
  EXPECT_EQ(CRC64_Calc("123456789", 9), 0x66A2364420E6C605ull);
}

TEST(Crc64, UpdatingInPiecesEqualsOneCall) {
  uint64_t state = CRC64_Update(kCrc64Initial, "1234", 4);
  state = CRC64_Update(state, "56789", 5);
  EXPECT_EQ(state, CRC64_Calc("123456789", 9));
}

// The register shifted one bit at a time: slow, but plainly the definition.
uint64_t BitwiseCrc(uint64_t state, const uint8_t* p, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    state ^= p[i];
    for (int bit = 0; bit < 8; ++bit)
      state = (state & 1) ? (state >> 1) ^ 0xC96C5795D7870F42ull : state >> 1;
  }
  return state;
}

TEST(Crc64, AgreesWithTheBitwiseDefinitionAtEveryAlignmentAndSplit) {
  std::vector<uint8_t> bytes(300);
  uint32_t seed = 12345;
  for (uint8_t& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = uint8_t(seed >> 16);
  }
  for (size_t start = 0; start < 9; ++start) {
    for (size_t length :
         {size_t(0), size_t(1), size_t(7), size_t(8), size_t(9), size_t(64), size_t(291)}) {
      const uint8_t* p = bytes.data() + start;
      const uint64_t expected = BitwiseCrc(kCrc64Initial, p, length);
      EXPECT_EQ(CRC64_Calc(p, length), expected) << start << " " << length;
      for (size_t split = 0; split <= length; split += 5) {
        uint64_t state = CRC64_Update(kCrc64Initial, p, split);
        EXPECT_EQ(CRC64_Update(state, p + split, length - split), expected);
      }
    }
  }
}

}  // namespace
