// Menus: read a window's menu handle and walk its menus by a path of item
// positions and captions, to enable, grey or disable an item, read its
// submenu, its item count or its caption, rename it, remove or delete it, or
// send its command to windows as if the user had chosen it.
//
// All eight path commands share one handler: the menu variable, one
// parameter of the command's own, then the path up to the end of the list.
// Every element but the last opens a submenu; the last names the item the
// command acts on, and the commands that descend open its submenu too. With
// no path at all those act on the menu itself, and the others find no item.
#include <windows.h>

#include "base/status.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/window_refs_win32.h"
#include "runtime/core/fetch.h"
#include "runtime/core/variables.h"
#include "runtime/values/text.h"

namespace {

enum TMenuCommand : uint8_t {
  kMenuEnable,
  kMenuSubmenu,
  kMenuClick,
  kMenuRemove,
  kMenuDelete,
  kMenuItemCount,
  kMenuGetText,
  kMenuSetText,
};

bool Descends(TMenuCommand command) {
  return command == kMenuSubmenu || command == kMenuItemCount;
}

// Captions are compared as read by position into a buffer of this size.
constexpr int kCaptionUnits = 512;

// An item: the menu that holds it and its position there. Without a path
// the item is absent and Menu is the menu itself.
struct TMenuItem {
  HMENU Menu = nullptr;
  UINT Position = 0;
  bool Present = false;
};

HMENU MenuFromValue(uint32_t value) {
  return reinterpret_cast<HMENU>(static_cast<uintptr_t>(value));
}

// The first item whose caption equals the text, case-sensitively.
TStatus FindCaption(HMENU menu, const TArrayHeader* text, UINT* position) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t caption[kCaptionUnits] = L"";
    const int length = GetMenuStringW(menu, UINT(i), caption, kCaptionUnits, MF_BYPOSITION);
    if (USTR_Compare(USTR_Chars(text), USTR_Length(text),
                     reinterpret_cast<const char16_t*>(caption),
                     uint32_t(length > 0 ? length : 0)) == 0) {
      *position = UINT(i);
      return kStatusOk;
    }
  }
  return kStatusMenuItemNotFound;
}

// One path element: a number is a position, a text (or a block, converted
// from the ANSI code page as block constants are) a caption. The number is
// tried first; a parameter that is not one is read again as a text.
TStatus FetchPathElement(TScriptContext* context, HMENU menu, UINT* position) {
  const uint32_t start = context->IP;
  TFetchStatus status;
  const uint32_t number = FetchDWORD(context, &status, 0);
  if (status == kFetchValue) {
    const int count = GetMenuItemCount(menu);
    if (count < 0 || number >= uint32_t(count)) return kStatusMenuItemNotFound;
    *position = number;
    return kStatusOk;
  }
  if (status != kFetchUnusable) return kStatusWrongKind;
  context->IP = start;
  TFetchedText text;
  if (text.Fetch(context) != kFetchValue) return kStatusWrongKind;
  return FindCaption(menu, text.Get(), position);
}

// Walks the path that makes up the rest of the parameter list.
TStatus WalkMenuPath(TScriptContext* context, HMENU menu, TMenuItem* item) {
  uint32_t end;
  const uint32_t count = CountParams(context, context->IP, &end);
  item->Menu = menu;
  for (uint32_t i = 0; i < count; ++i) {
    UINT position;
    const TStatus status = FetchPathElement(context, item->Menu, &position);
    if (status != kStatusOk) return status;
    if (i + 1 == count) {
      item->Position = position;
      item->Present = true;
      return kStatusOk;
    }
    item->Menu = GetSubMenu(item->Menu, int(position));
    if (item->Menu == nullptr) return kStatusMenuItemNotFound;
  }
  return kStatusOk;
}

// The menu a descending command acts on: the item's submenu, or the menu
// itself when the path was empty.
TStatus Descend(const TMenuItem& item, HMENU* menu) {
  *menu = item.Present ? GetSubMenu(item.Menu, int(item.Position)) : item.Menu;
  return *menu != nullptr && IsMenu(*menu) ? kStatusOk : kStatusMenuItemNotFound;
}

TStatus ClickItem(TScriptContext* context, const TMenuItem& item, uint32_t windowsVar) {
  TWindowSet set;
  const TStatus status = ReadWindowSet(context, windowsVar, &set);
  if (status != kStatusOk) return status;
  const UINT id = GetMenuItemID(item.Menu, int(item.Position));
  // The command is delivered even when a window is slow to return from it
  // (it may be showing a dialog), so the outcome of the sends is not the
  // script's failure.
  for (HWND window : set.Windows) {
    SendScriptMessage(context, window, WM_COMMAND, WPARAM(id), reinterpret_cast<LPARAM>(item.Menu));
  }
  return kStatusOk;
}

TStatus GetItemText(TScriptContext* context, const TMenuItem& item, uint32_t reference) {
  const int length = GetMenuStringW(item.Menu, item.Position, nullptr, 0, MF_BYPOSITION);
  if (length <= 0) return Var_StoreUnicodeString(context, reference, nullptr, 0);
  PArrayHeader text = USTR_New(uint32_t(length));
  if (text == nullptr) return kStatusOutOfMemory;
  const int copied =
      GetMenuStringW(item.Menu, item.Position, reinterpret_cast<wchar_t*>(USTR_Chars(text)),
                     length + 1, MF_BYPOSITION);
  TStatus status = kStatusOk;
  if (copied <= 0) {
    status = kStatusMenuCaptionFailed;
  } else if (copied < length && !USTR_SetLength(&text, uint32_t(copied))) {
    status = kStatusOutOfMemory;
  }
  if (status == kStatusOk) status = StoreArrayRef(context, reference, text, vtUnicodeString);
  if (status != kStatusOk) UA_Free(&text);
  return status;
}

// Only the caption changes: an item that opens a submenu keeps it, and a
// greyed, disabled or checked item stays so, where a plain MF_STRING change
// would turn the item into an enabled command that has lost its submenu.
TStatus SetItemText(const TMenuItem& item, const TArrayHeader* text) {
  const UINT state = GetMenuState(item.Menu, item.Position, MF_BYPOSITION);
  if (state == UINT(-1)) return kStatusMenuChangeFailed;
  HMENU submenu = GetSubMenu(item.Menu, int(item.Position));
  UINT flags = MF_BYPOSITION | MF_STRING | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED));
  UINT_PTR id = GetMenuItemID(item.Menu, int(item.Position));
  if (submenu != nullptr) {
    flags |= MF_POPUP;
    id = reinterpret_cast<UINT_PTR>(submenu);
  }
  const wchar_t* caption = reinterpret_cast<const wchar_t*>(USTR_Chars(text));
  return ModifyMenuW(item.Menu, item.Position, flags, id, caption) ? kStatusOk
                                                                   : kStatusMenuChangeFailed;
}

// The command's own parameter, fetched before the path: a flag set, a
// variable reference or a text.
struct TMenuArgument {
  uint32_t Value = 0;
  TFetchedText Text;
};

TStatus FetchMenuArgument(TScriptContext* context, TMenuCommand command, TMenuArgument* argument) {
  switch (command) {
    case kMenuRemove:
    case kMenuDelete:
      return kStatusOk;
    case kMenuSetText:
      return argument->Text.Fetch(context) == kFetchValue ? kStatusOk : kStatusBadParam;
    default:
      return FetchRequiredDWORD(context, &argument->Value);
  }
}

TStatus ActOnItem(TScriptContext* context, TMenuCommand command, const TMenuItem& item,
                  const TMenuArgument& argument) {
  if (Descends(command)) {
    HMENU menu;
    const TStatus status = Descend(item, &menu);
    if (status != kStatusOk) return status;
    const uint32_t value =
        command == kMenuSubmenu ? HandleValue(menu) : uint32_t(GetMenuItemCount(menu));
    return Var_StoreDWORD(context, argument.Value, value);
  }
  if (!item.Present) return kStatusMenuItemNotFound;
  switch (command) {
    case kMenuEnable:
      SetLastError(0);
      if (EnableMenuItem(item.Menu, item.Position, argument.Value | MF_BYPOSITION) == -1) {
        context->LastWindowsError = GetLastError();
        return kStatusMenuItemNotFound;
      }
      return kStatusOk;
    case kMenuClick:
      return ClickItem(context, item, argument.Value);
    case kMenuRemove:
      return RemoveMenu(item.Menu, item.Position, MF_BYPOSITION) ? kStatusOk
                                                                 : kStatusMenuChangeFailed;
    case kMenuDelete:
      return DeleteMenu(item.Menu, item.Position, MF_BYPOSITION) ? kStatusOk
                                                                 : kStatusMenuChangeFailed;
    case kMenuGetText:
      return GetItemText(context, item, argument.Value);
    default:
      return SetItemText(item, argument.Text.Get());
  }
}

TStatus RunMenuCommand(TScriptContext* context, TMenuCommand command) {
  uint32_t menuVar, menuValue;
  if (FetchRequiredDWORD(context, &menuVar) != kStatusOk) return kStatusBadParam;
  TMenuArgument argument;
  if (FetchMenuArgument(context, command, &argument) != kStatusOk) return kStatusBadParam;
  const TStatus status = GetVarDWORD(context, menuVar, &menuValue);
  if (status != kStatusOk) return status;
  TMenuItem item;
  const TStatus walked = WalkMenuPath(context, MenuFromValue(menuValue), &item);
  if (walked != kStatusOk) return walked;
  return ActOnItem(context, command, item, argument);
}

}  // namespace

TStatus CmdWindowGetMenu(TScriptContext* context) {
  HWND window;
  const TStatus found = FetchSingleWindow(context, &window);
  if (found != kStatusOk) return found;
  uint32_t reference;
  if (FetchRequiredDWORD(context, &reference) != kStatusOk) return kStatusBadParam;
  return Var_StoreDWORD(context, reference, HandleValue(GetMenu(window)));
}

TStatus CmdMenuItemEnable(TScriptContext* context) {
  return RunMenuCommand(context, kMenuEnable);
}
TStatus CmdMenuGetSubmenu(TScriptContext* context) {
  return RunMenuCommand(context, kMenuSubmenu);
}
TStatus CmdMenuItemClick(TScriptContext* context) {
  return RunMenuCommand(context, kMenuClick);
}
TStatus CmdMenuItemRemove(TScriptContext* context) {
  return RunMenuCommand(context, kMenuRemove);
}
TStatus CmdMenuItemDelete(TScriptContext* context) {
  return RunMenuCommand(context, kMenuDelete);
}
TStatus CmdMenuGetItemCount(TScriptContext* context) {
  return RunMenuCommand(context, kMenuItemCount);
}
TStatus CmdMenuItemGetText(TScriptContext* context) {
  return RunMenuCommand(context, kMenuGetText);
}
TStatus CmdMenuItemSetText(TScriptContext* context) {
  return RunMenuCommand(context, kMenuSetText);
}
