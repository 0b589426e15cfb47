// The dispatch table: for every command code 0..363 the handler and the
// parameter count that preparation checks instructions against. The core
// declares it so that it never includes the commands; runtime/commands/
// defines it, generated from command_table.def.
#pragma once

#include <cstdint>

#include "runtime/core/types.h"

typedef TStatus (*TCommandHandler)(TScriptContext* context);

struct TCommandEntry {
  TCommandHandler Handler;
  uint32_t ParamCount;  // a fixed count, or kOpenEnded
};

constexpr uint32_t kCommandCount = 364;
extern const TCommandEntry kDispatchTable[kCommandCount];
