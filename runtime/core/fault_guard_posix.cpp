// The portable build catches C++ exceptions only: memory faults in the
// native build are bugs for the sanitizers to report, not statuses.
#include <new>

#include "base/status.h"
#include "runtime/core/fault_guard.h"

TStatus RunGuarded(TGuardedBody body, TScriptContext* context) {
  try {
    return body(context);
  } catch (const std::bad_alloc&) {
    return kStatusOutOfMemory;
  } catch (...) {
    return kStatusException;
  }
}
