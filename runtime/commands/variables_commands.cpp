// Variable and frame commands: allocate and release global and local
// variables, push and pop frames, count a frame's variables, and the plain
// DWORD assignment. A subroutine pushes a frame, allocates its locals and
// pops the frame before it returns; globals are allocated once at the start.
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/quick_matchers.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

namespace {

// Codes 2 and 3: allocate n variables (default 1) and optionally store the
// reference of the first into a variable. Both parameters are read before
// anything is allocated, so a bad parameter allocates nothing.
TStatus AllocateVariables(TScriptContext* context, bool global) {
  TFetchStatus status;
  const uint32_t n = FetchDWORD(context, &status, 1);
  if (status == kFetchUnusable) return kStatusBadParam;
  TFetchStatus targetStatus = kFetchEnd;
  uint32_t target = 0;
  if (status != kFetchEnd) {
    target = FetchDWORD(context, &targetStatus, 0);
    if (targetStatus == kFetchUnusable) return kStatusBadParam;
  }
  uint32_t first;
  TStatus result = AllocVars(context, n, global, &first);
  if (result != kStatusOk) return result;
  if (targetStatus != kFetchValue) return kStatusOk;
  return Var_StoreDWORD(context, target, global ? first : first | kLocalBit);
}

// GlobalsAlloc and LocalsAlloc with the count given as a number and no
// result variable: IP ends after the end byte whether the allocation
// succeeds or not, as it does after the handler.
template <bool global>
ZV_QUICK const TQuickInstr* QuickAllocate(TScriptContext* context, const TQuickInstr* instr) {
  // No result variable: nothing needs the index of the first (and an
  // out-parameter on this frame would only cost a stalled reload).
  if (!global && TryAddLocalsInPlace(context, uint32_t(instr->A))) {
    return QuickFallThrough(context, instr);
  }
  return QuickEndWith(context, instr, AllocVars(context, uint32_t(instr->A), global, nullptr));
}

// FramePush and FramePop, which read no parameters.
ZV_QUICK const TQuickInstr* QuickFramePush(TScriptContext* context, const TQuickInstr* instr) {
  if (TryPushFrameInPlace(context)) return QuickFallThrough(context, instr);
  return QuickEndWith(context, instr, PushFrame(context));
}

ZV_QUICK const TQuickInstr* QuickFramePop(TScriptContext* context, const TQuickInstr* instr) {
  if (TryPopScalarFrame(context)) return QuickFallThrough(context, instr);
  return QuickEndWith(context, instr, PopFrame(context));
}

// The pairs that start and end a subroutine with locals. When the first
// instruction takes its common path and the second cannot, the second is
// the next step.
//
// FramePush, then LocalsAlloc with its count as a number.
ZV_QUICK const TQuickInstr* QuickFramePushLocals(TScriptContext* context,
                                                 const TQuickInstr* instr) {
  if (instr->Next >= context->CodeEnd || !TryPushFrameInPlace(context)) {
    return QuickFramePush(context, instr);
  }
  const TQuickInstr* alloc = instr + 1;
  if (TryAddLocalsInPlace(context, uint32_t(alloc->A))) return QuickFallThrough(context, alloc);
  return QuickFallThrough(context, instr);
}

// FramePop, then Return.
ZV_QUICK const TQuickInstr* QuickFramePopReturn(TScriptContext* context, const TQuickInstr* instr) {
  if (instr->Next >= context->CodeEnd || !TryPopScalarFrame(context)) {
    return QuickFramePop(context, instr);
  }
  if (const TQuickInstr* back = TryQuickReturn(context)) return back;
  return QuickFallThrough(context, instr);
}

TStatus FreeVariables(TScriptContext* context, bool global) {
  TFetchStatus status;
  const uint32_t n = FetchDWORD(context, &status, 1);
  if (status == kFetchUnusable) return kStatusBadParam;
  return FreeVars(context, n, global);
}

TStatus CountVariables(TScriptContext* context, bool global) {
  TFetchStatus status;
  const uint32_t target = FetchDWORD(context, &status, 0);
  if (status != kFetchValue) return kStatusBadParam;
  TVarStack& frames = context->StackFrames;
  if (frames.Count == 0) return kStatusNoFrame;
  const TZorvatVariables& frame = global ? frames.Items[0] : frames.Items[frames.Count - 1];
  return Var_StoreDWORD(context, target, frame.Count);
}

}  // namespace

TStatus CmdGlobalsAlloc(TScriptContext* context) {
  return AllocateVariables(context, true);
}

TStatus CmdLocalsAlloc(TScriptContext* context) {
  return AllocateVariables(context, false);
}

TStatus CmdSetDWORD(TScriptContext* context) {
  TFetchStatus status;
  const uint32_t target = FetchDWORD(context, &status, 0);
  if (status != kFetchValue) return kStatusBadParam;
  const uint32_t value = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  return Var_StoreDWORD(context, target, value);
}

TStatus CmdFramePush(TScriptContext* context) {
  return PushFrame(context);
}

TStatus CmdFramePop(TScriptContext* context) {
  return PopFrame(context);
}

TStatus CmdGlobalsFree(TScriptContext* context) {
  return FreeVariables(context, true);
}

TStatus CmdLocalsFree(TScriptContext* context) {
  return FreeVariables(context, false);
}

TStatus CmdGlobalsCount(TScriptContext* context) {
  return CountVariables(context, true);
}

TStatus CmdLocalsCount(TScriptContext* context) {
  return CountVariables(context, false);
}

bool FuseQuickVariables(TQuickInstr* first, const TQuickInstr& second) {
  if (first->RunOne == &QuickFramePush && second.RunOne == &QuickAllocate<false>) {
    first->Run = &QuickFramePushLocals;
    return true;
  }
  if (first->RunOne == &QuickFramePop && second.Plain == &CmdReturn) {
    first->Run = &QuickFramePopReturn;
    return true;
  }
  return false;
}

bool MatchQuickVariables(const TQuickParams& params, TQuickInstr* instr) {
  if (instr->Plain == &CmdFramePush || instr->Plain == &CmdFramePop) {
    instr->Run = instr->Plain == &CmdFramePush ? &QuickFramePush : &QuickFramePop;
    return true;
  }
  if (instr->Plain != &CmdGlobalsAlloc && instr->Plain != &CmdLocalsAlloc) return false;
  if (!params.Ended || params.Count != 1 || !IsQuickLiteral(params, 0)) return false;
  instr->A = params.AsDWORD[0];
  instr->Run = instr->Plain == &CmdGlobalsAlloc ? &QuickAllocate<true> : &QuickAllocate<false>;
  return true;
}
