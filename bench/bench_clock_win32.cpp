// The performance counter rather than the C++ clocks: its frequency is what
// Windows (and Wine, at 10 MHz) guarantees, whatever the C++ library maps
// steady_clock to on this target.
#include <windows.h>

#include "bench/bench_clock.h"

double BenchSeconds() {
  static const double period = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1.0 / double(frequency.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) * period;
}
