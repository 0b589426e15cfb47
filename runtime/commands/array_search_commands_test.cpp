#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

typedef std::vector<uint32_t> DWords;
constexpr uint32_t kNone = 0xFFFFFFFF;

// A constant as the image holds it (IsDynamic 0), put straight into a
// variable, so that a test can check that nothing writes it.
struct StaticInts {
  TArrayHeader Header{8, 3, 3, 0};
  int64_t Items[3] = {1, 2, 3};
};

TEST(ArrayFind, NumericArraysFromAStartOrUpToAnIndex) {
  TextScript s(24);
  s.W().Cmd(kDWORDArrayConcat).Byte(0).DWordArray({5, 7, 5, 9, 5}).End();
  s.W().Cmd(kIntArrayConcat).Byte(1).IntArray({-1, int64_t(1) << 40, -1}).End();
  s.W().Cmd(kFloatArrayConcat).Byte(2).FloatArray({0.5L, 1.0L / 3, 0.5L}).End();
  s.W().Cmd(kDWORDArrayNew).Byte(3).End();  // empty
  auto find = [&](uint32_t code, int8_t array, int8_t result) {
    return s.W().Cmd(code).Byte(array).Byte(result);
  };
  find(kDWORDArrayFind, 0, 4).Byte(5).End();
  find(kDWORDArrayFind, 0, 5).Byte(5).Byte(1);
  find(kDWORDArrayFind, 0, 6).Byte(9).Byte(-2);  // items 0 to 2 only
  find(kDWORDArrayFind, 0, 7).Byte(5).Byte(-2);
  find(kDWORDArrayFind, 0, 8).Byte(5).Byte(5);  // past the end
  find(kDWORDArrayFind, 3, 9).End();            // empty array
  find(kDWORDArrayFindAll, 0, 10).Byte(5).End();
  find(kDWORDArrayFindAll, 0, 11).Byte(5).Byte(1);
  find(kDWORDArrayFindAll, 0, 12).Byte(5).Byte(-3);
  find(kDWORDArrayFindAll, 0, 13).Byte(8).End();  // nothing: an empty array
  find(kIntArrayFind, 1, 14).Int(int64_t(1) << 40).End();
  find(kIntArrayFindAll, 1, 15).Byte(-1).End();
  find(kFloatArrayFind, 2, 16).Ext(1.0L / 3).End();
  find(kFloatArrayFind, 2, 17).Ext(0.3333333333333333333L).End();  // not the same float
  find(kFloatArrayFindAll, 2, 18).Ext(0.5L).End();
  find(kDWORDArrayFindAll, 3, 19).End();
  s.W().Cmd(kVarCopy).Byte(0).Byte(20);
  s.W().Cmd(kDWORDArrayFindAll).Byte(20).Default().Byte(5).End();  // the result replaces the array
  const uint32_t wrongKind = s.Here();
  find(kIntArrayFind, 0, 21).End();
  EXPECT_EQ(s.Run(), kStatusWrongKind);
  EXPECT_EQ(s.FailedAt(), wrongKind);
  const uint32_t singles[] = {0, 2, kNone, 0, kNone, kNone};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(s.DWord(4 + i), singles[i]) << "variable " << 4 + i;
  EXPECT_EQ(s.ArrayOf<uint32_t>(10, vtDWORDArray), (DWords{0, 2, 4}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(11, vtDWORDArray), (DWords{2, 4}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(12, vtDWORDArray), (DWords{0, 2}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(13, vtDWORDArray), DWords{});
  EXPECT_EQ(s.DWord(14), 1u);
  EXPECT_EQ(s.ArrayOf<uint32_t>(15, vtDWORDArray), (DWords{0, 2}));
  EXPECT_EQ(s.DWord(16), 1u);
  EXPECT_EQ(s.DWord(17), kNone);
  EXPECT_EQ(s.ArrayOf<uint32_t>(18, vtDWORDArray), (DWords{0, 2}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(19, vtDWORDArray), DWords{});
  EXPECT_EQ(s.ArrayOf<uint32_t>(20, vtDWORDArray), (DWords{0, 2, 4}));
  EXPECT_EQ(s[21].VarType, vtUninitialized);

  TextScript t(1);
  t.W().Cmd(kDWORDArrayFind).Byte(9).Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
}

TEST(ArrayFind, ListsByMatchMode) {
  TextScript s(16);
  s.W().Cmd(kTextListBuild).Byte(0).Text(u"ab").Text(u"x").Text(u"AB").Text(u"xab").Text(u"ab");
  s.W().End();
  s.W().Cmd(kBlockListBuild).Byte(1).Block("Cat").Block("").Block("cat").Block("concat").End();
  auto find = [&](uint32_t code, int8_t list, int8_t result) {
    return s.W().Cmd(code).Byte(list).Byte(result);
  };
  find(kTextListFind, 0, 2).Text(u"ab").Byte(1).Byte(1);
  find(kTextListFindAll, 0, 3).Text(u"ab").Default().Byte(1);
  find(kTextListFindAll, 0, 4).Text(u"ab").Default().Byte(2);
  find(kTextListFindAll, 0, 5).Text(u"ab").Default().Byte(3);
  find(kTextListFindAll, 0, 6).Text(u"ab").Default().Byte(4);
  find(kTextListFindAll, 0, 7).Text(u"ab").Byte(-3).Byte(4);
  find(kTextListFind, 0, 8).Block("xab").End();  // an 8-bit text converts
  find(kBlockListFind, 1, 9).End();              // the empty block by default
  find(kBlockListFindAll, 1, 10).Block("cat").Default().Byte(2);
  find(kBlockListFindAll, 1, 11).Block("cat").Default().Byte(3);
  find(kBlockListFind, 1, 12).Block("dog").Default().Byte(4);
  const uint32_t badMode = s.Here();
  find(kTextListFind, 0, 13).Text(u"ab").Default().Byte(5);
  EXPECT_EQ(s.Run(), kStatusBadListMatchMode);
  EXPECT_EQ(s.FailedAt(), badMode);
  EXPECT_EQ(s.DWord(2), 4u);
  EXPECT_EQ(s.ArrayOf<uint32_t>(3, vtDWORDArray), (DWords{0, 4}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(4, vtDWORDArray), (DWords{0, 2, 4}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(5, vtDWORDArray), (DWords{0, 3, 4}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(6, vtDWORDArray), (DWords{0, 2, 3, 4}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(7, vtDWORDArray), (DWords{0, 2, 3}));
  EXPECT_EQ(s.DWord(8), 3u);
  EXPECT_EQ(s.DWord(9), 1u);
  EXPECT_EQ(s.ArrayOf<uint32_t>(10, vtDWORDArray), (DWords{0, 2}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(11, vtDWORDArray), (DWords{2, 3}));
  EXPECT_EQ(s.DWord(12), kNone);
  EXPECT_EQ(s[13].VarType, vtUninitialized);

  TextScript t(2);
  t.W().Cmd(kTextListBuild).Byte(0).Text(u"a").End();
  t.W().Cmd(kBlockListFind).Byte(0).Byte(1).End();  // a text list is no block list
  EXPECT_EQ(t.Run(), kStatusWrongKind);
  TextScript u(2);
  u.W().Cmd(kTextListBuild).Byte(0).Text(u"a").End();
  u.W().Cmd(kTextListFind).Byte(0).Byte(1).Text(u"a").Default().Byte(0);
  EXPECT_EQ(u.Run(), kStatusBadListMatchMode);
}

TEST(ArrayAppend, CopiesInOneGrowthForEveryKind) {
  TextScript s(8);
  s.W().Cmd(kDWORDArrayConcat).Byte(0).DWordArray({1}).End();
  s.W().Cmd(kDWORDArrayAppend).Byte(0).Byte(7).Byte(3);
  s.W().Cmd(kDWORDArrayAppend).Byte(0).Byte(9).Byte(0);  // no copies: no change
  s.W().Cmd(kDWORDArrayAppend).Byte(0).End();            // one zero
  s.W().Cmd(kIntArrayNew).Byte(1).End();
  s.W().Cmd(kIntArrayAppend).Byte(1).Int(-(int64_t(1) << 50)).Byte(2);
  s.W().Cmd(kFloatArrayNew).Byte(2).End();
  s.W().Cmd(kFloatArrayAppend).Byte(2).Ext(0.1L).End();
  s.W().Cmd(kTextListBuild).Byte(3).Text(u"a").End();
  s.W().Cmd(kTextListAppend).Byte(3).Text(u"t").Byte(2);
  s.W().Cmd(kTextListAppend).Byte(3).End();
  s.W().Cmd(kBlockListBuild).Byte(4).End();
  s.W().Cmd(kBlockListAppend).Byte(4).Block("b").Byte(3);
  s.W().Cmd(kSetDWORD).Byte(5).Byte(1);
  const uint32_t wrongKind = s.Here();
  s.W().Cmd(kIntArrayAppend).Byte(0).Byte(1).End();
  EXPECT_EQ(s.Run(), kStatusWrongKind);
  EXPECT_EQ(s.FailedAt(), wrongKind);
  EXPECT_EQ(s.ArrayOf<uint32_t>(0, vtDWORDArray), (DWords{1, 7, 7, 7, 0}));
  EXPECT_EQ(s.ArrayOf<int64_t>(1, vtIntArray),
            (std::vector<int64_t>{-(int64_t(1) << 50), -(int64_t(1) << 50)}));
  EXPECT_EQ(s.ArrayOf<long double>(2, vtExtArray), std::vector<long double>{0.1L});
  EXPECT_EQ(s.TextListOf(3), (TextItems{u"a", u"t", u"t", u""}));
  EXPECT_EQ(s.BlockListOf(4), (BlockItems{"b", "b", "b"}));

  TextScript t(1);
  t.W().Cmd(kTextListAppend).Byte(3).End();
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
}

TEST(ItemsSetCount, GrowsWithZerosAndEmptyItemsAndShrinks) {
  TextScript s(10);
  s.W().Cmd(kIntArrayConcat).Byte(0).IntArray({1, 2, 3}).End();
  s.W().Cmd(kItemsSetCount).Byte(0).Byte(5).End();
  s.W().Cmd(kFloatArrayConcat).Byte(1).FloatArray({1, 2, 3}).End();
  s.W().Cmd(kItemsSetCount).Byte(1).Byte(-2).Byte(1);
  s.W().Cmd(kTextListBuild).Byte(2).Text(u"a").Text(u"b").Text(u"c").End();
  s.W().Cmd(kItemsSetCount).Byte(2).Byte(-5).Byte(1);  // below 0: empty
  s.W().Cmd(kTextListBuild).Byte(3).Text(u"a").End();
  s.W().Cmd(kItemsSetCount).Byte(3).Byte(2).Byte(1);
  s.W().Cmd(kBlockListBuild).Byte(4).Block("x").End();
  s.W().Cmd(kItemsSetCount).Byte(4).Byte(2).End();
  s.W().Cmd(kTextSet).Byte(5).Text(u"abcdef");
  s.W()
      .Cmd(kItemsSetCount)
      .Byte(5)
      .Byte(0)
      .End()
      .Cmd(kItemsSetCount)
      .Byte(5)
      .Byte(2)
      .End();  // 0 and back
  s.W().Cmd(kSetBlock).Byte(6).Block("xyz");
  s.W().Cmd(kItemsSetCount).Byte(6).Byte(1).Byte(1);
  s.W().Cmd(kDWORDArrayConcat).Byte(7).DWordArray({4, 5}).End();
  s.W().Cmd(kItemsSetCount).Byte(7).End();  // the count defaults to 1
  s.W().Cmd(kTextSet).Byte(8).Text(u"keep");
  const uint32_t tooLarge = s.Here();
  s.W().Cmd(kItemsSetCount).Byte(8).Int(int64_t(1) << 40).End();
  EXPECT_EQ(s.Run(), kStatusOutOfMemory);
  EXPECT_EQ(s.FailedAt(), tooLarge);
  EXPECT_EQ(s.ArrayOf<int64_t>(0, vtIntArray), (std::vector<int64_t>{1, 2, 3, 0, 0}));
  EXPECT_EQ(s.ArrayOf<long double>(1, vtExtArray), std::vector<long double>{1});
  EXPECT_EQ(s.TextListOf(2), TextItems{});
  EXPECT_EQ(s.TextListOf(3), (TextItems{u"a", u"", u""}));
  EXPECT_EQ(s.BlockListOf(4), (BlockItems{"x", ""}));
  EXPECT_EQ(s.TextOf(5), std::u16string(2, u'\0'));  // no old units come back
  EXPECT_EQ(s.BlockOf(6), std::string("xyz\0", 4));
  EXPECT_EQ(s.ArrayOf<uint32_t>(7, vtDWORDArray), DWords{4});
  EXPECT_EQ(s.TextOf(8), u"keep");

  TextScript t(1);
  t.W().Cmd(kSetInt).Byte(0).Byte(3).Cmd(kItemsSetCount).Byte(0).Byte(1).End();
  EXPECT_EQ(t.Run(), kStatusWrongKind);
}

TEST(ItemsDelete, RemovesARunAndMovesTheRestDown) {
  TextScript s(12);
  s.W().Cmd(kDWORDArrayConcat).Byte(0).DWordArray({0, 1, 2, 3, 4, 5, 6}).End();
  s.W().Cmd(kItemsDelete).Byte(0).Byte(2).Byte(3);
  s.W().Cmd(kItemsDelete).Byte(0).End();  // the last item
  s.W().Cmd(kItemsDelete).Byte(0).Default().Default();
  s.W().Cmd(kTextSet).Byte(1).Text(u"hello");
  s.W().Cmd(kItemsDelete).Byte(1).End();
  s.W().Cmd(kTextListBuild).Byte(2).Text(u"a").Text(u"b").Text(u"c").Text(u"d").Text(u"e").End();
  s.W().Cmd(kItemsDelete).Byte(2).Byte(1).Byte(2);
  s.W().Cmd(kItemsDelete).Byte(2).Byte(1).Word(1000);  // past the end: to the end
  s.W().Cmd(kBlockListBuild).Byte(3).Block("p").Block("q").Block("r").End();
  s.W().Cmd(kItemsDelete).Byte(3).Byte(0).Byte(3);  // everything
  s.W().Cmd(kSetBlock).Byte(4).Block("abcdef");
  s.W().Cmd(kItemsDelete).Byte(4).Byte(0).Byte(2);
  s.W().Cmd(kIntArrayConcat).Byte(5).IntArray({9}).End();
  s.W().Cmd(kItemsDelete).Byte(5).Byte(7).Byte(0);  // no count: nothing, not even a check
  const uint32_t pastEnd = s.Here();
  s.W().Cmd(kItemsDelete).Byte(5).Byte(1).End();
  EXPECT_EQ(s.Run(), kStatusIndexOutOfRange);
  EXPECT_EQ(s.FailedAt(), pastEnd);
  EXPECT_EQ(s.ArrayOf<uint32_t>(0, vtDWORDArray), (DWords{0, 1}));
  EXPECT_EQ(s.TextOf(1), u"hell");
  EXPECT_EQ(s.TextListOf(2), (TextItems{u"a"}));
  EXPECT_EQ(s.BlockListOf(3), BlockItems{});
  EXPECT_EQ(s.BlockOf(4), "cdef");
  EXPECT_EQ(s.ArrayOf<int64_t>(5, vtIntArray), std::vector<int64_t>{9});

  TextScript t(1);
  t.W().Cmd(kTextSet).Byte(0).End().Cmd(kItemsDelete).Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusIndexOutOfRange);  // an empty text has no last item
}

TEST(CollectionsFromTheImage, AreCopiedBeforeAnyChange) {
  StaticInts constants[3];  // outlives the script, whose variables point at it
  TextScript s;
  const uint32_t hello = s.TextAt(u"hello");
  s.W().Cmd(kTextSet).Byte(0).Constant(ptUnicodeString, hello);  // shares the constant
  s.W().Cmd(kItemsDelete).Byte(0).Byte(0).Byte(2);
  s.W().Cmd(kTextSet).Byte(1).Constant(ptUnicodeString, hello);
  s.W().Cmd(kItemsSetCount).Byte(1).Byte(2).End();
  s.W().Cmd(kTextSet).Byte(2).Constant(ptUnicodeString, hello);
  s.W().Cmd(kIntArrayAppend).Byte(3).Byte(4).End();
  s.W().Cmd(kItemsSetCount).Byte(4).Byte(1).End();
  s.W().Cmd(kItemsDelete).Byte(5).Byte(0).End();
  TScriptContext* c = s.LoadWithGlobals(6);
  for (uint32_t i = 3; i < 6; ++i) {
    TZorvatVariable* v = ResolveVar(c, i);
    v->VarType = vtIntArray;
    v->UA = &constants[i - 3].Header;
  }
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"llo");
  EXPECT_EQ(s.TextOf(1), u"he");
  EXPECT_EQ(s.TextOf(2), u"hello");
  EXPECT_EQ(s.ArrayOf<int64_t>(3, vtIntArray), (std::vector<int64_t>{1, 2, 3, 4}));
  EXPECT_EQ(s.ArrayOf<int64_t>(4, vtIntArray), std::vector<int64_t>{1});
  EXPECT_EQ(s.ArrayOf<int64_t>(5, vtIntArray), (std::vector<int64_t>{2, 3}));
  for (const StaticInts& k : constants) {
    EXPECT_EQ(k.Header.ElemCount, 3u);
    EXPECT_EQ(k.Header.IsDynamic, 0u);
    EXPECT_EQ(k.Items[0] + k.Items[1] * 10 + k.Items[2] * 100, 321);
  }
  for (uint32_t i = 3; i < 6; ++i) EXPECT_FALSE(UA_IsStatic(s[i].UA));
}

}  // namespace
