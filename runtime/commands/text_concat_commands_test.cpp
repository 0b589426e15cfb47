#include <gtest/gtest.h>

#include "base/heap.h"
#include "runtime/commands/commands.h"
#include "runtime/core/image.h"
#include "tests/support/text_test_support.h"

namespace {

TEST(Concat, BlocksAndTextsIncludingTheTargetItself) {
  TextScript s(4);
  s.W().Cmd(kSetBlock).Byte(0).Block("ab");
  s.W().Cmd(kBlockConcat).Byte(0).Var(0).Block("-").Var(0).End();  // the target is a part
  s.W().Cmd(kTextSet).Byte(1).Text(u"x");
  s.W().Cmd(kTextConcat).Byte(2).Text(u"<").Var(1).Block("\xE9").Var(1).Text(u">").End();
  s.W().Cmd(kBlockConcat).Byte(3).End();  // no parts: empty
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.BlockOf(0), "ab-ab");
  EXPECT_EQ(s.TextOf(2), u"<x\u00E9x>");  // an 8-bit text converts
  EXPECT_EQ(s.BlockOf(3), "");
}

TEST(Concat, NumericArrays) {
  TextScript s(6);
  s.W().Cmd(kDWORDArrayConcat).Byte(0).DWordArray({1, 2}).End();
  s.W().Cmd(kDWORDArrayConcat).Byte(1).Var(0).DWordArray({3}).Var(0).End();
  s.W().Cmd(kIntArrayConcat).Byte(2).IntArray({-1}).IntArray({}).IntArray({1LL << 40}).End();
  s.W().Cmd(kFloatArrayConcat).Byte(3).FloatArray({1.5L}).FloatArray({-0.25L}).End();
  s.W().Cmd(kIntArrayConcat).Byte(4).End();
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.ArrayOf<uint32_t>(1, vtDWORDArray), (std::vector<uint32_t>{1, 2, 3, 1, 2}));
  EXPECT_EQ(s.ArrayOf<int64_t>(2, vtIntArray), (std::vector<int64_t>{-1, 1LL << 40}));
  EXPECT_EQ(s.ArrayOf<long double>(3, vtExtArray), (std::vector<long double>{1.5L, -0.25L}));
  EXPECT_EQ(s.ArrayOf<int64_t>(4, vtIntArray), std::vector<int64_t>{});
}

TEST(Concat, APartOfAnotherKindFailsWith101AndIPEndsPastTheList) {
  struct Case {
    TStatus (*Handler)(TScriptContext*);
    void (*Write)(TextCode&);
  };
  const Case cases[] = {
      {CmdBlockConcat,
       [](TextCode& w) { w.Cmd(kBlockConcat).Byte(0).Block("a").Text(u"b").Block("c").End(); }},
      {CmdTextConcat, [](TextCode& w) { w.Cmd(kTextConcat).Byte(0).Text(u"a").Byte(1).End(); }},
      {CmdTextConcat, [](TextCode& w) { w.Cmd(kTextConcat).Byte(0).Var(7).End(); }},
      {CmdDWORDArrayConcat,
       [](TextCode& w) { w.Cmd(kDWORDArrayConcat).Byte(0).IntArray({1}).End(); }},
      {CmdIntArrayConcat, [](TextCode& w) { w.Cmd(kIntArrayConcat).Byte(0).Default().End(); }},
      {CmdFloatArrayConcat, [](TextCode& w) { w.Cmd(kFloatArrayConcat).Byte(0).Var(1).End(); }},
  };
  for (const Case& c : cases) {
    TextScript s;
    TextCode w = s.W();
    c.Write(w);
    bool ended;
    EXPECT_EQ(s.CallAlone(c.Handler, 2, &ended), kStatusBadVarKindForNumber);
    EXPECT_TRUE(ended);
    EXPECT_EQ(ResolveVar(s.Context(), 0)->VarType, vtUninitialized) << "nothing stored";
  }
  TextScript s;
  s.W().Cmd(kTextConcat).Default().Text(u"a").End();
  bool ended;
  EXPECT_EQ(s.CallAlone(CmdTextConcat, 0, &ended), kStatusBadParam);
  EXPECT_TRUE(ended);
}

}  // namespace

#ifdef ZORVAT_HEAP_INJECTION
namespace {

// Texts are joined into the result variable's own block when it has exactly
// the room the result needs: not one heap request is made. A target that is
// also a part, a block part (converted on the way), a result of another size
// and an empty result all get a text of their own.
TEST(Concat, TextsJoinIntoTheTargetsOwnBlockWhenItHasTheRoom) {
  struct Case {
    void (*Write)(TextCode&);
    bool inPlace;
    std::u16string result;
  };
  const Case cases[] = {
      {[](TextCode& w) { w.Text(u"<").Var(1).Text(u">").End(); }, true, u"<x>"},
      {[](TextCode& w) { w.Text(u"0123456789abcdefghi").Var(1).End(); }, true,
       u"0123456789abcdefghix"},
      {[](TextCode& w) { w.Var(2).Text(u"!").End(); }, false, u"0123456789!"},
      {[](TextCode& w) { w.Block("ab").Var(1).End(); }, false, u"abx"},
      {[](TextCode& w) { w.Text(std::u16string(40, u'y')).End(); }, false,
       std::u16string(40, u'y')},
      {[](TextCode& w) { w.End(); }, false, u""},
  };
  for (const Case& test : cases) {
    TextScript s;
    TextCode w = s.W().Cmd(kTextConcat).Byte(2);
    test.Write(w);
    TScriptContext* c = s.LoadWithGlobals(3);
    ASSERT_EQ(Var_StoreUnicodeString(c, 1, u"x", 1), 0u);
    ASSERT_EQ(Var_StoreUnicodeString(c, 2, u"0123456789", 10), 0u);
    const PArrayHeader before = ResolveVar(c, 2)->UA;
    const TSection* gcs = FindImageSection(c, "GCS");
    c->CodeStart = SectionOffset(c, gcs);
    c->CodeEnd = c->CodeStart + gcs->SectionLength;
    c->IP = c->CodeStart + 4;
    if (test.inPlace) HeapFailRequest(1);  // any heap request would fail the command
    EXPECT_EQ(CmdTextConcat(c), 0u) << test.inPlace;
    EXPECT_FALSE(HeapFailureHit());
    HeapFailRequest(0);
    EXPECT_EQ(ResolveVar(c, 2)->UA == before, test.inPlace);
    EXPECT_EQ(s.TextOf(2), test.result);
  }
}

}  // namespace
#endif
