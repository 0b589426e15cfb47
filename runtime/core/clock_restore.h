// The process-wide record of a system clock that a script changed, so that
// the clock can be put back: by command, on exit, and, when runtime setting 8
// is on, when the runtime module is unloaded. The time commands fill the
// record.
#pragma once

#include <cstdint>

// Remembers the current time before a command changes the clock (only the
// first change since the record was last cleared is remembered).
void RecordClockBeforeChange();
// When the clock was changed since the record was last cleared, sets it to
// the remembered time plus the time elapsed since, and clears the record.
// False when the clock could not be set: the record is kept then, so that a
// later restore (on exit, on unload) tries again.
bool RestoreSystemTime();
// The true time now, as a UTC file time: `recordedTime` plus the
// milliseconds the tick counter advanced from `recordedTicks` to `nowTicks`.
// The difference is taken in 32 bits, so a counter that wrapped past zero
// in between still gives the time elapsed.
uint64_t TrueTimeAfter(uint64_t recordedTime, uint32_t recordedTicks, uint32_t nowTicks);
// Runtime setting 8: restore the clock when the runtime module is unloaded.
uint32_t AutoRestoreOnUnload();
void SetAutoRestoreOnUnload(uint32_t value);
