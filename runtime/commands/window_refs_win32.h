// How the window commands read the windows a script names, and the one
// routine through which every window message of those commands goes.
//
// A script holds a window as a DWORD (or integer) handle, and a search result
// as a DWORD array of handles. Commands that act on one window read the
// reference as a single window; commands that act on each window read it as
// a window set and go through every handle even when some of them fail, so a
// closed window in a list does not leave the rest untouched.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/status.h"
#include "runtime/core/types.h"

inline HWND WindowFromValue(uint32_t value) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}
inline uint32_t HandleValue(const void* handle) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

// Single window: an integer or DWORD variable gives its value, a DWORD array
// its first item; an empty array, any other kind and a missing variable give
// 1019.
TStatus ReadSingleWindow(TScriptContext* context, uint32_t reference, HWND* window);
// Fetches the next parameter (a variable reference, required: 102) and reads
// it as a single window.
TStatus FetchSingleWindow(TScriptContext* context, HWND* window);
// The same, but the lookup's own codes are returned: 1004 for a wrong kind or
// a missing variable, 1011 for an empty array. The size, position and
// coordinate commands report window references this way.
TStatus FetchSingleWindowStrict(TScriptContext* context, HWND* window);

// The handles of a window set, copied out of the variable, so that a command
// may store into that same variable while it goes through them.
struct TWindowSet {
  std::vector<HWND> Windows;
  // A DWORD variable: the command returns the one window's status as it is.
  bool Single = false;
};

// Window set: a DWORD variable is one window, a DWORD array each of its items
// (none when empty); any other kind, an integer included, gives 1019, a
// missing variable 1001.
TStatus ReadWindowSet(TScriptContext* context, uint32_t reference, TWindowSet* set);

// Runs `action` (HWND -> TStatus) for every window of the set. One window:
// its status. An array: 0, or 1018 when the action failed for any item, after
// every item had its turn.
template <typename TAction>
TStatus ForEachWindow(const TWindowSet& set, TAction action) {
  if (set.Single) return action(set.Windows.front());
  TStatus result = kStatusOk;
  for (HWND window : set.Windows) {
    if (action(window) != kStatusOk) result = kStatusWindowOperationFailed;
  }
  return result;
}

// Sends a message and hands back its result. A time-out of 0 waits without
// limit; otherwise the send gives up after `timeoutMs` (SMTO_BLOCK). 0, or
// 1016 when the send timed out or failed, the window being gone included.
TStatus SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          uint32_t timeoutMs, LRESULT* result = nullptr);
// The same with the script's SendMsgTimeout setting.
inline TStatus SendScriptMessage(const TScriptContext* context, HWND window, UINT message,
                                 WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
  return SendWindowMessage(window, message, wParam, lParam, context->SendMsgTimeout, result);
}

// A DWORD array of handles stored into the variable, which then owns it;
// 1002 when the array cannot be made, 1001 when the variable does not exist.
TStatus StoreWindowArray(TScriptContext* context, uint32_t reference,
                         const std::vector<HWND>& windows);
