// The time, clipboard and screen commands that need Windows: reading the
// clock as local or UTC time stamps, building a stamp from calendar fields,
// setting the clock (undoably: the true time is kept in the clock-restore
// record) and putting it back, exchanging text with the clipboard, and the
// size of the screen and of its work area.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "base/platform.h"
#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/optional_results.h"
#include "runtime/core/clock_restore.h"
#include "runtime/core/fetch.h"
#include "runtime/core/system_actions.h"
#include "runtime/core/variables.h"
#include "runtime/values/block.h"

namespace {

constexpr uint32_t kMakeFields = 7;

int64_t StampOf(const FILETIME& ft) {
  return int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

TStatus StoreStamp(TScriptContext* context, uint32_t target, const SYSTEMTIME& time) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&time, &ft)) return kStatusBadParam;
  return Var_StoreInteger(context, target, StampOf(ft));
}

// The privilege is asked for until the process has it; a refusal still lets
// the clock call go ahead, which then fails and says why.
void EnsureClockPrivilege() {
  static bool enabled = false;
  if (!enabled) enabled = SystemActions().EnablePrivilege("SeSystemtimePrivilege");
}

// Sets the clock from a stamp, local or UTC. The true time is recorded
// before the first change, so that TimeRestore, the exit command or the
// unloading of the runtime can put the clock back.
TStatus SetClock(TScriptContext* context, bool local) {
  TFetchStatus status;
  const int64_t stamp = FetchInt64(context, &status, 0);
  if (status != kFetchValue) return kStatusBadParam;
  TCalendarTime time;
  if (!PlatformFileTimeToCalendar(uint64_t(stamp), &time)) return kStatusClockSetFailed;
  RecordClockBeforeChange();
  EnsureClockPrivilege();
  const bool set = local ? SystemActions().SetLocalClock(time) : SystemActions().SetUtcClock(time);
  context->LastWindowsError = GetLastError();
  return set ? kStatusOk : kStatusClockSetFailed;
}

// ---- Clipboard ----

// Holds the clipboard open and closes it on every way out.
class TOpenClipboard {
 public:
  TOpenClipboard() : open_(OpenClipboard(nullptr) != 0) {}
  ~TOpenClipboard() {
    if (open_) CloseClipboard();
  }
  TOpenClipboard(const TOpenClipboard&) = delete;
  TOpenClipboard& operator=(const TOpenClipboard&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

// Places `size` bytes as clipboard format `format` on the open clipboard,
// zero-filled beyond the `length` bytes copied from `data`. The memory
// belongs to the clipboard once it is set; on any failure it is freed here.
bool PlaceOnClipboard(UINT format, const void* data, SIZE_T length, SIZE_T size) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (memory == nullptr) return false;
  void* locked = GlobalLock(memory);
  if (locked == nullptr) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(locked, data, length);
  GlobalUnlock(memory);
  if (SetClipboardData(format, memory) == nullptr) {
    GlobalFree(memory);
    return false;
  }
  return true;
}

// The clipboard's Unicode text, copied out while it is locked. A text that
// another program placed without its terminating zero ends at the end of
// its memory.
enum class TClipboardRead { kRead, kNone, kLockFailed };
TClipboardRead ReadClipboardText(std::u16string* text) {
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return TClipboardRead::kNone;
  const wchar_t* units = static_cast<const wchar_t*>(GlobalLock(data));
  if (units == nullptr) return TClipboardRead::kLockFailed;
  const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  text->assign(reinterpret_cast<const char16_t*>(units), wcsnlen(units, capacity));
  GlobalUnlock(data);
  return TClipboardRead::kRead;
}

TStatus StoreWorkAreaCorner(TScriptContext* context, bool end) {
  TOptionalResult results[2];
  for (TOptionalResult& result : results) {
    if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  }
  RECT area = {};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const uint32_t values[2] = {uint32_t(end ? area.right : area.left),
                              uint32_t(end ? area.bottom : area.top)};
  return StoreOptionalDWORDs(context, results, values, 2);
}

}  // namespace

TStatus CmdTimeGetLocal(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  SYSTEMTIME now;
  GetLocalTime(&now);
  return StoreStamp(context, target, now);
}

TStatus CmdTimeGetSystem(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  SYSTEMTIME now;
  GetSystemTime(&now);
  return StoreStamp(context, target, now);
}

// Fields that are not given keep the current local time's. A field that
// does not fit a calendar field, or a combination that names no date (the
// 30th of February), is an unusable parameter, and nothing is stored.
TStatus CmdTimeMake(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  SYSTEMTIME time;
  GetLocalTime(&time);
  WORD* const fields[kMakeFields] = {&time.wDay,    &time.wMonth,  &time.wYear,        &time.wHour,
                                     &time.wMinute, &time.wSecond, &time.wMilliseconds};
  bool fits = true;
  for (WORD* field : fields) {
    TFetchStatus status;
    const uint32_t value = FetchDWORD(context, &status, 0);
    if (status == kFetchUnusable) return kStatusBadParam;
    if (status != kFetchValue) continue;
    fits = fits && value <= 0xFFFF;
    *field = WORD(value);
  }
  if (!fits) return kStatusBadParam;
  return StoreStamp(context, target, time);
}

TStatus CmdTimeSetLocal(TScriptContext* context) {
  return SetClock(context, true);
}

TStatus CmdTimeSetSystem(TScriptContext* context) {
  return SetClock(context, false);
}

// A clock that cannot be put back fails with 1034 and stays recorded, so
// that the exit command and the unloading of the runtime try again.
TStatus CmdTimeRestore(TScriptContext* context) {
  if (RestoreSystemTime()) return kStatusOk;
  context->LastWindowsError = GetLastError();
  return kStatusClockSetFailed;
}

// The locale goes on the clipboard first, in the same opening as the text,
// so that a program reading the text as Unicode converts it with that
// locale's code page, and nobody can change the clipboard in between.
TStatus CmdClipboardSetText(TScriptContext* context) {
  TFetchStatus status;
  const TArrayHeader* block = FetchBinBlock(context, &status);
  if (status != kFetchValue) return kStatusBadParam;
  const uint32_t locale = FetchDWORD(context, &status, 0);
  if (status == kFetchUnusable) return kStatusBadParam;
  const bool withLocale = status == kFetchValue;
  const SIZE_T length = BB_Length(block);

  TOpenClipboard clipboard;
  if (!clipboard.IsOpen()) {
    context->LastWindowsError = GetLastError();
    return kStatusClipboardSetFailed;
  }
  if (!EmptyClipboard()) return kStatusClipboardSetFailed;
  if (withLocale && !PlaceOnClipboard(CF_LOCALE, &locale, sizeof locale, sizeof locale)) {
    return kStatusClipboardSetFailed;
  }
  if (!PlaceOnClipboard(CF_TEXT, UA_Data(block), length, length + 1)) {
    EmptyClipboard();  // no locale left behind without its text
    return kStatusClipboardSetFailed;
  }
  return kStatusOk;
}

TStatus CmdClipboardGetText(TScriptContext* context) {
  uint32_t target;
  if (FetchRequiredDWORD(context, &target) != kStatusOk) return kStatusBadParam;
  std::u16string text;
  TClipboardRead read;
  {
    TOpenClipboard clipboard;
    if (!clipboard.IsOpen()) {
      context->LastWindowsError = GetLastError();
      return kStatusClipboardGetFailed;
    }
    read = ReadClipboardText(&text);
    if (read == TClipboardRead::kNone) {
      context->LastWindowsError = GetLastError();
      return kStatusClipboardGetFailed;
    }
  }
  const TStatus stored =
      Var_StoreUnicodeString(context, target, text.data(), uint32_t(text.size()));
  if (stored != kStatusOk) return stored;
  return read == TClipboardRead::kRead ? kStatusOk : kStatusClipboardGetFailed;
}

TStatus CmdScreenGetSize(TScriptContext* context) {
  TOptionalResult results[2];
  for (TOptionalResult& result : results) {
    if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  }
  const uint32_t values[2] = {uint32_t(GetSystemMetrics(SM_CXSCREEN)),
                              uint32_t(GetSystemMetrics(SM_CYSCREEN))};
  return StoreOptionalDWORDs(context, results, values, 2);
}

TStatus CmdWorkAreaGetEnd(TScriptContext* context) {
  return StoreWorkAreaCorner(context, true);
}

TStatus CmdWorkAreaGetOrigin(TScriptContext* context) {
  return StoreWorkAreaCorner(context, false);
}
