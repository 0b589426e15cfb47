#include <gtest/gtest.h>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

constexpr uint32_t kMinus1 = 0xFFFFFFFF;

TEST(TextCompare, ComparesBWithAByUnitsAndCase) {
  TextScript s(8);
  s.W().Cmd(kTextCompare).Byte(0).Text(u"abc").Text(u"abc").End();
  s.W().Cmd(kTextCompare).Byte(1).Text(u"a").Text(u"ab").End();  // B longer: after A
  s.W().Cmd(kTextCompare).Byte(2).Text(u"ab").Text(u"a").Default();
  s.W().Cmd(kTextCompare).Byte(3).Text(u"a").Text(u"B").Byte(0);      // 'B' < 'a'
  s.W().Cmd(kTextCompare).Byte(4).Text(u"a").Text(u"B").Byte(1);      // ignoring case: after
  s.W().Cmd(kTextCompare).Byte(5).Text(u"ABC").Text(u"abc").Byte(2);  // other modes are exact
  s.W().Cmd(kTextCompare).Byte(6).Text(u"x").End();                 // B defaults to the empty text
  s.W().Cmd(kTextCompare).Byte(7).Block("abc").Text(u"abc").End();  // 8-bit text converts
  ASSERT_EQ(s.Run(), kStatusOk);
  const uint32_t expected[] = {0, 1, kMinus1, kMinus1, 1, 1, kMinus1, 0};
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(s.DWord(i), expected[i]) << "variable " << i;
}

TEST(TextCompare, ReadsTextVariablesAndRejectsOtherKinds) {
  TextScript s(3);
  s.W().Cmd(kSetInt).Byte(0).Byte(42).Cmd(kIntToDigitsText).Byte(0).Byte(1).End();
  s.W().Cmd(kTextCompare).Byte(2).Var(1).Text(u"42").End();
  const uint32_t failing = s.Here();
  s.W().Cmd(kTextCompare).Byte(2).Var(0).Text(u"42").End();  // an integer is no text
  EXPECT_EQ(s.Run(), kStatusBadParam);
  EXPECT_EQ(s.FailedAt(), failing);
  EXPECT_EQ(s.DWord(2), 0u);
}

TEST(TextFind, FindsFromAStartWithOrWithoutCase) {
  TextScript s(9);
  s.W().Cmd(kTextFind).Byte(0).Text(u"abcabc").Text(u"bc").End();
  s.W().Cmd(kTextFind).Byte(1).Text(u"abcabc").Text(u"bc").Byte(2).End();
  s.W().Cmd(kTextFind).Byte(2).Text(u"abcabc").Text(u"BC").Byte(0).Byte(1);
  s.W().Cmd(kTextFind).Byte(3).Text(u"abcabc").Text(u"BC").Byte(0).Byte(0);
  s.W().Cmd(kTextFind).Byte(4).Text(u"abcabc").Text(u"bc").Byte(5).End();  // past the last start
  s.W().Cmd(kTextFind).Byte(5).Text(u"abcabc").Text(u"bc").DWord(0xFFFFFFFF).End();
  s.W().Cmd(kTextFind).Byte(6).Text(u"abc").End();  // the empty needle is never found
  s.W().Cmd(kTextFind).Byte(7).Text(u"").Text(u"").End();
  s.W().Cmd(kTextFind).Byte(8).Text(u"a\u00E9b").Text(u"\u00C9").Default().Byte(1);
  ASSERT_EQ(s.Run(), kStatusOk);
  const uint32_t expected[] = {1, 4, 1, kMinus1, kMinus1, kMinus1, kMinus1, kMinus1, 1};
  for (uint32_t i = 0; i < 9; ++i) EXPECT_EQ(s.DWord(i), expected[i]) << "variable " << i;
}

TEST(TextFind, ATextMustBeGiven) {
  TextScript s(1);
  s.W().Cmd(kTextFind).Byte(0).Default().Text(u"a").End();
  EXPECT_EQ(s.Run(), kStatusBadParam);
  TextScript t(1);
  t.W().Cmd(kTextFind).Byte(0).Text(u"a").Byte(1).End();  // a number is no text
  EXPECT_EQ(t.Run(), kStatusBadParam);
}

TEST(TextSet, CopiesATextOrTheEmptyText) {
  TextScript s(4);
  s.W().Cmd(kTextSet).Byte(0).Text(u"abc").Cmd(kTextSet).Byte(1).Var(0);
  s.W().Cmd(kTextSet).Byte(2).Block("\xE9").Cmd(kTextSet).Byte(3).End();
  s.W().Cmd(kTextSet).Byte(0).Var(0);  // from itself
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"abc");
  EXPECT_EQ(s.TextOf(1), u"abc");
  EXPECT_EQ(s.TextOf(2), u"\u00E9");
  EXPECT_EQ(s.TextOf(3), u"");
  TextScript t(1);
  t.W().Cmd(kTextSet).Byte(0).Byte(1);
  EXPECT_EQ(t.Run(), kStatusBadParam);
}

TEST(TextListBuild, CountsRepeatTheNextText) {
  TextScript s(5);
  s.W().Cmd(kTextListBuild).Byte(0).Byte(3).Text(u"T").Text(u"U").End();
  s.W().Cmd(kSetBlock).Byte(1).Block("b").Cmd(kSetInt).Byte(2).Byte(2);
  s.W().Cmd(kTextListBuild).Byte(3).Var(2).Var(1).Default().Block("8").Byte(0).Text(u"none").End();
  s.W().Cmd(kTextListBuild).Byte(4).End();
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextListOf(0), (TextItems{u"T", u"T", u"T", u"U"}));
  EXPECT_EQ(s.TextListOf(3), (TextItems{u"b", u"b", u"8"}));
  EXPECT_EQ(s.TextListOf(4), TextItems{});

  struct Case {
    void (*Write)(TextCode&);
    TStatus Expected;
  };
  const Case cases[] = {
      {[](TextCode& w) { w.Cmd(kTextListBuild).Byte(0).Ext(1).End(); }, kStatusWrongKind},
      {[](TextCode& w) { w.Cmd(kTextListBuild).Byte(0).Text(u"a").Var(0).End(); },
       kStatusWrongKind},  // the list itself
      {[](TextCode& w) { w.Cmd(kTextListBuild).Byte(0).Var(5).End(); }, kStatusNoSuchVariable},
      {[](TextCode& w) { w.Cmd(kTextListBuild).Default().Text(u"a").End(); }, kStatusBadParam},
  };
  for (const Case& c : cases) {
    TextScript t;
    TextCode w = t.W();
    c.Write(w);
    bool ended;
    EXPECT_EQ(t.CallAlone(CmdTextListBuild, 2, &ended), c.Expected);
    EXPECT_TRUE(ended);
  }
}

TEST(TextSplit, SplitsAsTheGivenTextsSay) {
  TextScript s(6);
  s.W().Cmd(kTextSet).Byte(0).Text(u"a;;b;");
  s.W().Cmd(kTextSplit).Byte(0).Byte(1).Text(u";").End();
  s.W().Cmd(kTextSplit).Byte(0).Byte(2).Text(u";").Default().Byte(1);
  s.W().Cmd(kTextSet).Byte(3).Text(u"x 'a b' 'c''d' y");
  s.W().Cmd(kTextSplit).Byte(3).Byte(4).Text(u" ").Text(u"'").End();
  s.W().Cmd(kTextSplit).Byte(3).Default().Default().Text(u"'").End();  // into the source
  s.W().Cmd(kTextSplit).Byte(0).Byte(5).Text(u"").Text(u"").End();     // neither given
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextListOf(1), (TextItems{u"a", u"b"}));
  EXPECT_EQ(s.TextListOf(2), (TextItems{u"a", u"", u"b", u""}));
  EXPECT_EQ(s.TextListOf(4), (TextItems{u"x", u"'a b'", u"'c''d'", u"y"}));
  EXPECT_EQ(s.TextListOf(3), (TextItems{u"a b", u"c'd"}));
  EXPECT_EQ(s[5].VarType, vtUninitialized);

  TextScript t(2);
  t.W().Cmd(kSetBlock).Byte(0).Block("a;b").Cmd(kTextSplit).Byte(0).Byte(1).Text(u";").End();
  EXPECT_EQ(t.Run(), kStatusWrongKind);
  TextScript u(2);
  u.W().Cmd(kTextSplit).Byte(4).Byte(1).Text(u";").End();
  EXPECT_EQ(u.Run(), kStatusNoSuchVariable);
}

TEST(TextTrim, CutsTheSetFromTheChosenEnds) {
  TextScript s(5);
  const uint32_t padded = s.TextAt(u"  a b  ");
  for (int8_t v = 0; v < 4; ++v) s.W().Cmd(kTextSet).Byte(v).Constant(ptUnicodeString, padded);
  s.W().Cmd(kTextTrim).Byte(0).End();
  s.W().Cmd(kTextTrim).Byte(1).Default().Byte(1);  // start only: trailing blanks stay
  s.W().Cmd(kTextTrim).Byte(2).Text(u" ").Byte(2);
  s.W().Cmd(kTextTrim).Byte(3).Text(u" ").Byte(5);  // side 5 changes nothing
  s.W().Cmd(kTextSet).Byte(4).Text(u"\u00A0x\u00A0\u2003");
  s.W().Cmd(kTextTrim).Byte(4).Text(u"\u2003\u00A0").End();
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"a b");
  EXPECT_EQ(s.TextOf(1), u"a b  ");
  EXPECT_EQ(s.TextOf(2), u"  a b");
  EXPECT_EQ(s.TextOf(3), u"  a b  ");
  EXPECT_EQ(s.TextOf(4), u"x");

  TextScript t(1);
  t.W().Cmd(kSetBlock).Byte(0).Block(" a ").Cmd(kTextTrim).Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusBadVarKindForNumber);
  TextScript u(1);
  u.W().Cmd(kTextTrim).Byte(3).End();
  EXPECT_EQ(u.Run(), kStatusOutOfMemory);
}

TEST(TextFill, PrefixAndCyclicPattern) {
  TextScript s(6);
  s.W().Cmd(kTextFill).Byte(0).Text(u"P1").Byte(5).Text(u"xy").End();
  s.W().Cmd(kTextFill).Byte(1).Text(u"P1").Byte(5).Text(u"xy").Byte(1);
  s.W().Cmd(kTextFill).Byte(2).Text(u"longer").Byte(3).End();  // the prefix is kept whole
  s.W().Cmd(kTextFill).Byte(3).Default().Byte(3).End();        // blanks
  s.W().Cmd(kTextFill).Byte(4).Text(u"7").Byte(3).Text(u"0").Byte(1);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"P1xyx");
  EXPECT_EQ(s.TextOf(1), u"xyxP1");
  EXPECT_EQ(s.TextOf(2), u"longer");
  EXPECT_EQ(s.TextOf(3), u"   ");
  EXPECT_EQ(s.TextOf(4), u"007");

  auto run = [](void (*write)(TextCode&)) {
    TextScript t(1);
    TextCode w = t.W();
    write(w);
    return t.Run();
  };
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextFill).Byte(0).Text(u"ab").Byte(0).End(); }),
            kStatusEmptyFill);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextFill).Byte(0).Text(u"a").Byte(3).Text(u"").End(); }),
            kStatusEmptyFill);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextFill).Byte(0).Text(u"a").End(); }),
            kStatusBadParam);  // the size must be given
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kTextFill).Byte(0).Text(u"a").DWord(0x7FFFFFFF).End(); }),
            kStatusOutOfMemory);
}

TEST(TextReplace, ReplacesEveryMatchWithOrWithoutCase) {
  TextScript s(8);
  s.W().Cmd(kTextReplace).Byte(0).Text(u"aaa").Text(u"aa").Text(u"b").End();  // once; last a kept
  s.W().Cmd(kTextReplace).Byte(1).Text(u"Hello hello HELLO").Text(u"hello").Text(u"bye").End();
  s.W().Cmd(kTextReplace).Byte(2).Text(u"Hello hello HELLO").Text(u"hello").Text(u"bye").Byte(1);
  s.W().Cmd(kTextReplace).Byte(3).Text(u"Hello hello HELLO").Text(u"hello").Text(u"bye").Byte(2);
  s.W().Cmd(kTextReplace).Byte(4).Text(u"a-b-c").Text(u"-").End();          // removed
  s.W().Cmd(kTextReplace).Byte(5).Text(u"abc").Text(u"").Text(u"x").End();  // no match
  s.W().Cmd(kTextReplace).Byte(6).Text(u"x1X1").Text(u"x1").Text(u"yy2").DWord(0xFFFFFFFF);
  s.W().Cmd(kTextReplace).Byte(7).Text(u"ab").Text(u"ab").Text(u"").End();  // all removed
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(0), u"ba");
  EXPECT_EQ(s.TextOf(1), u"Hello bye HELLO");
  EXPECT_EQ(s.TextOf(2), u"bye bye bye");
  EXPECT_EQ(s.TextOf(3), u"Bye bye BYE");
  EXPECT_EQ(s.TextOf(4), u"abc");
  EXPECT_EQ(s.TextOf(5), u"abc");
  EXPECT_EQ(s.TextOf(6), u"yy2Yy2");  // the digit takes no case; the third unit keeps its own
  EXPECT_EQ(s.TextOf(7), u"");

  TextScript t(1);
  t.W().Cmd(kTextReplace).Byte(0).Text(u"abc").End();  // no search text
  EXPECT_EQ(t.Run(), kStatusBadParam);
}

}  // namespace
