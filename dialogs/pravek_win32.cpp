// Pravek, the form builder: parses a form description on the caller's
// thread, then builds the form and runs its messages on a thread of its own,
// so the script goes on while the form is shown. What the user does arrives
// in the script's event slots through the runtime's Var_StoreDWORD.
#include <windows.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

#include "dialogs/pravek_description.h"
#include "dialogs/runtime_link_win32.h"
#include "include/tovalind.h"

namespace {

const wchar_t kFormClass[] = L"TovalindPravekWnd";
constexpr DWORD kVisible = 0x10000000;
constexpr DWORD kDisabled = 0x08000000;
constexpr DWORD kChild = 0x40000000;
constexpr DWORD kReadOnly = 0x800;

// Event codes stored into the slots.
constexpr uint32_t kEventClosed = 1;
constexpr uint32_t kEventResized = 2;
constexpr uint32_t kEventMaximised = 4;
constexpr uint32_t kEventMinimised = 5;
constexpr uint32_t kEventCommand = 10;
constexpr uint32_t kEventSelectionChanged = 50;
constexpr uint32_t kEventDoubleClick = 51;
constexpr uint32_t kEventMoved = 101;

#pragma pack(push, 1)
struct TCreatedItem {
  uint8_t Type;
  uint32_t Handle;
  uint8_t HasSlot;
  uint32_t Slot;
};
#pragma pack(pop)
static_assert(sizeof(TCreatedItem) == 10);

// What the form's thread built; the form windows reach it through their
// user data. Item k's entry is entry k, and k is its control identifier.
struct TCreatedItems {
  TScriptContext* Context;
  int DeviceCaps;
  std::vector<TCreatedItem> Items;  // ends with an entry of type 0
  TZvVarStoreDWORD StoreDWORD;
  // Set once the form runs its message loop. A form destroyed while a failed
  // build is undone must not post the quit message, or the error box that
  // follows would close as soon as it opened.
  bool Running;
};

// Shared between Pravek and the form's thread until the form is built; the
// thread owns it afterwards. Res lives with the caller and is written only
// before the event is signalled.
struct TInternalPravekData {
  TScriptContext* context;
  HANDLE event;
  TPravekItemList ItemList;
  HANDLE ThreadHandle;
  int32_t* Res;
  TZvVarStoreDWORD StoreDWORD;
  HMODULE Library;
};

struct TBuildError {
  std::wstring Text;
  const wchar_t* Caption;
};

std::wstring Wide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

void StoreEvent(TCreatedItems* created, size_t index, uint32_t code) {
  if (index >= created->Items.size()) return;
  const TCreatedItem& item = created->Items[index];
  if (item.HasSlot) created->StoreDWORD(created->Context, item.Slot, code);
}

size_t IndexOfWindow(const TCreatedItems* created, HWND window) {
  for (size_t k = 0; k < created->Items.size(); ++k) {
    if (created->Items[k].Type != prvkFont &&
        created->Items[k].Handle == uint32_t(uintptr_t(window)))
      return k;
  }
  return created->Items.size();
}

void ReportCommand(TCreatedItems* created, WPARAM wParam, LPARAM lParam) {
  size_t k = LOWORD(wParam);
  if (k >= created->Items.size() || created->Items[k].Handle != uint32_t(lParam)) return;
  switch (created->Items[k].Type) {
    case prvkButton:
    case prvkCheckbox:
    case prvkLabel:
    case prvkRadioButton:
      StoreEvent(created, k, kEventCommand);
      break;
    case prvkListBox:
      if (HIWORD(wParam) == LBN_SELCHANGE) StoreEvent(created, k, kEventSelectionChanged);
      if (HIWORD(wParam) == LBN_DBLCLK) StoreEvent(created, k, kEventDoubleClick);
      break;
  }
}

LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* created = reinterpret_cast<TCreatedItems*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  // Until the form is in its entry (while it is being created) it reports
  // nothing.
  if (created != nullptr) {
    switch (message) {
      case WM_MOVE:
        StoreEvent(created, IndexOfWindow(created, window), kEventMoved);
        break;
      case WM_SIZE:
        StoreEvent(created, IndexOfWindow(created, window),
                   wParam == SIZE_MINIMIZED   ? kEventMinimised
                   : wParam == SIZE_MAXIMIZED ? kEventMaximised
                                              : kEventResized);
        break;
      case WM_CLOSE:
        StoreEvent(created, IndexOfWindow(created, window), kEventClosed);
        break;
      case WM_COMMAND:
        if (lParam != 0) ReportCommand(created, wParam, lParam);
        return 0;
      case WM_DESTROY:
        if (created->Running && IndexOfWindow(created, window) == 0) PostQuitMessage(0);
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool IsControl(TPravekItemType type) {
  return type != prvkMain && type != prvkFont;
}

// AUTO sizes take the extent of the item's children (later items whose
// parent it is), whose own AUTO sizes are resolved first.
void ResolveAutoSizes(TPravekItemList& items) {
  for (size_t k = items.size(); k-- > 0;) {
    TPravekItem& item = items[k];
    if (item.TypeID == prvkFont) continue;
    int64_t right = -1, bottom = -1;
    for (size_t j = k + 1; j < items.size(); ++j) {
      const TPravekItem& child = items[j];
      if (!IsControl(child.TypeID) || child.P != int64_t(k) || item.TypeID != prvkMain) continue;
      int64_t x = PravekIsKeyword(child.X) ? 0 : child.X;
      int64_t y = PravekIsKeyword(child.Y) ? 0 : child.Y;
      right = std::max(right, x + child.W);
      bottom = std::max(bottom, y + child.H);
    }
    if (item.W == kPravekAuto) item.W = right >= 0 ? right : 100;
    if (item.H == kPravekAuto) item.H = bottom >= 0 ? bottom : 25;
  }
}

int64_t Place(int64_t position, int64_t size, int64_t room) {
  if (position == kPravekLeft) return 0;
  if (position == kPravekCenter) return (room - size) / 2;
  if (position == kPravekRight) return room - size;
  return position;
}

DWORD EffectiveStyle(const TPravekItem& item) {
  DWORD style = DWORD(item.S);
  style = item.V ? style | kVisible : style & ~kVisible;
  style = item.E ? style & ~kDisabled : style | kDisabled;
  if ((item.TypeID == prvkEdit || item.TypeID == prvkMemo) && item.R) style |= kReadOnly;
  // A control belongs inside its form whatever style list the script gave.
  if (IsControl(item.TypeID)) style |= kChild;
  return style;
}

const wchar_t* ControlClass(TPravekItemType type) {
  switch (type) {
    case prvkEdit:
    case prvkMemo:
      return L"Edit";
    case prvkLabel:
      return L"Static";
    case prvkListBox:
      return L"ListBox";
    default:
      return L"Button";
  }
}

void FillListBox(HWND list, const std::u16string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(u'\r', start);
    std::wstring line = Wide(text.substr(start, end == std::u16string::npos ? end : end - start));
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (end == std::u16string::npos) break;
    start = end + 1;
    if (start < text.size() && text[start] == u'\n') ++start;
  }
}

std::wstring WithError(const wchar_t* text) {
  return std::wstring(text) + L" " + std::to_wstring(GetLastError());
}

class TFormBuilder {
 public:
  TFormBuilder(TInternalPravekData* data, TCreatedItems* created)
      : data_(*data), items_(data->ItemList), created_(*created) {}

  bool Build(TBuildError* error) {
    ResolveAutoSizes(items_);
    created_.Items.assign(items_.size() + 1, TCreatedItem{});
    for (size_t k = 0; k < items_.size(); ++k) {
      if (!BuildItem(k, error)) return false;
    }
    return true;
  }

  // Destroys the windows and deletes the fonts in reverse order.
  void Release() {
    for (size_t k = created_.Items.size(); k-- > 0;) {
      TCreatedItem& item = created_.Items[k];
      if (item.Handle == 0) continue;
      HANDLE handle = reinterpret_cast<HANDLE>(uintptr_t(item.Handle));
      if (item.Type == prvkFont) {
        DeleteObject(handle);
      } else if (IsWindow(HWND(handle))) {
        DestroyWindow(HWND(handle));
      }
      item.Handle = 0;
    }
  }

 private:
  bool BuildItem(size_t k, TBuildError* error) {
    TPravekItem& item = items_[k];
    HANDLE handle = item.TypeID == prvkFont ? HANDLE(CreateItemFont(item, error))
                                            : HANDLE(CreateItemWindow(k, error));
    if (handle == nullptr) return false;
    created_.Items[k] = {uint8_t(item.TypeID), uint32_t(uintptr_t(handle)),
                         uint8_t(item.SLOT != kPravekNotSet), uint32_t(item.SLOT)};
    if (item.HandleSLOT == kPravekNotSet) return true;
    uint32_t slot = uint32_t(item.HandleSLOT);
    if (data_.StoreDWORD(data_.context, slot, uint32_t(uintptr_t(handle))) == 0) return true;
    std::wstring local = (slot & 0x80000000u) ? L"локальная " : L"";
    *error = {L"Слот для хэндла (" + local + L"переменная " + std::to_wstring(slot & 0x7FFFFFFFu) +
                  L") не существует",
              L"Ошибка при создании окна Pravek"};
    return false;
  }

  HFONT CreateItemFont(const TPravekItem& item, TBuildError* error) {
    if (item.I == kPravekNotSet) {
      *error = {L"Создание шрифта без уникального идентификатора не допускается",
                L"Ошибка при создании окна Pravek"};
      return nullptr;
    }
    int dpi = created_.DeviceCaps;
    int height = item.H == kPravekAuto ? -MulDiv(10, dpi, 72)
                 : item.H > 0          ? -MulDiv(int(item.H), dpi, 72)
                                       : int(item.H);
    HFONT font = CreateFontW(height, 0, 0, 0, int(100 * (item.S & 0xF)), (item.S & 0x10) != 0,
                             (item.S & 0x20) != 0, (item.S & 0x40) != 0, DEFAULT_CHARSET, 0, 0, 0,
                             0, Wide(item.T).c_str());
    if (font == nullptr) {
      *error = {WithError(L"Не удалось создать шрифт. Код ошибки Windows:"),
                L"Ошибка: CreateFontW"};
    }
    return font;
  }

  HWND CreateItemWindow(size_t k, TBuildError* error) {
    TPravekItem& item = items_[k];
    const bool isForm = item.TypeID == prvkMain;
    const DWORD style = EffectiveStyle(item);
    const DWORD exStyle = DWORD(item.Z);
    int64_t width = item.W, height = item.H, roomW, roomH;
    if (isForm) {
      // W and H are the client size; the window is that plus its frame.
      RECT frame = {0, 0, int(width), int(height)};
      AdjustWindowRectEx(&frame, style, FALSE, exStyle);
      width = frame.right - frame.left;
      height = frame.bottom - frame.top;
      roomW = GetSystemMetrics(SM_CXSCREEN);
      roomH = GetSystemMetrics(SM_CYSCREEN);
    } else {
      roomW = items_[size_t(item.P)].W;
      roomH = items_[size_t(item.P)].H;
    }
    int x = int(Place(item.X, width, roomW));
    int y = int(Place(item.Y, height, roomH));
    HWND parent = isForm ? nullptr : HWND(uintptr_t(created_.Items[size_t(item.P)].Handle));
    HMENU id = isForm ? nullptr : reinterpret_cast<HMENU>(uintptr_t(k));
    HWND window = CreateWindowExW(exStyle, isForm ? kFormClass : ControlClass(item.TypeID),
                                  Wide(item.T).c_str(), style, x, y, int(width), int(height),
                                  parent, id, LibraryModule(), nullptr);
    if (window == nullptr) {
      *error = {WithError(isForm ? L"Не удалось создать форму. Код ошибки Windows:"
                                 : L"Не удалось создать управляющий элемент. Код ошибки Windows:"),
                L"Ошибка: CreateWindowEx"};
      return nullptr;
    }
    if (isForm) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&created_));
    if (item.F != kPravekNotSet) {
      UseFont(window, HFONT(uintptr_t(created_.Items[size_t(item.F)].Handle)));
    }
    if (item.TypeID == prvkCheckbox || item.TypeID == prvkRadioButton) {
      SendMessageW(window, BM_SETCHECK, WPARAM(item.C), 0);
    }
    if (item.TypeID == prvkListBox && !item.T.empty()) FillListBox(window, item.T);
    return window;
  }

  TInternalPravekData& data_;
  TPravekItemList& items_;
  TCreatedItems& created_;
};

void RunForm(TInternalPravekData* data) {
  TCreatedItems created = {data->context, 96, {}, data->StoreDWORD, false};
  HDC screen = GetDC(nullptr);
  if (screen != nullptr) {
    created.DeviceCaps = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  TFormBuilder builder(data, &created);
  TBuildError error;
  if (!RegisterLibraryClass(kFormClass, FormProcedure, IDI_APPLICATION, COLOR_BTNFACE + 1)) {
    error = {WithError(L"Не удалось создать форму. Код ошибки Windows:"),
             L"Ошибка: CreateWindowEx"};
  } else if (builder.Build(&error)) {
    *data->Res = 0;
    created.Running = true;
    SetEvent(data->event);
    HWND form = HWND(uintptr_t(created.Items[0].Handle));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (IsDialogMessageW(form, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    builder.Release();
    return;
  }
  builder.Release();
  ShowErrorBox(error.Text, error.Caption);
  *data->Res = kResultNotCreated;
  SetEvent(data->event);
}

// The thread keeps the library loaded until it has finished, so a script
// that frees its libraries while a form is open does not pull the code from
// under it.
DWORD WINAPI FormThread(void* parameter) {
  auto* data = static_cast<TInternalPravekData*>(parameter);
  HMODULE library = data->Library;
  RunForm(data);
  delete data;
  FreeLibraryAndExitThread(library, 0);
}

}  // namespace

extern "C" int32_t __stdcall TovalindPravek(TScriptContext* context, const char16_t* description) {
  auto storeDWORD = RuntimeFunction<TZvVarStoreDWORD>(context, "Var_StoreDWORD");
  if (storeDWORD == nullptr) return kResultNoRuntimeFunction;
  auto* data = new TInternalPravekData{context, nullptr, {}, nullptr, nullptr, storeDWORD, nullptr};
  std::u16string error;
  const char16_t* text = description ? description : u"";
  if (!ParsePravekDescription(text, &data->ItemList, &error) || data->ItemList.empty()) {
    // An empty description lacks its FORM as much as one that starts wrong.
    if (error.empty()) error = u"Команда FORM должна быть первой в сценарии";
    delete data;
    ShowErrorBox(Wide(error), L"Ошибка в сценарии Pravek");
    return kResultClosed;
  }
  int32_t result = kResultNotCreated;
  data->Res = &result;
  data->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                     reinterpret_cast<LPCWSTR>(&TovalindPravek), &data->Library);
  HANDLE event = data->event;
  HANDLE thread = event ? CreateThread(nullptr, 0, FormThread, data, 0, nullptr) : nullptr;
  if (thread == nullptr) {
    std::wstring text = WithError(L"Код ошибки Windows:");
    if (data->Library) FreeLibrary(data->Library);
    if (event) CloseHandle(event);
    delete data;
    ShowErrorBox(text, L"Не удалось создать поток для окна Pravek");
    return kResultNoThread;
  }
  WaitForSingleObject(event, INFINITE);
  CloseHandle(event);
  CloseHandle(thread);
  return result;
}

// The export is the one the public header declares.
static_assert(std::is_same_v<decltype(&TovalindPravek), TTovalindPravek>);
