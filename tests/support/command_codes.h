// The command codes by name for tests (kExit, kSetDWORD, ...), generated from
// the command table so that no test types a code by hand.
#pragma once

#include <cstdint>

enum TCommandCode : uint32_t {
#define ZV_COMMAND(code, Name, ...) k##Name = code,
#include "runtime/commands/command_table.def"
#undef ZV_COMMAND
};
