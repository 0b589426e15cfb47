// Window relations, foreground switching and coordinate mapping: one step to
// the parent, owner, first child or neighbouring sibling of each window of a
// set; whole chains of parents, owners or siblings of one window; forcing
// windows to the foreground; and mapping a point between a window's client
// coordinates and the screen. Every result is a DWORD array of handles, so
// it feeds straight back into the window commands.
#include <windows.h>

#include <unordered_set>
#include <vector>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/window_refs_win32.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"

namespace {

enum TRelation : uint8_t { kParent, kOwner, kFirstChild, kNext, kPrevious };

HWND Related(HWND window, TRelation relation) {
  switch (relation) {
    case kParent:
      return GetParent(window);
    case kOwner:
      return GetWindow(window, GW_OWNER);
    case kFirstChild:
      return GetWindow(window, GW_CHILD);
    case kNext:
      return GetWindow(window, GW_HWNDNEXT);
    default:
      return GetWindow(window, GW_HWNDPREV);
  }
}

// The windows variable, then the result variable (the windows variable when
// omitted).
TStatus FetchSourceAndResult(TScriptContext* context, uint32_t* source, uint32_t* result) {
  if (FetchRequiredDWORD(context, source) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  *result = FetchDWORD(context, &status, *source);
  return status == kFetchUnusable ? kStatusBadParam : kStatusOk;
}

// Codes 202-206: item i of the result is the relation of window i, 0 where
// there is none, so the result lines up with its source.
TStatus StepEach(TScriptContext* context, TRelation relation) {
  uint32_t source, result;
  if (FetchSourceAndResult(context, &source, &result) != kStatusOk) return kStatusBadParam;
  TWindowSet set;
  const TStatus status = ReadWindowSet(context, source, &set);
  if (status != kStatusOk) return status;
  for (HWND& window : set.Windows) window = Related(window, relation);
  return StoreWindowArray(context, result, set.Windows);
}

// Codes 207-210: the relation applied until there is none, the starting
// window left out. Z-order can change while the siblings are walked, and a
// walk that meets a window it has already passed stops there rather than
// going round for ever.
TStatus StoreChain(TScriptContext* context, TRelation relation) {
  uint32_t source, result;
  if (FetchSourceAndResult(context, &source, &result) != kStatusOk) return kStatusBadParam;
  uint32_t value;
  if (GetVarDWORD(context, source, &value) != kStatusOk) return kStatusBadWindowRef;
  HWND window = WindowFromValue(value);
  std::vector<HWND> chain;
  std::unordered_set<HWND> seen = {window};
  while ((window = Related(window, relation)) != nullptr && seen.insert(window).second) {
    chain.push_back(window);
  }
  return StoreWindowArray(context, result, chain);
}

// Codes 347 and 348: the point is read from the variables that are given
// (0 for an omitted one) and written back into them.
TStatus MapPoint(TScriptContext* context, bool toScreen) {
  HWND window;
  const TStatus found = FetchSingleWindowStrict(context, &window);
  if (found != kStatusOk) return found;
  TFetchStatus xStatus, yStatus;
  const uint32_t xVar = FetchDWORD(context, &xStatus, 0);
  const uint32_t yVar = FetchDWORD(context, &yStatus, 0);
  if (xStatus == kFetchUnusable || yStatus == kFetchUnusable) return kStatusBadParam;
  uint32_t x = 0, y = 0;
  if (xStatus == kFetchValue) {
    const TStatus status = GetVarDWORD(context, xVar, &x);
    if (status != kStatusOk) return status;
  }
  if (yStatus == kFetchValue) {
    const TStatus status = GetVarDWORD(context, yVar, &y);
    if (status != kStatusOk) return status;
  }
  POINT point = {int32_t(x), int32_t(y)};
  SetLastError(0);
  const BOOL mapped = toScreen ? ClientToScreen(window, &point) : ScreenToClient(window, &point);
  context->LastWindowsError = GetLastError();
  if (!mapped) return kStatusCoordinateMappingFailed;
  if (xStatus == kFetchValue) {
    const TStatus stored = Var_StoreDWORD(context, xVar, uint32_t(point.x));
    if (stored != kStatusOk) return stored;
  }
  return yStatus == kFetchValue ? Var_StoreDWORD(context, yVar, uint32_t(point.y)) : kStatusOk;
}

// SetForegroundWindow is honoured only for a thread that shares input with
// the foreground, so the window's thread joins this thread's input for the
// call. Where separating the two inputs again leaves no foreground window at
// all (Wine does), the window is made the foreground once more on its own.
void ForceToFront(HWND window) {
  const DWORD owner = GetWindowThreadProcessId(window, nullptr);
  const DWORD own = GetCurrentThreadId();
  const bool attached = owner != 0 && owner != own && AttachThreadInput(owner, own, TRUE);
  SetForegroundWindow(window);
  if (!attached) return;
  AttachThreadInput(owner, own, FALSE);
  if (GetForegroundWindow() != window) SetForegroundWindow(window);
}

}  // namespace

TStatus CmdWindowGetParent(TScriptContext* context) {
  return StepEach(context, kParent);
}
TStatus CmdWindowGetFirstChild(TScriptContext* context) {
  return StepEach(context, kFirstChild);
}
TStatus CmdWindowGetOwner(TScriptContext* context) {
  return StepEach(context, kOwner);
}
TStatus CmdWindowGetPrevious(TScriptContext* context) {
  return StepEach(context, kPrevious);
}
TStatus CmdWindowGetNext(TScriptContext* context) {
  return StepEach(context, kNext);
}

TStatus CmdWindowGetAncestors(TScriptContext* context) {
  return StoreChain(context, kParent);
}
TStatus CmdWindowGetOwnerChain(TScriptContext* context) {
  return StoreChain(context, kOwner);
}
TStatus CmdWindowGetNextSiblings(TScriptContext* context) {
  return StoreChain(context, kNext);
}
TStatus CmdWindowGetPreviousSiblings(TScriptContext* context) {
  return StoreChain(context, kPrevious);
}

TStatus CmdWindowBringToFront(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TWindowSet set;
  const TStatus status = ReadWindowSet(context, reference, &set);
  if (status != kStatusOk) return status;
  for (HWND window : set.Windows) ForceToFront(window);
  return kStatusOk;
}

TStatus CmdWindowClientToScreen(TScriptContext* context) {
  return MapPoint(context, true);
}
TStatus CmdWindowScreenToClient(TScriptContext* context) {
  return MapPoint(context, false);
}
