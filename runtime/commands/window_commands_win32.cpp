// Windows: find top-level and child windows by class and title, read and
// change their text, state, visibility, enabled state, topmost state,
// position and size, send them messages, close them, click buttons, and read
// a pixel of the screen. Every message goes through SendWindowMessage, which
// honours the script's SendMsgTimeout, so a hung target costs a script at
// most that long (or blocks it, when the script asked to wait without limit).
#include <windows.h>

#include <vector>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/window_refs_win32.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/text.h"

namespace {

// ---- Window search ----

enum TMatchMode : uint32_t {
  kMatchAny = 0,
  kMatchEqual = 1,
  kMatchEqualNoCase = 2,
  kMatchContains = 3,
  kMatchContainsNoCase = 4,
};

constexpr uint32_t kDefaultMaxTitle = 1023;
constexpr uint32_t kDefaultMaxCount = 0x7FFFFFFF;
constexpr uint32_t kWorkBufferUnits = 1024;
constexpr int kClassNameUnits = 1023;

// A text to compare a property with, and how.
struct TMatch {
  TFetchedText Text;
  uint32_t Mode = kMatchAny;
};

// The text, then its mode. A mode above 4, or one whose text is absent,
// tests nothing.
TStatus FetchMatch(TScriptContext* context, TMatch* match) {
  const TFetchStatus textStatus = match->Text.Fetch(context);
  if (textStatus == kFetchUnusable) return kStatusBadParam;
  TFetchStatus status;
  match->Mode = FetchDWORD(context, &status, kMatchAny);
  if (status == kFetchUnusable) return kStatusBadParam;
  if (textStatus != kFetchValue || match->Mode > kMatchContainsNoCase) match->Mode = kMatchAny;
  return kStatusOk;
}

bool Matches(const TMatch& match, const wchar_t* value, uint32_t length) {
  const char16_t* wanted = USTR_Chars(match.Text.Get());
  const uint32_t wantedLength = USTR_Length(match.Text.Get());
  const char16_t* units = reinterpret_cast<const char16_t*>(value);
  switch (match.Mode) {
    case kMatchEqual:
      return USTR_Compare(wanted, wantedLength, units, length) == 0;
    case kMatchEqualNoCase:
      return USTR_CompareNoCase(wanted, wantedLength, units, length) == 0;
    case kMatchContains:
      return USTR_Find(wanted, wantedLength, units, 0, length) >= 0;
    case kMatchContainsNoCase:
      return USTR_FindNoCase(wanted, wantedLength, units, 0, length) >= 0;
    default:
      return true;
  }
}

struct TSearch {
  const TScriptContext* Context;
  TMatch Class;
  TMatch Title;
  uint32_t MaxTitle = kDefaultMaxTitle;
  uint32_t MaxCount = kDefaultMaxCount;
  // One buffer for every class name and title; it grows for long titles.
  std::vector<wchar_t> Buffer = std::vector<wchar_t>(kWorkBufferUnits);
  std::vector<HWND> Found;
};

bool ClassMatches(TSearch* s, HWND window) {
  if (s->Class.Mode == kMatchAny) return true;
  const int length = GetClassNameW(window, s->Buffer.data(), int(s->Buffer.size() - 1));
  return length > 0 && Matches(s->Class, s->Buffer.data(), uint32_t(length));
}

// How many units of the title to read: the whole compared prefix when the
// buffer already holds it, else what the window says its title needs, at
// most the compared prefix (the buffer grows to fit).
uint32_t TitleUnitsToRead(TSearch* s, HWND window) {
  if (s->Buffer.size() >= uint64_t(s->MaxTitle) + 1) return s->MaxTitle;
  LRESULT length = 0;
  if (SendScriptMessage(s->Context, window, WM_GETTEXTLENGTH, 0, 0, &length) != kStatusOk ||
      length < 0) {
    return uint32_t(s->Buffer.size() - 1);
  }
  const uint32_t units = UMin(uint32_t(length), s->MaxTitle);
  if (s->Buffer.size() < uint64_t(units) + 1) s->Buffer.resize(size_t(units) + 1);
  return units;
}

// A title that cannot be read counts as empty.
bool TitleMatches(TSearch* s, HWND window) {
  if (s->Title.Mode == kMatchAny) return true;
  const uint32_t units = TitleUnitsToRead(s, window);
  LRESULT copied = 0;
  if (SendScriptMessage(s->Context, window, WM_GETTEXT, WPARAM(units) + 1,
                        reinterpret_cast<LPARAM>(s->Buffer.data()), &copied) != kStatusOk ||
      copied < 0) {
    copied = 0;
  }
  return Matches(s->Title, s->Buffer.data(), UMin(uint32_t(copied), units));
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM searchAddress) {
  auto* s = reinterpret_cast<TSearch*>(searchAddress);
  if (s->Found.size() >= s->MaxCount) return FALSE;
  if (ClassMatches(s, window) && TitleMatches(s, window)) s->Found.push_back(window);
  return TRUE;
}

// Codes 19 and 20: the result variable, the parent (children only), the
// class and title matches and the two limits.
TStatus SearchWindows(TScriptContext* context, bool children) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  HWND parent = nullptr;
  if (children) {
    const TStatus status = FetchSingleWindow(context, &parent);
    if (status != kStatusOk) return status;
  }
  TSearch search;
  search.Context = context;
  if (FetchMatch(context, &search.Class) != kStatusOk) return kStatusBadParam;
  if (FetchMatch(context, &search.Title) != kStatusOk) return kStatusBadParam;
  TFetchStatus status;
  search.MaxTitle = FetchDWORD(context, &status, kDefaultMaxTitle);
  if (status == kFetchUnusable) return kStatusBadParam;
  search.MaxCount = FetchDWORD(context, &status, kDefaultMaxCount);
  if (status == kFetchUnusable) return kStatusBadParam;
  // EnumChildWindows of no window would list the top-level windows instead.
  if (children && !IsWindow(parent)) return kStatusBadWindowRef;
  const LPARAM address = reinterpret_cast<LPARAM>(&search);
  if (children) {
    EnumChildWindows(parent, &VisitWindow, address);
  } else {
    EnumWindows(&VisitWindow, address);
  }
  return StoreWindowArray(context, reference, search.Found);
}

// ---- Reading one window ----

// A single window, then the variable that receives what is read.
TStatus FetchWindowAndResult(TScriptContext* context, HWND* window, uint32_t* reference) {
  const TStatus status = FetchSingleWindow(context, window);
  if (status != kStatusOk) return status;
  return FetchRequiredDWORD(context, reference);
}

// Codes 66-69: a yes/no property of one window.
template <typename TTest>
TStatus StoreWindowTest(TScriptContext* context, TTest test) {
  HWND window;
  uint32_t reference;
  const TStatus status = FetchWindowAndResult(context, &window, &reference);
  if (status != kStatusOk) return status;
  return Var_StoreDWORD(context, reference, test(window) ? 1 : 0);
}

TStatus StoreText(TScriptContext* context, uint32_t reference, const wchar_t* units,
                  uint32_t length) {
  return Var_StoreUnicodeString(context, reference, reinterpret_cast<const char16_t*>(units),
                                length);
}

// The length of a window text read when WM_GETTEXTLENGTH goes unanswered.
constexpr uint32_t kUnknownTextLength = 4096;

// ---- Acting on each window ----

// Sends the same message to every window of the set.
TStatus SendToEach(TScriptContext* context, UINT message, WPARAM wParam, LPARAM lParam) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TWindowSet set;
  const TStatus status = ReadWindowSet(context, reference, &set);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) {
    return SendScriptMessage(context, window, message, wParam, lParam);
  });
}

// The window set, then one switch parameter (default 1, non-zero = on).
TStatus FetchSetAndSwitch(TScriptContext* context, TWindowSet* set, bool* on) {
  uint32_t reference, value;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 1, &value) != kStatusOk) return kStatusBadParam;
  *on = value != 0;
  return ReadWindowSet(context, reference, set);
}

// ---- Positions and sizes ----

// The window's top left corner: in its parent's client coordinates for a
// child window, else in screen coordinates. 1037 when the rectangle cannot
// be read.
TStatus WindowPosition(HWND window, POINT* position) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return kStatusWindowRectFailed;
  *position = {rect.left, rect.top};
  HWND parent = GetParent(window);
  if (parent != nullptr && IsChild(parent, window)) {
    MapWindowPoints(HWND_DESKTOP, parent, position, 1);
  }
  return kStatusOk;
}

TStatus WindowSize(HWND window, SIZE* size) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return kStatusWindowRectFailed;
  *size = {rect.right - rect.left, rect.bottom - rect.top};
  return kStatusOk;
}

// What codes 129-132 read: a pair of numbers of one window.
typedef TStatus (*TReadPair)(HWND window, int32_t* first, int32_t* second);

TStatus ReadPosition(HWND window, int32_t* x, int32_t* y) {
  POINT position;
  const TStatus status = WindowPosition(window, &position);
  if (status != kStatusOk) return status;
  *x = position.x;
  *y = position.y;
  return kStatusOk;
}

TStatus ReadSize(HWND window, int32_t* width, int32_t* height) {
  SIZE size;
  const TStatus status = WindowSize(window, &size);
  if (status != kStatusOk) return status;
  *width = size.cx;
  *height = size.cy;
  return kStatusOk;
}

TStatus ReadClientSize(HWND window, int32_t* width, int32_t* height) {
  RECT rect;
  if (!GetClientRect(window, &rect)) return kStatusWindowRectFailed;
  *width = rect.right - rect.left;
  *height = rect.bottom - rect.top;
  return kStatusOk;
}

TStatus ReadScreenPosition(HWND window, int32_t* x, int32_t* y) {
  RECT rect;
  if (!GetWindowRect(window, &rect)) return kStatusWindowRectFailed;
  *x = rect.left;
  *y = rect.top;
  return kStatusOk;
}

// Codes 129-132: the window, then two optional result variables, each
// written only when given. With neither there is nothing to read.
TStatus StorePair(TScriptContext* context, TReadPair read) {
  HWND window;
  const TStatus found = FetchSingleWindowStrict(context, &window);
  if (found != kStatusOk) return found;
  TFetchStatus firstStatus, secondStatus;
  const uint32_t first = FetchDWORD(context, &firstStatus, 0);
  const uint32_t second = FetchDWORD(context, &secondStatus, 0);
  if (firstStatus == kFetchUnusable || secondStatus == kFetchUnusable) return kStatusBadParam;
  if (firstStatus != kFetchValue && secondStatus != kFetchValue) return kStatusOk;
  int32_t a = 0, b = 0;
  const TStatus status = read(window, &a, &b);
  if (status != kStatusOk) return status;
  if (firstStatus == kFetchValue) {
    const TStatus stored = Var_StoreDWORD(context, first, uint32_t(a));
    if (stored != kStatusOk) return stored;
  }
  return secondStatus == kFetchValue ? Var_StoreDWORD(context, second, uint32_t(b)) : kStatusOk;
}

// Two optional coordinates after a window set; an omitted one keeps the
// window's current value.
struct TNewPair {
  int32_t First = 0, Second = 0;
  bool HasFirst = false, HasSecond = false;
};

TStatus FetchSetAndPair(TScriptContext* context, TWindowSet* set, TNewPair* pair) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus firstStatus, secondStatus;
  pair->First = int32_t(FetchDWORD(context, &firstStatus, 0));
  pair->Second = int32_t(FetchDWORD(context, &secondStatus, 0));
  if (firstStatus == kFetchUnusable || secondStatus == kFetchUnusable) return kStatusBadParam;
  pair->HasFirst = firstStatus == kFetchValue;
  pair->HasSecond = secondStatus == kFetchValue;
  return ReadWindowSet(context, reference, set);
}

TStatus MoveWindowTo(HWND window, const TNewPair& pair) {
  POINT position = {pair.First, pair.Second};
  if (!pair.HasFirst || !pair.HasSecond) {
    POINT current;
    const TStatus status = WindowPosition(window, &current);
    if (status != kStatusOk) return status;
    if (!pair.HasFirst) position.x = current.x;
    if (!pair.HasSecond) position.y = current.y;
  }
  const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  return SetWindowPos(window, nullptr, position.x, position.y, 0, 0, flags)
             ? kStatusOk
             : kStatusWindowOperationFailed;
}

TStatus ResizeWindowTo(HWND window, const TNewPair& pair) {
  SIZE size = {pair.First, pair.Second};
  if (!pair.HasFirst || !pair.HasSecond) {
    SIZE current;
    const TStatus status = WindowSize(window, &current);
    if (status != kStatusOk) return status;
    if (!pair.HasFirst) size.cx = current.cx;
    if (!pair.HasSecond) size.cy = current.cy;
  }
  const UINT flags =
      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER;
  return SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, flags)
             ? kStatusOk
             : kStatusWindowOperationFailed;
}

enum TWindowState : uint32_t { kStateNormal = 0, kStateMinimised = 1, kStateMaximised = 2 };

}  // namespace

// ---- Search ----

TStatus CmdWindowFind(TScriptContext* context) {
  return SearchWindows(context, false);
}

TStatus CmdWindowFindChild(TScriptContext* context) {
  return SearchWindows(context, true);
}

// ---- Windows of the desktop ----

TStatus CmdWindowGetForeground(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  return Var_StoreDWORD(context, reference, HandleValue(GetForegroundWindow()));
}

// The focus belongs to the input state of the foreground window's thread,
// which this thread can only read while attached to it. When this thread
// owns the foreground window itself no attachment is needed.
TStatus CmdWindowGetFocus(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  HWND foreground = GetForegroundWindow();
  const DWORD own = GetCurrentThreadId();
  const DWORD owner = GetWindowThreadProcessId(foreground, nullptr);
  HWND focus = foreground;
  SetLastError(0);
  if (owner == own) {
    focus = GetFocus();
    context->LastWindowsError = GetLastError();
  } else if (owner != 0 && AttachThreadInput(own, owner, TRUE)) {
    focus = GetFocus();
    context->LastWindowsError = GetLastError();
    AttachThreadInput(own, owner, FALSE);
  } else {
    context->LastWindowsError = GetLastError();
  }
  return Var_StoreDWORD(context, reference, HandleValue(focus));
}

TStatus CmdWindowGetDesktop(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  return Var_StoreDWORD(context, reference, HandleValue(GetDesktopWindow()));
}

// ---- Text and class ----

// The text is read by messages rather than GetWindowTextW, which cannot read
// the text of another process's controls.
TStatus CmdWindowGetText(TScriptContext* context) {
  HWND window;
  uint32_t reference;
  const TStatus fetched = FetchWindowAndResult(context, &window, &reference);
  if (fetched != kStatusOk) return fetched;
  LRESULT length = 0;
  if (SendScriptMessage(context, window, WM_GETTEXTLENGTH, 0, 0, &length) != kStatusOk ||
      length < 0) {
    length = kUnknownTextLength;
  }
  if (length == 0) return StoreText(context, reference, nullptr, 0);
  PArrayHeader text = USTR_New(uint32_t(length));
  if (text == nullptr) return kStatusOutOfMemory;
  LRESULT copied = 0;
  const TStatus sent = SendScriptMessage(context, window, WM_GETTEXT, WPARAM(length) + 1,
                                         reinterpret_cast<LPARAM>(USTR_Chars(text)), &copied);
  if (sent != kStatusOk) {
    UA_Free(&text);
    return IsWindow(window) ? StoreText(context, reference, nullptr, 0) : sent;
  }
  if (copied >= 0 && copied < length && !USTR_SetLength(&text, uint32_t(copied))) {
    UA_Free(&text);
    return kStatusOutOfMemory;
  }
  const TStatus stored = StoreArrayRef(context, reference, text, vtUnicodeString);
  if (stored != kStatusOk) UA_Free(&text);
  return stored;
}

TStatus CmdWindowGetClass(TScriptContext* context) {
  HWND window;
  uint32_t reference;
  const TStatus fetched = FetchWindowAndResult(context, &window, &reference);
  if (fetched != kStatusOk) return fetched;
  wchar_t name[kClassNameUnits];
  SetLastError(0);
  const int length = GetClassNameW(window, name, kClassNameUnits);
  context->LastWindowsError = GetLastError();
  if (length <= 0) return kStatusWindowOperationFailed;
  return StoreText(context, reference, name, uint32_t(length));
}

TStatus CmdWindowSetText(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchedText text;
  if (text.Fetch(context) == kFetchUnusable) return kStatusBadParam;
  const char16_t* units = text.Get() != nullptr ? USTR_Chars(text.Get()) : u"";
  TWindowSet set;
  const TStatus status = ReadWindowSet(context, reference, &set);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) {
    return SendScriptMessage(context, window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(units));
  });
}

// ---- Messages ----

TStatus CmdWindowClose(TScriptContext* context) {
  return SendToEach(context, WM_CLOSE, 0, 0);
}

TStatus CmdButtonClick(TScriptContext* context) {
  return SendToEach(context, BM_CLICK, 0, 0);
}

// The result variable is checked before anything is sent, so that a wrong
// reference does not leave the windows half-told.
TStatus CmdWindowSendMessage(TScriptContext* context) {
  uint32_t reference, message, wParam, lParam, timeout;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &message) != kStatusOk) return kStatusBadParam;
  if (FetchRequiredDWORD(context, &wParam) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, 0, &lParam) != kStatusOk) return kStatusBadParam;
  TFetchStatus resultStatus;
  const uint32_t result = FetchDWORD(context, &resultStatus, 0);
  if (resultStatus == kFetchUnusable) return kStatusBadParam;
  if (FetchDWORDOr(context, context->SendMsgTimeout, &timeout) != kStatusOk) {
    return kStatusBadParam;
  }
  const bool store = resultStatus == kFetchValue;
  if (store && ResolveVar(context, result) == nullptr) return kStatusNoSuchVariable;
  TWindowSet set;
  const TStatus status = ReadWindowSet(context, reference, &set);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) {
    LRESULT answer = 0;
    const TStatus sent =
        SendWindowMessage(window, message, wParam, LPARAM(lParam), timeout, &answer);
    if (sent != kStatusOk || !store) return sent;
    return Var_StoreDWORD(context, result, uint32_t(answer));
  });
}

// ---- State ----

TStatus CmdWindowGetState(TScriptContext* context) {
  HWND window;
  uint32_t reference;
  const TStatus fetched = FetchWindowAndResult(context, &window, &reference);
  if (fetched != kStatusOk) return fetched;
  const uint32_t state =
      IsIconic(window) ? kStateMinimised : (IsZoomed(window) ? kStateMaximised : kStateNormal);
  return Var_StoreDWORD(context, reference, state);
}

TStatus CmdWindowSetState(TScriptContext* context) {
  uint32_t reference, state;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  if (FetchDWORDOr(context, kStateMinimised, &state) != kStatusOk) return kStatusBadParam;
  const WPARAM command = state == kStateMinimised   ? SC_MINIMIZE
                         : state == kStateMaximised ? SC_MAXIMIZE
                                                    : SC_RESTORE;
  TWindowSet set;
  const TStatus status = ReadWindowSet(context, reference, &set);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) {
    return SendScriptMessage(context, window, WM_SYSCOMMAND, command, 0);
  });
}

TStatus CmdWindowExists(TScriptContext* context) {
  return StoreWindowTest(context, [](HWND window) { return IsWindow(window) != FALSE; });
}

TStatus CmdWindowIsVisible(TScriptContext* context) {
  return StoreWindowTest(context, [](HWND window) { return IsWindowVisible(window) != FALSE; });
}

TStatus CmdWindowIsEnabled(TScriptContext* context) {
  return StoreWindowTest(context, [](HWND window) { return IsWindowEnabled(window) != FALSE; });
}

TStatus CmdWindowIsTopmost(TScriptContext* context) {
  return StoreWindowTest(context, [](HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  });
}

TStatus CmdWindowShow(TScriptContext* context) {
  TWindowSet set;
  bool show;
  const TStatus status = FetchSetAndSwitch(context, &set, &show);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) {
    ShowWindow(window, show ? SW_SHOW : SW_HIDE);
    return kStatusOk;
  });
}

TStatus CmdWindowEnable(TScriptContext* context) {
  TWindowSet set;
  bool enable;
  const TStatus status = FetchSetAndSwitch(context, &set, &enable);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) {
    EnableWindow(window, enable ? TRUE : FALSE);
    return kStatusOk;
  });
}

TStatus CmdWindowSetTopmost(TScriptContext* context) {
  TWindowSet set;
  bool on;
  const TStatus status = FetchSetAndSwitch(context, &set, &on);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) {
    const UINT flags = SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE;
    return SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags)
               ? kStatusOk
               : kStatusWindowOperationFailed;
  });
}

// ---- Owner process ----

TStatus CmdWindowGetProcess(TScriptContext* context) {
  HWND window;
  const TStatus found = FetchSingleWindow(context, &window);
  if (found != kStatusOk) return found;
  TFetchStatus processStatus, threadStatus;
  const uint32_t processVar = FetchDWORD(context, &processStatus, 0);
  const uint32_t threadVar = FetchDWORD(context, &threadStatus, 0);
  if (processStatus == kFetchUnusable || threadStatus == kFetchUnusable) return kStatusBadParam;
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(window, &processId);
  if (processStatus == kFetchValue) {
    const TStatus stored = Var_StoreDWORD(context, processVar, processId);
    if (stored != kStatusOk) return stored;
  }
  return threadStatus == kFetchValue ? Var_StoreDWORD(context, threadVar, threadId) : kStatusOk;
}

// ---- Position and size ----

TStatus CmdWindowGetPos(TScriptContext* context) {
  return StorePair(context, &ReadPosition);
}

TStatus CmdWindowGetSize(TScriptContext* context) {
  return StorePair(context, &ReadSize);
}

TStatus CmdWindowGetClientSize(TScriptContext* context) {
  return StorePair(context, &ReadClientSize);
}

TStatus CmdWindowGetScreenPos(TScriptContext* context) {
  return StorePair(context, &ReadScreenPosition);
}

TStatus CmdWindowMove(TScriptContext* context) {
  TWindowSet set;
  TNewPair pair;
  const TStatus status = FetchSetAndPair(context, &set, &pair);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) { return MoveWindowTo(window, pair); });
}

TStatus CmdWindowResize(TScriptContext* context) {
  TWindowSet set;
  TNewPair pair;
  const TStatus status = FetchSetAndPair(context, &set, &pair);
  if (status != kStatusOk) return status;
  return ForEachWindow(set, [&](HWND window) { return ResizeWindowTo(window, pair); });
}

// ---- Screen ----

// A point given in a window's client coordinates that cannot be mapped is
// an error rather than a read of some other pixel.
TStatus CmdScreenGetPixel(TScriptContext* context) {
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  TFetchStatus windowStatus, xStatus, yStatus;
  const uint32_t windowVar = FetchDWORD(context, &windowStatus, 0);
  const uint32_t x = FetchDWORD(context, &xStatus, 0);
  const uint32_t y = FetchDWORD(context, &yStatus, 0);
  if (windowStatus == kFetchUnusable || xStatus == kFetchUnusable || yStatus == kFetchUnusable) {
    return kStatusBadParam;
  }
  POINT point = {int32_t(x), int32_t(y)};
  if (windowStatus == kFetchValue) {
    HWND window;
    const TStatus found = ReadSingleWindow(context, windowVar, &window);
    if (found != kStatusOk) return found;
    if (!ClientToScreen(window, &point)) return kStatusCoordinateMappingFailed;
  }
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return kStatusNoScreenDC;
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return Var_StoreDWORD(context, reference, colour);
}
