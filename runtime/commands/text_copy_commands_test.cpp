#include <gtest/gtest.h>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

TEST(VarCopy, CopiesAreIndependent) {
  TextScript s(10);
  s.W().Cmd(kTextSet).Byte(0).Text(u"abc").Cmd(kVarCopy).Byte(0).Byte(1);
  s.W().Cmd(kTextUpper).Byte(0);  // a constant shared by both is copied before it changes
  s.W().Cmd(kTextListBuild).Byte(2).Text(u"x").Text(u"y").End();
  s.W().Cmd(kVarCopy).Byte(2).Byte(3).Cmd(kTextListSet).Byte(2).Byte(0).Text(u"changed");
  s.W().Cmd(kDWORDArrayConcat).Byte(4).DWordArray({5, 6}).End();
  s.W().Cmd(kVarCopy).Byte(4).Byte(5).Cmd(kDWORDArraySet).Byte(4).Byte(0).Byte(9);
  s.W().Cmd(kSetFloat).Byte(6).Ext(2.5L).Cmd(kVarCopy).Byte(6).Byte(7);
  s.W().Cmd(kVarCopy).Byte(8).Byte(7);  // an uninitialised source empties the target
  s.W().Cmd(kVarCopy).Byte(1).Byte(1);  // the same variable twice does nothing
  s.W().Cmd(kBlockListBuild).Byte(9).End().Cmd(kVarCopy).Byte(9).Byte(8);  // an empty list
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"ABC");
  EXPECT_EQ(s.TextOf(1), u"abc");
  EXPECT_EQ(s.TextListOf(2), (TextItems{u"changed", u"y"}));
  EXPECT_EQ(s.TextListOf(3), (TextItems{u"x", u"y"}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(4, vtDWORDArray), (std::vector<uint32_t>{9, 6}));
  EXPECT_EQ(s.ArrayOf<uint32_t>(5, vtDWORDArray), (std::vector<uint32_t>{5, 6}));
  EXPECT_EQ(s[7].VarType, vtUninitialized);
  EXPECT_EQ(s.BlockListOf(8), BlockItems{});
  EXPECT_NE(s[8].UA, s[9].UA);

  TextScript t(1);
  t.W().Cmd(kVarCopy).Byte(0).Byte(1);
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
}

TEST(VarCopyPart, RunsOfItemsOfEveryKind) {
  TextScript s(12);
  s.W().Cmd(kTextSet).Byte(0).Text(u"abcdef").Cmd(kVarCopyPart).Byte(0).Byte(2).Byte(3).Byte(1);
  s.W().Cmd(kSetBlock).Byte(2).Block("abcdef").Cmd(kVarCopyPart).Byte(2).Byte(4).End();
  s.W().Cmd(kIntArrayConcat).Byte(3).IntArray({1, 2, 3}).End();
  s.W().Cmd(kVarCopyPart).Byte(3).Byte(1).DWord(0xFFFFFFFF).Byte(4);  // count past the end
  s.W().Cmd(kBlockListBuild).Byte(5).Block("p").Block("q").Block("r").End();
  s.W().Cmd(kVarCopyPart).Byte(5).Byte(1).Byte(1).Byte(6);
  s.W().Cmd(kVarCopyPart).Byte(0).Byte(0).Byte(0).Byte(7);  // no items
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(1), u"cde");
  EXPECT_EQ(s.BlockOf(2), "ef");
  EXPECT_EQ(s.ArrayOf<int64_t>(4, vtIntArray), (std::vector<int64_t>{2, 3}));
  EXPECT_EQ(s.BlockListOf(6), BlockItems{"q"});
  EXPECT_EQ(s.TextOf(7), u"");

  auto run = [](void (*write)(TextCode&)) {
    TextScript t(2);
    t.W().Cmd(kTextSet).Byte(0).Text(u"abc");
    TextCode w = t.W();
    write(w);
    return t.Run();
  };
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kVarCopyPart).Byte(0).Byte(3).End(); }),
            kStatusIndexOutOfRange);
  EXPECT_EQ(run([](TextCode& w) {
              w.Cmd(kSetInt).Byte(1).Byte(1).Cmd(kVarCopyPart).Byte(1).Byte(0).End();
            }),
            kStatusNoItems);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kVarCopyPart).Byte(4).Byte(0).End(); }),
            kStatusNoSuchVariable);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kVarCopyPart).Byte(0).Byte(0).Byte(1).Byte(7); }),
            kStatusNoSuchVariable);
}

TEST(Swap, ExchangesItemsWithTheDefaultsOfIndexB) {
  TextScript s(5);
  const uint32_t abc = s.TextAt(u"abc");
  s.W().Cmd(kTextSet).Byte(0).Constant(ptUnicodeString, abc).Cmd(kSwap).Byte(0).Byte(0).Byte(2);
  s.W().Cmd(kTextSet).Byte(4).Constant(ptUnicodeString, abc);  // the constant is unchanged
  s.W().Cmd(kDWORDArrayConcat).Byte(1).DWordArray({1, 2, 3}).End();
  s.W().Cmd(kSwap).Byte(1).Byte(1).Default();  // b = a + 1
  s.W().Cmd(kTextListBuild).Byte(2).Text(u"x").Text(u"y").Text(u"z").End();
  s.W().Cmd(kSwap).Byte(2).Byte(2).End();  // b = 1
  s.W().Cmd(kFloatArrayConcat).Byte(3).FloatArray({1.5L, 2.5L}).End();
  s.W().Cmd(kSwap).Byte(3).Byte(1).Byte(0);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"cba");
  EXPECT_EQ(s.TextOf(4), u"abc");
  EXPECT_EQ(s.ArrayOf<uint32_t>(1, vtDWORDArray), (std::vector<uint32_t>{1, 3, 2}));
  EXPECT_EQ(s.TextListOf(2), (TextItems{u"x", u"z", u"y"}));
  EXPECT_EQ(s.ArrayOf<long double>(3, vtExtArray), (std::vector<long double>{2.5L, 1.5L}));

  auto run = [](void (*write)(TextCode&)) {
    TextScript t(2);
    t.W().Cmd(kTextSet).Byte(0).Text(u"ab");
    TextCode w = t.W();
    write(w);
    const TStatus status = t.Run();
    EXPECT_EQ(t.TextOf(0), u"ab");
    return status;
  };
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSwap).Byte(0).Byte(1).Default(); }),
            kStatusIndexOutOfRange);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSwap).Byte(0).Byte(2).Byte(0); }), kStatusIndexOutOfRange);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSwap).Byte(1).Byte(0).Byte(1); }), kStatusNoItems);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSwap).Byte(3).Byte(0).Byte(1); }), kStatusNoSuchVariable);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kSwap).Byte(0).End(); }), kStatusBadParam);
}

}  // namespace
