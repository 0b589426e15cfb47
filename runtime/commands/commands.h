// Declarations of every command handler, Cmd<Name>, generated from
// command_table.def. A handler takes the script context, fetches its
// parameters from IP and returns a status.
#pragma once

#include "runtime/core/types.h"

#define ZV_COMMAND(code, Name, Family, Params, Build, Effect, ParamList) \
  TStatus Cmd##Name(TScriptContext* context);
#include "runtime/commands/command_table.def"
#undef ZV_COMMAND

// The handler of a command whose family is not built yet: 1099.
TStatus CmdNotBuilt(TScriptContext* context);
// The handler of a Windows-only command in the portable build: 1098.
TStatus CmdNotInThisBuild(TScriptContext* context);
