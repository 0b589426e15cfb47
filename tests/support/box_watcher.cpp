#include "tests/support/box_watcher.h"

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <utility>

namespace {

constexpr int kMessageTextId = 0xFFFF;
// Reading texts goes through messages (another process's static control
// answers only to them); a box that stops answering must not stop the
// watcher.
constexpr UINT kReadTimeoutMs = 2000;
constexpr int kFallbackButtons[] = {IDOK,       IDCANCEL, IDNO,       IDABORT, IDIGNORE,
                                    IDCONTINUE, IDRETRY,  IDTRYAGAIN, IDYES};

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

bool IsDialogClass(HWND window) {
  wchar_t name[16] = L"";
  GetClassNameW(window, name, 16);
  return std::wcscmp(name, L"#32770") == 0;
}

bool ReadText(HWND window, std::wstring* text) {
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                          kReadTimeoutMs, &length) == 0) {
    return false;
  }
  std::wstring buffer(length + 1, L'\0');
  DWORD_PTR got = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(buffer.data()),
                          SMTO_BLOCK | SMTO_ABORTIFHUNG, kReadTimeoutMs, &got) == 0) {
    return false;
  }
  buffer.resize(std::min<size_t>(got, length));
  *text = std::move(buffer);
  return true;
}

HWND PressableButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  return button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button) ? button : nullptr;
}

int ChooseButton(HWND box, int answer, HWND* button) {
  *button = PressableButton(box, answer);
  if (*button != nullptr) return answer;
  for (int id : kFallbackButtons) {
    *button = PressableButton(box, id);
    if (*button != nullptr) return id;
  }
  return IDCANCEL;
}

}  // namespace

BoxWatcher::BoxWatcher(int answer)
    : BoxWatcher([answer] {
        TBoxWatchOptions options;
        options.Answer = answer;
        return options;
      }()) {}

BoxWatcher::BoxWatcher(TBoxWatchOptions options) : options_(std::move(options)) {
  thread_ = std::thread(&BoxWatcher::Run, this);
}

BoxWatcher::~BoxWatcher() {
  Stop();
}

void BoxWatcher::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool BoxWatcher::WaitForBoxes(size_t count, DWORD timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return boxes_.size() >= count; });
}

std::vector<TRecordedBox> BoxWatcher::Boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

void BoxWatcher::Run() {
  std::vector<TSeenBox> seen;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    lock.unlock();
    Poll(seen);
    lock.lock();
    changed_.wait_for(lock, std::chrono::milliseconds(options_.PollMs), [&] { return stopping_; });
  }
}

bool BoxWatcher::Wanted(HWND window, DWORD processId) const {
  if (!IsWindowVisible(window) || !IsDialogClass(window)) return false;
  return options_.ProcessId == 0 || processId == options_.ProcessId;
}

// A box counts once: it stays in `seen` until it is gone, since it may still
// be on screen for a moment after it was answered.
void BoxWatcher::Poll(std::vector<TSeenBox>& seen) {
  std::erase_if(seen, [](const TSeenBox& box) { return !IsWindow(box.Window); });
  std::vector<HWND> windows;
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
  DWORD now = GetTickCount();
  for (HWND window : windows) {
    TRecordedBox box;
    GetWindowThreadProcessId(window, &box.ProcessId);
    if (!Wanted(window, box.ProcessId)) continue;
    auto entry = std::find_if(seen.begin(), seen.end(),
                              [&](const TSeenBox& s) { return s.Window == window; });
    if (entry == seen.end()) entry = seen.insert(seen.end(), {window, now, false});
    if (entry->Answered || now - entry->FirstSeen < options_.DelayMs) continue;
    if (!Answer(window, box)) continue;
    entry->Answered = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      boxes_.push_back(std::move(box));
    }
    changed_.notify_all();
  }
}

// Reads the box and presses its button; false when the box is not one to
// answer (another caption) or could not be read or answered this time.
bool BoxWatcher::Answer(HWND window, TRecordedBox& box) {
  if (!ReadText(window, &box.Caption)) return false;
  if (!options_.Caption.empty()) {
    bool match = options_.CaptionContains ? box.Caption.find(options_.Caption) != std::wstring::npos
                                          : box.Caption == options_.Caption;
    if (!match) return false;
  }
  HWND text = GetDlgItem(window, kMessageTextId);
  if (text != nullptr && !ReadText(text, &box.Text)) return false;
  HWND button = nullptr;
  box.Button = ChooseButton(window, options_.Answer, &button);
  if (options_.OnBox) options_.OnBox(box);
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(box.Button, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != 0;
}
