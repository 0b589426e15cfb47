// Case mapping tables, built once when the runtime starts: 65,536 UTF-16
// units and the 256 bytes of the ANSI code page, each mapped by the
// platform's character functions (platform.h).
#pragma once

#include <cstdint>

const char16_t* UpperCaseTable();
const char16_t* LowerCaseTable();
const uint8_t* AnsiUpperCaseTable();
const uint8_t* AnsiLowerCaseTable();

inline char16_t UpCase(char16_t unit) {
  return UpperCaseTable()[unit];
}
inline uint8_t AnsiUpCase(uint8_t byte) {
  return AnsiUpperCaseTable()[byte];
}
