#include "base/crc64.h"

#include <gtest/gtest.h>

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

}  // namespace
