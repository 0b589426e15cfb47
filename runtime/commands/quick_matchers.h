// The quick routines of the command families (runtime/core/quick_code.h):
// each family's matcher chooses one for the common shapes of its hottest
// commands, and MatchQuickInstr asks them in turn. The helpers read an
// operand that preparation decoded the way the fetch functions read it.
#pragma once

#include <cstdint>
#include <vector>

#include "base/value_kinds.h"
#include "runtime/core/quick_code.h"
#include "runtime/core/variables.h"

// Each returns true when it chose a routine for the instruction's command.
bool MatchQuickArithmetic(const TQuickParams& params, TQuickInstr* instr);
bool MatchQuickComparison(const TQuickParams& params, TQuickInstr* instr);
bool MatchQuickFlow(const TQuickParams& params, TQuickInstr* instr, std::vector<TQuickCase>* cases);
bool MatchQuickVariables(const TQuickParams& params, TQuickInstr* instr);

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
  if (v == nullptr) return false;
  if (v->VarType == vtInteger) {
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
