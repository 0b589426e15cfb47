// Runs the executor's loop so that a fault inside a command cannot take the
// process down: a C++ exception, and on Windows a processor fault such as an
// access violation, ends the run with status 104 and control returns to the
// caller, which can go on and run the next script. A C++ allocation that
// fails (std::bad_alloc) ends the run with 1002, as every shortage reports.
#pragma once

#include "runtime/core/types.h"

typedef TStatus (*TGuardedBody)(TScriptContext* context);

TStatus RunGuarded(TGuardedBody body, TScriptContext* context);
