// Stands in for the calls that act on the whole machine (ending the session,
// suspending, locking, the monitor's power, setting the clock) while a test
// runs: it records each call with its arguments, in order, and answers as
// the test says. A test installs it before it runs any such command; no test
// program links the real calls (see system_actions.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/system_actions.h"

class SystemActionRecorder {
 public:
  SystemActionRecorder();
  ~SystemActionRecorder();
  SystemActionRecorder(const SystemActionRecorder&) = delete;
  SystemActionRecorder& operator=(const SystemActionRecorder&) = delete;

  // How the calls answer. Every call leaves `LastError` as the platform's
  // last error.
  bool GrantPrivilege = true;
  bool EndSessionSucceeds = true;
  TActionResult SuspendResult = kActionDone;
  TActionResult LockResult = kActionDone;
  bool ClockSucceeds = true;
  uint32_t LastError = 0;

  // One line per call, in order: "privilege SeShutdownPrivilege",
  // "end session 24 0x40001", "suspend hibernate=1 force=0 wake-off=0",
  // "lock", "monitor 2", "local clock 2001-02-03 04:05:06.007",
  // "utc clock ...".
  std::vector<std::string> Calls;
  // The power library passed to the last suspend call, and the clock times
  // as file times, in order.
  uintptr_t PowerLibrary = 0;
  std::vector<uint64_t> ClockTimes;

 private:
  const TSystemActions* previous_;
};

// Replaces the test program's own imports of the clock-setting functions by
// a trap that refuses and counts its calls, so that nothing in a test
// program can set the machine's clock even by a path that bypasses the
// system actions. Returns how many imports it replaced; calling it again
// changes nothing.
uint32_t TrapClockImports();
uint32_t TrappedClockCalls();

// The name written in `pieces` with its "|" separators taken out at run
// time ("Set|Local|Time"), so that a test can look for a system function's
// name in a binary without putting the name into its own.
std::string JoinedName(const char* pieces);
