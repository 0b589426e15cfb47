#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/bytes.h"
#include "runtime/commands/commands.h"
#include "tests/support/text_test_support.h"

namespace {

typedef long double Ext;
constexpr Ext kNaN = std::numeric_limits<Ext>::quiet_NaN();
constexpr Ext kInf = std::numeric_limits<Ext>::infinity();
constexpr Ext kTwo63 = 9223372036854775808.0L;

struct Case {
  uint32_t Code;
  Ext X;
  Ext Expected;
  int Ulps;  // 0: exactly; otherwise within so many units in the last place
};

Ext Ulp(Ext v) {
  return std::nextafter(std::fabs(v), kInf) - std::fabs(v);
}

// Runs every case as one instruction into a variable of its own, then checks
// each stored float.
void RunCases(const std::vector<Case>& cases) {
  TextScript s(int8_t(cases.size()));
  for (size_t i = 0; i < cases.size(); ++i)
    s.W().Cmd(cases[i].Code).Byte(int8_t(i)).Ext(cases[i].X);
  ASSERT_EQ(s.Run(), kStatusOk);
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const TZorvatVariable& v = s[uint32_t(i)];
    ASSERT_EQ(v.VarType, vtExtended) << "case " << i;
    const Ext got = v.AsExtended;
    if (std::isnan(c.Expected)) {
      EXPECT_TRUE(std::isnan(got)) << "case " << i << " code " << c.Code << " got " << got;
    } else if (c.Ulps == 0) {
      EXPECT_EQ(got, c.Expected) << "case " << i << " code " << c.Code;
      EXPECT_EQ(std::signbit(got), std::signbit(c.Expected)) << "case " << i;
    } else {
      EXPECT_LE(std::fabs(got - c.Expected), c.Ulps * Ulp(c.Expected))
          << "case " << i << " code " << c.Code << " got " << got;
    }
  }
}

// Reference values from published tables of the constants and functions
// (40 significant digits), not from the library the commands call.
TEST(MathFunctions, KnownAnswersInExtendedPrecision) {
  const Ext pi = 3.141592653589793238462643383279502884197L;
  RunCases({
      {kMathSin, 1, 0.8414709848078965066525023216302989996226L, 2},
      {kMathSin, 0, 0, 0},
      {kMathCos, 1, 0.5403023058681397174009366074429766037323L, 2},
      {kMathTan, 1, 1.557407724654902230506974807458360173087L, 2},
      {kMathArcTan, 1, pi / 4, 2},
      {kMathArcTan, -kInf, -pi / 2, 2},
      {kMathSquare, 1 + 0x1p-30L, 1 + 0x1p-29L + 0x1p-60L, 0},  // needs the 64-bit mantissa
      {kMathCube, -2, -8, 0},
      {kMathCube, 1 + 0x1p-20L, 1 + 3 * 0x1p-20L + 3 * 0x1p-40L + 0x1p-60L, 0},
      {kMathSqrt, 2, 1.414213562373095048801688724209698078570L, 1},
      {kMathSqrt, 0x1p-16000L, 0x1p-8000L, 0},
      {kMathCubeRoot, 27, 3, 1},
      {kMathCubeRoot, 0, 0, 0},
      {kMathCubeRoot, 2, 1.259921049894873164767210607278228350570L, 2},
      {kMathCubeRoot, -8, -2, 1},  // the real root of a negative number
      {kMathLn, 10, 2.302585092994045684017991454684364207601L, 2},
      {kMathLn, 1, 0, 0},
      {kMathLog10, 2, 0.3010299956639811952137388947244930267682L, 2},
      {kMathLog10, 1000, 3, 1},
      {kMathLog2, 10, 3.321928094887362347870319429489390175865L, 2},
      {kMathLog2, 0x1p-1000L, -1000, 0},
      {kMathExp, 1, 2.718281828459045235360287471352662497757L, 2},
      {kMathExp, -1, 0.3678794411714423215955237701614608674458L, 2},
      {kMathExp, 0, 1, 0},
      {kMathArcSin, 0.5L, pi / 6, 2},
      {kMathArcSin, -1, -pi / 2, 2},
      {kMathArcCos, 0.5L, pi / 3, 2},
      {kMathArcCos, -1, pi, 2},
      {kMathDegToRad, 180, pi, 1},
      {kMathDegToRad, -90, -pi / 2, 1},
      {kMathRadToDeg, pi, 180, 1},
  });
}

TEST(MathFunctions, DomainErrorsGiveNaNOrInfinityAndNoError) {
  RunCases({
      {kMathSqrt, -1, kNaN, 0},
      {kMathLn, 0, -kInf, 0},
      {kMathLn, -1, kNaN, 0},
      {kMathLog10, 0, -kInf, 0},
      {kMathLog2, -0.5L, kNaN, 0},
      {kMathArcSin, 1.5L, kNaN, 0},
      {kMathArcCos, -2, kNaN, 0},
      {kMathExp, 12000, kInf, 0},  // beyond the largest 80-bit float
      {kMathExp, -kInf, 0, 0},
      {kMathSquare, 0x1p10000L, kInf, 0},
      {kMathSin, kInf, kNaN, 0},
      {kMathLn, kInf, kInf, 0},
  });
}

TEST(MathFunctions, RoundingTiesBoundariesAndValuesBeyondTheIntegerRange) {
  const Ext belowTwo63 = kTwo63 - 0.5L;  // the largest value with a fraction
  RunCases({
      {kMathRound, 2.5L, 2, 0},
      {kMathRound, 3.5L, 4, 0},
      {kMathRound, -2.5L, -2, 0},
      {kMathRound, -3.5L, -4, 0},
      {kMathRound, 0.5L, 0, 0},
      {kMathRound, -0.4L, 0, 0},  // +0, as through the integer
      {kMathRound, 1.4999999999L, 1, 0},
      {kMathRound, belowTwo63, kTwo63, 0},  // ties to even, just past the range
      {kMathRound, kTwo63, kTwo63, 0},
      {kMathRound, -kTwo63, -kTwo63, 0},
      {kMathRound, -kTwo63 - 1, -kTwo63 - 1, 0},
      {kMathRound, 0x1p64L, 0x1p64L, 0},
      {kMathRound, kInf, kInf, 0},
      {kMathRound, kNaN, kNaN, 0},
      {kMathTrunc, -2.7L, -2, 0},
      {kMathTrunc, 2.7L, 2, 0},
      {kMathTrunc, -0.5L, 0, 0},
      {kMathTrunc, belowTwo63, kTwo63 - 1, 0},
      {kMathTrunc, 1e30L, 1e30L, 0},
      {kMathTrunc, -1e30L, -1e30L, 0},
      {kMathFloor, -2.5L, -3, 0},
      {kMathFloor, 2.5L, 2, 0},
      {kMathFloor, -3, -3, 0},
      {kMathFloor, -belowTwo63, -kTwo63, 0},
      {kMathFloor, -0x1p70L, -0x1p70L, 0},
      {kMathCeil, 2.0L, 2, 0},
      {kMathCeil, 2.1L, 3, 0},
      {kMathCeil, -2.1L, -2, 0},
      {kMathCeil, -0.5L, 0, 0},
      {kMathCeil, belowTwo63, kTwo63, 0},
      {kMathCeil, 0x1p63L, 0x1p63L, 0},
      {kMathFrac, 2.75L, 0.75L, 0},
      {kMathFrac, -2.75L, -0.75L, 0},
      {kMathFrac, belowTwo63, 0.5L, 0},
      {kMathFrac, 1e30L, 0, 0},
      {kMathFrac, kInf, kNaN, 0},
  });
}

TEST(MathFunctions, ReadIntegerAndDWORDArgumentsAndCheckTheirParameters) {
  TextScript s(6);
  s.W().Cmd(kSetInt).Byte(0).Int(-9).Cmd(kSetDWORD).Byte(1).DWord(0xFFFFFFFF);
  s.W().Cmd(kMathSquare).Byte(2).Var(0);
  s.W().Cmd(kMathSqrt).Byte(3).Var(1);  // a DWORD is read unsigned
  s.W().Cmd(kMathPi).Byte(4);
  const uint32_t failing = s.Here();
  s.W().Cmd(kMathSin).Byte(5).Text(u"1");
  EXPECT_EQ(s.Run(), kStatusBadParam);
  EXPECT_EQ(s.FailedAt(), failing);
  EXPECT_EQ(s[2].AsExtended, 81);
  EXPECT_LE(std::fabs(s[3].AsExtended - 65535.999992370605468306L), 1e-12L);
  uint8_t bytes[10];
  StoreExtended(bytes, s[4].AsExtended);
  const uint8_t pi[10] = {0x35, 0xC2, 0x68, 0x21, 0xA2, 0xDA, 0x0F, 0xC9, 0x00, 0x40};
  EXPECT_EQ(0, std::memcmp(bytes, pi, 10));
  EXPECT_EQ(s[5].VarType, vtUninitialized);

  TextScript t(1);
  t.W().Cmd(kMathCos).Byte(0).End();
  EXPECT_EQ(t.Run(), kStatusBadParam);
  TextScript u(1);
  u.W().Cmd(kMathCos).Byte(7).Byte(0);
  EXPECT_EQ(u.Run(), kStatusNoSuchVariable);
}

// Integers up to 2^63 in magnitude and every DWORD are exact as 80-bit
// floats, so one column holds the values of all three kinds.
struct InPlaceCase {
  uint32_t Code;
  TVarType Kind;
  Ext Value;
  TVarType ResultKind;
  Ext Result;
};

TEST(NumberInPlace, EachOperationOnEachKind) {
  const Ext min = -kTwo63;
  const std::vector<InPlaceCase> cases = {
      {kNumberNegate, vtInteger, -5, vtInteger, 5},
      {kNumberNegate, vtInteger, min, vtInteger, min},  // wraps to itself
      {kNumberNegate, vtExtended, 2.5L, vtExtended, -2.5L},
      {kNumberNegate, vtDWORD, 1, vtDWORD, 0xFFFFFFFF},
      {kNumberLogical, vtInteger, 5, vtInteger, 1},
      {kNumberLogical, vtInteger, 0, vtInteger, 0},
      {kNumberLogical, vtExtended, 0.25L, vtExtended, 1},
      {kNumberLogical, vtDWORD, 5, vtDWORD, 0},  // a DWORD is inverted
      {kNumberLogical, vtDWORD, 0, vtDWORD, 1},
      {kNumberSign, vtInteger, -7, vtInteger, -1},
      {kNumberSign, vtExtended, -0.5L, vtInteger, -1},
      {kNumberSign, vtExtended, 0, vtInteger, 0},
      {kNumberSign, vtDWORD, 0xFFFFFFFF, vtInteger, -1},  // read as signed
      {kNumberSign, vtDWORD, 7, vtInteger, 1},
      {kNumberAbs, vtInteger, -3, vtInteger, 3},
      {kNumberAbs, vtInteger, min, vtInteger, min},
      {kNumberAbs, vtExtended, -1.5L, vtExtended, 1.5L},
      {kNumberAbs, vtDWORD, 0xFFFFFFFE, vtDWORD, 2},
      {kNumberAbs, vtDWORD, 0x7FFFFFFF, vtDWORD, 0x7FFFFFFF},
  };
  const int8_t n = int8_t(cases.size());
  TextScript s(n + 1);
  for (int8_t i = 0; i < n; ++i) {
    const InPlaceCase& c = cases[i];
    if (c.Kind == vtInteger) s.W().Cmd(kSetInt).Byte(i).Int(int64_t(c.Value));
    if (c.Kind == vtExtended) s.W().Cmd(kSetFloat).Byte(i).Ext(c.Value);
    if (c.Kind == vtDWORD) s.W().Cmd(kSetDWORD).Byte(i).DWord(uint32_t(c.Value));
    s.W().Cmd(c.Code).Byte(i);
  }
  s.W().Cmd(kTextSet).Byte(n).Text(u"5");
  const uint32_t failing = s.Here();
  s.W().Cmd(kNumberAbs).Byte(n);
  EXPECT_EQ(s.Run(), kStatusWrongKind);
  EXPECT_EQ(s.FailedAt(), failing);
  for (int8_t i = 0; i < n; ++i) {
    const TZorvatVariable& v = s[i];
    ASSERT_EQ(v.VarType, cases[i].ResultKind) << "case " << int(i);
    const Ext got = v.VarType == vtInteger    ? Ext(v.AsInteger)
                    : v.VarType == vtExtended ? v.AsExtended
                                              : Ext(v.AsDWORD);
    EXPECT_EQ(got, cases[i].Result) << "case " << int(i);
  }
  EXPECT_EQ(s.TextOf(n), u"5");

  TextScript t(1);
  t.W().Cmd(kNumberSign).Byte(5);
  EXPECT_EQ(t.Run(), kStatusNoSuchVariable);
  TextScript u(1);
  u.W().Cmd(kNumberNegate).Default();
  EXPECT_EQ(u.Run(), kStatusBadParam);
}

}  // namespace
