// The executor runs a prepared image from a named code section, command by
// command, until a command sets ExitFlag. It owns the error policy
// (ActionAfterError, OnErrorGoto), the error box and the call stack.
//
// IP always stands at the start of an instruction of a code section, whose
// bounds the context keeps in CodeStart/CodeEnd. A handler that stops reading
// its parameters early is stepped over the rest of its instruction; control
// moves elsewhere only through JumpTo, which accepts instruction starts only.
// Running past the end of a code section (106) or jumping to anything but an
// instruction start (107) stops the run whatever ActionAfterError says.
#pragma once

#include <cstdint>

#include "runtime/core/image.h"
#include "runtime/core/types.h"

// The caption of the runtime's boxes and the default caption of MessageShow.
extern const char16_t kRuntimeSignature[];

// Runs the named code section ("GCS" for null). Prepares the image first if
// the host did not. Returns the status of the last command, or 2, 21, 22,
// 23, 104, 105.
TStatus ExecuteByteCode(TScriptContext* context, const char* sectionName);
// Runs one command.
TStatus ExecuteStep(TScriptContext* context);
void ShowScriptError(TScriptContext* context);

// Continues at `target` if it is the start of an instruction; 107 otherwise
// (IP is then unchanged). Most jumps stay in their section and are decided
// inline; the rest change the section bounds out of line.
TStatus JumpToAnySection(TScriptContext* context, uint32_t target);
inline TStatus JumpTo(TScriptContext* context, uint32_t target) {
  if (target >= context->CodeStart && target < context->CodeEnd &&
      IsInstructionStart(context->Prepared, target)) {
    context->IP = target;
    return kStatusOk;
  }
  return JumpToAnySection(context, target);
}
// A script that recurses without end fails with 1002 here instead of
// exhausting the heap.
constexpr uint32_t kMaxCallDepth = 0x1000000;
// Records a return position; 1002 when the call stack cannot grow.
TStatus PushReturn(TScriptContext* context, uint32_t position);
// PushReturn(IP), then JumpTo(target); nothing is pushed when the target is
// refused, and nothing jumps when the call stack cannot grow (1002).
TStatus CallTo(TScriptContext* context, uint32_t target);

// Releases every frame, the section index and what preparation built.
void ReleaseContext(TScriptContext* context);
