// The simplest ways a script talks to its user: a modal message box whose
// answer can be stored, and a system beep.
#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/core/executor.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/text.h"

namespace {
constexpr uint32_t kSimpleBeep = 0xFFFFFFFF;
}  // namespace

TStatus CmdSoundBeep(TScriptContext* context) {
  TFetchStatus status;
  const uint32_t type = FetchDWORD(context, &status, kSimpleBeep);
  // An unusable sound type plays nothing, and that is not an error.
  if (status == kFetchUnusable) return kStatusOk;
  context->LastWindowsError = PlatformMessageBeep(type);
  return kStatusOk;
}

// Text, caption, style, owner window, result variable; the list may end
// after any of them, and the rest keep their defaults.
TStatus CmdMessageShow(TScriptContext* context) {
  TFetchedText text;
  if (text.Fetch(context) != kFetchValue) return kStatusBadParam;
  TFetchedText caption;
  uint32_t style = 0, owner = 0, reference = 0;
  bool store = false;
  TFetchStatus status = caption.Fetch(context);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (status != kFetchEnd) {
    style = FetchDWORD(context, &status, 0);
    if (status == kFetchUnusable) return kStatusBadParam;
  }
  if (status != kFetchEnd) {
    owner = FetchDWORD(context, &status, 0);
    if (status == kFetchUnusable) return kStatusBadParam;
  }
  if (status != kFetchEnd) {
    reference = FetchDWORD(context, &status, 0);
    if (status == kFetchUnusable) return kStatusBadParam;
    store = status == kFetchValue;
  }
  const char16_t* captionText =
      caption.Get() != nullptr ? USTR_Chars(caption.Get()) : kRuntimeSignature;
  const int32_t answer = PlatformMessageBox(owner, USTR_Chars(text.Get()), captionText, style);
  return store ? Var_StoreDWORD(context, reference, uint32_t(answer)) : kStatusOk;
}
