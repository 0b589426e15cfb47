// The quick routines of the command families (runtime/core/quick_code.h):
// each family's matcher chooses one for the common shapes of its hottest
// commands, and MatchQuickInstr asks them in turn. The helpers read an
// operand that preparation decoded the way the fetch functions read it.
#pragma once

#include <cstdint>
#include <vector>

#include "base/value_kinds.h"
#include "runtime/core/executor.h"
#include "runtime/core/quick_code.h"
#include "runtime/core/variables.h"

// Each returns true when it chose a routine for the instruction's command.
bool MatchQuickArithmetic(const TQuickParams& params, TQuickInstr* instr);
bool MatchQuickComparison(const TQuickParams& params, TQuickInstr* instr);
bool MatchQuickFlow(const TQuickParams& params, TQuickInstr* instr, std::vector<TQuickCase>* cases);
bool MatchQuickVariables(const TQuickParams& params, TQuickInstr* instr);

// Each sets first->Run to a fused routine and returns true when it has one
// for the pair: `second` follows `first`, and both have quick routines.
bool FuseQuickArithmetic(TQuickInstr* first, const TQuickInstr& second);
bool FuseQuickComparison(TQuickInstr* first, const TQuickInstr& second);
bool FuseQuickVariables(TQuickInstr* first, const TQuickInstr& second);
// Whether `instr` is a Switch (not a call), or a Gosub, that has its quick
// routine.
bool IsQuickSwitch(const TQuickInstr& instr);
bool IsQuickGosub(const TQuickInstr& instr);

// Whether parameter k is a number written in the instruction.
inline bool IsQuickLiteral(const TQuickParams& params, uint32_t k) {
  const uint8_t kind = params.Kind[k];
  return kind == ptByte || kind == ptWord || kind == ptDWORD || kind == ptInteger;
}

// Parameter k as an operand that is a number or a variable: sets A (or B)
// and its flag. False for other kinds.
inline bool TakeQuickOperand(const TQuickParams& params, uint32_t k, int64_t* operand,
                             uint8_t variableFlag, uint8_t* flags) {
  if (IsQuickLiteral(params, k)) {
    *operand = params.AsInt64[k];
    return true;
  }
  if (params.Kind[k] != ptVariable) return false;
  *operand = params.AsDWORD[k];
  *flags |= variableFlag;
  return true;
}

// An operand as FetchInt64 reads it: the number, or an integer or DWORD
// variable's value; false when the variable is missing or of another kind.
inline bool QuickInt64(TScriptContext* context, int64_t operand, bool isVariable, int64_t* value) {
  if (!isVariable) {
    *value = operand;
    return true;
  }
  const TZorvatVariable* v = ResolveVar(context, uint32_t(operand));
  if (v == nullptr) [[unlikely]]
    return false;
  if (v->VarType == vtInteger) [[likely]] {
    *value = v->AsInteger;
    return true;
  }
  if (v->VarType == vtDWORD) {
    *value = int64_t(v->AsDWORD);
    return true;
  }
  return false;
}

// The same as FetchDWORD reads it (a number's low 32 bits).
inline bool QuickDWORD(TScriptContext* context, int64_t operand, bool isVariable, uint32_t* value) {
  if (!isVariable) {
    *value = uint32_t(operand);
    return true;
  }
  const TZorvatVariable* v = ResolveVar(context, uint32_t(operand));
  if (v == nullptr || (v->VarType != vtInteger && v->VarType != vtDWORD)) return false;
  *value = v->AsDWORD;
  return true;
}

// ---- How a routine ends its step (quick_code.h) ----
// A step that ended well after the whole instruction.
inline const TQuickInstr* QuickFallThrough(TScriptContext* context, const TQuickInstr* instr) {
  context->IP = instr->Next;
  context->ScriptErrorCode = 0;
  // A branch, not a select: the next record then does not wait for the loads.
  if ((instr->Flags & kQuickFallsThrough) != 0 && instr->Next < context->CodeEnd) [[likely]] {
    return instr + 1;
  }
  return QuickLook(instr);
}
// A step that moved to `target`, whose record is `targetInstr` (null when no
// instruction starts there), as JumpTo moves; `target` outside the section
// goes through JumpTo itself.
inline const TQuickInstr* QuickJump(TScriptContext* context, const TQuickInstr* instr,
                                    uint32_t target, const TQuickInstr* targetInstr) {
  if (targetInstr != nullptr && target >= context->CodeStart && target < context->CodeEnd) {
    context->IP = target;
    context->ScriptErrorCode = 0;
    return targetInstr;
  }
  return FinishQuickStep(context, instr, JumpToAnySection(context, target));
}
// A call to `target`, whose record is `targetInstr`: where it returns to is
// pushed only once it is sure to jump (CallTo).
inline const TQuickInstr* QuickCall(TScriptContext* context, const TQuickInstr* instr,
                                    uint32_t target, const TQuickInstr* targetInstr) {
  TCallStack& stack = context->CallStack;
  if (targetInstr != nullptr && target >= context->CodeStart && target < context->CodeEnd &&
      stack.Count < stack.Capacity && stack.Count < kMaxCallDepth) [[likely]] {
    stack.Items[stack.Count++] = instr->Next;
    context->IP = target;
    context->ScriptErrorCode = 0;
    return targetInstr;
  }
  context->IP = instr->Next;
  return FinishQuickStep(context, instr, CallTo(context, target));
}
// A multi-way branch (or call) on `selector`, its cases decoded at
// preparation.
template <bool call>
inline const TQuickInstr* QuickSelect(TScriptContext* context, const TQuickInstr* instr,
                                      int64_t selector) {
  const TQuickCase* cases = instr->Cases;
  const uint32_t count = instr->CaseCount;
  uint32_t i = 0;
  while (i < count && cases[i].Value != selector) ++i;
  if (i == count && (instr->Flags & kQuickHasDefault) == 0) {
    return QuickFallThrough(context, instr);
  }
  const TQuickCase& branch = cases[i];  // the default when no case matched
  if (branch.Ends) return QuickFallThrough(context, instr);
  if (call) return QuickCall(context, instr, branch.Address, branch.Instr);
  context->IP = instr->Next;
  return QuickJump(context, instr, branch.Address, branch.Instr);
}
// Return into the section: the record it returns to, or null (nothing
// changed) when the handler must decide.
inline const TQuickInstr* TryQuickReturn(TScriptContext* context) {
  TCallStack& stack = context->CallStack;
  if (stack.Count == 0) [[unlikely]]
    return nullptr;
  const uint32_t back = stack.Items[stack.Count - 1];
  if (back < context->CodeStart || back >= context->CodeEnd) [[unlikely]]
    return nullptr;
  const TQuickCode& quick = context->Prepared->Quick;
  const uint32_t index = QuickIndexAt(quick, back);
  if (index == kNoQuickInstr) [[unlikely]]
    return nullptr;
  --stack.Count;
  context->IP = back;
  context->ScriptErrorCode = 0;
  return quick.Instrs + index;
}
// A step that ended after the whole instruction with `status`.
inline const TQuickInstr* QuickEndWith(TScriptContext* context, const TQuickInstr* instr,
                                       TStatus status) {
  if (status == kStatusOk) return QuickFallThrough(context, instr);
  context->IP = instr->Next;
  context->ScriptErrorCode = int32_t(status);
  return QuickLook(instr);
}
