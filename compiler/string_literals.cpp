#include "compiler/string_literals.h"

#include "base/platform.h"
#include "compiler/number_literals.h"

namespace {

// The value of `digits` hexadecimal digits at s[i], if they all stand before `end`.
template <typename C>
bool HexRun(const C* s, uint32_t i, uint32_t end, uint32_t digits, uint32_t* value) {
  if (uint64_t(i) + digits > end) return false;
  uint32_t v = 0;
  for (uint32_t k = 0; k < digits; ++k) {
    int d = HexDigitValue(uint32_t(s[i + k]));
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  *value = v;
  return true;
}

// Removes the outer quotes, turns each pair of quotes into one and replaces
// the "#" escapes from left to right; `digits` hexadecimal digits give one
// element. Calls emit(element) for each element of the result.
//
// One pass over the quoted token, without first building the text with its
// pairs collapsed: a quote is neither "#" nor a hexadecimal digit, so an
// escape succeeds or fails on the same elements either way. Every element is
// read before anything is emitted at or after its index, so emit may write
// over `s` from its start.
template <typename C, typename Emit>
void Unescape(const C* s, uint32_t length, uint32_t digits, Emit emit) {
  const C quote = s[0];
  const uint32_t end = length - 1;  // the closing quote
  uint32_t i = 1;
  while (i < end) {
    const C c = s[i];
    uint32_t value = 0;
    if (c != C('#')) {
      emit(uint32_t(c));
      // A pair that ends the token is one quote followed by the closing one.
      i += c == quote && i + 2 < length && s[i + 1] == quote ? 2 : 1;
    } else if (i + 1 < end && s[i + 1] == C('#')) {
      emit(uint32_t('#'));
      i += 2;
    } else if (HexRun(s, i + 1, end, digits, &value)) {
      emit(value);
      i += 1 + digits;
    } else {
      emit(uint32_t('#'));
      ++i;
    }
  }
}

}  // namespace

bool AppendDoubleQuoted(TTextSpan token, TGrowArray<uint8_t>* bytes) {
  if (token.Length < 2) return false;
  if (token.Length == 2) return true;
  // The result has at most one unit per unit between the quotes.
  const uint32_t start = bytes->Count;
  uint8_t* out = GrowArrayPushZeroed(*bytes, 2 * (token.Length - 2));
  uint32_t written = 0;
  Unescape(token.Chars, token.Length, 4, [&](uint32_t unit) {
    out[written++] = uint8_t(unit);
    out[written++] = uint8_t(unit >> 8);
  });
  bytes->Count = start + written;
  return true;
}

bool AppendSingleQuoted(TTextSpan token, TGrowArray<uint8_t>* bytes) {
  if (token.Length < 2) return false;
  // Converted in place at the end of `bytes`, where the result then
  // overwrites the converted token from its start.
  const uint32_t start = bytes->Count;
  const uint32_t n = PlatformWideToAnsi(token.Chars, token.Length, nullptr, 0);
  uint8_t* ansi = GrowArrayPushZeroed(*bytes, n + 1);
  const uint32_t converted = PlatformWideToAnsi(token.Chars, token.Length, ansi, n);
  uint32_t written = 0;
  if (converted >= 2)
    Unescape(ansi, converted, 2, [&](uint32_t b) { ansi[written++] = uint8_t(b); });
  bytes->Count = start + written;
  return true;
}

bool AppendHexBlock(TTextSpan token, TGrowArray<uint8_t>* bytes) {
  uint32_t digits = 0;
  int high = 0;
  for (uint32_t i = 0; i < token.Length; ++i) {
    int d = HexDigitValue(token.Chars[i]);
    if (d < 0) continue;
    if (digits++ % 2 == 0) {
      high = d;
    } else {
      *GrowArrayPush(*bytes) = uint8_t((high << 4) | d);
    }
  }
  return digits % 2 == 0;
}
