#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

TEST(Sort, CompanionsFollowTheKey) {
  TextScript s(3);
  s.W().Cmd(kDWORDArrayConcat).Byte(0).DWordArray({3, 1, 2}).End();
  s.W().Cmd(kTextListBuild).Byte(1).Text(u"c").Text(u"a").Text(u"b").End();
  s.W().Cmd(kSetBlock).Byte(2).Block("CAB");
  s.W().Cmd(kSort).Byte(0).Byte(0).Byte(1).Byte(2).End();
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.ArrayOf<uint32_t>(0, vtDWORDArray), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(s.TextListOf(1), (TextItems{u"a", u"b", u"c"}));
  EXPECT_EQ(s.BlockOf(2), "ABC");
}

TEST(Sort, OrderOfEachKeyKind) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  TextScript s(9);
  const uint32_t text = s.TextAt(u"b\u00E9aB");
  s.W().Cmd(kIntArrayConcat).Byte(0).IntArray({5, -3, 0, -3}).End();
  s.W().Cmd(kSort).Byte(0).Byte(0).End();
  s.W().Cmd(kDWORDArrayConcat).Byte(1).DWordArray({0xFFFFFFFF, 1, 7}).End();
  s.W().Cmd(kSort).Byte(1).Byte(9).End();  // any non-zero flags: descending
  s.W().Cmd(kFloatArrayConcat).Byte(2).FloatArray({2.5L, nan, -1, 0.5L}).End();
  s.W().Cmd(kSort).Byte(2).Byte(0).End();
  s.W().Cmd(kSetBlock).Byte(3).Block(std::string("b\x80") + "a");
  s.W().Cmd(kSort).Byte(3).Byte(0).End();
  s.W().Cmd(kTextSet).Byte(4).Constant(ptUnicodeString, text).Cmd(kSort).Byte(4).Byte(0).End();
  s.W().Cmd(kTextSet).Byte(8).Constant(ptUnicodeString, text);  // the constant is unchanged
  s.W().Cmd(kTextListBuild).Byte(5).Text(u"bb").Text(u"A").Text(u"a").Text(u"B").End();
  s.W().Cmd(kVarCopy).Byte(5).Byte(6).Cmd(kVarCopy).Byte(5).Byte(7);
  s.W().Cmd(kSort).Byte(5).Byte(0).End();  // by unit: upper case first
  s.W().Cmd(kSort).Byte(6).Byte(1 | 2 | 4).End();
  s.W().Cmd(kSort).Byte(7).Byte(4).End();
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.ArrayOf<int64_t>(0, vtIntArray), (std::vector<int64_t>{-3, -3, 0, 5}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(1, vtDWORDArray), (std::vector<uint32_t>{0xFFFFFFFF, 7, 1}));
  const auto floats = s.ArrayOf<long double>(2, vtExtArray);
  ASSERT_EQ(floats.size(), 4u);
  EXPECT_EQ(floats[0], -1);
  EXPECT_EQ(floats[1], 0.5L);
  EXPECT_EQ(floats[2], 2.5L);
  EXPECT_TRUE(std::isnan(floats[3]));  // NaN last
  EXPECT_EQ(s.BlockOf(3), "ab\x80");
  EXPECT_EQ(s.TextOf(4), u"Bab\u00E9");
  EXPECT_EQ(s.TextOf(8), u"b\u00E9aB");
  EXPECT_EQ(s.TextListOf(5), (TextItems{u"A", u"B", u"a", u"bb"}));
  EXPECT_EQ(s.TextListOf(6)[0], u"bb");  // descending, longer first when shorter-first is flipped
  EXPECT_EQ(s.TextListOf(7)[3], u"bb");
}

TEST(Sort, BlockListsIgnoringCaseAndShorterFirst) {
  TextScript s(2);
  s.W().Cmd(kBlockListBuild).Byte(0).Block("b").Block("aa").Block("B").Block("A").End();
  s.W().Cmd(kVarCopy).Byte(0).Byte(1);
  s.W().Cmd(kSort).Byte(0).Byte(4).End();
  s.W().Cmd(kSort).Byte(1).Byte(2).End();
  ASSERT_EQ(s.Run(), kStatusOk);
  const BlockItems shorter = s.BlockListOf(0);
  ASSERT_EQ(shorter.size(), 4u);
  EXPECT_EQ(shorter[3], "aa");
  EXPECT_EQ((BlockItems{shorter[0], shorter[1], shorter[2]}), (BlockItems{"A", "B", "b"}));
  const BlockItems noCase = s.BlockListOf(1);
  ASSERT_EQ(noCase.size(), 4u);
  EXPECT_EQ(noCase[0], "A");
  EXPECT_EQ(noCase[1], "aa");
  EXPECT_TRUE(noCase[2] + noCase[3] == "bB" || noCase[2] + noCase[3] == "Bb")
      << "b and B are equal ignoring case";
}

// Many equal keys, sorted runs and reversed runs: the sort must end with
// the key in order and every companion item still beside its key.
TEST(Sort, LargeInputsKeepCompanionsAligned) {
  std::mt19937 rng(7);
  for (int shape = 0; shape < 3; ++shape) {
    std::vector<uint32_t> keys(5000);
    for (size_t i = 0; i < keys.size(); ++i) {
      keys[i] = shape == 0 ? rng() % 10 : shape == 1 ? uint32_t(i) : uint32_t(keys.size() - i);
    }
    std::vector<uint32_t> tags(keys.size());
    for (size_t i = 0; i < tags.size(); ++i) tags[i] = keys[i] * 100000 + uint32_t(i);
    TextScript s(2);
    s.W().Cmd(kDWORDArrayConcat).Byte(0).DWordArray(keys).End();
    s.W().Cmd(kDWORDArrayConcat).Byte(1).DWordArray(tags).End();
    s.W().Cmd(kSort).Byte(0).Byte(0).Byte(1).Byte(0).End();  // the key named twice moves once
    ASSERT_EQ(s.Run(), kStatusOk);
    const auto sortedKeys = s.ArrayOf<uint32_t>(0, vtDWORDArray);
    const auto sortedTags = s.ArrayOf<uint32_t>(1, vtDWORDArray);
    EXPECT_TRUE(std::is_sorted(sortedKeys.begin(), sortedKeys.end()));
    for (size_t i = 0; i < sortedKeys.size(); ++i) {
      ASSERT_EQ(sortedTags[i] / 100000, sortedKeys[i]) << "position " << i;
    }
  }
}

TEST(Sort, MismatchesFailBeforeAnythingMoves) {
  auto run = [](void (*write)(TextCode&)) {
    TextScript s(4);
    s.W().Cmd(kTextSet).Byte(0).Text(u"cba").Cmd(kTextSet).Byte(1).Text(u"zyx");
    s.W().Cmd(kTextSet).Byte(2).Text(u"zy").Cmd(kSetInt).Byte(3).Byte(1);
    TextCode w = s.W();
    write(w);
    const TStatus status = s.Run();
    EXPECT_EQ(s.TextOf(0), u"cba");
    EXPECT_EQ(s.TextOf(1), u"zyx");
    return status;
  };
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSort).Byte(0).Byte(0).Byte(1).Byte(2).End(); }),
            kStatusSortMismatch);  // two items where the key has three
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSort).Byte(0).Byte(0).Byte(1).Byte(3).End(); }),
            kStatusSortMismatch);  // an integer has no items
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSort).Byte(0).Byte(0).Byte(1).Byte(9).End(); }),
            kStatusNoSuchVariable);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSort).Byte(0).Default().Byte(1).End(); }),
            kStatusBadParam);  // the flags must be given
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSort).Byte(0).Byte(0).Text(u"x").End(); }),
            kStatusBadParam);

  TextScript s;
  s.W().Cmd(kSort).Byte(0).Byte(0).Byte(1).Byte(1).End();
  bool ended;
  EXPECT_EQ(s.CallAlone(CmdSort, 2, &ended), kStatusSortMismatch);
  EXPECT_TRUE(ended);
}

}  // namespace
