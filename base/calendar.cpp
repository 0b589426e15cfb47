// The calendar rule both platform layers apply before converting a date, so
// that both builds accept exactly the same dates: the system conversion of
// the Windows build (Wine's, at least) takes 29 February in any year.
#include "base/platform.h"

namespace {

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

bool IsValidCalendarTime(const TCalendarTime& t) {
  return t.Year >= 1601 && t.Year <= 30827 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 &&
         t.Day <= DaysInMonth(t.Year, t.Month) && t.Hour <= 23 && t.Minute <= 59 &&
         t.Second <= 59 && t.Milliseconds <= 999;
}
