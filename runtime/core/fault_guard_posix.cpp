// The portable build catches C++ exceptions only: memory faults in the
// native build are bugs for the sanitizers to report, not statuses.
#include "runtime/core/fault_guard.h"

#include "base/status.h"

TStatus RunGuarded(TGuardedBody body, TScriptContext* context) {
  try {
    return body(context);
  } catch (...) {
    return kStatusException;
  }
}
