#include "host/spy_win32.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWatchIntervalMs = 100;

std::string Hex(HWND window) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", unsigned(reinterpret_cast<uintptr_t>(window)));
  return text;
}

std::string Utf8(const std::wstring& s) {
  if (s.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[257] = {};
  GetClassNameW(window, name, 257);
  return name;
}

// The title as WindowFind compares it: the window's text, which for a
// control in another process comes from WM_GETTEXT with a time limit.
std::wstring TitleOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 500, &length)) {
    return std::wstring();
  }
  std::vector<wchar_t> text(length + 1);
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 500, &copied);
  return std::wstring(text.data(), copied < text.size() ? copied : 0);
}

// A text literal of the language: printable ASCII as it stands, "#" doubled,
// everything else as "#" and four hexadecimal digits.
std::string Literal(const std::wstring& text) {
  std::string out = "\"";
  for (wchar_t unit : text) {
    char escaped[8];
    if (unit == L'#') {
      out += "##";
    } else if (unit >= 32 && unit <= 126 && unit != L'"') {
      out += char(unit);
    } else {
      std::snprintf(escaped, sizeof escaped, "#%04X", unsigned(unit));
      out += escaped;
    }
  }
  return out + "\"";
}

std::string ExecutableOf(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return "(cannot be opened)";
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  std::string result = QueryFullProcessImageNameW(process, 0, path, &size) ? Utf8(path) : "";
  CloseHandle(process);
  return result;
}

bool IsChild(HWND window) {
  return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0 && GetParent(window) != nullptr;
}

std::string Describe(HWND window) {
  return Hex(window) + " " + Utf8(ClassOf(window)) + " " + Literal(TitleOf(window));
}

// The statements that find the window: WindowFind for a top-level window;
// for a control, WindowFind for its top-level window, then WindowFindChild.
std::string FindStatements(HWND window) {
  auto find = [](HWND w, const std::string& head) {
    std::wstring title = TitleOf(w);
    return head + Literal(ClassOf(w)) + " 1 " +
           (title.empty() ? std::string("$ 0") : Literal(title) + " 1") + " .\n";
  };
  if (!IsChild(window)) return find(window, "WindowFind 0 ");
  HWND top = GetAncestor(window, GA_ROOT);
  return "GlobalsAlloc 2 .\n" + find(top, "WindowFind 0 ") + find(window, "WindowFindChild 1 0 ");
}

void Report(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  RECT r{};
  GetWindowRect(window, &r);
  RECT inParent = r;
  HWND parent = IsChild(window) ? GetParent(window) : nullptr;
  if (parent != nullptr) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inParent), 2);
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);

  std::printf("handle:     %s\n", Hex(window).c_str());
  std::printf("class:      %s\n", Utf8(ClassOf(window)).c_str());
  std::printf("title:      %s\n", Literal(TitleOf(window)).c_str());
  std::printf("control id: %ld\n", IsChild(window) ? long(GetDlgCtrlID(window)) : 0L);
  std::printf("process:    %lu %s\n", processId, ExecutableOf(processId).c_str());
  std::printf("screen:     (%ld, %ld)-(%ld, %ld), %ld x %ld\n", r.left, r.top, r.right, r.bottom,
              r.right - r.left, r.bottom - r.top);
  if (parent != nullptr) {
    std::printf("in parent:  (%ld, %ld)-(%ld, %ld) in the parent's client area\n", inParent.left,
                inParent.top, inParent.right, inParent.bottom);
  }
  std::printf("client:     %ld x %ld, its origin at (%ld, %ld) on the screen\n", client.right,
              client.bottom, origin.x, origin.y);
  std::printf("parents:   ");
  if (parent == nullptr) std::printf(" none (a top-level window)");
  for (HWND p = parent; p != nullptr; p = IsChild(p) ? GetParent(p) : nullptr) {
    std::printf(" < %s", Describe(p).c_str());
  }
  std::printf("\n\n%s", FindStatements(window).c_str());
  std::fflush(stdout);
}

HWND WindowUnderPointer() {
  POINT p{};
  return GetCursorPos(&p) ? WindowFromPoint(p) : nullptr;
}

}  // namespace

int RunSpy(const TSpyTarget& target) {
  HWND window = nullptr;
  if (target.Handle != 0) {
    window = reinterpret_cast<HWND>(uintptr_t(target.Handle));
  } else if (target.HasPoint) {
    window = WindowFromPoint(POINT{target.X, target.Y});
  } else {
    window = WindowUnderPointer();
  }
  if (window == nullptr || !IsWindow(window)) {
    std::fprintf(stderr, "zorvat spy: no window there\n");
    if (!target.Watch) return 1;
  } else {
    Report(window);
  }
  while (target.Watch) {
    Sleep(kWatchIntervalMs);
    HWND now = WindowUnderPointer();
    if (now == nullptr || now == window) continue;
    window = now;
    std::printf("\n");
    Report(window);
  }
  return 0;
}
