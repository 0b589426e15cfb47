#include "runtime/values/hashes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

std::string FinalHex(TMD5State* state) {
  uint8_t digest[kMd5DigestBytes];
  MD5_Final(state, digest);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t b : digest) hex += {kHex[b >> 4], kHex[b & 15]};
  return hex;
}

std::string Md5Hex(const std::string& message) {
  TMD5State state;
  MD5_Init(&state);
  MD5_Update(&state, message.data(), message.size());
  return FinalHex(&state);
}

TEST(Crc32, KnownCheckValues) {
  EXPECT_EQ(CRC32_Calc("abc", 3), 0x352441C2u);
  EXPECT_EQ(CRC32_Calc("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(CRC32_Calc("", 0), 0u);
}

TEST(Crc32, UpdatingInPiecesEqualsOneCall) {
  uint32_t state = CRC32_Update(CRC32_Init(), "1234", 4);
  state = CRC32_Update(state, "", 0);
  state = CRC32_Update(state, "56789", 5);
  EXPECT_EQ(CRC32_Final(state), CRC32_Calc("123456789", 9));
}

// The table-driven update folds eight bytes at a time: every start
// alignment and every tail length must agree with the CRC taken bit by bit.
TEST(Crc32, EveryAlignmentAndTailAgreesWithTheBitwiseCrc) {
  uint8_t bytes[80];
  for (int i = 0; i < 80; ++i) bytes[i] = uint8_t(i * 37 + 11);
  for (size_t start = 0; start < 8; ++start) {
    for (size_t length = 0; length <= 72; ++length) {
      uint32_t bitwise = 0xFFFFFFFFu;
      for (size_t i = 0; i < length; ++i) {
        bitwise ^= bytes[start + i];
        for (int bit = 0; bit < 8; ++bit) bitwise = (bitwise >> 1) ^ (0xEDB88320u & -(bitwise & 1));
      }
      ASSERT_EQ(CRC32_Calc(bytes + start, length), ~bitwise) << start << " " << length;
    }
  }
}

TEST(Md5, Rfc1321TestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890123456789012345678901234567890"
                   "1234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

// The padding takes one block or two depending on how full the last block
// is: 55 bytes leave room for the length, 56 do not, 64 fill a block.
TEST(Md5, PaddingBoundariesAndPieceSizesAgree) {
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
    std::string message(length, 'x');
    for (size_t i = 0; i < length; ++i) message[i] = char('a' + i % 26);
    const std::string whole = Md5Hex(message);
    for (size_t piece : {1u, 7u, 63u, 64u}) {
      TMD5State state;
      MD5_Init(&state);
      for (size_t at = 0; at < length; at += piece) {
        MD5_Update(&state, message.data() + at, std::min(piece, length - at));
      }
      EXPECT_EQ(FinalHex(&state), whole) << "length " << length << ", pieces of " << piece;
    }
  }
  // A known value past one block: 56 'a's.
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
}

}  // namespace
