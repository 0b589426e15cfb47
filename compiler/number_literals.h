// Integers as scripts, the command-list file and the keyword file write
// them: an optional sign, then decimal digits, or hexadecimal digits after
// "$" or "0x". Decimal values must fit a signed 64-bit integer; hexadecimal
// ones may use all 64 bits and are read as two's complement ("$FFFFFFFFFFFFFFFF"
// is -1). Nothing else may stand in the text, not even blanks.
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"

bool ParseInteger(TTextSpan text, int64_t* value);
// The value of one hexadecimal digit, or -1.
int HexDigitValue(uint32_t c);
// Decimal digits only, no sign; false when empty or above `max`.
bool ParseDecimal(TTextSpan text, uint64_t max, uint64_t* value);
