// The process-wide pseudo-random generator behind `Random` and `RandomSeed`.
// It is a 32-bit Mersenne Twister (std::mt19937, whose output the C++
// standard fixes for every seed), and the float is built from its raw bits
// here rather than by a standard distribution, whose results differ between
// libraries: so a script that sets a seed draws the same numbers in the
// native build and under Wine.
#pragma once

#include <cstdint>

// Restarts the generator from `seed`.
void SeedRandomGenerator(uint32_t seed);
// The next number, uniform over [0, 1) in steps of 2^-53. Before any seed is
// set, the generator starts from a seed taken from the clock, so that scripts
// that never seed it do not draw the same numbers on every run.
double NextRandomUnit();
