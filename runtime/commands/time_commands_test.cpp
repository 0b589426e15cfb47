// Random numbers, splitting time stamps and the clock-restore arithmetic:
// the parts of the time family that both builds run, with the same results.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "runtime/commands/random_generator.h"
#include "runtime/core/clock_restore.h"
#include "tests/support/text_test_support.h"

namespace {

constexpr int64_t kFeb3rd2001 = 126256467060070000;  // 2001-02-03 04:05:06.007
constexpr long double kTwoTo53 = 9007199254740992.0L;

// The numbers below were worked out apart from this code, from the
// generator's definition; both builds must draw exactly these.
TEST(Random, AFixedSeedDrawsTheSameNumbersInEveryBuild) {
  std::mt19937 standard;  // the standard fixes this output for every library
  standard.discard(9999);
  EXPECT_EQ(standard(), 4123659995u);

  for (int pass = 0; pass < 2; ++pass) {
    SeedRandomGenerator(12345);
    TextScript s(6);
    s.W().Cmd(kRandom).Byte(0).End();
    s.W().Cmd(kRandom).Byte(1).Int(1000);
    s.W().Cmd(kRandom).Byte(2).Byte(-7);
    s.W().Cmd(kRandom).Byte(3).Byte(1);
    s.W().Cmd(kRandom).Byte(4).Int(int64_t(1) << 40);
    s.W().Cmd(kRandom).Byte(5).Default();
    ASSERT_EQ(s.Run(), kStatusOk);
    EXPECT_EQ(s[0].VarType, vtExtended);
    EXPECT_EQ(s[0].AsExtended, 8373237378417847 / kTwoTo53);
    EXPECT_EQ(s[1].VarType, vtInteger);
    EXPECT_EQ(s[1].AsInteger, 316);
    EXPECT_EQ(s[2].AsInteger, -1);
    EXPECT_EQ(s[3].AsInteger, 0);
    EXPECT_EQ(s[4].AsInteger, 624220270855);
    EXPECT_EQ(s[5].AsExtended, 5364189804839660 / kTwoTo53);
  }
}

// Range 1 gives both 0 and 1 and nothing else; range 0 floats in [0, 1);
// the extreme ranges stay within themselves.
TEST(Random, RangesRunFromZeroToTheRangeInclusive) {
  SeedRandomGenerator(7);
  constexpr int8_t kDraws = 100;
  TextScript s(kDraws + 3);
  for (int8_t i = 0; i < kDraws; ++i) s.W().Cmd(kRandom).Byte(i).Byte(1);
  s.W().Cmd(kRandom).Byte(kDraws).Byte(0);
  s.W().Cmd(kRandom).Byte(kDraws + 1).Int(std::numeric_limits<int64_t>::max());
  s.W().Cmd(kRandom).Byte(kDraws + 2).Int(std::numeric_limits<int64_t>::min());
  ASSERT_EQ(s.Run(), kStatusOk);
  int seen[2] = {0, 0};
  for (int8_t i = 0; i < kDraws; ++i) {
    ASSERT_EQ(s[i].VarType, vtInteger);
    ASSERT_TRUE(s[i].AsInteger == 0 || s[i].AsInteger == 1) << s[i].AsInteger;
    ++seen[s[i].AsInteger];
  }
  EXPECT_GT(seen[0], 0);
  EXPECT_GT(seen[1], 0);
  EXPECT_GE(s[kDraws].AsExtended, 0.0L);
  EXPECT_LT(s[kDraws].AsExtended, 1.0L);
  EXPECT_GE(s[kDraws + 1].AsInteger, 0);
  EXPECT_LE(s[kDraws + 2].AsInteger, 0);

  TextScript bad(1);
  bad.W().Cmd(kRandom).Byte(0).Ext(2.5L);  // a float is no range
  EXPECT_EQ(bad.Run(), kStatusBadParam);
}

TEST(TimeSplit, StoresTheFieldsAskedFor) {
  TextScript s(9);
  s.W().Cmd(kSetInt).Byte(0).Int(kFeb3rd2001);
  s.W().Cmd(kTimeSplit).Byte(0).Byte(1).Byte(2).Byte(3).Byte(4).Byte(5).Byte(6).Byte(7);
  ASSERT_EQ(s.Run(), kStatusOk);
  const uint32_t expected[] = {3, 2, 2001, 4, 5, 6, 7};
  for (uint32_t i = 0; i < 7; ++i) EXPECT_EQ(s.DWord(i + 1), expected[i]) << "field " << i;

  // The default marker skips a field, the end marker ends the list.
  TextScript some(4);
  some.W().Cmd(kSetDWORD).Byte(0).DWord(0x12345678);  // a DWORD holds a stamp too
  some.W().Cmd(kTimeSplit).Byte(0).Default().Byte(1).Default().Byte(2).End();
  ASSERT_EQ(some.Run(), kStatusOk);
  EXPECT_EQ(some.DWord(1), 1u);  // January
  EXPECT_EQ(some.DWord(2), 0u);  // at midnight and a little
  EXPECT_EQ(some[3].VarType, vtUninitialized);

  // A stamp beyond every date, and a store that fails, stop the command:
  // the fields before the failing store are kept.
  TextScript far(2);
  far.W().Cmd(kSetInt).Byte(0).Int(-1);
  far.W().Cmd(kTimeSplit).Byte(0).Byte(1).End();
  EXPECT_EQ(far.Run(), kStatusBadParam);
  EXPECT_EQ(far[1].VarType, vtUninitialized);
  TextScript store(2);
  store.W().Cmd(kSetInt).Byte(0).Int(kFeb3rd2001);
  store.W().Cmd(kTimeSplit).Byte(0).Byte(1).DWord(500).End();
  EXPECT_EQ(store.Run(), kStatusNoSuchVariable);
  EXPECT_EQ(store.DWord(1), 3u);
  TextScript text(2);
  text.W().Cmd(kTimeSplit).Byte(0).Byte(1).End();  // no stamp in variable 0
  EXPECT_EQ(text.Run(), kStatusBadVarKindForNumber);
}

// The true time is the recorded one plus the ticks elapsed, taken in 32
// bits: a tick counter that wrapped past zero still gives the time elapsed.
TEST(ClockRestore, ElapsedTicksWrapAroundZero) {
  const uint64_t recorded = uint64_t(kFeb3rd2001);
  EXPECT_EQ(TrueTimeAfter(recorded, 1000, 1500), recorded + 500 * 10000);
  EXPECT_EQ(TrueTimeAfter(recorded, 0xFFFFFF00, 0x100), recorded + 0x200 * 10000);
  EXPECT_EQ(TrueTimeAfter(recorded, 1, 0), recorded + uint64_t(0xFFFFFFFF) * 10000);
  EXPECT_TRUE(RestoreSystemTime());  // nothing recorded: nothing to do
}

}  // namespace
