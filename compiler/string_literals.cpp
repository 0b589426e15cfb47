#include "compiler/string_literals.h"

#include "base/platform.h"
#include "compiler/number_literals.h"

namespace {

// Removes the outer quotes and turns each pair of quotes into one.
template <typename C>
void Unquote(const C* chars, uint32_t length, TGrowArray<C>& out) {
  out.Count = 0;
  const C quote = chars[0];
  for (uint32_t i = 1; i + 1 < length; ++i) {
    *GrowArrayPush(out) = chars[i];
    if (chars[i] == quote && i + 2 < length && chars[i + 1] == quote) ++i;
  }
}

// The value of `digits` hexadecimal digits at s[i], if they are all there.
template <typename C>
bool HexRun(const TGrowArray<C>& s, uint32_t i, uint32_t digits, uint32_t* value) {
  if (uint64_t(i) + digits > s.Count) return false;
  uint32_t v = 0;
  for (uint32_t k = 0; k < digits; ++k) {
    int d = HexDigitValue(uint32_t(s.Items[i + k]));
    if (d < 0) return false;
    v = (v << 4) | uint32_t(d);
  }
  *value = v;
  return true;
}

// Replaces the "#" escapes, left to right; `digits` hexadecimal digits give
// one element. Calls emit(element) for each element of the result.
template <typename C, typename Emit>
void ReplaceEscapes(const TGrowArray<C>& s, uint32_t digits, Emit emit) {
  uint32_t i = 0;
  while (i < s.Count) {
    uint32_t value = 0;
    if (s.Items[i] != C('#')) {
      emit(uint32_t(s.Items[i++]));
    } else if (i + 1 < s.Count && s.Items[i + 1] == C('#')) {
      emit(uint32_t('#'));
      i += 2;
    } else if (HexRun(s, i + 1, digits, &value)) {
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
  TGrowArray<char16_t> inner{};
  Unquote(token.Chars, token.Length, inner);
  ReplaceEscapes(inner, 4, [&](uint32_t unit) {
    uint8_t* p = GrowArrayPushZeroed(*bytes, 2);
    p[0] = uint8_t(unit);
    p[1] = uint8_t(unit >> 8);
  });
  GrowArrayFree(inner);
  return true;
}

bool AppendSingleQuoted(TTextSpan token, TGrowArray<uint8_t>* bytes) {
  if (token.Length < 2) return false;
  TGrowArray<char> ansi{};
  uint32_t n = PlatformWideToAnsi(token.Chars, token.Length, nullptr, 0);
  GrowArrayPushZeroed(ansi, n + 1);
  ansi.Count =
      PlatformWideToAnsi(token.Chars, token.Length, reinterpret_cast<uint8_t*>(ansi.Items), n);
  TGrowArray<char> inner{};
  if (ansi.Count >= 2) Unquote(ansi.Items, ansi.Count, inner);
  ReplaceEscapes(inner, 2, [&](uint32_t byte) { *GrowArrayPush(*bytes) = uint8_t(byte); });
  GrowArrayFree(inner);
  GrowArrayFree(ansi);
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
