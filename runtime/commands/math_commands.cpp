// Math functions and in-place numeric operations: the one-argument float
// functions (trigonometry, roots, logarithms, rounding, angle conversion),
// the constant pi, and negate, logical value, sign and absolute value of an
// integer, float or DWORD variable in place.
//
// Every function reads x as an 80-bit extended value and stores an 80-bit
// result, computed by the extended-precision library functions. The rules
// for inputs without a finite real result are the float rules of the
// arithmetic commands (IEEE 754, no exception, no error status):
// - a domain error gives a NaN (square root or logarithm of a negative
//   number, arc sine or arc cosine beyond +-1), a logarithm of 0 gives minus
//   infinity, and an overflow gives an infinity;
// - the cube root of a negative number is the negative real root, since
//   every real number has one;
// - rounding (round, trunc, ceil, floor) gives the whole number that a
//   signed 64-bit integer would hold, as a float. A value outside that range,
//   which an 80-bit float can only hold as a whole number already, is kept
//   as it is: the processor's integer-indefinite answer (-2^63) would be a
//   wrong number. NaN and the infinities are kept too.
#include <cmath>
#include <cstdint>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

namespace {

// pi rounded to the 64-bit mantissa: mantissa 0xC90FDAA22168C235, exponent
// 0x4000. The literal is correctly rounded by the compiler; the tests check
// the bits.
constexpr TExtended kPi = 3.14159265358979323846264338327950288L;
constexpr TExtended kTwoTo63 = 9223372036854775808.0L;

// Whether x fits a signed 64-bit integer; false for NaN.
bool FitsInt64(TExtended x) {
  return x >= -kTwoTo63 && x < kTwoTo63;
}

TExtended Truncated(TExtended x) {
  return FitsInt64(x) ? TExtended(int64_t(x)) : x;
}

// ---- The function table ----

TExtended Sine(TExtended x) {
  return std::sin(x);
}
TExtended Cosine(TExtended x) {
  return std::cos(x);
}
TExtended Tangent(TExtended x) {
  return std::tan(x);
}
TExtended ArcTangent(TExtended x) {
  return std::atan(x);
}
TExtended Square(TExtended x) {
  return x * x;
}
TExtended Cube(TExtended x) {
  return x * x * x;
}
TExtended SquareRoot(TExtended x) {
  return std::sqrt(x);
}
TExtended CubeRoot(TExtended x) {
  return std::cbrt(x);
}
TExtended NaturalLog(TExtended x) {
  return std::log(x);
}
TExtended Log10(TExtended x) {
  return std::log10(x);
}
TExtended Log2(TExtended x) {
  return std::log2(x);
}
TExtended Exponential(TExtended x) {
  return std::exp(x);
}
// In the current rounding mode of the processor: ties to even by default.
// Rounded as a float, since the one value just below 2^63 that can round up
// would overflow the integer; a zero result is +0, as through the integer.
TExtended Rounded(TExtended x) {
  const TExtended whole = std::rint(x);
  return whole == 0 ? 0 : whole;
}
// The increment is added as a float, so that it cannot overflow the integer
// just below 2^63.
TExtended Ceiling(TExtended x) {
  if (!FitsInt64(x)) return x;
  TExtended whole = Truncated(x);
  return x - whole > 0 ? whole + 1 : whole;
}
TExtended Floor(TExtended x) {
  if (!FitsInt64(x)) return x;
  TExtended whole = Truncated(x);
  return x - whole < 0 ? whole - 1 : whole;
}
TExtended ArcSine(TExtended x) {
  return std::asin(x);
}
TExtended ArcCosine(TExtended x) {
  return std::acos(x);
}
// Not through the 64-bit integer: a large value has no fraction, and an
// infinite one none that is a number.
TExtended Fraction(TExtended x) {
  return x - std::trunc(x);
}
TExtended DegreesToRadians(TExtended x) {
  return x * kPi / 180;
}
TExtended RadiansToDegrees(TExtended x) {
  return x * 180 / kPi;
}

typedef TExtended (*TMathFunction)(TExtended x);

// Indexed by command code from MathSin on, in code order.
constexpr uint32_t kFirstMathFunction = 260;
constexpr TMathFunction kMathFunctions[] = {
    Sine,
    Cosine,
    Tangent,
    ArcTangent,
    Square,
    Cube,
    SquareRoot,
    CubeRoot,
    NaturalLog,
    Log10,
    Log2,
    Exponential,
    Rounded,
    Ceiling,
    Floor,
    ArcSine,
    ArcCosine,
    Truncated,
    Fraction,
    DegreesToRadians,
    RadiansToDegrees,
};
static_assert(sizeof kMathFunctions / sizeof kMathFunctions[0] == 281 - kFirstMathFunction);

// The shape of every one-argument function: (result var, x).
TStatus StoreMathFunction(TScriptContext* context, uint32_t code) {
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const TExtended x = FetchExtended(context, &status, 0);
  if (status != kFetchValue) return kStatusBadParam;
  return Var_StoreFloat(context, result, kMathFunctions[code - kFirstMathFunction](x));
}

// ---- In place ----

struct TInPlaceOperation {
  // Each returns the new value; the sign operation turns every kind into an
  // integer.
  int64_t (*OnInteger)(int64_t value);
  TExtended (*OnExtended)(TExtended value);
  uint32_t (*OnDWORD)(uint32_t value);
  bool MakesInteger;
};

template <typename T>
int64_t SignOf(T value) {
  return value > 0 ? 1 : value < 0 ? -1 : 0;
}

// Negation is computed in the unsigned type, so the most negative integer
// wraps to itself.
constexpr TInPlaceOperation kNegate = {
    [](int64_t v) { return int64_t(0 - uint64_t(v)); },
    [](TExtended v) { return -v; },
    [](uint32_t v) { return 0 - v; },
    false,
};
// A DWORD's logical value is the inverse of the others': zero becomes 1.
constexpr TInPlaceOperation kLogical = {
    [](int64_t v) { return int64_t(v != 0); },
    [](TExtended v) { return v != 0 ? TExtended(1) : v; },
    [](uint32_t v) { return uint32_t(v == 0); },
    false,
};
constexpr TInPlaceOperation kSign = {
    [](int64_t v) { return SignOf(v); },
    nullptr,
    nullptr,
    true,
};
constexpr TInPlaceOperation kAbsolute = {
    [](int64_t v) { return v < 0 ? int64_t(0 - uint64_t(v)) : v; },
    [](TExtended v) { return std::fabs(v); },
    [](uint32_t v) { return int32_t(v) < 0 ? 0 - v : v; },
    false,
};

TStatus ChangeInPlace(TScriptContext* context, const TInPlaceOperation& operation) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (operation.MakesInteger) {
    int64_t sign;
    switch (v->VarType) {
      case vtInteger:
        sign = SignOf(v->AsInteger);
        break;
      case vtExtended:
        sign = SignOf(v->AsExtended);
        break;
      case vtDWORD:
        sign = SignOf(int32_t(v->AsDWORD));
        break;
      default:
        return kStatusWrongKind;
    }
    return Var_StoreInteger(context, reference, sign);
  }
  switch (v->VarType) {
    case vtInteger:
      RewriteScalar(v, operation.OnInteger(v->AsInteger));
      return kStatusOk;
    case vtExtended:
      RewriteScalar(v, operation.OnExtended(v->AsExtended));
      return kStatusOk;
    case vtDWORD:
      RewriteScalar(v, operation.OnDWORD(v->AsDWORD));
      return kStatusOk;
    default:
      return kStatusWrongKind;
  }
}

}  // namespace

#define ZV_MATH_FUNCTION(code, Name)           \
  TStatus Cmd##Name(TScriptContext* context) { \
    return StoreMathFunction(context, code);   \
  }
ZV_MATH_FUNCTION(260, MathSin)
ZV_MATH_FUNCTION(261, MathCos)
ZV_MATH_FUNCTION(262, MathTan)
ZV_MATH_FUNCTION(263, MathArcTan)
ZV_MATH_FUNCTION(264, MathSquare)
ZV_MATH_FUNCTION(265, MathCube)
ZV_MATH_FUNCTION(266, MathSqrt)
ZV_MATH_FUNCTION(267, MathCubeRoot)
ZV_MATH_FUNCTION(268, MathLn)
ZV_MATH_FUNCTION(269, MathLog10)
ZV_MATH_FUNCTION(270, MathLog2)
ZV_MATH_FUNCTION(271, MathExp)
ZV_MATH_FUNCTION(272, MathRound)
ZV_MATH_FUNCTION(273, MathCeil)
ZV_MATH_FUNCTION(274, MathFloor)
ZV_MATH_FUNCTION(275, MathArcSin)
ZV_MATH_FUNCTION(276, MathArcCos)
ZV_MATH_FUNCTION(277, MathTrunc)
ZV_MATH_FUNCTION(278, MathFrac)
ZV_MATH_FUNCTION(279, MathDegToRad)
ZV_MATH_FUNCTION(280, MathRadToDeg)
#undef ZV_MATH_FUNCTION

TStatus CmdMathPi(TScriptContext* context) {
  uint32_t result;
  if (FetchRequiredDWORD(context, &result) != kStatusOk) return kStatusBadParam;
  return Var_StoreFloat(context, result, kPi);
}

TStatus CmdNumberNegate(TScriptContext* context) {
  return ChangeInPlace(context, kNegate);
}

TStatus CmdNumberLogical(TScriptContext* context) {
  return ChangeInPlace(context, kLogical);
}

TStatus CmdNumberSign(TScriptContext* context) {
  return ChangeInPlace(context, kSign);
}

TStatus CmdNumberAbs(TScriptContext* context) {
  return ChangeInPlace(context, kAbsolute);
}
