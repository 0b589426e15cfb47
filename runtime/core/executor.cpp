#include "runtime/core/executor.h"

#include <cstdio>
#include <cstdlib>

#include "base/bytes.h"
#include "base/heap.h"
#include "base/platform.h"
#include "base/status.h"
#include "runtime/core/dispatch.h"
#include "runtime/core/fault_guard.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"

#define ZV_TEXT(x) #x
#define ZV_VERSION_TEXT(x) ZV_TEXT(x)
const char16_t kRuntimeSignature[] = u"Zorvat runtime " ZV_VERSION_TEXT(ZORVAT_RUNTIME_VERSION);

namespace {

constexpr uint32_t kMessageBoxIconError = 0x10;

bool IsFatal(TStatus status) {
  return status == kStatusRanOffCode || status == kStatusBadJumpTarget ||
         status == kStatusFrameDepth;
}

// Ends the run with `status`, as policies 0 and 1 end it.
TStatus StopRun(TScriptContext* c, TStatus status, uint32_t at) {
  c->ScriptErrorCode = int32_t(status);
  c->Error_At = at;
  c->ExitFlag = true;
  if (c->ActionAfterError == kErrorPolicyShowBox) ShowScriptError(c);
  return status;
}

// A handler that stopped reading its parameters early (or read past them)
// leaves IP inside or beyond its instruction: continue after the instruction.
void StepOverInstruction(TScriptContext* c, uint32_t at) {
  uint32_t end = at + 4;
  SkipParams(c->ScriptStart, c->CodeEnd, &end,
             kDispatchTable[LoadU32(c->ScriptStart + at)].ParamCount);
  c->IP = end;
}

TStatus ApplyErrorPolicy(TScriptContext* c, TStatus status, uint32_t at);

// What follows a command that failed, or left IP inside its instruction or at
// the end of its code section. Kept out of line so that the common step stays
// small.
[[gnu::noinline]] TStatus AfterStep(TScriptContext* c, TStatus status, uint32_t at) {
  if (c->IP >= c->CodeEnd || !IsInstructionStart(c->Prepared, c->IP)) StepOverInstruction(c, at);
  if (status != kStatusOk) {
    if (HeapTakeShortage() && !IsFatal(status)) {
      status = kStatusOutOfMemory;
      c->ScriptErrorCode = int32_t(status);
    }
    status = ApplyErrorPolicy(c, status, at);
  }
  if (c->IP >= c->CodeEnd && !c->ExitFlag) status = StopRun(c, kStatusRanOffCode, at);
  return status;
}

TStatus ApplyErrorPolicy(TScriptContext* c, TStatus status, uint32_t at) {
  c->Error_At = at;
  if (IsFatal(status)) return StopRun(c, status, at);
  switch (c->ActionAfterError) {
    case kErrorPolicyStop:
      c->ExitFlag = true;
      break;
    case kErrorPolicyShowBox:
      c->ExitFlag = true;
      ShowScriptError(c);
      break;
    case kErrorPolicyCallHandler:
      if (c->OnErrorGoto != 0) {
        // A handler that cannot be called leaves nowhere sound to go on.
        TStatus call = CallTo(c, c->OnErrorGoto);
        if (call != kStatusOk) return StopRun(c, call, at);
      }
      break;
    default:
      break;  // kErrorPolicyIgnore and above: the error is ignored
  }
  return status;
}

// One command. The common case — a command that succeeded and left IP at the
// start of an instruction of its code section — costs two checks.
TStatus Step(TScriptContext* c) {
  const uint32_t at = c->IP;
  const TQuickCode& quick = c->Prepared->Quick;
  TStatus status;
  if (quick.Instrs != nullptr) {
    const TQuickInstr* instr = QuickInstrAt(quick, at);
    // A routine leaves its status in ScriptErrorCode.
    status = IsQuickLook(instr->RunOne(c, instr)) ? TStatus(c->ScriptErrorCode) : kStatusOk;
  } else {
    c->IP = at + 4;
    status = kDispatchTable[LoadU32(c->ScriptStart + at)].Handler(c);
    c->ScriptErrorCode = int32_t(status);
  }
  const uint32_t ip = c->IP;
  if (status == kStatusOk && ip < c->CodeEnd && IsInstructionStart(c->Prepared, ip)) {
    return kStatusOk;
  }
  return AfterStep(c, status, at);
}

// A command written with fewer parameters than its count stops at the end
// byte of its list, which is where a step over it ends anyway: true when IP
// was moved past that byte to an instruction start.
template <typename IsStart>
bool PassEndByte(TScriptContext* c, TStatus status, IsStart isStart) {
  const uint32_t ip = c->IP;
  if (status == kStatusOk && ip + 1 < c->CodeEnd && c->ScriptStart[ip] == ptEndOfParam &&
      isStart(ip + 1)) {
    c->IP = ip + 1;
    return true;
  }
  return false;
}

// The plain way: the command code in the image picks the handler, and the
// bitmap of instruction starts says where an instruction starts. The loop
// keeps the position of the instruction it runs in a register; IP lives in
// the context only because the handlers read their parameters through it.
// Section bounds are read back after every command, since a jump may move
// to another section.
TStatus RunPlainLoop(TScriptContext* c) {
  const uint8_t* const image = c->ScriptStart;
  const uint8_t* const starts = c->Prepared->InstrStarts;
  const auto isStart = [starts](uint32_t offset) {
    return ((starts[offset >> 3] >> (offset & 7)) & 1) != 0;
  };
  uint32_t at = c->IP;
  for (;;) {
    c->IP = at + 4;
    const TStatus status = kDispatchTable[LoadU32(image + at)].Handler(c);
    c->ScriptErrorCode = int32_t(status);
    const uint32_t ip = c->IP;
    if ((status == kStatusOk && ip < c->CodeEnd && isStart(ip)) ||
        PassEndByte(c, status, isStart)) {
      if (c->ExitFlag) return status;
      at = c->IP;
      continue;
    }
    const TStatus result = AfterStep(c, status, at);
    if (c->ExitFlag) return result;
    at = c->IP;
  }
}

// Through the quick code (quick_code.h): each routine hands back the record
// of the instruction that runs next, so the common step is one indirect call
// and a check of ExitFlag. A marked record means the step of that
// instruction needs a look: an error, the end of a section, or IP left where
// no record was worked out. (After a fused pair, that is the second
// instruction when the first went well.)
TStatus RunQuickLoop(TScriptContext* c) {
  const TQuickCode& quick = c->Prepared->Quick;
  const auto isStart = [&quick](uint32_t offset) {
    return QuickIndexAnywhere(quick, offset) != kNoQuickInstr;
  };
  const TQuickInstr* instr = QuickInstrAt(quick, c->IP);
  for (;;) {
    const TQuickInstr* next = instr->Run(c, instr);
    if (!IsQuickLook(next)) {
      if (c->ExitFlag) return kStatusOk;
      instr = next;
      continue;
    }
    instr = QuickLooked(next);
    const TStatus status = TStatus(c->ScriptErrorCode);
    const uint32_t ip = c->IP;
    if ((status == kStatusOk && ip < c->CodeEnd && isStart(ip)) ||
        PassEndByte(c, status, isStart)) {
      if (c->ExitFlag) return status;
      instr = QuickInstrAt(quick, c->IP);
      continue;
    }
    const TStatus result = AfterStep(c, status, instr->At);
    if (c->ExitFlag) return result;
    instr = QuickInstrAt(quick, c->IP);
  }
}

}  // namespace

TStatus ExecuteStep(TScriptContext* c) {
  return Step(c);
}

TStatus ExecuteByteCode(TScriptContext* context, const char* sectionName) {
  TStatus status = PrepareImage(context);
  if (status != kStatusOk) return status;
  const TSection* section = FindImageSection(context, sectionName ? sectionName : "GCS");
  if (section == nullptr) return kStatusNoSuchSection;
  if ((section->SectionFlag & kCodeSectionFlag) == 0) return kStatusNotCodeSection;
  const uint32_t start = SectionOffset(context, section);
  context->IP = start;
  context->CodeStart = start;
  context->CodeEnd = start + section->SectionLength;
  context->ExitFlag = false;
  HeapTakeShortage();  // a shortage before the run is no command's
  status = PushFrame(context);
  if (status != kStatusOk) return StopRun(context, status, start);
  if (section->SectionLength == 0) return StopRun(context, kStatusRanOffCode, start);
  return RunGuarded(context->Prepared->Quick.Instrs != nullptr ? RunQuickLoop : RunPlainLoop,
                    context);
}

void ShowScriptError(TScriptContext* context) {
  char text[96];
  std::snprintf(text, sizeof text, "Error in script\n\nError code=%d\nOffset in bytecode=%X",
                context->ScriptErrorCode, context->Error_At);
  char16_t wide[96];
  size_t i = 0;
  for (; text[i] != 0; ++i) wide[i] = char16_t(static_cast<unsigned char>(text[i]));
  wide[i] = 0;
  PlatformMessageBox(0, wide, kRuntimeSignature, kMessageBoxIconError);
}

TStatus JumpToAnySection(TScriptContext* c, uint32_t target) {
  if (target >= c->ScriptLength || !IsInstructionStart(c->Prepared, target)) {
    return kStatusBadJumpTarget;
  }
  if (target < c->CodeStart || target >= c->CodeEnd) {
    const TCodeBounds* bounds = FindCodeBounds(c->Prepared, target);
    c->CodeStart = bounds->Start;
    c->CodeEnd = bounds->End;
  }
  c->IP = target;
  return kStatusOk;
}

TStatus PushReturn(TScriptContext* context, uint32_t position) {
  uint32_t* slot = GrowArrayTryPush(context->CallStack);
  if (slot == nullptr) return kStatusOutOfMemory;
  *slot = position;
  return kStatusOk;
}

TStatus CallTo(TScriptContext* context, uint32_t target) {
  TCallStack& stack = context->CallStack;
  if (stack.Count >= kMaxCallDepth) return kStatusOutOfMemory;
  // Room for the return position first: a call that cannot be recorded must
  // not have jumped.
  if (stack.Count == stack.Capacity && !GrowArrayTryReserve(stack, stack.Count + 1)) {
    return kStatusOutOfMemory;
  }
  const uint32_t back = context->IP;
  const TStatus status = JumpTo(context, target);
  if (status == kStatusOk) stack.Items[stack.Count++] = back;
  return status;
}

void ReleaseContext(TScriptContext* context) {
  MarkContextLive(context, false);
  ReleaseFrames(context);
  std::free(context->SectionIndex);
  context->SectionIndex = nullptr;
  context->SectionCount = 0;
  FreePreparedImage(context);
  GrowArrayFree(context->CallStack);
}
