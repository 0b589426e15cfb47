// Text and block literals, turned into the bytes that are stored.
//
// "..."  UTF-16: the outer quotes go, each pair of double quotes becomes one,
//        then from left to right "##" gives "#" and "#" with four hexadecimal
//        digits gives that UTF-16 unit; any other "#" stays as it is.
// '...'  8-bit: the token is converted to the ANSI code page, the outer quotes
//        go, each pair of single quotes becomes one, then "##" gives "#" and
//        "#" with two hexadecimal digits gives that byte.
// !...!  every hexadecimal digit of the token, two to a byte, high nibble
//        first; every other character is ignored.
#pragma once

#include <cstdint>

#include "base/grow_array.h"
#include "compiler/compiler_text.h"

// Append the literal's bytes (UTF-16 little-endian for "..."). False when the
// token is shorter than its two quotes.
bool AppendDoubleQuoted(TTextSpan token, TGrowArray<uint8_t>* bytes);
bool AppendSingleQuoted(TTextSpan token, TGrowArray<uint8_t>* bytes);
// False for an odd number of digits.
bool AppendHexBlock(TTextSpan token, TGrowArray<uint8_t>* bytes);
