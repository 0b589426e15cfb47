// Chooses the quick routine of an instruction: each command family that has
// quick routines is asked in turn.
#include "runtime/commands/quick_matchers.h"

void MatchQuickInstr(const TQuickParams& params, TQuickInstr* instr,
                     std::vector<TQuickCase>* cases) {
  if (params.TooMany) return;
  if (MatchQuickArithmetic(params, instr)) return;
  if (MatchQuickComparison(params, instr)) return;
  if (MatchQuickFlow(params, instr, cases)) return;
  MatchQuickVariables(params, instr);
}
