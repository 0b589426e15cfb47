// Finds modal message boxes while a test runs, records what they say and
// answers them, so that code which shows a real box (the script error box,
// the zero-code box, a script's own message box) can be tested without a test
// ever hanging on it.
//
// A background thread polls the top-level windows for visible dialogs (class
// "#32770"), reads each new box's caption and the text of its static control
// (id 0xFFFF in a message box), reports it, and answers it by posting the
// chosen button's WM_COMMAND, which is what a click on that button sends.
// When the box has no such button, the first of OK, Cancel, No, Abort,
// Ignore, Continue, Retry, Try Again, Yes that it has is pressed instead, so a
// box is always dismissed; a dialog with none of them gets Cancel.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TRecordedBox {
  std::wstring Caption;
  std::wstring Text;  // exactly as the box holds it, line breaks included
  DWORD ProcessId = 0;
  int Button = 0;  // the id of the button that was pressed
};

struct TBoxWatchOptions {
  int Answer = IDOK;
  DWORD ProcessId = GetCurrentProcessId();  // 0: boxes of every process
  std::wstring Caption;                     // empty: every caption
  bool CaptionContains = false;             // false: the caption must be equal
  DWORD PollMs = 25;
  // A box is answered only once it has been on screen this long, so that a
  // second watcher with a delay can stand behind another as a safety net.
  DWORD DelayMs = 0;
  // Called on the watcher thread for each box before it is answered, so
  // whatever it records exists by the time the code that showed the box
  // continues.
  std::function<void(const TRecordedBox&)> OnBox;
};

class BoxWatcher {
 public:
  // Starts watching the current process's boxes and answering them with
  // `answer` (IDOK, IDYES, IDNO, ...).
  explicit BoxWatcher(int answer = IDOK);
  explicit BoxWatcher(TBoxWatchOptions options);
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;
  ~BoxWatcher();

  // True once `count` boxes have been answered; false when `timeoutMs` runs
  // out first.
  bool WaitForBoxes(size_t count, DWORD timeoutMs);
  // The boxes answered so far, in the order they were found.
  std::vector<TRecordedBox> Boxes() const;
  // Stops the thread; boxes found later are left alone. Safe to call twice.
  void Stop();

 private:
  struct TSeenBox {
    HWND Window;
    DWORD FirstSeen;  // GetTickCount
    bool Answered;
  };

  void Run();
  void Poll(std::vector<TSeenBox>& seen);
  bool Wanted(HWND window, DWORD processId) const;
  bool Answer(HWND window, TRecordedBox& box);

  TBoxWatchOptions options_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<TRecordedBox> boxes_;
  bool stopping_ = false;
  std::thread thread_;
};
