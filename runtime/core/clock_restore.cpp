#include "runtime/core/clock_restore.h"

#include "base/platform.h"
#include "runtime/core/system_actions.h"

namespace {

// Process-wide and unsynchronized: scripts that change the clock are expected
// to run one at a time.
bool gRecorded = false;
uint64_t gRecordedTime = 0;
uint32_t gRecordedTicks = 0;
uint32_t gAutoRestoreOnUnload = 0;

constexpr uint64_t kFileTimeUnitsPerMs = 10000;

}  // namespace

void RecordClockBeforeChange() {
  if (gRecorded) return;
  gRecordedTicks = PlatformTickCount();
  gRecordedTime = PlatformSystemTimeNow();
  gRecorded = true;
}

uint64_t TrueTimeAfter(uint64_t recordedTime, uint32_t recordedTicks, uint32_t nowTicks) {
  const uint32_t elapsedMs = nowTicks - recordedTicks;
  return recordedTime + uint64_t(elapsedMs) * kFileTimeUnitsPerMs;
}

bool RestoreSystemTime() {
  if (!gRecorded) return true;
  TCalendarTime trueTime;
  if (!PlatformFileTimeToCalendar(TrueTimeAfter(gRecordedTime, gRecordedTicks, PlatformTickCount()),
                                  &trueTime) ||
      !SystemActions().SetUtcClock(trueTime)) {
    return false;
  }
  gRecorded = false;
  return true;
}

uint32_t AutoRestoreOnUnload() {
  return gAutoRestoreOnUnload;
}

void SetAutoRestoreOnUnload(uint32_t value) {
  gAutoRestoreOnUnload = value;
}
