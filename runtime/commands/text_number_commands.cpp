// Numbers read from and written as text: integers parsed in any radix from 2
// to 36, floats parsed from and formatted as decimal text. The source is a
// text or binary-block variable (a block is single-byte text); the result
// replaces the source variable unless another variable is named.
//
// Floats go through the C library's conversions, which round correctly to
// the 80-bit format, with the decimal separator fixed to "." whatever
// locale the process runs in. Formatting without options gives up to 18
// significant digits, the most that every 80-bit value shows without noise
// from the binary fraction.
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

constexpr uint32_t kMinRadix = 2;
constexpr uint32_t kMaxRadix = 36;
constexpr uint32_t kNoDigit = 0xFF;
// An option of the float formatting that is not given.
constexpr uint32_t kNotGiven = 0xFFFFFFFF;
constexpr int kGeneralDigits = 18;
// More decimals than any script needs, and few enough that a mistyped
// count cannot ask for gigabytes of zeros.
constexpr uint32_t kMaxDecimals = 255;

// The digit value of a character: 0-9, then A-Z and a-z for 10-35.
uint32_t DigitValue(uint32_t unit) {
  if (unit >= '0' && unit <= '9') return unit - '0';
  if (unit >= 'A' && unit <= 'Z') return unit - 'A' + 10;
  if (unit >= 'a' && unit <= 'z') return unit - 'a' + 10;
  return kNoDigit;
}

// Digits of the radix, with one leading minus sign; the value wraps in 64
// bits. An empty text is 0.
template <typename U>
TStatus ParseInteger(const U* units, uint32_t length, uint32_t radix, int64_t* value) {
  uint64_t magnitude = 0;
  bool negative = false;
  for (uint32_t i = 0; i < length; ++i) {
    if (i == 0 && units[i] == '-') {
      negative = true;
      continue;
    }
    const uint32_t digit = DigitValue(units[i]);
    if (digit >= radix) return kStatusBadDigit;
    magnitude = magnitude * radix + digit;
  }
  *value = int64_t(negative ? 0 - magnitude : magnitude);
  return kStatusOk;
}

// The characters of a text or block variable as a narrow string; false when
// a unit has no single-byte form (it cannot be part of a number anyway).
template <typename U>
bool Narrow(const U* units, uint32_t length, std::string* out) {
  out->resize(length);
  for (uint32_t i = 0; i < length; ++i) {
    if (units[i] == 0 || units[i] > 0x7F) return false;
    (*out)[i] = char(units[i]);
  }
  return true;
}

char LocaleDecimalPoint() {
  const std::lconv* conventions = std::localeconv();
  const char* point = conventions != nullptr ? conventions->decimal_point : nullptr;
  return point != nullptr && point[0] != 0 && point[1] == 0 ? point[0] : '.';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether `s` is a decimal number: a sign, digits with at most one ".",
// at least one digit, then an optional exponent with its own sign.
bool IsDecimalNumber(const std::string& s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == s.size();
}

bool EqualsNoCase(const std::string& s, const char* word) {
  if (s.size() != std::strlen(word)) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((s[i] | 0x20) != word[i]) return false;
  }
  return true;
}

// NaN and the infinities, as FormatFloat writes them.
bool ParseSpecial(const std::string& s, TExtended* value) {
  const bool sign = !s.empty() && (s[0] == '+' || s[0] == '-');
  const std::string word = sign ? s.substr(1) : s;
  if (EqualsNoCase(word, "nan") && !sign) {
    *value = std::numeric_limits<TExtended>::quiet_NaN();
    return true;
  }
  if (!EqualsNoCase(word, "inf")) return false;
  *value = sign && s[0] == '-' ? -HUGE_VALL : HUGE_VALL;
  return true;
}

// A decimal number with blanks allowed around it. A number beyond the
// 80-bit range is no number.
bool ParseFloat(std::string s, TExtended* value) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return false;
  s = s.substr(first, s.find_last_not_of(' ') - first + 1);
  if (ParseSpecial(s, value)) return true;
  if (!IsDecimalNumber(s)) return false;
  const size_t point = s.find('.');
  if (point != std::string::npos) s[point] = LocaleDecimalPoint();
  errno = 0;
  char* end = nullptr;
  const TExtended parsed = std::strtold(s.c_str(), &end);
  if (end != s.c_str() + s.size()) return false;
  if (errno == ERANGE && std::isinf(parsed)) return false;
  *value = parsed;
  return true;
}

std::string Printf(const char* format, int digits, TExtended value) {
  const int length = std::snprintf(nullptr, 0, format, digits, value);
  if (length <= 0) return std::string();
  std::string out(size_t(length) + 1, '\0');
  std::snprintf(&out[0], out.size(), format, digits, value);
  out.resize(size_t(length));
  const size_t point = out.find(LocaleDecimalPoint());
  if (point != std::string::npos) out[point] = '.';
  return out;
}

// General form with up to `precision` significant digits when no decimals
// are asked; otherwise fixed-point with `decimals` decimals, the value first
// rounded to `precision` significant digits when that is given too. A
// precision of 0 means 1 digit, and one above 18 means 18: the 80-bit value
// has no more.
std::string FormatFloat(TExtended value, uint32_t precision, uint32_t decimals) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  const bool hasPrecision = precision != kNotGiven;
  const int significant = !hasPrecision ? kGeneralDigits
                          : precision == 0
                              ? 1
                              : int(precision < kGeneralDigits ? precision : kGeneralDigits);
  if (decimals == kNotGiven) return Printf("%.*Lg", significant, value);
  if (hasPrecision) {
    const std::string rounded = Printf("%.*Le", significant - 1, value);
    value = std::strtold(rounded.c_str(), nullptr);
  }
  return Printf("%.*Lf", int(decimals), value);
}

// The text or block a parsing command reads, by the source variable's kind.
struct TSourceUnits {
  const char16_t* Text = nullptr;
  const uint8_t* Bytes = nullptr;
  uint32_t Length = 0;
};

TStatus ReadSource(TScriptContext* context, uint32_t reference, bool textAllowed,
                   TSourceUnits* source) {
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType == vtBinBlock) {
    source->Bytes = v->UA != nullptr ? UA_Data(v->UA) : UA_Data(BB_Empty());
    source->Length = BB_Length(v->UA);
    return kStatusOk;
  }
  if (v->VarType == vtUnicodeString && textAllowed) {
    source->Text = v->UA != nullptr ? USTR_Chars(v->UA) : USTR_Chars(USTR_Empty());
    source->Length = USTR_Length(v->UA);
    return kStatusOk;
  }
  return kStatusWrongKind;
}

TStatus ToInteger(TScriptContext* context, bool textAllowed) {
  uint32_t source, target, radix;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, source, &target) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 10, &radix) != kStatusOk) return kStatusBadParam;
  if (radix < kMinRadix || radix > kMaxRadix) return kStatusBadParseRadix;
  TSourceUnits units;
  const TStatus read = ReadSource(context, source, textAllowed, &units);
  if (read != kStatusOk) return read;
  int64_t value;
  const TStatus parsed = units.Text != nullptr
                             ? ParseInteger(units.Text, units.Length, radix, &value)
                             : ParseInteger(units.Bytes, units.Length, radix, &value);
  if (parsed != kStatusOk) return parsed;
  return Var_StoreInteger(context, target, value);
}

TStatus ToFloat(TScriptContext* context, bool textAllowed) {
  uint32_t source, target;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, source, &target) != kStatusOk) return kStatusBadParam;
  TSourceUnits units;
  const TStatus read = ReadSource(context, source, textAllowed, &units);
  if (read != kStatusOk) return read;
  std::string narrow;
  const bool ascii = units.Text != nullptr ? Narrow(units.Text, units.Length, &narrow)
                                           : Narrow(units.Bytes, units.Length, &narrow);
  TExtended value;
  if (!ascii || !ParseFloat(narrow, &value)) return kStatusEmptyNumberText;
  return Var_StoreFloat(context, target, value);
}

enum TFormatAs : uint8_t { kFormatAsBlock, kFormatAsText };

TStatus FromFloat(TScriptContext* context, TFormatAs form) {
  uint32_t source, target, precision, decimals;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, source, &target) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, kNotGiven, &precision) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, kNotGiven, &decimals) != kStatusOk) return kStatusBadParam;
  TExtended value;
  const TStatus read = GetVarExtended(context, source, &value);
  if (read == kStatusNoSuchVariable) return read;
  if (read != kStatusOk) return kStatusWrongKind;
  if (decimals != kNotGiven && decimals > kMaxDecimals) return kStatusBadParam;
  const std::string text = FormatFloat(value, precision, decimals);
  if (form == kFormatAsBlock) {
    return Var_StoreBinBlock(context, target, text.data(), uint32_t(text.size()));
  }
  const std::u16string wide(text.begin(), text.end());
  return Var_StoreUnicodeString(context, target, wide.data(), uint32_t(wide.size()));
}

}  // namespace

TStatus CmdBlockToInt(TScriptContext* context) {
  return ToInteger(context, false);
}
TStatus CmdTextToInt(TScriptContext* context) {
  return ToInteger(context, true);
}
TStatus CmdBlockToFloat(TScriptContext* context) {
  return ToFloat(context, false);
}
TStatus CmdTextToFloat(TScriptContext* context) {
  return ToFloat(context, true);
}
TStatus CmdFloatToBlock(TScriptContext* context) {
  return FromFloat(context, kFormatAsBlock);
}
TStatus CmdFloatToText(TScriptContext* context) {
  return FromFloat(context, kFormatAsText);
}
