#include "tests/support/fixture_thread.h"

#include <cwchar>
#include <utility>

#include "tests/support/test_process.h"

namespace {

constexpr DWORD kAppearMs = 15000;
// Long enough to outlast any hang a test asks the window for.
constexpr DWORD kEndMs = 60000;

struct TSearch {
  const wchar_t* ClassName;
  HWND Found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM search) {
  auto* s = reinterpret_cast<TSearch*>(search);
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  if (std::wcscmp(name, s->ClassName) != 0) return TRUE;
  s->Found = window;
  return FALSE;
}

// Found among the thread's own windows, as another fixture with the same
// class and title may be on the screen at the same time.
HWND FindThreadWindow(DWORD threadId, const std::wstring& className) {
  TSearch search = {className.c_str(), nullptr};
  if (threadId != 0) EnumThreadWindows(threadId, &MatchClass, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

}  // namespace

FixtureThread::FixtureThread(const std::wstring& logPath, TFixtureOptions options)
    : options_(std::move(options)) {
  log_.Open(logPath);
  thread_ = std::thread([this] {
    threadId_ = GetCurrentThreadId();
    RunFixtureWindow(options_, log_);
    finished_ = true;
  });
  WaitUntil(
      [this] {
        window_ = FindThreadWindow(threadId_, options_.ClassName);
        return (window_ != nullptr && IsWindowVisible(window_)) || finished_;
      },
      kAppearMs);
}

// WM_QUIT rather than WM_CLOSE: it ends the loop even when the window is
// gone or was never made, and it is posted again until the loop has seen it,
// as the thread may not have a message queue yet.
FixtureThread::~FixtureThread() {
  WaitUntil(
      [this] {
        if (threadId_ != 0) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        return finished_.load();
      },
      kEndMs);
  thread_.join();
}
