// For the tests of the window, menu and window-relation commands: scripts
// compiled with the shipped command list and run in this process against
// real windows, the fixture window shown here or in a process of its own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_process.h"
#include "tests/support/test_script_support.h"

std::string HandleText(const void* handle);

// A script compiled and run at once; a script that ends without Exit runs
// off its code (kRanToEnd) and leaves its variables for the test to read.
class ScriptRun : public CompiledScript {
 public:
  explicit ScriptRun(const std::string& source) : CompiledScript(source), status_(Run()) {}
  TStatus Status() const { return status_; }

 private:
  TStatus status_;
};

// zv_fixture.exe in a process of its own, with a title of the test's own so
// that no other window is taken for it, ended on every path.
class FixtureProcess {
 public:
  explicit FixtureProcess(const std::wstring& title, std::vector<std::wstring> extra = {});
  HWND Window() const { return window_; }
  const std::wstring& LogPath() const { return log_.Path(); }
  TestProcess& Process() { return process_; }

 private:
  TempFile log_;
  TestProcess process_;
  HWND window_ = nullptr;
};
