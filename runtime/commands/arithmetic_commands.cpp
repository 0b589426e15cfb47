// Assignment, arithmetic and array items: store integers, floats and blocks
// into variables, reset ranges of variables, change integer, DWORD and float
// variables in place, write integers as digit strings in any radix from 2 to
// 36, create typed arrays, count items, and read or write single items of
// arrays, texts, blocks and lists.
//
// The twelve in-place commands share one routine: it reads the target, folds
// the operands into its value through the operation table of the target's
// kind, and stores the result only when every operation succeeded, so a
// failing command leaves the target as it was. The arithmetic is defined for
// every input:
// - DWORD and integer values wrap (two's complement, 32 or 64 bits), the
//   most negative integer divided by -1 included: its quotient wraps to
//   itself and its remainder is 0, where the processor would fault.
// - Division by zero fails with 1009 for all three kinds, and so does a
//   remainder by zero. For floats that is the only departure from IEEE 754
//   on the 80-bit value: an overflow still gives an infinity and an invalid
//   operation a NaN. Floats have no remainder, bit or shift operations
//   (1004).
//
// The item commands share one setter and one getter for scalar items (array
// items, block bytes, text units) and one getter for list items. A setter
// checks the kind and the index before it changes anything and copies a
// shared constant first (copy on write), so a constant of the image is never
// written. A getter whose result variable is omitted stores into the array
// variable itself; the item is read or copied before that store releases the
// array. New arrays without a fill value are zero-filled.
#include <cstring>
#include <type_traits>

#include "base/bytes.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/quick_matchers.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// ---- In-place arithmetic ----

// The column of the three operation tables, in the order of the commands.
enum TArithmeticOp : uint8_t {
  kOpAdd,
  kOpSub,
  kOpMul,
  kOpDiv,
  kOpMod,
  kOpAnd,
  kOpOr,
  kOpXor,
  kOpShl,
  kOpShr,
  kOpMax,
  kOpMin,
  kOpCount,
};

template <typename T>
using TOperation = TStatus (*)(T* value, T operand);

// DWORD and integer operations compute in the unsigned type, where
// overflow wraps instead of being undefined.
template <typename T>
using TUnsigned = std::make_unsigned_t<T>;
template <typename T>
constexpr TUnsigned<T> kShiftMask = sizeof(T) * 8 - 1;

template <typename T>
TStatus WholeAdd(T* v, T x) {
  *v = T(TUnsigned<T>(*v) + TUnsigned<T>(x));
  return kStatusOk;
}
template <typename T>
TStatus WholeSub(T* v, T x) {
  *v = T(TUnsigned<T>(*v) - TUnsigned<T>(x));
  return kStatusOk;
}
template <typename T>
TStatus WholeMul(T* v, T x) {
  *v = T(TUnsigned<T>(*v) * TUnsigned<T>(x));
  return kStatusOk;
}
// Dividing by -1 negates in the unsigned type, so that the most negative
// integer wraps to itself instead of faulting as the processor's division
// would.
template <typename T>
TStatus WholeDiv(T* v, T x) {
  if (x == 0) return kStatusDivisionByZero;
  if constexpr (std::is_signed_v<T>) {
    if (x == T(-1)) {
      *v = T(TUnsigned<T>(0) - TUnsigned<T>(*v));
      return kStatusOk;
    }
  }
  *v /= x;
  return kStatusOk;
}
template <typename T>
TStatus WholeMod(T* v, T x) {
  if (x == 0) return kStatusDivisionByZero;
  if constexpr (std::is_signed_v<T>) {
    if (x == T(-1)) {
      *v = 0;
      return kStatusOk;
    }
  }
  *v %= x;
  return kStatusOk;
}
template <typename T>
TStatus WholeAnd(T* v, T x) {
  *v &= x;
  return kStatusOk;
}
template <typename T>
TStatus WholeOr(T* v, T x) {
  *v |= x;
  return kStatusOk;
}
template <typename T>
TStatus WholeXor(T* v, T x) {
  *v ^= x;
  return kStatusOk;
}
// Shifts count modulo the width; right shifts are logical for both kinds.
template <typename T>
TStatus WholeShl(T* v, T x) {
  *v = T(TUnsigned<T>(*v) << (TUnsigned<T>(x) & kShiftMask<T>));
  return kStatusOk;
}
template <typename T>
TStatus WholeShr(T* v, T x) {
  *v = T(TUnsigned<T>(*v) >> (TUnsigned<T>(x) & kShiftMask<T>));
  return kStatusOk;
}
// Unsigned for DWORDs, signed for integers: the comparison of T.
template <typename T>
TStatus WholeMax(T* v, T x) {
  if (x > *v) *v = x;
  return kStatusOk;
}
template <typename T>
TStatus WholeMin(T* v, T x) {
  if (x < *v) *v = x;
  return kStatusOk;
}

template <typename T>
constexpr TOperation<T> kWholeOps[kOpCount] = {
    &WholeAdd<T>, &WholeSub<T>, &WholeMul<T>, &WholeDiv<T>, &WholeMod<T>, &WholeAnd<T>,
    &WholeOr<T>,  &WholeXor<T>, &WholeShl<T>, &WholeShr<T>, &WholeMax<T>, &WholeMin<T>,
};
constexpr const TOperation<uint32_t>* kDWORDOps = kWholeOps<uint32_t>;
constexpr const TOperation<int64_t>* kIntegerOps = kWholeOps<int64_t>;

TStatus FloatAdd(TExtended* v, TExtended x) {
  *v += x;
  return kStatusOk;
}
TStatus FloatSub(TExtended* v, TExtended x) {
  *v -= x;
  return kStatusOk;
}
TStatus FloatMul(TExtended* v, TExtended x) {
  *v *= x;
  return kStatusOk;
}
// Division by zero fails as it does for the whole-number kinds, rather than
// leaving an infinity that would surface far from its cause.
TStatus FloatDiv(TExtended* v, TExtended x) {
  if (x == 0) return kStatusDivisionByZero;
  *v /= x;
  return kStatusOk;
}
TStatus FloatUnsupported(TExtended*, TExtended) {
  return kStatusWrongKind;
}
// The comparisons are written so that a NaN operand never wins a maximum and
// always wins a minimum.
TStatus FloatMax(TExtended* v, TExtended x) {
  if (x > *v) *v = x;
  return kStatusOk;
}
TStatus FloatMin(TExtended* v, TExtended x) {
  if (!(x >= *v)) *v = x;
  return kStatusOk;
}

constexpr TOperation<TExtended> kFloatOps[kOpCount] = {
    &FloatAdd,         &FloatSub,         &FloatMul,         &FloatDiv,
    &FloatUnsupported, &FloatUnsupported, &FloatUnsupported, &FloatUnsupported,
    &FloatUnsupported, &FloatUnsupported, &FloatMax,         &FloatMin,
};

// An operand is read in the target's kind; a missing one counts as 1.
uint32_t FetchOperand(TScriptContext* context, TFetchStatus* status, uint32_t) {
  return FetchDWORD(context, status, 1);
}
int64_t FetchOperand(TScriptContext* context, TFetchStatus* status, int64_t) {
  return FetchInt64(context, status, 1);
}
TExtended FetchOperand(TScriptContext* context, TFetchStatus* status, TExtended) {
  return FetchExtended(context, status, 1);
}

// Folds `operands` operands into *value; with none, applies the operation
// once with 1, so that an add alone increments and a subtract decrements.
template <typename T>
TStatus ApplyOperands(TScriptContext* context, TOperation<T> apply, uint32_t operands, T* value) {
  if (operands == 0) return apply(value, T(1));
  for (uint32_t i = 0; i < operands; ++i) {
    TFetchStatus status;
    const T operand = FetchOperand(context, &status, T());
    if (status == kFetchUnusable) return kStatusWrongKind;
    const TStatus result = apply(value, operand);
    if (result != kStatusOk) return result;
  }
  return kStatusOk;
}

TStatus ChangeInPlace(TScriptContext* context, TArithmeticOp op, uint32_t operands) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  // The variable keeps its kind, so the result is written in place; fetching
  // the operands changes no frame, so the pointer stays valid.
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  switch (v->VarType) {
    case vtDWORD: {
      uint32_t value = v->AsDWORD;
      const TStatus status = ApplyOperands(context, kDWORDOps[op], operands, &value);
      if (status == kStatusOk) RewriteScalar(v, value);
      return status;
    }
    case vtInteger: {
      int64_t value = v->AsInteger;
      const TStatus status = ApplyOperands(context, kIntegerOps[op], operands, &value);
      if (status == kStatusOk) RewriteScalar(v, value);
      return status;
    }
    case vtExtended: {
      TExtended value = v->AsExtended;
      const TStatus status = ApplyOperands(context, kFloatOps[op], operands, &value);
      if (status == kStatusOk) RewriteScalar(v, value);
      return status;
    }
    default:
      return kStatusWrongKind;
  }
}

// ---- Quick routines ----
// A DWORD or integer target given as a number, with no operand or one (a
// number or a variable), decoded at preparation; no operand is the number 1.
// Each shape of operand has its own routine, so that the common step tests
// nothing preparation already knew. Anything else at run time (another
// kind, a missing variable, a division by zero) goes to the command's
// handler, which reports it.
template <TArithmeticOp op, bool isVariable>
ZV_QUICK const TQuickInstr* QuickInPlace(TScriptContext* context, const TQuickInstr* instr) {
  TZorvatVariable* v = ResolveVar(context, instr->Target);
  if (v != nullptr && v->VarType == vtInteger) [[likely]] {
    int64_t value = v->AsInteger, operand;
    if (QuickInt64(context, instr->A, isVariable, &operand) &&
        kWholeOps<int64_t>[op](&value, operand) == kStatusOk) {
      RewriteScalar(v, value);
      return QuickFallThrough(context, instr);
    }
  } else if (v != nullptr && v->VarType == vtDWORD) {
    uint32_t value = v->AsDWORD, operand;
    if (QuickDWORD(context, instr->A, isVariable, &operand) &&
        kWholeOps<uint32_t>[op](&value, operand) == kStatusOk) {
      RewriteScalar(v, value);
      return QuickFallThrough(context, instr);
    }
  }
  return RunQuickPlain(context, instr);
}

// VarAdd or VarSub, then a Switch: a counting loop's step and test.
template <TArithmeticOp op, bool isVariable>
ZV_QUICK const TQuickInstr* QuickInPlaceSwitch(TScriptContext* context, const TQuickInstr* instr) {
  const TQuickInstr* branch = QuickInPlace<op, isVariable>(context, instr);
  int64_t selector;
  if (branch != instr + 1 || GetVarInt64(context, branch->Target, &selector) != kStatusOk) {
    return branch;  // the Switch, if it comes, is the next step
  }
  return QuickSelect<false>(context, branch, selector);
}

// VarAdd or VarSub, then a Gosub: a recursion's argument and its call.
template <TArithmeticOp op, bool isVariable>
ZV_QUICK const TQuickInstr* QuickInPlaceCall(TScriptContext* context, const TQuickInstr* instr) {
  const TQuickInstr* call = QuickInPlace<op, isVariable>(context, instr);
  if (call != instr + 1) return call;
  return QuickCall(context, call, uint32_t(call->A), call->JumpInstr);
}

// SetInt with the target given as a number and the value a number or a
// variable; a target that holds an array goes to the handler.
template <bool isVariable>
ZV_QUICK const TQuickInstr* QuickSetInt(TScriptContext* context, const TQuickInstr* instr) {
  int64_t value;
  if (QuickInt64(context, instr->A, isVariable, &value) &&
      TryRewriteScalar(context, instr->Target, value)) [[likely]] {
    return QuickFallThrough(context, instr);
  }
  return RunQuickPlain(context, instr);
}

// Two SetInt in a row: a call's arguments and results are stored so.
template <bool isVariable>
bool IsQuickSetInt(const TQuickInstr& instr) {
  return instr.RunOne == &QuickSetInt<isVariable>;
}

template <bool firstIsVariable, bool secondIsVariable>
ZV_QUICK const TQuickInstr* QuickSetIntPair(TScriptContext* context, const TQuickInstr* instr) {
  const TQuickInstr* second = QuickSetInt<firstIsVariable>(context, instr);
  if (second != instr + 1) return second;
  return QuickSetInt<secondIsVariable>(context, second);
}

// The target and its operands run up to the end byte, which is consumed on
// every path.
template <TArithmeticOp op>
TStatus ArithmeticInPlace(TScriptContext* context) {
  uint32_t end;
  const uint32_t params = CountParams(context, context->IP, &end);
  const TStatus status = ChangeInPlace(context, op, params == 0 ? 0 : params - 1);
  context->IP = end;
  return status;
}

// ---- Digit strings ----

enum TDigitsAs : uint8_t { kDigitsAsBlock, kDigitsAsText };

constexpr uint32_t kMinRadix = 2;
constexpr uint32_t kMaxRadix = 36;
// A minus sign and 64 binary digits.
constexpr uint32_t kMaxDigitChars = 65;

// The value of an integer or DWORD variable as 64 bits. A DWORD reads as a
// signed 32-bit value only for signed decimal output, where 0xFFFFFFFF is
// expected to read -1; in other radixes it shows its bits.
TStatus DigitSource(TScriptContext* context, uint32_t reference, bool isSigned, uint32_t radix,
                    int64_t* value) {
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType == vtInteger) {
    *value = v->AsInteger;
  } else if (v->VarType == vtDWORD) {
    *value = isSigned && radix == 10 ? int64_t(int32_t(v->AsDWORD)) : int64_t(v->AsDWORD);
  } else {
    return kStatusWrongKind;
  }
  return kStatusOk;
}

// Writes the digits of `value` into `out`, most significant first, with a
// minus sign for a negative value when `isSigned`; returns their number.
uint32_t FormatDigits(int64_t value, bool isSigned, uint32_t radix, char* out) {
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const bool negative = isSigned && value < 0;
  uint64_t magnitude = negative ? 0 - uint64_t(value) : uint64_t(value);
  char reversed[kMaxDigitChars];
  uint32_t count = 0;
  do {
    reversed[count++] = kDigits[magnitude % radix];
    magnitude /= radix;
  } while (magnitude != 0);
  uint32_t length = 0;
  if (negative) out[length++] = '-';
  while (count > 0) out[length++] = reversed[--count];
  return length;
}

TStatus StoreDigits(TScriptContext* context, uint32_t reference, const char* digits,
                    uint32_t length, TDigitsAs form) {
  if (form == kDigitsAsBlock) return Var_StoreBinBlock(context, reference, digits, length);
  char16_t units[kMaxDigitChars];
  for (uint32_t i = 0; i < length; ++i) units[i] = char16_t(digits[i]);
  return StoreBuiltText(context, reference, units, length);
}

TStatus IntToDigits(TScriptContext* context, TDigitsAs form) {
  uint32_t source, target;
  if (FetchRequiredDWORD(context, &source) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const bool isSigned = FetchDWORD(context, &status, 1) != 0;
  if (status == kFetchUnusable) return kStatusBadParam;
  uint32_t radix = 10;
  if (status != kFetchEnd) radix = FetchDWORD(context, &status, 10);
  if (status == kFetchUnusable) return kStatusBadParam;
  int64_t value;
  const TStatus read = DigitSource(context, source, isSigned, radix, &value);
  if (read != kStatusOk) return read;
  if (radix < kMinRadix || radix > kMaxRadix) return kStatusBadRadixOrKey;
  char digits[kMaxDigitChars];
  const uint32_t length = FormatDigits(value, isSigned, radix, digits);
  return StoreDigits(context, target, digits, length, form);
}

// ---- Resetting a range of variables ----

// The variables [first, last] of one frame all exist when both ends do,
// because a frame's variables are numbered from 0 without gaps. Indexes stay
// inside the 31 bits of a reference: a range that would leave them does not
// exist.
bool RangeExists(TScriptContext* context, uint32_t first, int64_t count, uint32_t* last) {
  const uint32_t frameBit = first & kLocalBit;
  const uint64_t index = first & ~kLocalBit;
  const uint64_t span = (count > 0 ? uint64_t(count) : 0 - uint64_t(count)) - 1;
  if (count > 0 ? span > ~kLocalBit - index : span > index) return false;
  *last = frameBit | uint32_t(count > 0 ? index + span : index - span);
  return ResolveVar(context, first) != nullptr && ResolveVar(context, *last) != nullptr;
}

// ---- Arrays and items ----

enum TItemValue : uint8_t { kDWORDValue, kIntegerValue, kFloatValue };

// What the item commands of one kind work on.
struct TItemKind {
  TVarType VarKind;  // the kind the variable must have
  uint32_t Width;    // bytes of one item
  TItemValue Value;  // how a value is fetched and stored; a block byte or a
                     // text unit takes the low bytes of a DWORD
};
constexpr TItemKind kDWORDItem{vtDWORDArray, 4, kDWORDValue};
constexpr TItemKind kIntegerItem{vtIntArray, 8, kIntegerValue};
constexpr TItemKind kFloatItem{vtExtArray, kExtendedBytes, kFloatValue};
constexpr TItemKind kByteItem{vtBinBlock, 1, kDWORDValue};
constexpr TItemKind kUnitItem{vtUnicodeString, 2, kDWORDValue};

// Fetches a value (default 0) in the item's kind as the item's bytes.
TFetchStatus FetchItemBytes(TScriptContext* context, const TItemKind& kind, uint8_t* item) {
  TFetchStatus status = kFetchValue;
  uint8_t value[16] = {};
  switch (kind.Value) {
    case kDWORDValue:
      StoreU32(value, FetchDWORD(context, &status, 0));
      break;
    case kIntegerValue:
      StoreU64(value, uint64_t(FetchInt64(context, &status, 0)));
      break;
    case kFloatValue:
      StoreExtended(value, FetchExtended(context, &status, 0));
      break;
  }
  std::memcpy(item, value, kind.Width);
  return status;
}

TStatus StoreItem(TScriptContext* context, uint32_t reference, const TItemKind& kind,
                  const uint8_t* item) {
  switch (kind.Value) {
    case kIntegerValue:
      return Var_StoreInteger(context, reference, int64_t(LoadU64(item)));
    case kFloatValue:
      return Var_StoreFloat(context, reference, LoadExtended(item));
    default: {
      uint32_t value = 0;
      std::memcpy(&value, item, kind.Width);
      return Var_StoreDWORD(context, reference, value);
    }
  }
}

TStatus NewArray(TScriptContext* context, const TItemKind& kind) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const uint32_t count = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  uint8_t fill[kExtendedBytes];
  TFetchStatus fillStatus = kFetchEnd;
  if (status != kFetchEnd) fillStatus = FetchItemBytes(context, kind, fill);
  if (fillStatus == kFetchUnusable) return kStatusBadParam;
  PArrayHeader array = UA_New(count, kind.Width);
  if (array == nullptr) return kStatusOutOfMemory;
  if (fillStatus == kFetchValue) {
    for (uint32_t i = 0; i < count; ++i) {
      std::memcpy(UA_Data(array) + uint64_t(i) * kind.Width, fill, kind.Width);
    }
  }
  const TStatus stored = StoreArrayRef(context, reference, array, kind.VarKind);
  if (stored != kStatusOk) UA_Free(&array);
  return stored;
}

TStatus SetItem(TScriptContext* context, const TItemKind& kind) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const uint32_t index = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  uint8_t value[kExtendedBytes] = {};
  if (status != kFetchEnd && FetchItemBytes(context, kind, value) == kFetchUnusable) {
    return kStatusBadParam;
  }
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != kind.VarKind) return kStatusWrongKind;
  if (UA_ItemPtr(v, index) == nullptr) return kStatusIndexOutOfRange;
  if (MakeVarWritable(context, reference) != kStatusOk) return kStatusOutOfMemory;
  std::memcpy(UA_ItemPtr(v, index), value, kind.Width);
  return kStatusOk;
}

// The array variable, the index (both required) and the result variable
// (the array variable when omitted) of a getter.
TStatus FetchGetterParams(TScriptContext* context, uint32_t* reference, uint32_t* index,
                          uint32_t* target) {
  if (FetchRequiredDWORD(context, reference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, index) != kStatusOk) return kStatusBadParam;
  return FetchDWORDOr(context, *reference, target);
}

TStatus GetItem(TScriptContext* context, const TItemKind& kind) {
  uint32_t reference, index, target;
  if (FetchGetterParams(context, &reference, &index, &target) != kStatusOk) {
    return kStatusBadParam;
  }
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != kind.VarKind) return kStatusWrongKind;
  const uint8_t* item = static_cast<const uint8_t*>(UA_ItemPtr(v, index));
  if (item == nullptr) return kStatusIndexOutOfRange;
  return StoreItem(context, target, kind, item);
}

// A list item as a value of its own: a constant item is shared (nothing
// writes it in place), any other is copied; an absent block item is the
// empty block.
PArrayHeader CopyListItem(PArrayHeader item, TVarType listKind) {
  if (listKind == vtUnicodeStringList) return USTR_Clone(item != nullptr ? item : USTR_Empty());
  return BB_Clone(item != nullptr ? item : BB_Empty());
}

TStatus GetListItem(TScriptContext* context, TVarType listKind, TVarType itemKind) {
  uint32_t reference, index, target;
  if (FetchGetterParams(context, &reference, &index, &target) != kStatusOk) {
    return kStatusBadParam;
  }
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != listKind) return kStatusWrongKind;
  if (index >= xL_Count(v->UA)) return kStatusIndexOutOfRange;
  PArrayHeader copy = CopyListItem(xL_Item(v->UA, index), listKind);
  if (copy == nullptr) return kStatusOutOfMemory;
  const TStatus stored = StoreArrayRef(context, target, copy, itemKind);
  if (stored != kStatusOk) UA_Free(&copy);
  return stored;
}

}  // namespace

TStatus CmdSetInt(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const int64_t value = FetchInt64(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  return Var_StoreInteger(context, reference, value);
}

TStatus CmdSetFloat(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const TExtended value = FetchExtended(context, &status, 0);
  if (status != kFetchValue) return kStatusBadParam;
  return Var_StoreFloat(context, reference, value);
}

// A constant block is shared rather than copied: nothing writes a static
// block, and the commands that change a block in place copy it first.
TStatus CmdSetBlock(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  PArrayHeader source = FetchBinBlock(context, &status);
  if (status == kFetchUnusable) return kStatusBadParam;
  PArrayHeader block = BB_Clone(status == kFetchValue ? source : BB_Empty());
  if (block == nullptr) return kStatusOutOfMemory;
  const TStatus stored = StoreArrayRef(context, reference, block, vtBinBlock);
  if (stored != kStatusOk) UA_Free(&block);
  return stored;
}

// Checks the whole range before resetting any of it, so that a range that
// runs past the variables that exist fails with 1001 and changes nothing.
TStatus CmdVarFree(TScriptContext* context) {
  uint32_t first;
  if (FetchRequiredDWORD(context, &first) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const int64_t count = FetchInt64(context, &status, 1);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (count == 0) return kStatusVarCountError;
  uint32_t last;
  if (!RangeExists(context, first, count, &last)) return kStatusNoSuchVariable;
  const uint64_t low = first < last ? first : last;
  const uint64_t high = first < last ? last : first;
  for (uint64_t reference = low; reference <= high; ++reference) {
    ReleaseVar(ResolveVar(context, uint32_t(reference)));
  }
  return kStatusOk;
}

TStatus CmdIntToDigitsBlock(TScriptContext* context) {
  return IntToDigits(context, kDigitsAsBlock);
}

TStatus CmdIntToDigitsText(TScriptContext* context) {
  return IntToDigits(context, kDigitsAsText);
}

TStatus CmdVarAdd(TScriptContext* context) {
  return ArithmeticInPlace<kOpAdd>(context);
}
TStatus CmdVarSub(TScriptContext* context) {
  return ArithmeticInPlace<kOpSub>(context);
}
TStatus CmdVarMul(TScriptContext* context) {
  return ArithmeticInPlace<kOpMul>(context);
}
TStatus CmdVarDiv(TScriptContext* context) {
  return ArithmeticInPlace<kOpDiv>(context);
}
TStatus CmdVarMod(TScriptContext* context) {
  return ArithmeticInPlace<kOpMod>(context);
}
TStatus CmdVarAnd(TScriptContext* context) {
  return ArithmeticInPlace<kOpAnd>(context);
}
TStatus CmdVarOr(TScriptContext* context) {
  return ArithmeticInPlace<kOpOr>(context);
}
TStatus CmdVarXor(TScriptContext* context) {
  return ArithmeticInPlace<kOpXor>(context);
}
TStatus CmdVarShl(TScriptContext* context) {
  return ArithmeticInPlace<kOpShl>(context);
}
TStatus CmdVarShr(TScriptContext* context) {
  return ArithmeticInPlace<kOpShr>(context);
}
TStatus CmdVarMax(TScriptContext* context) {
  return ArithmeticInPlace<kOpMax>(context);
}
TStatus CmdVarMin(TScriptContext* context) {
  return ArithmeticInPlace<kOpMin>(context);
}

TStatus CmdItemCount(TScriptContext* context) {
  uint32_t reference, target;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, reference, &target) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (!VarKindHasItems(v->VarType)) return kStatusNoItems;
  return Var_StoreDWORD(context, target, UA_ItemCount(v->UA, v->VarType));
}

TStatus CmdDWORDArrayNew(TScriptContext* context) {
  return NewArray(context, kDWORDItem);
}
TStatus CmdIntArrayNew(TScriptContext* context) {
  return NewArray(context, kIntegerItem);
}
TStatus CmdFloatArrayNew(TScriptContext* context) {
  return NewArray(context, kFloatItem);
}

TStatus CmdDWORDArraySet(TScriptContext* context) {
  return SetItem(context, kDWORDItem);
}
TStatus CmdIntArraySet(TScriptContext* context) {
  return SetItem(context, kIntegerItem);
}
TStatus CmdFloatArraySet(TScriptContext* context) {
  return SetItem(context, kFloatItem);
}
TStatus CmdBlockSetByte(TScriptContext* context) {
  return SetItem(context, kByteItem);
}
TStatus CmdTextSetUnit(TScriptContext* context) {
  return SetItem(context, kUnitItem);
}

TStatus CmdDWORDArrayGet(TScriptContext* context) {
  return GetItem(context, kDWORDItem);
}
TStatus CmdIntArrayGet(TScriptContext* context) {
  return GetItem(context, kIntegerItem);
}
TStatus CmdFloatArrayGet(TScriptContext* context) {
  return GetItem(context, kFloatItem);
}
TStatus CmdBlockGetByte(TScriptContext* context) {
  return GetItem(context, kByteItem);
}
TStatus CmdTextGetUnit(TScriptContext* context) {
  return GetItem(context, kUnitItem);
}

TStatus CmdBlockListGet(TScriptContext* context) {
  return GetListItem(context, vtBinBlockList, vtBinBlock);
}

TStatus CmdTextListGet(TScriptContext* context) {
  return GetListItem(context, vtUnicodeStringList, vtUnicodeString);
}

bool FuseQuickArithmetic(TQuickInstr* first, const TQuickInstr& second) {
  static const struct {
    TQuickRoutine One;
    bool (*IsSecond)(const TQuickInstr& instr);
    TQuickRoutine Fused;
  } kPairs[] = {
#define ZV_STEP_PAIRS(op, isVariable)                                                   \
  {&QuickInPlace<op, isVariable>, &IsQuickSwitch, &QuickInPlaceSwitch<op, isVariable>}, \
      {&QuickInPlace<op, isVariable>, &IsQuickGosub, &QuickInPlaceCall<op, isVariable>}
      ZV_STEP_PAIRS(kOpAdd, false), ZV_STEP_PAIRS(kOpAdd, true),
      ZV_STEP_PAIRS(kOpSub, false), ZV_STEP_PAIRS(kOpSub, true),
#undef ZV_STEP_PAIRS
#define ZV_SET_PAIR(a, b) {&QuickSetInt<a>, &IsQuickSetInt<b>, &QuickSetIntPair<a, b>}
      ZV_SET_PAIR(false, false),    ZV_SET_PAIR(false, true),
      ZV_SET_PAIR(true, false),     ZV_SET_PAIR(true, true),
#undef ZV_SET_PAIR
  };
  for (const auto& pair : kPairs) {
    if (first->RunOne != pair.One || !pair.IsSecond(second)) continue;
    first->Run = pair.Fused;
    return true;
  }
  return false;
}

bool MatchQuickArithmetic(const TQuickParams& params, TQuickInstr* instr) {
#define ZV_IN_PLACE(command, op) \
  { &command, &QuickInPlace<op, false>, &QuickInPlace<op, true> }
  static const struct {
    TStatus (*Plain)(TScriptContext* context);
    TQuickRoutine ByNumber, ByVariable;
  } kInPlace[] = {
      ZV_IN_PLACE(CmdVarAdd, kOpAdd), ZV_IN_PLACE(CmdVarSub, kOpSub),
      ZV_IN_PLACE(CmdVarMul, kOpMul), ZV_IN_PLACE(CmdVarDiv, kOpDiv),
      ZV_IN_PLACE(CmdVarMod, kOpMod), ZV_IN_PLACE(CmdVarAnd, kOpAnd),
      ZV_IN_PLACE(CmdVarOr, kOpOr),   ZV_IN_PLACE(CmdVarXor, kOpXor),
      ZV_IN_PLACE(CmdVarShl, kOpShl), ZV_IN_PLACE(CmdVarShr, kOpShr),
      ZV_IN_PLACE(CmdVarMax, kOpMax), ZV_IN_PLACE(CmdVarMin, kOpMin),
  };
#undef ZV_IN_PLACE
  if (instr->Plain == &CmdSetInt) {
    if (params.Count != 2 || !IsQuickLiteral(params, 0)) return false;
    if (!TakeQuickOperand(params, 1, &instr->A, kQuickAIsVariable, &instr->Flags)) return false;
    instr->Target = params.AsDWORD[0];
    instr->Run = (instr->Flags & kQuickAIsVariable) != 0 ? &QuickSetInt<true> : &QuickSetInt<false>;
    return true;
  }
  for (const auto& command : kInPlace) {
    if (instr->Plain != command.Plain) continue;
    if (!params.Ended || params.Count < 1 || params.Count > 2 || !IsQuickLiteral(params, 0)) {
      return false;
    }
    instr->A = 1;  // no operand, or an omitted one, counts as 1
    if (params.Count == 2 && params.Kind[1] != ptDefault &&
        !TakeQuickOperand(params, 1, &instr->A, kQuickAIsVariable, &instr->Flags)) {
      return false;
    }
    instr->Target = params.AsDWORD[0];
    instr->Run = (instr->Flags & kQuickAIsVariable) != 0 ? command.ByVariable : command.ByNumber;
    return true;
  }
  return false;
}
