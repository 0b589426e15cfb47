// Keyboard and mouse: synthesised key strokes and mouse button clicks, the
// mouse cursor's position, and tests of which keys and buttons are held
// down. Input is injected system-wide, so it goes to whatever window has the
// focus; scripts bring the right window forward first.
//
// A key or button is held for the script's KeyPressTime between press and
// release. Keys are pressed in list order and released in reverse order, so
// a chord such as Ctrl+C reaches the target as Ctrl down, C down, C up, Ctrl
// up. A key list is read in full before anything is sent: a list with a bad
// key, or longer than kMaxKeys, sends nothing at all rather than leaving
// half a chord held down system-wide.
#include <windows.h>

#include <array>
#include <cstdint>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/optional_results.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

namespace {

// The navigation and arrow keys of the extended block. Sent without the
// extended flag they read as their twins on the numeric keypad.
constexpr std::array<bool, 256> kExtendedKeys = [] {
  std::array<bool, 256> set{};
  for (int key = VK_PRIOR; key <= VK_DOWN; ++key) set[key] = true;
  set[VK_INSERT] = true;
  set[VK_DELETE] = true;
  return set;
}();

// One command holds at most this many keys: every virtual-key code once.
// A longer list can only repeat keys, and every key in it stays held
// system-wide until the release phase, so it is refused as a bad key
// parameter instead of flooding the input queue.
constexpr uint32_t kMaxKeys = 256;

enum TPressMode : uint8_t {
  kPressAndRelease = 0,  // KeyStroke, MouseClick
  kPressOnly = 1,        // KeyDown, MouseDown
  kReleaseOnly = 2,      // KeyUp, MouseUp
};

bool Presses(TPressMode mode) {
  return mode != kReleaseOnly;
}
bool Releases(TPressMode mode) {
  return mode != kPressOnly;
}

// ---- Keys ----

struct TKeyList {
  std::array<uint8_t, kMaxKeys> Keys;
  uint32_t Count = 0;
};

// Reads `count` key parameters, keeping the low byte of each. 0, or 101 for
// a parameter that is not an integer.
TStatus FetchKeys(TScriptContext* context, uint32_t count, TKeyList* list) {
  for (uint32_t i = 0; i < count; ++i) {
    TFetchStatus status;
    const int64_t key = FetchInt64(context, &status, 0);
    if (status != kFetchValue) return kStatusBadVarKindForNumber;
    list->Keys[i] = uint8_t(key);
  }
  list->Count = count;
  return kStatusOk;
}

void SendKey(uint8_t key, DWORD flags) {
  if (kExtendedKeys[key]) flags |= KEYEVENTF_EXTENDEDKEY;
  const BYTE scanCode = BYTE(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  keybd_event(key, scanCode, flags, 0);
}

// Codes 39, 168 and 169.
TStatus StrokeKeys(TScriptContext* context, TPressMode mode) {
  uint32_t end;
  const uint32_t count = CountParams(context, context->IP, &end);
  TKeyList list;
  TStatus status = count > kMaxKeys ? kStatusBadRadixOrKey : FetchKeys(context, count, &list);
  context->IP = end;
  if (status != kStatusOk) return status;
  if (Presses(mode)) {
    for (uint32_t i = 0; i < list.Count; ++i) SendKey(list.Keys[i], 0);
  }
  if (mode == kPressAndRelease) Sleep(context->KeyPressTime);
  if (Releases(mode)) {
    for (uint32_t i = list.Count; i > 0; --i) SendKey(list.Keys[i - 1], KEYEVENTF_KEYUP);
  }
  return kStatusOk;
}

bool IsDown(int key) {
  return GetAsyncKeyState(key) < 0;
}

// ---- Mouse buttons ----

struct TButtonFlags {
  DWORD Down;
  DWORD Up;
};

// In the order the events are sent: left, middle, right.
constexpr TButtonFlags kButtons[3] = {
    {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
    {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP},
    {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
};
constexpr int kButtonKeys[3] = {VK_LBUTTON, VK_MBUTTON, VK_RBUTTON};

// One event per button, selected or not (a button not selected sends no
// flags), always where the cursor is.
void SendButtons(const bool selected[3], bool down) {
  for (int i = 0; i < 3; ++i) {
    const DWORD flags = !selected[i] ? 0 : down ? kButtons[i].Down : kButtons[i].Up;
    mouse_event(flags, 0, 0, 0, 0);
  }
}

// Codes 74, 166 and 167: the three button switches, then (code 74 only) the
// hold time.
TStatus ClickButtons(TScriptContext* context, TPressMode mode) {
  bool selected[3];
  for (bool& button : selected) {
    TFetchStatus status;
    button = FetchDWORD(context, &status, 0) != 0;
    if (status == kFetchUnusable) return kStatusBadParam;
  }
  uint32_t holdTime = context->KeyPressTime;
  if (mode == kPressAndRelease) {
    TFetchStatus status;
    holdTime = FetchDWORD(context, &status, context->KeyPressTime);
    if (status == kFetchUnusable) return kStatusBadParam;
  }
  if (Presses(mode)) SendButtons(selected, true);
  if (mode == kPressAndRelease) Sleep(holdTime);
  if (Releases(mode)) SendButtons(selected, false);
  return kStatusOk;
}

// ---- Cursor ----

TStatus ReadCursor(TScriptContext* context, POINT* point) {
  if (GetCursorPos(point)) return kStatusOk;
  context->LastWindowsError = GetLastError();
  return kStatusCursorFailed;
}

}  // namespace

TStatus CmdKeyStroke(TScriptContext* context) {
  return StrokeKeys(context, kPressAndRelease);
}

TStatus CmdKeyDown(TScriptContext* context) {
  return StrokeKeys(context, kPressOnly);
}

TStatus CmdKeyUp(TScriptContext* context) {
  return StrokeKeys(context, kReleaseOnly);
}

// The first key that is up decides; the keys after it are not read.
TStatus CmdKeysArePressed(TScriptContext* context) {
  uint32_t end;
  const uint32_t count = CountParams(context, context->IP, &end);
  uint32_t reference;
  TStatus status = FetchRequiredDWORD(context, &reference);
  uint32_t allDown = 1;
  for (uint32_t i = 1; i < count && status == kStatusOk && allDown == 1; ++i) {
    TFetchStatus keyStatus;
    const int64_t key = FetchInt64(context, &keyStatus, 0);
    if (keyStatus != kFetchValue) {
      status = kStatusBadRadixOrKey;
    } else if (!IsDown(uint8_t(key))) {
      allDown = 0;
    }
  }
  context->IP = end;
  return status != kStatusOk ? status : Var_StoreDWORD(context, reference, allDown);
}

TStatus CmdMouseClick(TScriptContext* context) {
  return ClickButtons(context, kPressAndRelease);
}

TStatus CmdMouseDown(TScriptContext* context) {
  return ClickButtons(context, kPressOnly);
}

TStatus CmdMouseUp(TScriptContext* context) {
  return ClickButtons(context, kReleaseOnly);
}

TStatus CmdMouseButtonsPressed(TScriptContext* context) {
  TOptionalResult results[3];
  uint32_t values[3];
  for (int i = 0; i < 3; ++i) {
    if (FetchOptionalResult(context, &results[i]) != kStatusOk) return kStatusBadParam;
    values[i] = IsDown(kButtonKeys[i]) ? 1 : 0;
  }
  return StoreOptionalDWORDs(context, results, values, 3);
}

TStatus CmdCursorGetPos(TScriptContext* context) {
  TOptionalResult results[2];
  for (TOptionalResult& result : results) {
    if (FetchOptionalResult(context, &result) != kStatusOk) return kStatusBadParam;
  }
  POINT point;
  TStatus status = ReadCursor(context, &point);
  if (status != kStatusOk) return status;
  const uint32_t values[2] = {uint32_t(point.x), uint32_t(point.y)};
  return StoreOptionalDWORDs(context, results, values, 2);
}

// An omitted coordinate keeps its current value.
TStatus CmdCursorSetPos(TScriptContext* context) {
  TFetchStatus xStatus, yStatus;
  const uint32_t x = FetchDWORD(context, &xStatus, 0);
  const uint32_t y = FetchDWORD(context, &yStatus, 0);
  if (xStatus == kFetchUnusable || yStatus == kFetchUnusable) return kStatusBadParam;
  POINT point = {LONG(int32_t(x)), LONG(int32_t(y))};
  if (xStatus != kFetchValue || yStatus != kFetchValue) {
    POINT current;
    TStatus status = ReadCursor(context, &current);
    if (status != kStatusOk) return status;
    if (xStatus != kFetchValue) point.x = current.x;
    if (yStatus != kFetchValue) point.y = current.y;
  }
  if (SetCursorPos(point.x, point.y)) return kStatusOk;
  context->LastWindowsError = GetLastError();
  return kStatusCursorFailed;
}
