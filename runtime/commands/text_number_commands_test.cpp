#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "runtime/commands/commands.h"
#include "tests/support/box_recorder.h"
#include "tests/support/text_test_support.h"

namespace {

TEST(IntegerParsing, RadixSignAndWrapping) {
  TextScript s(16);
  s.W().Cmd(kTextSet).Byte(0).Text(u"-ff").Cmd(kTextToInt).Byte(0).Byte(1).Byte(16);
  s.W().Cmd(kTextSet).Byte(2).Text(u"Zz").Cmd(kTextToInt).Byte(2).Byte(3).Byte(36);
  s.W().Cmd(kSetBlock).Byte(4).Block("101").Cmd(kBlockToInt).Byte(4).Byte(5).Byte(2);
  s.W().Cmd(kSetBlock).Byte(6).Block("-9223372036854775808").Cmd(kTextToInt).Byte(6).Byte(7).End();
  s.W().Cmd(kSetBlock).Byte(8).Block("18446744073709551617").Cmd(kBlockToInt).Byte(8).End();
  s.W().Cmd(kTextSet).Byte(9).Text(u"").Cmd(kTextToInt).Byte(9).Byte(10).End();  // empty: 0
  s.W().Cmd(kTextSet).Byte(11).Text(u"0777").Cmd(kTextToInt).Byte(11).End();     // into itself
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s[1].VarType, vtInteger);
  EXPECT_EQ(s[1].AsInteger, -255);
  EXPECT_EQ(s[3].AsInteger, 35 * 36 + 35);
  EXPECT_EQ(s[5].AsInteger, 5);
  EXPECT_EQ(s[7].AsInteger, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(s[8].AsInteger, 1);  // 2^64 + 1 wraps
  EXPECT_EQ(s[10].AsInteger, 0);
  EXPECT_EQ(s[11].VarType, vtInteger);
  EXPECT_EQ(s[11].AsInteger, 777);
}

TEST(IntegerParsing, BadDigitsAndRadixStoreNothing) {
  struct Case {
    const char16_t* Text;
    int8_t Radix;
    TStatus Expected;
  };
  const Case cases[] = {
      {u"1-2", 10, kStatusBadDigit},    {u"12", 2, kStatusBadDigit},
      {u" 1", 10, kStatusBadDigit},     {u"\u0661", 10, kStatusBadDigit},  // Arabic-Indic one
      {u"1", 37, kStatusBadParseRadix}, {u"1", 1, kStatusBadParseRadix},
  };
  for (const Case& c : cases) {
    TextScript s(2);
    s.W().Cmd(kSetInt).Byte(1).Byte(7);
    s.W().Cmd(kTextSet).Byte(0).Text(c.Text).Cmd(kTextToInt).Byte(0).Byte(1).Byte(c.Radix);
    EXPECT_EQ(s.Run(), c.Expected) << ToUtf8ForTest(c.Text);
    EXPECT_EQ(s[1].AsInteger, 7);
  }
}

TEST(IntegerParsing, SourceKinds) {
  TextScript s(2);
  s.W().Cmd(kTextSet).Byte(0).Text(u"1").Cmd(kBlockToInt).Byte(0).Byte(1).End();
  EXPECT_EQ(s.Run(), kStatusWrongKind);  // the block command takes no text
  TextScript t(2);
  t.W().Cmd(kTextToInt).Byte(1).End();
  EXPECT_EQ(t.Run(), kStatusWrongKind);
  TextScript u(2);
  u.W().Cmd(kTextToInt).Byte(9).Byte(1).Byte(99);
  EXPECT_EQ(u.Run(), kStatusBadParseRadix);  // the radix is checked first
  TextScript v(2);
  v.W().Cmd(kTextToInt).Byte(9).Byte(1).End();
  EXPECT_EQ(v.Run(), kStatusNoSuchVariable);
}

TEST(FloatParsing, DecimalFormsAndFailures) {
  TextScript s(14);
  s.W().Cmd(kTextSet).Byte(0).Text(u"1.5").Cmd(kTextToFloat).Byte(0).Byte(1);
  s.W().Cmd(kSetBlock).Byte(2).Block(" -2.5e3 ").Cmd(kBlockToFloat).Byte(2).Byte(3);
  s.W().Cmd(kSetBlock).Byte(4).Block(".5").Cmd(kTextToFloat).Byte(4).Byte(5);
  s.W().Cmd(kTextSet).Byte(6).Text(u"0.1").Cmd(kTextToFloat).Byte(6).End();  // into itself
  s.W().Cmd(kTextSet).Byte(7).Text(u"-inf").Cmd(kTextToFloat).Byte(7).Byte(8);
  s.W().Cmd(kTextSet).Byte(9).Text(u"NaN").Cmd(kTextToFloat).Byte(9).Byte(10);
  s.W().Cmd(kTextSet).Byte(11).Text(u"1e-4940").Cmd(kTextToFloat).Byte(11).Byte(12);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s[1].AsExtended, 1.5L);
  EXPECT_EQ(s[3].AsExtended, -2500.0L);
  EXPECT_EQ(s[5].AsExtended, 0.5L);
  EXPECT_EQ(s[6].VarType, vtExtended);
  EXPECT_EQ(s[6].AsExtended, 0.1L);  // rounded to the 80-bit value, not to a double
  EXPECT_TRUE(std::isinf(s[8].AsExtended) && s[8].AsExtended < 0);
  EXPECT_TRUE(std::isnan(s[10].AsExtended));
  EXPECT_GT(s[12].AsExtended, 0.0L);  // a denormal of the 80-bit format

  for (const char16_t* bad :
       {u"", u"  ", u"1,5", u"1.5x", u"e5", u"1e", u"--1", u"0x10", u"1e5000", u"1.5\u00A0"}) {
    TextScript t(2);
    t.W().Cmd(kTextSet).Byte(0).Text(bad).Cmd(kTextToFloat).Byte(0).Byte(1);
    EXPECT_EQ(t.Run(), kStatusEmptyNumberText) << "text " << ToUtf8ForTest(bad);
  }
  TextScript u(2);
  u.W().Cmd(kTextSet).Byte(0).Text(u"1").Cmd(kBlockToFloat).Byte(0).Byte(1);
  EXPECT_EQ(u.Run(), kStatusWrongKind);
}

// The decimal separator stays "." in a locale that writes ",".
TEST(FloatParsing, IgnoresTheLocale) {
  const char* changed = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (changed == nullptr) changed = std::setlocale(LC_NUMERIC, "German");
  TextScript s(4);
  s.W().Cmd(kTextSet).Byte(0).Text(u"2.25").Cmd(kTextToFloat).Byte(0).Byte(1);
  s.W().Cmd(kSetFloat).Byte(2).Ext(2.25L).Cmd(kFloatToText).Byte(2).Byte(3).End();
  const TStatus status = s.Run();
  std::setlocale(LC_NUMERIC, "C");
  ASSERT_EQ(status, kStatusOk);
  EXPECT_EQ(s[1].AsExtended, 2.25L);
  EXPECT_EQ(s.TextOf(3), u"2.25");
  if (changed == nullptr) GTEST_SKIP() << "no locale with a decimal comma on this machine";
}

TEST(FloatFormatting, GeneralAndFixedForms) {
  TextScript s(20);
  s.W().Cmd(kSetFloat).Byte(0).Ext(0.1L).Cmd(kFloatToText).Byte(0).Byte(1).End();
  s.W().Cmd(kSetFloat).Byte(0).Ext(1.0L / 3).Cmd(kFloatToText).Byte(0).Byte(2).End();
  s.W().Cmd(kSetFloat).Byte(0).Ext(1e20L).Cmd(kFloatToBlock).Byte(0).Byte(3).End();
  s.W().Cmd(kSetFloat).Byte(0).Ext(-2.5L).Cmd(kFloatToText).Byte(0).Byte(4).Byte(-1).Byte(3);
  s.W().Cmd(kSetFloat).Byte(0).Ext(1234.5678L).Cmd(kFloatToText).Byte(0).Byte(5).Byte(6).Byte(4);
  s.W().Cmd(kSetFloat).Byte(0).Ext(1234.5678L).Cmd(kFloatToText).Byte(0).Byte(6).Byte(3).End();
  s.W().Cmd(kSetFloat).Byte(0).Ext(0.5L).Cmd(kFloatToText).Byte(0).Byte(7).Byte(-1).Byte(0);
  s.W().Cmd(kSetInt).Byte(0).Int(-42).Cmd(kFloatToText).Byte(0).Byte(8).End();
  s.W().Cmd(kSetDWORD).Byte(0).DWord(0xFFFFFFFF).Cmd(kFloatToBlock).Byte(0).Byte(9).End();
  s.W().Cmd(kSetFloat).Byte(0).Ext(1e4000L).Cmd(kVarMul).Byte(0).Ext(1e4000L).End();
  s.W().Cmd(kFloatToText).Byte(0).Byte(10).End();
  s.W().Cmd(kSetFloat).Byte(0).Ext(std::numeric_limits<long double>::quiet_NaN());
  s.W().Cmd(kFloatToText).Byte(0).Byte(11).End();
  s.W().Cmd(kSetFloat).Byte(0).Ext(7.25L).Cmd(kFloatToText).Byte(0).Byte(12).Byte(0).End();
  s.W().Cmd(kSetFloat).Byte(13).Ext(6.5L).Cmd(kFloatToBlock).Byte(13).End();  // into itself
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.TextOf(1), u"0.1");
  EXPECT_EQ(s.TextOf(2), u"0.333333333333333333");
  EXPECT_EQ(s.BlockOf(3), "1e+20");
  EXPECT_EQ(s.TextOf(4), u"-2.500");
  EXPECT_EQ(s.TextOf(5), u"1234.5700");  // 6 significant digits, shown with 4 decimals
  EXPECT_EQ(s.TextOf(6), u"1.23e+03");
  EXPECT_EQ(s.TextOf(7), u"0");  // 0.5 rounds to even
  EXPECT_EQ(s.TextOf(8), u"-42");
  EXPECT_EQ(s.BlockOf(9), "4294967295");
  EXPECT_EQ(s.TextOf(10), u"Inf");
  EXPECT_EQ(s.TextOf(11), u"NaN");
  EXPECT_EQ(s.TextOf(12), u"7");  // precision 0 means one digit
  EXPECT_EQ(s.BlockOf(13), "6.5");

  TextScript t(2);
  t.W().Cmd(kTextSet).Byte(0).Text(u"1").Cmd(kFloatToText).Byte(0).Byte(1).End();
  EXPECT_EQ(t.Run(), kStatusWrongKind);
  TextScript u(2);
  u.W().Cmd(kSetFloat).Byte(0).Ext(1).Cmd(kFloatToText).Byte(0).Byte(1).Byte(-1).Word(256);
  EXPECT_EQ(u.Run(), kStatusBadParam);  // more decimals than any number needs
}

}  // namespace
