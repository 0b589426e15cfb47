#include "dialogs/runtime_link_win32.h"

#include <cstring>
#include <cwchar>
#include <mutex>
#include <vector>

namespace {

// Ends the text of a box that reports a missing runtime function, so the
// user can tell which library is speaking.
constexpr wchar_t kSignature[] = L"(Tovalind, the Zorvat dialog library)";

// One looked-up function. The module is kept beside the address: a process
// may run scripts with more than one runtime module (the runtime library and
// a stand-alone runner), and an address is only good for its own module.
struct TCachedFunction {
  const char* Name;
  HMODULE Module;
  void* Address;
};

std::mutex cacheLock;
std::vector<TCachedFunction> cache;

std::mutex resourceLock;
HFONT sharedFont = nullptr;
std::vector<const wchar_t*> registeredClasses;

HMODULE RuntimeModule(const TScriptContext* context) {
  if (context == nullptr) return nullptr;
  const auto* record = reinterpret_cast<const TScriptContextRecord*>(context);
  return reinterpret_cast<HMODULE>(uintptr_t(record->MyOwnModule));
}

std::wstring Widen(const char* text) {
  std::wstring out;
  while (*text) out += wchar_t(static_cast<unsigned char>(*text++));
  return out;
}

}  // namespace

void* FindRuntimeFunction(const TScriptContext* context, const char* name) {
  HMODULE module = RuntimeModule(context);
  {
    std::lock_guard<std::mutex> guard(cacheLock);
    for (const TCachedFunction& f : cache) {
      if (f.Module == module && std::strcmp(f.Name, name) == 0) return f.Address;
    }
  }
  void* address =
      module == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(module, name));
  if (address == nullptr) {
    ShowErrorBox(L"Не удалось получить адрес функции " + Widen(name) + L" из ядра " + kSignature,
                 L"Ошибка");
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(cacheLock);
  cache.push_back({name, module, address});
  return address;
}

HFONT SharedFont() {
  std::lock_guard<std::mutex> guard(resourceLock);
  if (sharedFont == nullptr) {
    sharedFont = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                             0, L"MS Sans Serif");
  }
  return sharedFont;
}

bool RegisterLibraryClass(const wchar_t* name, WNDPROC procedure, const wchar_t* icon, int brush) {
  std::lock_guard<std::mutex> guard(resourceLock);
  for (const wchar_t* known : registeredClasses) {
    if (wcscmp(known, name) == 0) return true;
  }
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = LibraryModule();
  windowClass.hIcon = LoadIconW(nullptr, icon);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(intptr_t(brush));
  windowClass.lpszClassName = name;
  if (RegisterClassExW(&windowClass) == 0) return false;
  registeredClasses.push_back(name);
  return true;
}

void ShowErrorBox(const std::wstring& text, const wchar_t* caption) {
  MessageBoxW(nullptr, text.c_str(), caption, MB_OK | MB_ICONERROR);
}

void ShowCreateWindowError(const wchar_t* what) {
  DWORD error = GetLastError();
  ShowErrorBox(std::wstring(what) + L" " + std::to_wstring(error), L"Ошибка: CreateWindowEx");
}

void CentreOnScreen(HWND window, int width, int height) {
  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
  SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void UseFont(HWND control, HFONT font) {
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

HINSTANCE LibraryModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&LibraryModule), &self);
  return self;
}

void ReleaseLibraryResources() {
  std::lock_guard<std::mutex> guard(resourceLock);
  for (const wchar_t* name : registeredClasses) UnregisterClassW(name, LibraryModule());
  registeredClasses.clear();
  if (sharedFont != nullptr) DeleteObject(sharedFont);
  sharedFont = nullptr;
}
