// The three modal prompts: InputBox (a line of text), MultiButton (a choice
// among buttons) and DragAndDropFile (files dropped onto a window). Each
// builds its window on the calling thread, runs a message loop until the
// window is gone and returns how the prompt ended; texts go straight into the
// script's variable through the runtime's exported store functions.
#include <windows.h>
// shellapi.h needs the types windows.h defines.
#include <shellapi.h>

#include <string>
#include <type_traits>
#include <vector>

#include "dialogs/runtime_link_win32.h"
#include "include/tovalind.h"

namespace {

constexpr DWORD kPromptStyle = 0x04C82004;
constexpr DWORD kChildStyle = 0x50000000;       // child, visible
constexpr DWORD kButtonStyle = 0x50010000;      // child, visible, tab stop
constexpr DWORD kEditStyle = 0x50010080;        // ... and horizontal scrolling
constexpr DWORD kDropPromptStyle = 0x50001101;  // centred, notifying, sunken
constexpr int kPromptWidth = 454;
constexpr int kPromptHeight = 106;
constexpr int kDropPromptHeight = 300;
constexpr int kOkId = 11;
constexpr int kCancelId = 22;
constexpr int kFirstChoiceId = 123;

const wchar_t kInputBoxClass[] = L"TovalindIBWnd";
const wchar_t kMultiButtonClass[] = L"TovalindMBWnd";
const wchar_t kDropClass[] = L"TovalindDDFWnd";
constexpr int kPromptBrush = COLOR_MENU + 1;  // system colour 4

// One call's state, reached from the window through its user data.
struct TPromptState {
  TScriptContext* Context;
  uint32_t Variable;
  int32_t Result;
  HWND Edit;
  std::vector<HWND> Buttons;
  TZvVarStoreUnicodeString StoreText;
  TZvVarInitList InitList;
  TZvVarAddItemUStrL AddItem;
  bool Dropped;
};

// The result starts as what the close box leaves, since closing sets none.
TPromptState NewState(TScriptContext* context, uint32_t variable, int32_t closedResult) {
  TPromptState state{};
  state.Context = context;
  state.Variable = variable;
  state.Result = closedResult;
  return state;
}

TPromptState* StateOf(HWND window) {
  return reinterpret_cast<TPromptState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Keeps the call's state with the window from its first message on.
bool AttachState(HWND window, UINT message, LPARAM lParam) {
  if (message != WM_NCCREATE) return false;
  auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  return true;
}

HWND CreatePromptWindow(const wchar_t* className, const wchar_t* caption, int width, int height,
                        TPromptState* state) {
  HWND window = CreateWindowExW(0, className, caption, kPromptStyle, 0, 0, width, height, nullptr,
                                nullptr, LibraryModule(), state);
  if (window == nullptr) {
    ShowCreateWindowError(L"Код ошибки Windows:");
    return nullptr;
  }
  CentreOnScreen(window, width, height);
  return window;
}

HWND AddControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                DWORD exStyle, int x, int y, int width, int height, int id) {
  HWND control = CreateWindowExW(exStyle, className, text, style, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(intptr_t(id)), LibraryModule(), nullptr);
  if (control != nullptr) UseFont(control, SharedFont());
  return control;
}

// Shows the window and runs its messages until it is destroyed; the dialog
// manager moves the focus with Tab and turns Enter and Escape into IDOK and
// IDCANCEL commands.
void RunModal(HWND window, HWND focus) {
  ShowWindow(window, SW_SHOW);
  if (focus != nullptr) SetFocus(focus);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // A quit asked for by someone else ends the prompt as its close box
  // would, and is handed on to the loop that waits for it.
  if (message.message == WM_QUIT && IsWindow(window)) {
    int exitCode = int(message.wParam);
    DestroyWindow(window);
    GetMessageW(&message, nullptr, WM_QUIT, WM_QUIT);
    PostQuitMessage(exitCode);
  }
}

SIZE ClientSize(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

// ---- InputBox ----

void AcceptInput(HWND window, TPromptState* state) {
  int length = GetWindowTextLengthW(state->Edit);
  std::wstring text(size_t(length) + 1, L'\0');
  length = GetWindowTextW(state->Edit, text.data(), length + 1);
  uint32_t status =
      state->StoreText(state->Context, state->Variable, Utf16(text.c_str()), uint32_t(length));
  state->Result = status == 0 ? 1 : kResultStoreRefused;
  DestroyWindow(window);
}

LRESULT CALLBACK InputBoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (AttachState(window, message, lParam)) return DefWindowProcW(window, message, wParam, lParam);
  TPromptState* state = StateOf(window);
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      // Enter arrives as IDOK whichever control has the focus; on the
      // Cancel button it cancels.
      if (LOWORD(wParam) == IDOK && GetDlgCtrlID(GetFocus()) == kCancelId) {
        state->Result = 0;
        DestroyWindow(window);
      } else if (LOWORD(wParam) == kOkId || LOWORD(wParam) == IDOK) {
        AcceptInput(window, state);
      } else if (LOWORD(wParam) == kCancelId || LOWORD(wParam) == IDCANCEL) {
        state->Result = 0;
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---- MultiButton ----

std::vector<std::wstring> SplitAtTabs(const char16_t* captions) {
  std::vector<std::wstring> parts(1);
  for (const char16_t* c = captions ? captions : u""; *c; ++c) {
    if (*c == u'\t') {
      parts.emplace_back();
    } else {
      parts.back() += wchar_t(*c);
    }
  }
  return parts;
}

LRESULT CALLBACK MultiButtonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (AttachState(window, message, lParam)) return DefWindowProcW(window, message, wParam, lParam);
  TPromptState* state = StateOf(window);
  switch (message) {
    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) break;
      int id = LOWORD(wParam);
      // Enter presses the button that has the focus.
      if (id == IDOK) id = GetDlgCtrlID(GetFocus());
      int number = id - kFirstChoiceId + 1;
      if (number >= 1 && size_t(number) <= state->Buttons.size()) {
        state->Result = number;
        DestroyWindow(window);
      } else if (id == IDCANCEL) {
        DestroyWindow(window);
      }
      return 0;
    }
    case WM_GETMINMAXINFO:
      // A single narrow column of buttons is narrower than the smallest
      // window the system would otherwise allow; the prompt is sized to its
      // buttons.
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {0, 0};
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---- DragAndDropFile ----

// Reads every dropped path into a buffer that starts at 4096 bytes and grows
// for a longer path, and appends the non-empty ones to the script's list.
int32_t StoreDroppedFiles(HDROP drop, TPromptState* state) {
  if (state->InitList(state->Context, state->Variable) != 0) return kResultStoreRefused;
  std::vector<wchar_t> buffer(4096 / sizeof(wchar_t));
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileW(drop, i, nullptr, 0);
    if (length == 0) continue;
    if (length + 1 > buffer.size()) buffer.resize((2 * length + 2) / sizeof(wchar_t) + 1);
    length = DragQueryFileW(drop, i, buffer.data(), UINT(buffer.size()));
    if (length == 0) continue;
    // A refused item is a refused store: the script must not take a partial
    // list for the whole drop.
    if (state->AddItem(state->Context, state->Variable, Utf16(buffer.data()), int32_t(length)) !=
        0) {
      return kResultStoreRefused;
    }
  }
  return 1;
}

LRESULT CALLBACK DropProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (AttachState(window, message, lParam)) return DefWindowProcW(window, message, wParam, lParam);
  TPromptState* state = StateOf(window);
  switch (message) {
    case WM_DROPFILES: {
      HDROP drop = reinterpret_cast<HDROP>(wParam);
      if (!state->Dropped) {
        state->Dropped = true;
        state->Result = StoreDroppedFiles(drop, state);
      }
      DragFinish(drop);
      DestroyWindow(window);
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == kCancelId || LOWORD(wParam) == IDCANCEL) {
        state->Result = 0;
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterPromptClass(const wchar_t* name, WNDPROC procedure) {
  return RegisterLibraryClass(name, procedure, IDI_QUESTION, kPromptBrush);
}

}  // namespace

extern "C" {

int32_t __stdcall TovalindInputBox(TScriptContext* context, const char16_t* caption,
                                   const char16_t* prompt, const char16_t* initialText,
                                   uint32_t variable) {
  TPromptState state = NewState(context, variable, kResultClosed);
  state.StoreText = RuntimeFunction<TZvVarStoreUnicodeString>(context, "Var_StoreUnicodeString");
  if (state.StoreText == nullptr) return kResultNoRuntimeFunction;
  RegisterPromptClass(kInputBoxClass, InputBoxProcedure);
  HWND window =
      CreatePromptWindow(kInputBoxClass, Wide(caption), kPromptWidth, kPromptHeight, &state);
  if (window == nullptr) return kResultNotCreated;
  int w = ClientSize(window).cx;
  AddControl(window, L"Static", Wide(prompt), kChildStyle, 0, 4, 2, w - 8, 13, 0);
  state.Edit = AddControl(window, L"Edit", Wide(initialText), kEditStyle, WS_EX_CLIENTEDGE, 4, 20,
                          w - 8, 21, 0);
  AddControl(window, L"Button", L"ОК", kButtonStyle, 0, 4, 48, (w - 10) / 2, 25, kOkId);
  AddControl(window, L"Button", L"Отмена", kButtonStyle, 0, w / 2 + 1, 48, (w - 10) / 2, 25,
             kCancelId);
  RunModal(window, state.Edit);
  return state.Result;
}

int32_t __stdcall TovalindMultiButton(TScriptContext* context, const char16_t* caption,
                                      const char16_t* captions, int32_t focusButton,
                                      int32_t buttonWidth) {
  TPromptState state = NewState(context, 0, 0);
  RegisterPromptClass(kMultiButtonClass, MultiButtonProcedure);
  HWND window =
      CreatePromptWindow(kMultiButtonClass, Wide(caption), kPromptWidth, kPromptHeight, &state);
  if (window == nullptr) return kResultNotCreated;
  std::vector<std::wstring> parts = SplitAtTabs(captions);
  const bool inRow = buttonWidth < 0;
  const int width = inRow ? -buttonWidth : buttonWidth;
  const int n = int(parts.size());
  for (int k = 1; k <= n; ++k) {
    int x = inRow ? 2 + (width + 2) * (k - 1) : 2;
    int y = inRow ? 2 : 2 + 32 * (k - 1);
    state.Buttons.push_back(AddControl(window, L"Button", parts[k - 1].c_str(), kButtonStyle, 0, x,
                                       y, width, 30, kFirstChoiceId + k - 1));
  }
  int clientWidth = inRow ? n * (width + 2) + 4 : width + 4;
  int clientHeight = inRow ? 34 : 32 * n + 4;
  RECT outer, client;
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  CentreOnScreen(window, clientWidth + (outer.right - outer.left) - client.right,
                 clientHeight + (outer.bottom - outer.top) - client.bottom);
  HWND focus = focusButton >= 1 && focusButton <= n ? state.Buttons[focusButton - 1] : nullptr;
  RunModal(window, focus);
  return state.Result;
}

int32_t __stdcall TovalindDragAndDropFile(TScriptContext* context, const char16_t* caption,
                                          const char16_t* prompt, uint32_t variable) {
  TPromptState state = NewState(context, variable, kResultClosed);
  state.InitList = RuntimeFunction<TZvVarInitList>(context, "Var_InitUStrL");
  if (state.InitList == nullptr) return kResultNoRuntimeFunction;
  state.AddItem = RuntimeFunction<TZvVarAddItemUStrL>(context, "Var_AddItemUStrL");
  if (state.AddItem == nullptr) return kResultNoRuntimeFunction;
  RegisterPromptClass(kDropClass, DropProcedure);
  HWND window =
      CreatePromptWindow(kDropClass, Wide(caption), kPromptWidth, kDropPromptHeight, &state);
  if (window == nullptr) return kResultNotCreated;
  SIZE client = ClientSize(window);
  AddControl(window, L"Static", Wide(prompt), kDropPromptStyle, 0, 4, 2, client.cx - 8,
             client.cy - 31, 0);
  AddControl(window, L"Button", L"Отмена", kButtonStyle, 0, 2, client.cy - 27, client.cx - 2, 25,
             kCancelId);
  DragAcceptFiles(window, TRUE);
  RunModal(window, nullptr);
  return state.Result;
}

}  // extern "C"

// The exports are those the public header declares.
static_assert(std::is_same_v<decltype(&TovalindInputBox), TTovalindInputBox>);
static_assert(std::is_same_v<decltype(&TovalindMultiButton), TTovalindMultiButton>);
static_assert(std::is_same_v<decltype(&TovalindDragAndDropFile), TTovalindDragAndDropFile>);
