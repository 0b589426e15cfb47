#include "compiler/number_literals.h"

namespace {

bool ParseHex(const char16_t* p, uint32_t n, uint64_t* value) {
  if (n == 0) return false;
  uint64_t v = 0;
  for (uint32_t i = 0; i < n; ++i) {
    int d = HexDigitValue(p[i]);
    if (d < 0 || (v >> 60) != 0) return false;
    v = (v << 4) | uint64_t(d);
  }
  *value = v;
  return true;
}

}  // namespace

int HexDigitValue(uint32_t c) {
  if (c >= '0' && c <= '9') return int(c - '0');
  if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
  return -1;
}

bool ParseDecimal(TTextSpan text, uint64_t max, uint64_t* value) {
  if (text.Length == 0) return false;
  uint64_t v = 0;
  for (uint32_t i = 0; i < text.Length; ++i) {
    char16_t c = text.Chars[i];
    if (c < u'0' || c > u'9') return false;
    uint64_t d = uint64_t(c - u'0');
    if (v > (max - d) / 10) return false;
    v = v * 10 + d;
  }
  *value = v;
  return true;
}

bool ParseInteger(TTextSpan text, int64_t* value) {
  const char16_t* p = text.Chars;
  uint32_t n = text.Length;
  bool negative = false;
  if (n > 0 && (p[0] == u'+' || p[0] == u'-')) {
    negative = p[0] == u'-';
    ++p, --n;
  }
  uint64_t magnitude = 0;
  if (n > 0 && p[0] == u'$') {
    if (!ParseHex(p + 1, n - 1, &magnitude)) return false;
  } else if (n > 1 && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X')) {
    if (!ParseHex(p + 2, n - 2, &magnitude)) return false;
  } else {
    const uint64_t limit = negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull;
    if (!ParseDecimal({p, n}, limit, &magnitude)) return false;
  }
  // Two's complement throughout: negating 2^63 gives itself, as it should.
  *value = int64_t(negative ? 0 - magnitude : magnitude);
  return true;
}
