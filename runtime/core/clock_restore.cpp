#include "runtime/core/clock_restore.h"

#include "runtime/core/platform.h"

namespace {

// Process-wide and unsynchronized: scripts that change the clock are expected
// to run one at a time.
bool gRecorded = false;
uint64_t gRecordedTime = 0;
uint32_t gRecordedTicks = 0;
uint32_t gAutoRestoreOnUnload = 0;

}  // namespace

void RecordClockBeforeChange() {
  if (gRecorded) return;
  gRecordedTime = PlatformSystemTimeNow();
  gRecordedTicks = PlatformTickCount();
  gRecorded = true;
}

void RestoreSystemTime() {
  if (!gRecorded) return;
  const uint32_t elapsedMs = PlatformTickCount() - gRecordedTicks;
  PlatformSetSystemTime(gRecordedTime + uint64_t(elapsedMs) * 10000);
  gRecorded = false;
}

uint32_t AutoRestoreOnUnload() { return gAutoRestoreOnUnload; }

void SetAutoRestoreOnUnload(uint32_t value) { gAutoRestoreOnUnload = value; }
