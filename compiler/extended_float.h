// Floating-point literals: an optional sign, digits with an optional "." and
// fraction (at least one digit in all), and an optional exponent "e" or "E"
// with an optional sign and digits. The decimal separator is always ".".
//
// The value is rounded once, to nearest with ties to even, to the x87 80-bit
// format. The conversion is exact integer arithmetic of our own, not the C
// library's, so that both builds give the same bytes whatever the locale.
// Values beyond the format's range are refused; values below it round
// through the denormals to zero.
#pragma once

#include <cstdint>

#include "base/grow_array.h"
#include "compiler/compiler_text.h"

constexpr uint32_t kExtendedBytes = 10;

// Big-number storage that a caller may keep from one literal to the next, so
// that a script full of floating-point literals does not go to the heap for
// each of them. Zero-filled is empty.
struct TExtendedScratch {
  TGrowArray<uint32_t> Value, Divisor, Shifted, Quotient, Work;
};
void FreeExtendedScratch(TExtendedScratch& scratch);

// The 10 bytes of the value: the 64-bit significand with its explicit
// integer bit, then the sign bit and the 15-bit biased exponent,
// little-endian.
bool ParseExtended(TTextSpan text, uint8_t out[kExtendedBytes], TExtendedScratch* scratch);
// The same with storage of its own.
bool ParseExtended(TTextSpan text, uint8_t out[kExtendedBytes]);
