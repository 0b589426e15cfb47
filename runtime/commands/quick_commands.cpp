// Chooses the quick routine of an instruction, and fuses pairs of them: each
// command family that has quick routines is asked in turn.
#include "runtime/commands/quick_matchers.h"

void MatchQuickInstr(const TQuickParams& params, TQuickInstr* instr,
                     std::vector<TQuickCase>* cases) {
  if (params.TooMany) return;
  if (MatchQuickArithmetic(params, instr)) return;
  if (MatchQuickComparison(params, instr)) return;
  if (MatchQuickFlow(params, instr, cases)) return;
  MatchQuickVariables(params, instr);
}

void FuseQuickInstrs(TQuickInstr* instrs, size_t count) {
  for (size_t i = 0; i + 1 < count; ++i) {
    TQuickInstr& first = instrs[i];
    const TQuickInstr& second = instrs[i + 1];
    // Only a pair the first falls into, within one section.
    if ((first.Flags & kQuickFallsThrough) == 0 || !HasQuickRoutine(first) ||
        !HasQuickRoutine(second)) {
      continue;
    }
    if (FuseQuickArithmetic(&first, second)) continue;
    if (FuseQuickComparison(&first, second)) continue;
    FuseQuickVariables(&first, second);
  }
}
