// Flow control and runtime settings: jumps, subroutine calls and returns,
// multi-way branches, jumps into named sections, pauses, and reading and
// writing the settings of the script context. Code addresses are image
// offsets taken from label slots (or from variables); every move of IP goes
// through JumpTo/CallTo, which accept instruction starts only.
#include <cstring>

#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/quick_matchers.h"
#include "runtime/core/clock_restore.h"
#include "runtime/core/executor.h"
#include "runtime/core/fetch.h"
#include "runtime/core/image.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"
#include "runtime/values/list.h"
#include "runtime/values/text.h"

namespace {

// Continues at `address` after the multi-way branch, as a call when `call`.
// An address given as the default marker only ends the branch.
TStatus TakeBranch(TScriptContext* context, uint32_t address, TFetchStatus addressStatus,
                   bool call) {
  if (addressStatus != kFetchValue) return kStatusOk;
  return call ? CallTo(context, address) : JumpTo(context, address);
}

// Codes 23 and 294. The selector is the value of the variable whose
// reference the first parameter holds; then come (case value, address)
// pairs up to the end byte, and an odd last parameter is the default
// address. An omitted case value is the previous one plus 1 (the first is
// 0). A taken call returns behind the whole command. The pairs are read in
// one pass up to the first match: a case after it is never looked at.
TStatus SwitchTo(TScriptContext* context, bool call) {
  TParamReader params(context, context->IP);
  TFetchStatus addressStatus;
  const uint32_t reference = params.DWORD(&addressStatus, 0);
  if (addressStatus != kFetchValue) {
    context->IP = params.Position();
    return kStatusBadParam;
  }
  int64_t selector;
  const TStatus status = GetVarInt64(context, reference, &selector);
  if (status != kStatusOk) {
    context->IP = params.Position();
    return status;
  }
  int64_t running = 0;
  while (!params.AtEnd()) {
    if (params.AtLastParam()) {  // the default address
      const uint32_t address = params.DWORD(&addressStatus, 0);
      context->IP = params.Position() + 1;
      if (addressStatus == kFetchUnusable) return kStatusBadParam;
      return TakeBranch(context, address, addressStatus, call);
    }
    TFetchStatus valueStatus;
    const int64_t value = params.Int64(&valueStatus, running);
    const uint32_t address = params.DWORD(&addressStatus, 0);
    if (valueStatus == kFetchUnusable || addressStatus == kFetchUnusable) {
      context->IP = params.SkipToEnd();
      return kStatusBadParam;
    }
    running = value;
    if (running == selector) {
      context->IP = params.SkipToEnd();  // where a call returns to
      return TakeBranch(context, address, addressStatus, call);
    }
    ++running;
  }
  context->IP = params.Position() + 1;
  return kStatusOk;
}

// ---- Quick routines ----

// Goto and Gosub to an address given as a number.
ZV_QUICK const TQuickInstr* QuickGoto(TScriptContext* context, const TQuickInstr* instr) {
  context->IP = instr->Next;
  return QuickJump(context, instr, uint32_t(instr->A), instr->JumpInstr);
}

ZV_QUICK const TQuickInstr* QuickGosub(TScriptContext* context, const TQuickInstr* instr) {
  return QuickCall(context, instr, uint32_t(instr->A), instr->JumpInstr);
}

// Return reads no parameters; where it goes is known only now.
ZV_QUICK const TQuickInstr* QuickReturn(TScriptContext* context, const TQuickInstr* instr) {
  if (const TQuickInstr* back = TryQuickReturn(context)) return back;
  context->IP = instr->Next;
  return FinishQuickStep(context, instr, CmdReturn(context));
}

// A multi-way branch whose selector reference, case values and addresses
// are all numbers (or omitted), decoded at preparation with the running
// value of omitted cases worked out. A selector that is missing or not a
// number goes to the handler, which reports it.
template <bool call>
ZV_QUICK const TQuickInstr* QuickSwitch(TScriptContext* context, const TQuickInstr* instr) {
  int64_t selector;
  if (GetVarInt64(context, instr->Target, &selector) != kStatusOk) {
    return RunQuickPlain(context, instr);
  }
  return QuickSelect<call>(context, instr, selector);
}

// An address parameter of a multi-way branch: a number, or the default
// marker (the branch ends there). False for other kinds.
bool TakeQuickAddress(const TQuickParams& params, uint32_t k, TQuickCase* branch) {
  if (params.Kind[k] == ptDefault) {
    branch->Ends = true;
    return true;
  }
  if (!IsQuickLiteral(params, k)) return false;
  branch->Address = params.AsDWORD[k];
  return true;
}

bool MatchQuickSwitch(const TQuickParams& params, TQuickInstr* instr,
                      std::vector<TQuickCase>* cases) {
  if (!params.Ended || params.Count < 1 || !IsQuickLiteral(params, 0)) return false;
  const uint32_t n = params.Count - 1;
  int64_t running = 0;
  for (uint32_t pair = 0; pair < n / 2; ++pair, ++running) {
    const uint32_t k = 1 + 2 * pair;
    TQuickCase branch{};
    if (params.Kind[k] != ptDefault) {
      if (!IsQuickLiteral(params, k)) return false;
      running = params.AsInt64[k];
    }
    branch.Value = running;
    if (!TakeQuickAddress(params, k + 1, &branch)) return false;
    cases->push_back(branch);
  }
  if (n % 2 == 1) {
    TQuickCase branch{};
    if (!TakeQuickAddress(params, params.Count - 1, &branch)) return false;
    cases->push_back(branch);
    instr->Flags |= kQuickHasDefault;
  }
  instr->Target = params.AsDWORD[0];
  instr->CaseCount = n / 2;
  instr->Run = instr->Plain == &CmdSwitch ? &QuickSwitch<false> : &QuickSwitch<true>;
  return true;
}

// The code section named by a block parameter (compared as a zero-terminated
// 8-bit name, exactly): 0, 102, 1055 or 1056.
TStatus FindCodeSection(TScriptContext* context, uint32_t* start) {
  TFetchStatus status;
  PArrayHeader name = FetchBinBlock(context, &status);
  if (status != kFetchValue) return kStatusBadParam;
  const char* wanted = reinterpret_cast<const char*>(UA_Data(name));
  for (uint32_t k = 0; k < context->SectionCount; ++k) {
    const TSection& section = context->SectionIndex[k];
    if (std::strcmp(section.Name, wanted) != 0) continue;
    if (section.SectionFlag != kCodeSectionFlag) return kStatusSectionNotCode;
    *start = SectionOffset(context, &section);
    return kStatusOk;
  }
  return kStatusSectionNotFound;
}

// The runtime settings by number; false for a number outside 0-8.
bool ReadSetting(const TScriptContext* c, uint32_t index, uint32_t* value) {
  switch (index) {
    case 0:
      *value = uint32_t(c->ScriptErrorCode);
      return true;
    case 1:
      *value = c->Error_At;
      return true;
    case 2:
      *value = c->LastWindowsError;
      return true;
    case 3:
      *value = c->ActionAfterError;
      return true;
    case 4:
      *value = c->KeyPressTime;
      return true;
    case 5:
      *value = c->SendMsgTimeout;
      return true;
    case 6:
      *value = c->IgnoreSymlinks;
      return true;
    case 7:
      *value = c->FileDialogBufferSize;
      return true;
    case 8:
      *value = AutoRestoreOnUnload();
      return true;
    default:
      return false;
  }
}

bool WriteSetting(TScriptContext* c, uint32_t index, uint32_t value) {
  switch (index) {
    case 0:
      c->ScriptErrorCode = int32_t(value);
      return true;
    case 1:
      c->Error_At = value;
      return true;
    case 2:
      c->LastWindowsError = value;
      return true;
    case 3:
      c->ActionAfterError = value;
      return true;
    case 4:
      c->KeyPressTime = value;
      return true;
    case 5:
      c->SendMsgTimeout = value;
      return true;
    case 6:
      c->IgnoreSymlinks = value;
      return true;
    case 7:
      c->FileDialogBufferSize = value;
      return true;
    case 8:
      SetAutoRestoreOnUnload(value);
      return true;
    default:
      return false;
  }
}

}  // namespace

TStatus CmdWait(TScriptContext* context) {
  TFetchStatus status;
  const uint32_t milliseconds = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  PlatformSleep(milliseconds);
  return kStatusOk;
}

TStatus CmdGoto(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  return JumpTo(context, target);
}

TStatus CmdGosub(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  return CallTo(context, target);
}

TStatus CmdReturn(TScriptContext* context) {
  TCallStack& stack = context->CallStack;
  if (stack.Count == 0) return kStatusEmptyCallStack;
  return JumpTo(context, stack.Items[--stack.Count]);
}

TStatus CmdReturnDrop(TScriptContext* context) {
  TFetchStatus status;
  const uint32_t reference = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  const bool store = status == kFetchValue;
  // A result variable that does not exist leaves the call stack alone.
  if (store && ResolveVar(context, reference) == nullptr) return kStatusNoSuchVariable;
  TCallStack& stack = context->CallStack;
  if (stack.Count == 0) return kStatusEmptyCallStack;
  const uint32_t dropped = stack.Items[--stack.Count];
  return store ? Var_StoreDWORD(context, reference, dropped) : kStatusOk;
}

TStatus CmdSwitch(TScriptContext* context) {
  return SwitchTo(context, false);
}

TStatus CmdSwitchGosub(TScriptContext* context) {
  return SwitchTo(context, true);
}

// The handler is checked when it is set, so that a bad address is reported
// where it was given rather than at the first error.
TStatus CmdSetErrorHandler(TScriptContext* context) {
  TFetchStatus status;
  const uint32_t address = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (address != 0 &&
      (address >= context->ScriptLength || !IsInstructionStart(context->Prepared, address))) {
    return kStatusBadJumpTarget;
  }
  context->OnErrorGoto = address;
  return kStatusOk;
}

TStatus CmdGotoSection(TScriptContext* context) {
  uint32_t start;
  TStatus status = FindCodeSection(context, &start);
  return status != kStatusOk ? status : JumpTo(context, start);
}

TStatus CmdGosubSection(TScriptContext* context) {
  uint32_t start;
  TStatus status = FindCodeSection(context, &start);
  return status != kStatusOk ? status : CallTo(context, start);
}

TStatus CmdSectionList(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  const uint32_t flag = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  const bool filter = status == kFetchValue;
  PArrayHeader list = xL_New();
  if (list == nullptr) return kStatusOutOfMemory;
  for (uint32_t k = 0; k < context->SectionCount; ++k) {
    const TSection& section = context->SectionIndex[k];
    if (filter && section.SectionFlag != flag) continue;
    TStatus added = BBL_AddBuffer(&list, section.Name, uint32_t(std::strlen(section.Name)));
    if (added != kStatusOk) {
      xL_Free(&list);
      return added;
    }
  }
  TStatus stored = StoreArrayRef(context, reference, list, vtBinBlockList);
  if (stored != kStatusOk) xL_Free(&list);
  return stored;
}

TStatus CmdSettingGet(TScriptContext* context) {
  uint32_t index, reference;
  if (FetchRequiredDWORD(context, &index) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  uint32_t value;
  if (!ReadSetting(context, index, &value)) return kStatusBadSettingNumber;
  return Var_StoreDWORD(context, reference, value);
}

TStatus CmdSettingSet(TScriptContext* context) {
  uint32_t index, value;
  if (FetchRequiredDWORD(context, &index) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &value) != kStatusOk) return kStatusBadParam;
  return WriteSetting(context, index, value) ? kStatusOk : kStatusBadSettingNumber;
}

TStatus CmdCommandLineGet(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  std::u16string line = PlatformCommandLine();
  return Var_StoreUnicodeString(context, reference, line.data(), uint32_t(line.size()));
}

bool IsQuickSwitch(const TQuickInstr& instr) {
  return instr.RunOne == &QuickSwitch<false>;
}

bool IsQuickGosub(const TQuickInstr& instr) {
  return instr.RunOne == &QuickGosub;
}

bool MatchQuickFlow(const TQuickParams& params, TQuickInstr* instr,
                    std::vector<TQuickCase>* cases) {
  if (instr->Plain == &CmdGoto || instr->Plain == &CmdGosub) {
    if (params.Count != 1 || !IsQuickLiteral(params, 0)) return false;
    instr->A = params.AsDWORD[0];
    instr->Run = instr->Plain == &CmdGoto ? &QuickGoto : &QuickGosub;
    instr->Flags |= kQuickAIsAddress;
    return true;
  }
  if (instr->Plain == &CmdSwitch || instr->Plain == &CmdSwitchGosub) {
    return MatchQuickSwitch(params, instr, cases);
  }
  if (instr->Plain == &CmdReturn) {
    instr->Run = &QuickReturn;
    return true;
  }
  return false;
}
