#include "runtime/core/system_actions.h"

namespace {

// The inert table: privileges are refused, the optional functions are
// missing, and nothing is ended, locked, switched or set.
bool RefusePrivilege(const char*) {
  return false;
}
bool RefuseEndSession(uint32_t, uint32_t) {
  return false;
}
TActionResult NoSuspend(uintptr_t, bool, bool, bool) {
  return kActionMissing;
}
TActionResult NoLock() {
  return kActionMissing;
}
void IgnoreMonitorPower(int32_t) {}
bool RefuseClock(const TCalendarTime&) {
  return false;
}

const TSystemActions kInertActions = {
    &RefusePrivilege,    &RefuseEndSession, &NoSuspend,   &NoLock,
    &IgnoreMonitorPower, &RefuseClock,      &RefuseClock,
};

const TSystemActions* gActions = &kInertActions;

}  // namespace

const TSystemActions& SystemActions() {
  return *gActions;
}

const TSystemActions* InstallSystemActions(const TSystemActions* actions) {
  const TSystemActions* previous = gActions;
  gActions = actions != nullptr ? actions : &kInertActions;
  return previous;
}
