// The clock the benchmarks time execution with: the platform's
// high-resolution monotonic counter, in seconds from an arbitrary start.
#pragma once

double BenchSeconds();
