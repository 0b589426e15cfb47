// The calls that act on the whole machine: ending the session, suspending,
// locking, switching the monitor's power and setting the clock, and the
// privilege request that comes before some of them. Every command reaches
// them through this one table, so that a test can put a recorder in its
// place. The table in use starts inert; only the shipped programs (Zorvat.dll
// and ZorvatEx.exe) install the real calls, from system_actions_win32.cpp,
// which no test program links: a test that forgets its recorder gets
// failures, never a shut-down machine or a changed clock.
#pragma once

#include <cstdint>

#include "base/platform.h"

// The outcome of a call that the system may not offer.
enum TActionResult : uint32_t {
  kActionDone = 0,
  kActionFailed = 1,   // the call was made and failed
  kActionMissing = 2,  // the system has no such function; nothing was called
};

// Each entry leaves the platform's last error as the call left it.
struct TSystemActions {
  // Enables the privilege `name` ("SeShutdownPrivilege") in the process token.
  bool (*EnablePrivilege)(const char* name);
  // Ends the session with the exit flags and the reason code.
  bool (*EndSession)(uint32_t flags, uint32_t reason);
  // Suspends (or hibernates) the machine through the power library's suspend
  // function, looked up in the module `powerLibrary` (0 when the library is
  // missing).
  TActionResult (*Suspend)(uintptr_t powerLibrary, bool hibernate, bool force,
                           bool wakeEventsDisabled);
  TActionResult (*LockSession)();
  // Asks every top-level window to put the monitor into `state` (-1 on,
  // 1 low power, 2 off).
  void (*PostMonitorPower)(int32_t state);
  // Sets the clock from a local or a UTC calendar time.
  bool (*SetLocalClock)(const TCalendarTime& time);
  bool (*SetUtcClock)(const TCalendarTime& time);
};

// The table in use; never null.
const TSystemActions& SystemActions();
// Puts `actions` in use (null: the inert table) and returns the table that
// was in use, so that a recorder can put it back.
const TSystemActions* InstallSystemActions(const TSystemActions* actions);
// Puts the real calls in use. Defined only in system_actions_win32.cpp, which
// only the shipped programs link.
void InstallRealSystemActions();
