// Date-time literals: "D.M.Y", optionally followed by ",h", ":m", ":s" and
// ".ms", each part a decimal integer. The value is the count of 100 ns
// intervals since 1601-01-01, without any time-zone adjustment.
#pragma once

#include <cstdint>

#include "compiler/compiler_text.h"

// `text` is the literal without its "#". False for a malformed literal or a
// date the platform's calendar conversion rejects.
bool ParseDateLiteral(TTextSpan text, uint64_t* fileTime);
