// Runs arbitrary source, compiled with the shipped command list, twice: once
// as the runtime runs it, through the quick code and with the parameter
// lists that preparation recorded, and once the plain way, every instruction
// through its command's handler and every list counted by walking it. Both
// runs must agree step by step: the instruction trail, every status,
// Error_At, and every variable of every frame. When the plain run ends within the step
// bound, a third run through the executor's own loop must end with the same
// status at the same place.
//
// Only commands that act on variables and control flow take part, and
// allocation sizes stay small, so that a run is cheap and touches nothing
// outside the process; an input that uses anything else is skipped.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "compiler/command_list.h"
#include "compiler/compilation.h"
#include "compiler/compile_codes.h"
#include "compiler/image_writer.h"
#include "compiler/keywords.h"
#include "compiler/source_reader.h"
#include "runtime/core/context.h"
#include "runtime/core/dispatch.h"
#include "runtime/core/executor.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"
#include "tools/command_list.h"

namespace {

constexpr uint32_t kMaxSteps = 4000;
constexpr uint32_t kMaxAlloc = 64;

const char16_t kKeywords[] =
    u"0,SECTION\n1,CODE\n2,DATA\n3,\n4,\n5,&DB\n6,&DW\n7,&DD\n8,&DI\n9,&DF\n"
    u"10,&INCLUDE\n11,&USES\n12,&ICON";

// Variables, frames, scalar arithmetic, comparisons and flow control:
// nothing that waits, reads the clock or the system, or sizes an array.
const char* const kAllowed[] = {"GlobalsAlloc",
                                "LocalsAlloc",
                                "SetDWORD",
                                "FramePush",
                                "FramePop",
                                "SetInt",
                                "SetFloat",
                                "Exit",
                                "Goto",
                                "Switch",
                                "SwitchGosub",
                                "Gosub",
                                "Return",
                                "ReturnDrop",
                                "VarAdd",
                                "VarSub",
                                "VarMul",
                                "VarDiv",
                                "VarMod",
                                "VarAnd",
                                "VarOr",
                                "VarXor",
                                "VarShl",
                                "VarShr",
                                "CompareInt",
                                "CompareDWORD",
                                "CompareFloat",
                                "SettingGet",
                                "SetErrorHandler",
                                "GlobalsFree",
                                "LocalsFree",
                                "GlobalsCount",
                                "LocalsCount",
                                "IntToDigitsText",
                                "ItemCount"};

std::set<uint32_t> gAllowed;
uint32_t gGlobalsAlloc = 0, gLocalsAlloc = 0;

bool Setup() {
  TCommandTable table;
  std::string error;
  if (!BuildShippedCommandTable(&table, &error)) {
    return false;
  }
  const std::string list = WriteCommandList(table).CommandList;
  ParseCommandList(reinterpret_cast<const uint8_t*>(list.data()), uint32_t(list.size()));
  ParseKeywords({kKeywords, sizeof kKeywords / sizeof kKeywords[0] - 1});
  for (const TCommandInfo& c : table.Commands) {
    for (const char* name : kAllowed) {
      if (c.Name == name) gAllowed.insert(c.Code);
    }
    if (c.Name == "GlobalsAlloc") gGlobalsAlloc = c.Code;
    if (c.Name == "LocalsAlloc") gLocalsAlloc = c.Code;
  }
  return true;
}

// Whether every instruction is an allowed command, and every allocation
// names a small literal count.
bool TakesPart(const TScriptContext& c) {
  for (uint32_t k = 0; k < c.Prepared->CodeSectionCount; ++k) {
    const TCodeBounds& bounds = c.Prepared->CodeSections[k];
    for (uint32_t at = bounds.Start; at < bounds.End; ++at) {
      if (!IsInstructionStart(c.Prepared, at)) continue;
      const uint32_t code = LoadU32(c.ScriptStart + at);
      if (gAllowed.count(code) == 0) return false;
      if (code != gGlobalsAlloc && code != gLocalsAlloc) continue;
      const uint8_t kind = c.ScriptStart[at + 4];
      const uint8_t* p = c.ScriptStart + at + 5;
      const uint64_t n = kind == ptByte    ? uint8_t(p[0])
                         : kind == ptWord  ? LoadU16(p)
                         : kind == ptDWORD ? LoadU32(p)
                                           : ~uint64_t(0);
      if (n > kMaxAlloc) return false;
    }
  }
  return true;
}

// A prepared copy of the image; with `plain`, there is no quick code and no
// recorded list is found, so every instruction runs through its handler and
// every count walks its list.
struct TRun {
  std::vector<uint8_t> image;
  TScriptContext context{};
  TParamListEntry none{kNoListEntry, 0, 0};

  TRun(const TGrowArray<uint8_t>& bytes, bool plain)
      : image(bytes.Items, bytes.Items + bytes.Count) {
    if (InitContext(&context, image.data(), uint32_t(image.size())) != 0) abort();
    if (PrepareImage(&context) != 0) return;
    context.ActionAfterError = 2;  // go on after errors (or into the handler), to reach more code
    if (plain) {
      FreeQuickCode(&context.Prepared->Quick);
      std::free(context.Prepared->Lists);
      context.Prepared->Lists = static_cast<TParamListEntry*>(std::malloc(sizeof none));
      *context.Prepared->Lists = none;
      context.Prepared->ListMask = 0;
    }
  }
  ~TRun() { ReleaseContext(&context); }

  // What ExecuteByteCode does before its loop.
  bool Begin() {
    const TSection* gcs = FindImageSection(&context, "GCS");
    if (gcs == nullptr || (gcs->SectionFlag & kCodeSectionFlag) == 0 || gcs->SectionLength == 0) {
      return false;
    }
    context.IP = context.CodeStart = SectionOffset(&context, gcs);
    context.CodeEnd = context.CodeStart + gcs->SectionLength;
    return PushFrame(&context) == 0;
  }
};

bool SameVariable(const TZorvatVariable& a, const TZorvatVariable& b) {
  if (a.VarType != b.VarType) return false;
  switch (a.VarType) {
    case vtDWORD:
      return a.AsDWORD == b.AsDWORD;
    case vtInteger:
      return a.AsInteger == b.AsInteger;
    case vtExtended:
      return std::memcmp(&a.AsExtended, &b.AsExtended, kExtendedBytes) == 0;
    case vtUnicodeString: {
      const uint32_t na = a.UA ? a.UA->ElemCount : 0, nb = b.UA ? b.UA->ElemCount : 0;
      return na == nb && (na == 0 || std::memcmp(UA_Data(a.UA), UA_Data(b.UA), na * 2) == 0);
    }
    default:
      return true;
  }
}

void CheckSameState(const TScriptContext& a, const TScriptContext& b) {
  if (a.IP != b.IP || a.ScriptErrorCode != b.ScriptErrorCode || a.Error_At != b.Error_At ||
      a.ExitFlag != b.ExitFlag || a.CallStack.Count != b.CallStack.Count ||
      a.StackFrames.Count != b.StackFrames.Count) {
    abort();
  }
  for (uint32_t f = 0; f < a.StackFrames.Count; ++f) {
    const TZorvatVariables& fa = a.StackFrames.Items[f];
    const TZorvatVariables& fb = b.StackFrames.Items[f];
    if (fa.Count != fb.Count) abort();
    for (uint32_t i = 0; i < fa.Count; ++i) {
      if (!SameVariable(fa.Items[i], fb.Items[i])) abort();
    }
  }
}

void Compare(const TGrowArray<uint8_t>& bytes) {
  TRun fast(bytes, false), plain(bytes, true);
  if (fast.context.Prepared == nullptr || plain.context.Prepared == nullptr) return;
  if (!TakesPart(plain.context) || !fast.Begin() || !plain.Begin()) return;
  uint32_t steps = 0;
  TStatus last = 0;
  for (; steps < kMaxSteps && !plain.context.ExitFlag; ++steps) {
    last = ExecuteStep(&plain.context);
    if (ExecuteStep(&fast.context) != last) abort();
    CheckSameState(fast.context, plain.context);
  }
  if (!plain.context.ExitFlag) return;
  TRun loop(bytes, false);
  loop.context.ActionAfterError = 2;
  if (ExecuteByteCode(&loop.context, "GCS") != last) abort();
  // The loop goes from record to record as the quick routines hand them
  // back, which single steps do not: it must end where the steps ended.
  CheckSameState(loop.context, plain.context);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = Setup();
  if (!ready || size > 1 << 14) return 0;
  TRawScript raw{};
  BeforeCompiling(&raw);
  AddScriptLines(&raw, data, uint32_t(size), kMainScriptModule);
  CompileScript(&raw);
  if (raw.CompilingResult == kCompileOk) {
    TGrowArray<uint8_t> image{};
    if (BuildCompiledImage(&raw, &image)) Compare(image);
    GrowArrayFree(image);
  }
  AfterCompiling(&raw);
  return 0;
}
