#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/random_generator.h"
#include "tests/support/text_test_support.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  SetEnvironmentVariableA(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

TEST(BlockAsText, PairsOfBytesBecomeUnits) {
  TextScript s(5);
  s.W().Cmd(kBlockAsText).Block(std::string("A\0B\0", 4)).Byte(0);
  s.W().Cmd(kBlockAsText).Block(std::string("\x3A\x04\xFF\xFE", 4)).Byte(1);  // no byte swap
  s.W().Cmd(kBlockAsText).Block("").Byte(2);
  s.W().Cmd(kSetBlock).Byte(3).Block("hi").Cmd(kBlockAsText).Var(3).Byte(3);  // onto itself
  s.W().Cmd(kTextSet).Byte(4).Text(u"kept");
  const uint32_t odd = s.Here();
  s.W().Cmd(kBlockAsText).Block("abc").Byte(4);
  EXPECT_EQ(s.Run(), kStatusBlockLengthMismatch);
  EXPECT_EQ(s.FailedAt(), odd);
  EXPECT_EQ(s.TextOf(0), u"AB");
  EXPECT_EQ(s.TextOf(1), u"\u043A\uFEFF");
  EXPECT_EQ(s.TextOf(2), u"");
  EXPECT_EQ(s.TextOf(3), u"\u6968");
  EXPECT_EQ(s.TextOf(4), u"kept");  // the odd block stored nothing

  TextScript t(1);
  t.W().Cmd(kBlockAsText).Default().Byte(0);
  EXPECT_EQ(t.Run(), kStatusBadParam);
  TextScript u(1);
  u.W().Cmd(kBlockAsText).Block("ab").Byte(3);
  EXPECT_EQ(u.Run(), kStatusNoSuchVariable);
}

TEST(BlockToHexText, LowerCaseDigitsWithAnOptionalSeparator) {
  std::string every;
  std::u16string expected;
  for (int i = 0; i < 256; ++i) {
    every += char(i);
    expected += char16_t(u"0123456789abcdef"[i / 16]);
    expected += char16_t(u"0123456789abcdef"[i % 16]);
  }
  TextScript s(8);
  s.W().Cmd(kSetBlock).Byte(0).Block("\x0A\xFF");
  s.W().Cmd(kBlockToHexText).Byte(0).Byte(1).Text(u", ");
  s.W().Cmd(kBlockToHexText).Byte(0).Byte(2).End();
  s.W().Cmd(kSetBlock).Byte(3).Block(every).Cmd(kBlockToHexText).Byte(3).Byte(4).Default();
  s.W().Cmd(kSetBlock).Byte(5).Block("").Cmd(kBlockToHexText).Byte(5).Byte(6).Text(u"-");
  s.W().Cmd(kSetBlock).Byte(7).Block("\x01").Cmd(kBlockToHexText).Byte(7).Default().Text(u"::");
  s.W().Cmd(kBlockToHexText).Byte(0).End();  // in place
  const uint32_t text = s.Here();
  s.W().Cmd(kBlockToHexText).Byte(1).Byte(2).End();
  EXPECT_EQ(s.Run(), kStatusNoItems);
  EXPECT_EQ(s.FailedAt(), text);
  EXPECT_EQ(s.TextOf(0), u"0aff");
  EXPECT_EQ(s.TextOf(1), u"0a, ff");
  EXPECT_EQ(s.TextOf(2), u"0aff");
  EXPECT_EQ(s.TextOf(4), expected);
  EXPECT_EQ(s.TextOf(6), u"");
  EXPECT_EQ(s.TextOf(7), u"01");  // one byte: no separator

  TextScript t(1);
  t.W().Cmd(kBlockToHexText).Byte(4).End();
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
  TextScript u(1);
  u.W().Cmd(kBlockToHexText).Default().End();
  EXPECT_EQ(u.Run(), kStatusBadParam);
}

TEST(RandomSeed, AGivenSeedRepeatsTheDrawsAndABadOneChangesNothing) {
  SeedRandomGenerator(42);
  const double first = NextRandomUnit();
  const double second = NextRandomUnit();
  TextScript s(1);
  s.W().Cmd(kRandomSeed).Byte(42);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(NextRandomUnit(), first);

  TextScript t(1);
  t.W().Cmd(kTextSet).Byte(0).Text(u"42").Cmd(kRandomSeed).Var(0);
  EXPECT_EQ(t.Run(), kStatusBadParam);
  EXPECT_EQ(NextRandomUnit(), second);  // the sequence went on

  TextScript u;
  u.W().Cmd(kRandomSeed).End().Cmd(kRandomSeed).Default();  // from the time-stamp counter
  EXPECT_EQ(u.Run(), kStatusOk);
}

TEST(TextExpandEnvironment, ExpandsDefinedReferencesAndKeepsTheRest) {
  const std::string longValue(1000, 'v');
  SetEnvironment("ZV_EXPAND_SHORT", "value");
  SetEnvironment("ZV_EXPAND_LONG", longValue);
  TextScript s(10);
  auto expand = [&](int8_t source, const std::u16string& text) {
    s.W().Cmd(kTextSet).Byte(source).Text(text);
    s.W().Cmd(kTextExpandEnvironment).Byte(source).End();
  };
  expand(0, u"a%ZV_EXPAND_SHORT%b");
  expand(1, u"%ZV_EXPAND_UNDEFINED%");
  expand(2, u"x%ZV_EXPAND_SHORT");  // no closing sign
  expand(3, u"no references, 100%");
  expand(4, u"%ZV_EXPAND_LONG%%ZV_EXPAND_SHORT%");  // longer than the first buffer
  expand(5, u"");
  s.W().Cmd(kSetBlock).Byte(6).Block("\xE9%ZV_EXPAND_SHORT%");  // 8-bit text
  s.W().Cmd(kTextExpandEnvironment).Byte(6).Byte(7);
  s.W().Cmd(kSetInt).Byte(8).Byte(1);
  const uint32_t number = s.Here();
  s.W().Cmd(kTextExpandEnvironment).Byte(8).Byte(9);
  EXPECT_EQ(s.Run(), kStatusNoItems);
  EXPECT_EQ(s.FailedAt(), number);
  EXPECT_EQ(s.TextOf(0), u"avalueb");
  EXPECT_EQ(s.TextOf(1), u"%ZV_EXPAND_UNDEFINED%");
  EXPECT_EQ(s.TextOf(2), u"x%ZV_EXPAND_SHORT");
  EXPECT_EQ(s.TextOf(3), u"no references, 100%");
  EXPECT_EQ(s.TextOf(4), std::u16string(1000, u'v') + u"value");
  EXPECT_EQ(s.TextOf(5), u"");
  EXPECT_EQ(s.BlockOf(6), "\xE9%ZV_EXPAND_SHORT%");  // the source stays
  EXPECT_EQ(s.TextOf(7), u"\u00E9value");
  EXPECT_EQ(s[9].VarType, vtUninitialized);

  TextScript t(1);
  t.W().Cmd(kTextExpandEnvironment).Byte(3).End();
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
}

}  // namespace
