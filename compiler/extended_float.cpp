#include "compiler/extended_float.h"

#include <cstring>
#include <utility>

#include "base/grow_array.h"

namespace {

// Enough significant digits to tell any decimal value from the nearest
// half-way point between two 80-bit values: the longest such point, the
// smallest denormal's half-way point, has about 11,515 significant digits.
// Digits beyond this bound only matter as "some non-zero digit follows",
// which a final digit 1 stands for exactly.
constexpr uint32_t kMaxDigits = 12000;
constexpr int64_t kExponentCap = 1000000000;
// Decimal exponents outside these bounds overflow or round to zero for any
// significand; the exact path handles everything between them.
constexpr int64_t kOverflowDecimalExponent = 4933;
constexpr int64_t kZeroDecimalExponent = -4952;
constexpr int64_t kMinScale = -16445;  // the weight of the smallest denormal's bit
constexpr int64_t kExponentBias = 16383;
constexpr int64_t kMaxBiasedExponent = 32767;
constexpr uint32_t kQuotientBits = 66;  // a significand, a rounding bit and one spare

// A non-negative big integer: 32-bit words, least significant first, without
// leading zero words. Freed by its owner.
typedef TGrowArray<uint32_t> TBig;

typedef TExtendedScratch TBigSet;

uint32_t Word(const TBig& a, uint64_t i) {
  return i < a.Count ? a.Items[i] : 0;
}

void Trim(TBig& a) {
  while (a.Count > 0 && a.Items[a.Count - 1] == 0) --a.Count;
}

void MulAdd(TBig& a, uint32_t mul, uint32_t add) {
  uint64_t carry = add;
  for (uint32_t i = 0; i < a.Count; ++i) {
    uint64_t t = uint64_t(a.Items[i]) * mul + carry;
    a.Items[i] = uint32_t(t);
    carry = t >> 32;
  }
  if (carry != 0) *GrowArrayPush(a) = uint32_t(carry);
}

void MulPow5(TBig& a, uint64_t k) {
  static const uint32_t kPow5[13] = {1,     5,      25,      125,     625,      3125,     15625,
                                     78125, 390625, 1953125, 9765625, 48828125, 244140625};
  for (; k >= 13; k -= 13) MulAdd(a, 1220703125u, 0);
  if (k > 0) MulAdd(a, kPow5[k], 0);
}

// out = a * b.
void Multiply(const TBig& a, const TBig& b, TBig& out) {
  out.Count = 0;
  GrowArrayPushZeroed(out, a.Count + b.Count);
  for (uint32_t i = 0; i < a.Count; ++i) {
    uint64_t carry = 0;
    for (uint32_t j = 0; j < b.Count; ++j) {
      uint64_t t = uint64_t(a.Items[i]) * b.Items[j] + out.Items[i + j] + carry;
      out.Items[i + j] = uint32_t(t);
      carry = t >> 32;
    }
    out.Items[i + b.Count] = uint32_t(carry);
  }
  Trim(out);
}

// Powers 5^(kPow5Step * i), built once per process: with them 5^k costs a
// copy and a few small multiplications instead of k / 13 passes over a
// growing number, which keeps literals with extreme exponents cheap.
constexpr uint32_t kPow5Step = 512;
constexpr uint32_t kPow5Steps = 34;  // up to 5^16896, beyond any exponent that reaches here

struct TPow5Table {
  TBig Steps[kPow5Steps];
  TPow5Table() : Steps{} {
    TBig step{};
    *GrowArrayPush(step) = 1;
    MulPow5(step, kPow5Step);
    *GrowArrayPush(Steps[0]) = 1;
    for (uint32_t i = 1; i < kPow5Steps; ++i) Multiply(Steps[i - 1], step, Steps[i]);
    GrowArrayFree(step);
  }
};

// out = 5^k.
void Pow5(uint64_t k, TBig& out) {
  static const TPow5Table table;
  const uint64_t step = k / kPow5Step < kPow5Steps ? k / kPow5Step : kPow5Steps - 1;
  const TBig& base = table.Steps[step];
  out.Count = 0;
  std::memcpy(GrowArrayPushZeroed(out, base.Count), base.Items, size_t(base.Count) * 4);
  MulPow5(out, k - step * kPow5Step);
}

uint64_t BitLength(const TBig& a) {
  if (a.Count == 0) return 0;
  uint32_t top = a.Items[a.Count - 1];
  uint64_t bits = uint64_t(a.Count - 1) * 32;
  while (top != 0) ++bits, top >>= 1;
  return bits;
}

// out = a << bits, with one spare word on top (which Trim removes).
void ShiftLeft(const TBig& a, uint64_t bits, TBig& out) {
  out.Count = 0;
  if (a.Count == 0) return;
  const uint32_t words = uint32_t(bits / 32);
  const uint32_t offset = uint32_t(bits % 32);
  GrowArrayPushZeroed(out, a.Count + words + 1);
  for (uint32_t i = 0; i < a.Count; ++i) {
    uint64_t v = uint64_t(a.Items[i]) << offset;
    out.Items[i + words] |= uint32_t(v);
    out.Items[i + words + 1] |= uint32_t(v >> 32);
  }
}

bool Bit(const TBig& a, uint64_t i) {
  return (Word(a, i / 32) >> (i % 32)) & 1;
}

// Bits [pos, pos + 64).
uint64_t Bits64(const TBig& a, uint64_t pos) {
  const uint64_t w = pos / 32;
  const uint32_t offset = uint32_t(pos % 32);
  uint64_t lo = uint64_t(Word(a, w)) | (uint64_t(Word(a, w + 1)) << 32);
  if (offset == 0) return lo;
  return (lo >> offset) | (uint64_t(Word(a, w + 2)) << (64 - offset));
}

// Whether any bit below bit `i` is set.
bool AnyBitBelow(const TBig& a, uint64_t i) {
  const uint64_t w = i / 32;
  for (uint64_t k = 0; k < w && k < a.Count; ++k) {
    if (a.Items[k] != 0) return true;
  }
  const uint32_t offset = uint32_t(i % 32);
  return offset != 0 && (Word(a, w) & ((1u << offset) - 1)) != 0;
}

// Quotient = Value / Divisor by long division in base 2^32 (Knuth's
// algorithm D), one quotient word per step; returns whether the remainder
// is not zero. Value and Divisor are consumed.
bool Divide(TBigSet& s) {
  TBig& q = s.Quotient;
  q.Count = 0;
  const uint32_t n = s.Divisor.Count;
  if (s.Value.Count < n) return s.Value.Count != 0;
  // Normalize: the divisor's top word gets its top bit set.
  uint32_t top = s.Divisor.Items[n - 1];
  uint32_t shift = 0;
  while ((top & 0x80000000u) == 0) top <<= 1, ++shift;
  ShiftLeft(s.Divisor, shift, s.Shifted);
  ShiftLeft(s.Value, shift, s.Work);
  const uint32_t* v = s.Shifted.Items;
  uint32_t* u = s.Work.Items;
  const uint32_t m = s.Value.Count - n;
  GrowArrayPushZeroed(q, m + 1);
  for (uint32_t j = m + 1; j-- > 0;) {
    const uint64_t numerator = (uint64_t(u[j + n]) << 32) | u[j + n - 1];
    uint64_t qhat = numerator / v[n - 1];
    uint64_t rhat = numerator % v[n - 1];
    while (qhat > 0xFFFFFFFFu || (n > 1 && qhat * v[n - 2] > ((rhat << 32) | u[j + n - 2]))) {
      --qhat;
      rhat += v[n - 1];
      if (rhat > 0xFFFFFFFFu) break;
    }
    int64_t borrow = 0;
    uint64_t carry = 0;
    for (uint32_t i = 0; i < n; ++i) {
      uint64_t product = qhat * v[i] + carry;
      carry = product >> 32;
      int64_t t = int64_t(u[i + j]) - borrow - int64_t(product & 0xFFFFFFFFu);
      u[i + j] = uint32_t(t);
      borrow = t < 0;
    }
    int64_t t = int64_t(u[j + n]) - borrow - int64_t(carry);
    u[j + n] = uint32_t(t);
    if (t < 0) {  // qhat was one too large: add the divisor back
      --qhat;
      uint64_t sum = 0;
      for (uint32_t i = 0; i < n; ++i) {
        sum = uint64_t(u[i + j]) + v[i] + (sum >> 32);
        u[i + j] = uint32_t(sum);
      }
      u[j + n] += uint32_t(sum >> 32);
    }
    q.Items[j] = uint32_t(qhat);
  }
  Trim(q);
  for (uint32_t i = 0; i < n; ++i) {
    if (u[i] != 0) return true;
  }
  return false;
}

void Store(uint8_t out[kExtendedBytes], uint64_t significand, uint32_t signAndExponent) {
  for (int i = 0; i < 8; ++i) out[i] = uint8_t(significand >> (8 * i));
  out[8] = uint8_t(signAndExponent);
  out[9] = uint8_t(signAndExponent >> 8);
}

// Rounds (q + f) * 2^e, where 0 <= f < 1 and `sticky` says whether f > 0,
// to the 80-bit format. False on overflow.
bool RoundToExtended(const TBig& q, int64_t e, bool sticky, bool negative,
                     uint8_t out[kExtendedBytes]) {
  const uint32_t sign = negative ? 0x8000u : 0;
  const int64_t leading = e + int64_t(BitLength(q)) - 1;
  int64_t scale = leading - 63 > kMinScale ? leading - 63 : kMinScale;
  const int64_t shift = scale - e;
  uint64_t significand;
  if (shift <= 0) {
    significand = Bits64(q, 0) << -shift;
  } else {
    significand = Bits64(q, uint64_t(shift));
    bool half = Bit(q, uint64_t(shift - 1));
    bool rest = sticky || AnyBitBelow(q, uint64_t(shift - 1));
    if (half && (rest || (significand & 1) != 0)) {
      if (++significand == 0) {
        significand = 0x8000000000000000ull;
        ++scale;
      }
    }
  }
  if (significand == 0) {
    Store(out, 0, sign);
    return true;
  }
  int64_t biased = (significand >> 63) != 0 ? scale + 63 + kExponentBias : 0;
  if (biased >= kMaxBiasedExponent) return false;
  Store(out, significand, sign | uint32_t(biased));
  return true;
}

struct TDecimalSyntax {
  bool Negative;
  TTextSpan Integer;
  TTextSpan Fraction;
  int64_t Exponent;  // capped at +-kExponentCap
};

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool ScanSyntax(TTextSpan text, TDecimalSyntax* d) {
  const char16_t* p = text.Chars;
  const uint32_t n = text.Length;
  uint32_t i = 0;
  d->Negative = false;
  if (i < n && (p[i] == u'+' || p[i] == u'-')) d->Negative = p[i++] == u'-';
  uint32_t start = i;
  while (i < n && IsDigit(p[i])) ++i;
  d->Integer = {p + start, i - start};
  d->Fraction = {p + i, 0};
  if (i < n && p[i] == u'.') {
    start = ++i;
    while (i < n && IsDigit(p[i])) ++i;
    d->Fraction = {p + start, i - start};
  }
  if (d->Integer.Length + d->Fraction.Length == 0) return false;
  d->Exponent = 0;
  if (i < n && (p[i] == u'e' || p[i] == u'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < n && (p[i] == u'+' || p[i] == u'-')) negativeExponent = p[i++] == u'-';
    start = i;
    for (; i < n && IsDigit(p[i]); ++i) {
      d->Exponent = d->Exponent * 10 + (p[i] - u'0');
      if (d->Exponent > kExponentCap) d->Exponent = kExponentCap;
    }
    if (i == start) return false;
    if (negativeExponent) d->Exponent = -d->Exponent;
  }
  return i == n;
}

// Reads the significant digits into `value` (at most kMaxDigits of them, a
// final 1 standing for any non-zero digits dropped) and returns the decimal
// exponent that goes with them; `kept` receives their number.
int64_t ReadSignificand(const TDecimalSyntax& d, TBig& value, uint32_t* kept) {
  static const uint32_t kPow10[10] = {1,      10,      100,      1000,      10000,
                                      100000, 1000000, 10000000, 100000000, 1000000000};
  const uint64_t total = uint64_t(d.Integer.Length) + d.Fraction.Length;
  uint32_t count = 0, chunk = 0, chunkDigits = 0;
  uint64_t dropped = 0;
  bool droppedNonZero = false;
  for (uint64_t j = 0; j < total; ++j) {
    char16_t c = j < d.Integer.Length ? d.Integer.Chars[j] : d.Fraction.Chars[j - d.Integer.Length];
    uint32_t digit = uint32_t(c - u'0');
    if (count == 0 && digit == 0) continue;  // leading zeros
    if (count == kMaxDigits) {
      ++dropped;
      droppedNonZero |= digit != 0;
      continue;
    }
    ++count;
    chunk = chunk * 10 + digit;
    if (++chunkDigits == 9) {
      MulAdd(value, kPow10[9], chunk);
      chunk = chunkDigits = 0;
    }
  }
  if (chunkDigits > 0) MulAdd(value, kPow10[chunkDigits], chunk);
  int64_t exponent = d.Exponent - int64_t(d.Fraction.Length) + int64_t(dropped);
  if (droppedNonZero) {
    MulAdd(value, 10, 1);
    --exponent;
    ++count;
  }
  *kept = count;
  return exponent;
}

}  // namespace

void FreeExtendedScratch(TExtendedScratch& scratch) {
  GrowArrayFree(scratch.Value);
  GrowArrayFree(scratch.Divisor);
  GrowArrayFree(scratch.Shifted);
  GrowArrayFree(scratch.Quotient);
  GrowArrayFree(scratch.Work);
}

bool ParseExtended(TTextSpan text, uint8_t out[kExtendedBytes]) {
  TExtendedScratch scratch{};
  const bool parsed = ParseExtended(text, out, &scratch);
  FreeExtendedScratch(scratch);
  return parsed;
}

bool ParseExtended(TTextSpan text, uint8_t out[kExtendedBytes], TExtendedScratch* scratch) {
  TDecimalSyntax syntax;
  if (!ScanSyntax(text, &syntax)) return false;
  TBigSet& s = *scratch;
  s.Value.Count = 0;
  uint32_t digits = 0;
  int64_t e10 = ReadSignificand(syntax, s.Value, &digits);
  if (s.Value.Count == 0 || int64_t(digits) + e10 <= kZeroDecimalExponent) {
    Store(out, 0, syntax.Negative ? 0x8000u : 0);
    return true;
  }
  if (int64_t(digits) - 1 + e10 >= kOverflowDecimalExponent) return false;
  if (e10 >= 0) {
    // value = digits * 10^e10 = (digits * 5^e10) * 2^e10, exactly.
    Pow5(uint64_t(e10), s.Divisor);
    Multiply(s.Value, s.Divisor, s.Quotient);
    return RoundToExtended(s.Quotient, e10, false, syntax.Negative, out);
  }
  // value = digits / 5^k * 2^-k; scale numerator or denominator by a power
  // of two so that the quotient has kQuotientBits bits.
  const uint64_t k = uint64_t(-e10);
  Pow5(k, s.Divisor);
  int64_t shift = int64_t(BitLength(s.Divisor)) - int64_t(BitLength(s.Value)) + kQuotientBits;
  TBig& scaled = shift >= 0 ? s.Value : s.Divisor;
  ShiftLeft(scaled, uint64_t(shift >= 0 ? shift : -shift), s.Shifted);
  Trim(s.Shifted);
  std::swap(scaled, s.Shifted);
  const bool sticky = Divide(s);
  return RoundToExtended(s.Quotient, -int64_t(k) - shift, sticky, syntax.Negative, out);
}
