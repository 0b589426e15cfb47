#include <gtest/gtest.h>

#include <limits>

#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

constexpr uint32_t kMinus1 = 0xFFFFFFFF;
const long double kNaN = std::numeric_limits<long double>::quiet_NaN();

TEST(CompareNumbers, DWORDsCompareUnsignedAndIntegersSigned) {
  TextScript s(9);
  s.W().Cmd(kCompareDWORD).Byte(0).DWord(0xFFFFFFFF).Byte(1);  // unsigned: greater
  s.W().Cmd(kCompareDWORD).Byte(1).Byte(1).DWord(2);
  s.W().Cmd(kCompareDWORD).Byte(2).Word(-1).DWord(0xFFFFFFFF);  // the same 32 bits
  s.W().Cmd(kCompareDWORD).Byte(3).End();                       // both default to 0
  s.W().Cmd(kCompareInt).Byte(4).Int(-1).Byte(1);               // signed: less
  s.W().Cmd(kCompareInt).Byte(5).DWord(0xFFFFFFFF).Byte(-1);    // a DWORD widens unsigned
  s.W().Cmd(kCompareInt).Byte(6).Int(std::numeric_limits<int64_t>::min()).Default();
  s.W().Cmd(kSetInt).Byte(7).Int(int64_t(1) << 40);
  s.W().Cmd(kCompareInt).Byte(8).Var(7).Int((int64_t(1) << 40) + 1);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.DWord(0), 1u);
  EXPECT_EQ(s.DWord(1), kMinus1);
  EXPECT_EQ(s.DWord(2), 0u);
  EXPECT_EQ(s.DWord(3), 0u);
  EXPECT_EQ(s.DWord(4), kMinus1);
  EXPECT_EQ(s.DWord(5), 1u);
  EXPECT_EQ(s.DWord(6), kMinus1);
  EXPECT_EQ(s.DWord(8), kMinus1);
}

TEST(CompareNumbers, FloatsAndNaN) {
  TextScript s(6);
  s.W().Cmd(kCompareFloat).Byte(0).Ext(1.5L).Int(1);
  s.W().Cmd(kCompareFloat).Byte(1).Ext(-0.0L).Ext(0.0L);
  s.W().Cmd(kCompareFloat).Byte(2).Ext(1e-4000L).Ext(2e-4000L);  // 80-bit range
  s.W().Cmd(kCompareFloat).Byte(3).Ext(kNaN).Ext(kNaN);
  s.W().Cmd(kCompareFloat).Byte(4).Byte(1).Ext(kNaN);
  s.W().Cmd(kCompareFloat).Byte(5).DWord(0xFFFFFFFF).Ext(4294967295.0L);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.DWord(0), 1u);
  EXPECT_EQ(s.DWord(1), 0u);
  EXPECT_EQ(s.DWord(2), kMinus1);
  EXPECT_EQ(s.DWord(3), 1u);  // NaN on either side gives 1
  EXPECT_EQ(s.DWord(4), 1u);
  EXPECT_EQ(s.DWord(5), 0u);
}

TEST(CompareNumbers, BadParametersFailWith102AndStoreNothing) {
  auto run = [](void (*write)(TextCode&)) {
    TextScript s(2);
    s.W().Cmd(kSetDWORD).Byte(0).Byte(7);
    TextCode w = s.W();
    write(w);
    const TStatus status = s.Run();
    EXPECT_EQ(s.DWord(0), 7u);
    return status;
  };
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kCompareDWORD).Byte(0).Ext(1).Byte(1); }), kStatusBadParam);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kCompareInt).Byte(0).Byte(1).Text(u"1"); }),
            kStatusBadParam);
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kCompareFloat).Byte(0).Ext(1).End(); }),
            kStatusBadParam);  // no default for b
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kCompareFloat).Byte(0).Var(1).Ext(1); }),
            kStatusBadParam);  // an uninitialised variable
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kCompareDWORD).Default().Byte(1).Byte(2); }),
            kStatusBadParam);  // the result variable must be given
  EXPECT_EQ(run([](TextCode& w) { w.Cmd(kCompareDWORD).Byte(9).Byte(1).Byte(2); }),
            kStatusNoSuchVariable);
}

TEST(BlockCompareAndFind, CompareBytesAndFindFromAStart) {
  TextScript s(9);
  s.W().Cmd(kBlockCompare).Byte(0).Block("abc").Block("ABC").End();  // lower case is greater
  s.W().Cmd(kBlockCompare).Byte(1).Block("abc").Block("ABC").Byte(1);
  s.W().Cmd(kBlockCompare).Byte(2).Block("ab").Block("abc").Byte(2);  // only 1 ignores case
  s.W().Cmd(kBlockCompare).Byte(3).Block("\x80").Block("a").End();    // bytes are unsigned
  s.W().Cmd(kBlockFind).Byte(4).Block("abcABC").Block("BC").End();
  s.W().Cmd(kBlockFind).Byte(5).Block("abcABC").Block("BC").Byte(0).Byte(1);
  s.W().Cmd(kBlockFind).Byte(6).Block("abcABC").Block("bc").Byte(2).Byte(1);
  s.W().Cmd(kBlockFind).Byte(7).Block("abc").Block("").End();  // an empty needle: -1
  s.W().Cmd(kSetBlock).Byte(8).Block("xyz").Cmd(kBlockFind).Byte(8).Var(8).Block("z").End();
  ASSERT_EQ(s.Run(), kStatusOk);
  const uint32_t expected[] = {1, 0, kMinus1, 1, 4, 1, 4, kMinus1, 2};
  for (uint32_t i = 0; i < 9; ++i) EXPECT_EQ(s.DWord(i), expected[i]) << "variable " << i;

  TextScript t(1);
  t.W().Cmd(kBlockCompare).Byte(0).Block("a").Text(u"a").End();  // a text is no block
  EXPECT_EQ(t.Run(), kStatusBadParam);
}

TEST(CaseConversion, ChangesTheVariableAndNeverTheConstant) {
  TextScript s(6);
  const uint32_t block = s.BlockAt("Mixed \xE9!");
  const uint32_t text = s.TextAt(u"Stra\u00DFe \u00E9\u0394");
  s.W().Cmd(kSetBlock).Byte(0).Constant(ptBinBlock, block).Cmd(kBlockUpper).Byte(0);
  s.W().Cmd(kSetBlock).Byte(1).Constant(ptBinBlock, block).Cmd(kBlockLower).Byte(1);
  s.W().Cmd(kTextSet).Byte(2).Constant(ptUnicodeString, text).Cmd(kTextUpper).Byte(2);
  s.W().Cmd(kTextSet).Byte(3).Text(u"Stra\u00DFe \u00C9\u0394").Cmd(kTextLower).Byte(3);
  // The same constants again: the conversions above must not have changed them.
  s.W().Cmd(kSetBlock).Byte(4).Constant(ptBinBlock, block);
  s.W().Cmd(kTextSet).Byte(5).Constant(ptUnicodeString, text);
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.BlockOf(0), "MIXED \xC9!");  // Windows-1252 e acute
  EXPECT_EQ(s.BlockOf(1), "mixed \xE9!");
  EXPECT_EQ(s.TextOf(2), u"STRA\u00DFE \u00C9\u0394");  // sharp s has no one-unit capital
  EXPECT_EQ(s.TextOf(3), u"stra\u00DFe \u00E9\u03B4");
  EXPECT_EQ(s.BlockOf(4), "Mixed \xE9!");
  EXPECT_EQ(s.TextOf(5), u"Stra\u00DFe \u00E9\u0394");

  auto run = [](uint32_t command, void (*init)(TextCode&)) {
    TextScript t(1);
    TextCode w = t.W();
    init(w);
    t.W().Cmd(command).Byte(0);
    return t.Run();
  };
  auto aBlock = [](TextCode& w) { w.Cmd(kSetBlock).Byte(0).Block("a"); };
  auto aText = [](TextCode& w) { w.Cmd(kTextSet).Byte(0).Text(u"a"); };
  EXPECT_EQ(run(kTextUpper, aBlock), kStatusWrongKind);
  EXPECT_EQ(run(kBlockLower, aText), kStatusWrongKind);
  TextScript missing(1);
  missing.W().Cmd(kBlockUpper).Byte(5);
  EXPECT_EQ(missing.Run(), kStatusNoSuchVariable);
}

TEST(BlockTrim, CutsTheSetFromTheChosenEnds) {
  TextScript s(6);
  for (int8_t v = 0; v < 4; ++v) s.W().Cmd(kSetBlock).Byte(v).Block("  a b  ");
  s.W().Cmd(kBlockTrim).Byte(0).End();
  s.W().Cmd(kBlockTrim).Byte(1).Default().Byte(1);
  s.W().Cmd(kBlockTrim).Byte(2).Block(" ").Byte(2);
  s.W().Cmd(kBlockTrim).Byte(3).Block(" ").Byte(5);  // any other side trims nothing
  s.W().Cmd(kSetBlock).Byte(4).Block("-+-x-+").Cmd(kBlockTrim).Byte(4).Block("+-").End();
  s.W().Cmd(kSetBlock).Byte(5).Block("   ").Cmd(kBlockTrim).Byte(5).End();
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.BlockOf(0), "a b");
  EXPECT_EQ(s.BlockOf(1), "a b  ");
  EXPECT_EQ(s.BlockOf(2), "  a b");
  EXPECT_EQ(s.BlockOf(3), "  a b  ");
  EXPECT_EQ(s.BlockOf(4), "x");
  EXPECT_EQ(s.BlockOf(5), "");

  TextScript t(1);
  t.W().Cmd(kTextSet).Byte(0).Text(u" a ").Cmd(kBlockTrim).Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusWrongKind);
  EXPECT_EQ(t.TextOf(0), u" a ");
}

TEST(VarKind, StoresTheKindNumberOrMinusOne) {
  TextScript s(4);
  s.W().Cmd(kVarKind).Byte(0).Byte(1);  // uninitialised
  s.W().Cmd(kTextSet).Byte(2).Text(u"t").Cmd(kVarKind).Byte(2).Byte(3);
  s.W().Cmd(kVarKind).Byte(99).Byte(0);  // no such variable
  s.W().Cmd(kVarKind).Byte(2).End();     // into the variable itself
  ASSERT_EQ(s.Run(), kStatusOk);
  EXPECT_EQ(s.DWord(1), 0u);
  EXPECT_EQ(s.DWord(3), uint32_t(vtUnicodeString));
  EXPECT_EQ(s.DWord(0), kMinus1);
  EXPECT_EQ(s.DWord(2), uint32_t(vtUnicodeString));
}

}  // namespace
