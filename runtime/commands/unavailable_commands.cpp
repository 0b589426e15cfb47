// Commands that this runtime carries in its table but cannot run: they fail
// loudly with a status of their own instead of pretending to succeed. The
// executor steps over their parameters.
#include "runtime/commands/commands.h"
#include "base/status.h"

TStatus CmdNotBuilt(TScriptContext*) { return kStatusNotBuilt; }

TStatus CmdNotInThisBuild(TScriptContext*) { return kStatusNotInThisBuild; }
