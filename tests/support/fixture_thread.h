// The fixture window (tests/fixtures/fixture_window.h) in the test's own
// process, on a thread of its own. Under Wine only the process that owns a
// menu can read or walk it, so tests of menu commands drive this one; every
// other window test can use zv_fixture.exe.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/fixtures/fixture_common.h"
#include "tests/fixtures/fixture_window.h"

class FixtureThread {
 public:
  // Shows the window, logging to `logPath`, and waits until it is visible;
  // Window() stays null when it never appears.
  explicit FixtureThread(const std::wstring& logPath, TFixtureOptions options = {});
  FixtureThread(const FixtureThread&) = delete;
  FixtureThread& operator=(const FixtureThread&) = delete;
  // Ends the window's message loop and waits for the thread.
  ~FixtureThread();

  HWND Window() const { return window_; }

 private:
  TFixtureOptions options_;
  LineLog log_;
  std::atomic<DWORD> threadId_{0};
  std::atomic<bool> finished_{false};
  std::thread thread_;
  HWND window_ = nullptr;
};
