// Commands that belong to the machine itself: the zero-code trap and exit.
#include <cstdio>

#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/core/clock_restore.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

namespace {
constexpr uint32_t kMessageBoxIconError = 0x10;
}  // namespace

// Code 0 is what a zeroed stretch of code holds, so executing it is worth a
// box of its own before the usual error handling.
TStatus CmdZeroCodeTrap(TScriptContext* context) {
  char text[48];
  std::snprintf(text, sizeof text, "Zero cmdcode at offs=%X", context->IP - 4);
  char16_t wide[48];
  size_t i = 0;
  for (; text[i] != 0; ++i) wide[i] = char16_t(text[i]);
  wide[i] = 0;
  PlatformMessageBox(0, wide, u"ERROR", kMessageBoxIconError);
  return kStatusZeroCommandCode;
}

TStatus CmdExit(TScriptContext* context) {
  TFetchStatus status;
  uint32_t code = FetchDWORD(context, &status, 0);
  ReleaseFrames(context);
  RestoreSystemTime();
  if (status == kFetchUnusable) return kStatusBadParam;
  context->ExitFlag = true;
  return code;
}
