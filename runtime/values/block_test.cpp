#include "runtime/values/block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Bytes(const TArrayHeader* block) {
  return std::string(reinterpret_cast<const char*>(UA_Data(block)), BB_Length(block));
}

bool Terminated(const TArrayHeader* block) {
  uint32_t n = BB_Length(block);
  return block->ElemCount == n + 2 && UA_Data(block)[n] == 0 && UA_Data(block)[n + 1] == 0;
}

TEST(Block, LengthChangesKeepTwoZeroBytesAndCopyStaticBlocks) {
  EXPECT_EQ(BB_New(0), BB_Empty());
  EXPECT_TRUE(Terminated(BB_Empty()));
  EXPECT_EQ(Bytes(BB_Blank()), " ");
  EXPECT_TRUE(Terminated(BB_Blank()));

  PArrayHeader b = BB_New(5);
  std::memset(UA_Data(b), 'z', 5);
  ASSERT_TRUE(BB_SetLength(&b, 2));  // the old 'z's at 2 and 3 become the zero bytes
  EXPECT_EQ(Bytes(b), "zz");
  EXPECT_TRUE(Terminated(b));
  ASSERT_TRUE(BB_SetLength(&b, 40));
  EXPECT_EQ(b->TrueElemCount, 64u);
  EXPECT_TRUE(Terminated(b));
  PArrayHeader before = b;
  EXPECT_FALSE(BB_SetLength(&b, UINT32_MAX));
  EXPECT_FALSE(BB_SetLength(&b, 0x7FFFFFF0u));
  EXPECT_EQ(b, before);
  UA_Free(&b);

  PArrayHeader slot = BB_Blank();  // read-only storage: a write in place would fault
  ASSERT_TRUE(BB_SetLength(&slot, 2));
  EXPECT_EQ(Bytes(slot), std::string(" \0", 2));
  EXPECT_EQ(BB_Clone(BB_Blank()), BB_Blank());
  PArrayHeader copy = BB_Clone(slot);
  EXPECT_NE(copy, slot);
  EXPECT_EQ(Bytes(copy), Bytes(slot));
  UA_Free(&copy);
  ASSERT_TRUE(BB_SetLength(&slot, 0));
  EXPECT_EQ(BB_Clone(slot), BB_Empty());  // a dynamic empty block
  UA_Free(&slot);
}

TEST(Block, CompareAndFindWorkOnUnsignedBytes) {
  struct Case {
    std::string A, B;
    int Cased, NoCase;
  };
  const Case compares[] = {
      {"abc", "abd", -1, -1}, {"abc", "ab", 1, 1},         {"", "", 0, 0}, {"abc", "ABC", 1, 0},
      {"\x80", "a", 1, 1},    {"caf\xE9", "CAF\xC9", 1, 0}};  // Windows-1252 e acute
  for (const Case& c : compares) {
    auto a = reinterpret_cast<const uint8_t*>(c.A.data());
    auto b = reinterpret_cast<const uint8_t*>(c.B.data());
    uint32_t la = uint32_t(c.A.size()), lb = uint32_t(c.B.size());
    EXPECT_EQ(BB_Compare(a, la, b, lb, false), c.Cased);
    EXPECT_EQ(BB_Compare(a, la, b, lb, true), c.NoCase);
  }

  struct Search {
    std::string Needle, Haystack;
    uint32_t Start;
    int32_t Cased, NoCase;
  };
  const Search searches[] = {{"", "abc", 0, -1, -1},
                             {"abcd", "abc", 0, -1, -1},
                             {"c", "abcabc", 3, 5, 5},
                             {"abc", "abcabc", 4, -1, -1},
                             {"a", "abc", 9, -1, -1},
                             {"BC", "abc", 0, -1, 1},
                             {std::string("\0b", 2), std::string("a\0b", 3), 0, 1, 1}};
  for (const Search& s : searches) {
    auto needle = reinterpret_cast<const uint8_t*>(s.Needle.data());
    auto haystack = reinterpret_cast<const uint8_t*>(s.Haystack.data());
    uint32_t ln = uint32_t(s.Needle.size()), lh = uint32_t(s.Haystack.size());
    EXPECT_EQ(BB_Find(needle, ln, haystack, false, s.Start, lh), s.Cased);
    EXPECT_EQ(BB_Find(needle, ln, haystack, true, s.Start, lh), s.NoCase);
  }
}

TEST(Block, SliceKeepsTheZeroBytes) {
  PArrayHeader b = BB_FromBuffer("abcdef", 6);
  PArrayHeader part = UA_Slice(b, vtBinBlock, 4, 10);
  EXPECT_EQ(Bytes(part), "ef");
  EXPECT_TRUE(Terminated(part));
  UA_Free(&part);
  EXPECT_EQ(UA_Slice(b, vtBinBlock, 6, 1), nullptr);
  UA_Free(&b);
}

}  // namespace
