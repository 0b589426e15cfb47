// The time and random-number commands that need nothing of the operating
// system beyond the calendar conversion: splitting a time stamp into its
// calendar fields, and drawing random numbers. The clock, clipboard and
// screen commands of the family are in time_commands_win32.cpp.
#include <cmath>

#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/random_generator.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

namespace {

constexpr uint32_t kSplitFields = 7;

// An optional result variable: `given` is false for the default marker and
// after the end of the list.
TStatus FetchOptionalReference(TScriptContext* context, uint32_t* reference, bool* given) {
  TFetchStatus status;
  *reference = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  *given = status == kFetchValue;
  return kStatusOk;
}

// The integer nearest to `x`, halves going to the even neighbour, worked out
// here so that no floating-point rounding mode a native call may have left
// behind changes what a script draws.
long double NearestEven(long double x) {
  const long double below = std::floor(x);
  const long double fraction = x - below;
  if (fraction > 0.5L) return below + 1;
  if (fraction < 0.5L) return below;
  return std::fmod(below, 2.0L) == 0 ? below : below + 1;
}

// range × a draw from [0, 1), to the nearest integer: 0 to range inclusive
// (range to 0 for a negative range). The product is kept within the range,
// which rounding a draw just below 1 could otherwise pass at the 64-bit ends.
int64_t ScaledDraw(int64_t range, double unit) {
  const long double scaled = NearestEven(static_cast<long double>(range) * unit);
  if (range > 0 && scaled >= static_cast<long double>(range)) return range;
  if (range < 0 && scaled <= static_cast<long double>(range)) return range;
  return static_cast<int64_t>(scaled);
}

}  // namespace

// A stamp that names no calendar time (beyond the year 30827) is an unusable
// parameter: the fields of no date are stored.
TStatus CmdTimeSplit(TScriptContext* context) {
  uint32_t stampReference;
  if (FetchRequiredDWORD(context, &stampReference) != kStatusOk) return kStatusBadParam;
  uint32_t targets[kSplitFields];
  bool given[kSplitFields];
  for (uint32_t i = 0; i < kSplitFields; ++i) {
    if (FetchOptionalReference(context, &targets[i], &given[i]) != kStatusOk) {
      return kStatusBadParam;
    }
  }
  int64_t stamp;
  const TStatus read = GetVarInt64(context, stampReference, &stamp);
  if (read != kStatusOk) return read;
  TCalendarTime t;
  if (!PlatformFileTimeToCalendar(uint64_t(stamp), &t)) return kStatusBadParam;
  const uint32_t fields[kSplitFields] = {t.Day,    t.Month,  t.Year,        t.Hour,
                                         t.Minute, t.Second, t.Milliseconds};
  for (uint32_t i = 0; i < kSplitFields; ++i) {
    if (!given[i]) continue;
    const TStatus stored = Var_StoreDWORD(context, targets[i], fields[i]);
    if (stored != kStatusOk) return stored;
  }
  return kStatusOk;
}

TStatus CmdRandom(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const int64_t range = FetchInt64(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  const double unit = NextRandomUnit();
  if (range == 0) return Var_StoreFloat(context, target, unit);
  return Var_StoreInteger(context, target, ScaledDraw(range, unit));
}
