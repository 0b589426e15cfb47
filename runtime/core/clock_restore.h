// The process-wide record of a system clock that a script changed, so that
// the clock can be put back: on exit, and, when runtime setting 8 is on, when
// the runtime module is unloaded. The time commands fill the record.
#pragma once

#include <cstdint>

// Remembers the current time before a command changes the clock (only the
// first change since the record was last cleared is remembered).
void RecordClockBeforeChange();
// When the clock was changed since the record was last cleared, sets it to
// the remembered time plus the time elapsed since, and clears the record.
void RestoreSystemTime();
// Runtime setting 8: restore the clock when the runtime module is unloaded.
uint32_t AutoRestoreOnUnload();
void SetAutoRestoreOnUnload(uint32_t value);
