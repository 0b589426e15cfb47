// The portable build catches C++ exceptions only: memory faults in the
// native build are bugs for the sanitizers to report, not statuses.
#include "base/status.h"
#include "runtime/core/fault_guard.h"

TStatus RunGuarded(TGuardedBody body, TScriptContext* context) {
  try {
    return body(context);
  } catch (...) {
    return kStatusException;
  }
}
