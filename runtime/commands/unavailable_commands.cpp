// Commands that this runtime carries in its table but cannot run: they fail
// loudly with a status of their own instead of pretending to succeed. The
// executor steps over their parameters.
#include "base/status.h"
#include "runtime/commands/commands.h"

TStatus CmdNotBuilt(TScriptContext*) {
  return kStatusNotBuilt;
}

TStatus CmdNotInThisBuild(TScriptContext*) {
  return kStatusNotInThisBuild;
}
