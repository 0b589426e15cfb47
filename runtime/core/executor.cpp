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
// A script that recurses without end fails with 1002 here instead of
// exhausting the heap.
constexpr uint32_t kMaxCallDepth = 0x1000000;

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
[[gnu::always_inline]] inline TStatus Step(TScriptContext* c) {
  const uint32_t at = c->IP;
  c->IP = at + 4;
  const TQuickCode& quick = c->Prepared->Quick;
  const TStatus status = quick.Instrs != nullptr
                             ? QuickInstrAt(quick, at)->Run(c, QuickInstrAt(quick, at))
                             : kDispatchTable[LoadU32(c->ScriptStart + at)].Handler(c);
  c->ScriptErrorCode = int32_t(status);
  const uint32_t ip = c->IP;
  if (status == kStatusOk && ip < c->CodeEnd && IsInstructionStart(c->Prepared, ip)) {
    return kStatusOk;
  }
  return AfterStep(c, status, at);
}

// How the loop reads the code. The plain way: the command code in the image
// picks the handler, and the bitmap of instruction starts says where an
// instruction starts.
class TPlainCode {
 public:
  explicit TPlainCode(const TScriptContext* c)
      : image_(c->ScriptStart), starts_(c->Prepared->InstrStarts) {}
  TStatus Run(TScriptContext* c, uint32_t at) const {
    return kDispatchTable[LoadU32(image_ + at)].Handler(c);
  }
  bool IsStart(uint32_t offset) const { return ((starts_[offset >> 3] >> (offset & 7)) & 1) != 0; }

 private:
  const uint8_t* image_;
  const uint8_t* starts_;
};

// Through the quick code (quick_code.h): every instruction runs through its
// record, and the table of record indexes also says where an instruction
// starts.
class TQuickCodeReader {
 public:
  explicit TQuickCodeReader(const TScriptContext* c)
      : instrs_(c->Prepared->Quick.Instrs),
        indexAt_(c->Prepared->Quick.IndexAt),
        base_(c->Prepared->Quick.Base) {}
  TStatus Run(TScriptContext* c, uint32_t at) const {
    const TQuickInstr* instr = instrs_ + indexAt_[at - base_];
    return instr->Run(c, instr);
  }
  // For positions inside a code section, which the table covers.
  bool IsStart(uint32_t offset) const { return indexAt_[offset - base_] != kNoQuickInstr; }

 private:
  const TQuickInstr* instrs_;
  const uint32_t* indexAt_;
  uint32_t base_;
};

// The loop keeps in registers what no handler changes during a run (the
// image, the code reader's tables) and the position of the instruction it
// runs; IP lives in the context only because the handlers read their
// parameters through it. Section bounds are read back after every command,
// since a jump may move to another section.
template <typename Code>
TStatus RunLoop(TScriptContext* c) {
  const Code code(c);
  const uint8_t* const image = c->ScriptStart;
  uint32_t at = c->IP;
  for (;;) {
    c->IP = at + 4;
    const TStatus status = code.Run(c, at);
    c->ScriptErrorCode = int32_t(status);
    const uint32_t ip = c->IP;
    if (status == kStatusOk && ip < c->CodeEnd && code.IsStart(ip)) {
      if (c->ExitFlag) return status;
      at = ip;
      continue;
    }
    // A command written with fewer parameters than its count stops at the
    // end byte of its list, which is where a step over it ends anyway.
    if (status == kStatusOk && ip + 1 < c->CodeEnd && image[ip] == ptEndOfParam &&
        code.IsStart(ip + 1)) {
      c->IP = ip + 1;
      if (c->ExitFlag) return status;
      at = ip + 1;
      continue;
    }
    const TStatus result = AfterStep(c, status, at);
    if (c->ExitFlag) return result;
    at = c->IP;
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
  return RunGuarded(
      context->Prepared->Quick.Instrs != nullptr ? RunLoop<TQuickCodeReader> : RunLoop<TPlainCode>,
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
