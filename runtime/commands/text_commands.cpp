// Texts, binary blocks and numbers compared and searched, texts and blocks
// changed to upper or lower case or trimmed, and the kind of a variable.
// Comparisons store 1, 0 or -1 (0xFFFFFFFF) and searches a position or -1,
// as DWORDs. A command that changes a value builds the new value first and
// stores it at the end, so a constant of the image that the variable shares
// is never written and a failing command leaves the variable as it was.
#include <cmath>

#include "base/case_tables.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/quick_matchers.h"
#include "runtime/commands/text_command_support.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/text.h"

namespace {

template <typename T>
int32_t ThreeWay(T a, T b) {
  if (a > b) return 1;
  return a == b ? 0 : -1;
}

// A float comparison that cannot be ordered (a NaN on either side) gives 1.
int32_t CompareFloats(TExtended a, TExtended b) {
  if (std::isnan(a) || std::isnan(b)) return 1;
  return ThreeWay(a, b);
}

TStatus StoreResult(TScriptContext* context, uint32_t reference, int32_t result) {
  return Var_StoreDWORD(context, reference, AsDWORDResult(result));
}

// The two operands of CompareDWORD and CompareInt, 0 when omitted.
template <typename T, typename Fetch>
TStatus CompareNumbers(TScriptContext* context, Fetch fetch) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus statusA, statusB;
  const T a = fetch(context, &statusA, T(0));
  const T b = fetch(context, &statusB, T(0));
  if (statusA == kFetchUnusable || statusB == kFetchUnusable) return kStatusBadParam;
  return StoreResult(context, reference, ThreeWay(a, b));
}

// CompareInt with the target given as a number and both operands numbers or
// variables, decoded at preparation: true when the result was stored (and
// is in *result); false, with nothing changed, for anything the handler
// must do. Each shape of the two operands has its own routine.
template <bool aIsVariable, bool bIsVariable>
bool TryCompareInt(TScriptContext* context, const TQuickInstr* instr, uint32_t* result) {
  int64_t a, b;
  if (!QuickInt64(context, instr->A, aIsVariable, &a) ||
      !QuickInt64(context, instr->B, bIsVariable, &b)) {
    return false;
  }
  *result = AsDWORDResult(ThreeWay(a, b));
  return TryRewriteScalar(context, instr->Target, *result);
}

template <bool aIsVariable, bool bIsVariable>
ZV_QUICK const TQuickInstr* QuickCompareInt(TScriptContext* context, const TQuickInstr* instr) {
  uint32_t result;
  if (TryCompareInt<aIsVariable, bIsVariable>(context, instr, &result)) [[likely]] {
    return QuickFallThrough(context, instr);
  }
  return RunQuickPlain(context, instr);
}

// CompareInt, then a Switch: the loop test a script writes. When the Switch
// selects on the comparison's own result, it is not read back.
template <bool aIsVariable, bool bIsVariable>
ZV_QUICK const TQuickInstr* QuickCompareSwitch(TScriptContext* context, const TQuickInstr* instr) {
  if (instr->Next >= context->CodeEnd)
    return QuickCompareInt<aIsVariable, bIsVariable>(context, instr);
  uint32_t result;
  if (!TryCompareInt<aIsVariable, bIsVariable>(context, instr, &result)) {
    return RunQuickPlain(context, instr);
  }
  const TQuickInstr* branch = instr + 1;
  int64_t selector = int64_t(result);  // a DWORD variable reads as its value
  if (branch->Target != instr->Target &&
      GetVarInt64(context, branch->Target, &selector) != kStatusOk) {
    return QuickFallThrough(context, instr);
  }
  return QuickSelect<false>(context, branch, selector);
}

// ---- Case conversion ----

// The kind a case command changes, and in which direction.
struct TCaseKind {
  TVarType Kind;
  bool Upper;
};

template <typename U>
void MapUnits(U* units, uint32_t length, const U* table) {
  for (uint32_t i = 0; i < length; ++i) units[i] = table[units[i]];
}

// Maps the variable's units through the case table in place, after copying
// a shared constant (copy on write).
TStatus ChangeCase(TScriptContext* context, TCaseKind what) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != what.Kind) return kStatusWrongKind;
  const uint32_t length = UA_ItemCount(v->UA, v->VarType);
  if (length == 0) return kStatusOk;
  if (MakeVarWritable(context, reference) != kStatusOk) return kStatusOutOfMemory;
  if (what.Kind == vtBinBlock) {
    MapUnits(UA_Data(v->UA), length, what.Upper ? AnsiUpperCaseTable() : AnsiLowerCaseTable());
  } else {
    MapUnits(USTR_Chars(v->UA), length, what.Upper ? UpperCaseTable() : LowerCaseTable());
  }
  return kStatusOk;
}

}  // namespace

TStatus CmdCompareDWORD(TScriptContext* context) {
  return CompareNumbers<uint32_t>(context, FetchDWORD);
}

TStatus CmdCompareInt(TScriptContext* context) {
  return CompareNumbers<int64_t>(context, FetchInt64);
}

// Both floats must be given: the command has no defaults for them.
TStatus CmdCompareFloat(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus statusA, statusB;
  const TExtended a = FetchExtended(context, &statusA, 0);
  const TExtended b = FetchExtended(context, &statusB, 0);
  if (statusA != kFetchValue || statusB != kFetchValue) return kStatusBadParam;
  return StoreResult(context, reference, CompareFloats(a, b));
}

TStatus CmdBlockCompare(TScriptContext* context) {
  uint32_t reference, ignoreCase;
  const TArrayHeader *a, *b;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, nullptr, &a) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, nullptr, &b) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &ignoreCase) != kStatusOk) return kStatusBadParam;
  const int result =
      BB_Compare(UA_Data(a), BB_Length(a), UA_Data(b), BB_Length(b), ignoreCase == 1);
  return StoreResult(context, reference, result);
}

TStatus CmdBlockFind(TScriptContext* context) {
  uint32_t reference, start, ignoreCase;
  const TArrayHeader *haystack, *needle;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, nullptr, &haystack) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, nullptr, &needle) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &start) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &ignoreCase) != kStatusOk) return kStatusBadParam;
  const int32_t position = BB_Find(UA_Data(needle), BB_Length(needle), UA_Data(haystack),
                                   ignoreCase == 1, start, BB_Length(haystack));
  return StoreResult(context, reference, position);
}

TStatus CmdBlockUpper(TScriptContext* context) {
  return ChangeCase(context, {vtBinBlock, true});
}
TStatus CmdBlockLower(TScriptContext* context) {
  return ChangeCase(context, {vtBinBlock, false});
}
TStatus CmdTextUpper(TScriptContext* context) {
  return ChangeCase(context, {vtUnicodeString, true});
}
TStatus CmdTextLower(TScriptContext* context) {
  return ChangeCase(context, {vtUnicodeString, false});
}

TStatus CmdBlockTrim(TScriptContext* context) {
  uint32_t reference, side;
  const TArrayHeader* set;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchBlockOr(context, BB_Blank(), &set) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, kTrimBoth, &side) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, reference);
  if (v == nullptr) return kStatusNoSuchVariable;
  if (v->VarType != vtBinBlock) return kStatusWrongKind;
  const uint32_t length = BB_Length(v->UA);
  if (length == 0) return kStatusOk;
  uint32_t first, last;
  TrimBounds(UA_Data(v->UA), length, UA_Data(set), BB_Length(set), side, &first, &last);
  if (first == 0 && last == length) return kStatusOk;
  PArrayHeader trimmed = BB_FromBuffer(UA_Data(v->UA) + first, last - first);
  if (trimmed == nullptr) return kStatusOutOfMemory;
  const TStatus stored = StoreArrayRef(context, reference, trimmed, vtBinBlock);
  if (stored != kStatusOk) UA_Free(&trimmed);
  return stored;
}

// A variable that does not exist has no kind: the result is 0xFFFFFFFF.
TStatus CmdVarKind(TScriptContext* context) {
  uint32_t reference, target;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, reference, &target) != kStatusOk) return kStatusBadParam;
  const TZorvatVariable* v = ResolveVar(context, reference);
  return Var_StoreDWORD(context, target, v != nullptr ? uint32_t(v->VarType) : 0xFFFFFFFFu);
}

bool FuseQuickComparison(TQuickInstr* first, const TQuickInstr& second) {
  static const struct {
    TQuickRoutine One, Fused;
  } kPairs[] = {
      {&QuickCompareInt<false, false>, &QuickCompareSwitch<false, false>},
      {&QuickCompareInt<false, true>, &QuickCompareSwitch<false, true>},
      {&QuickCompareInt<true, false>, &QuickCompareSwitch<true, false>},
      {&QuickCompareInt<true, true>, &QuickCompareSwitch<true, true>},
  };
  if (!IsQuickSwitch(second)) return false;
  for (const auto& pair : kPairs) {
    if (first->RunOne != pair.One) continue;
    first->Run = pair.Fused;
    return true;
  }
  return false;
}

bool MatchQuickComparison(const TQuickParams& params, TQuickInstr* instr) {
  if (instr->Plain != &CmdCompareInt) return false;
  if (params.Count != 3 || !IsQuickLiteral(params, 0) ||
      !TakeQuickOperand(params, 1, &instr->A, kQuickAIsVariable, &instr->Flags) ||
      !TakeQuickOperand(params, 2, &instr->B, kQuickBIsVariable, &instr->Flags)) {
    return false;
  }
  instr->Target = params.AsDWORD[0];
  static const TQuickRoutine kByShape[2][2] = {
      {&QuickCompareInt<false, false>, &QuickCompareInt<false, true>},
      {&QuickCompareInt<true, false>, &QuickCompareInt<true, true>},
  };
  instr->Run =
      kByShape[(instr->Flags & kQuickAIsVariable) != 0][(instr->Flags & kQuickBIsVariable) != 0];
  return true;
}
