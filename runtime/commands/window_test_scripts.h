// For the tests of the window, menu and window-relation commands: scripts
// compiled with the shipped command list and run in this process against
// real windows, the fixture window shown here or in a process of its own.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/types.h"
#include "tests/support/loaded_image.h"
#include "tests/support/test_process.h"

// Replaces each "{NAME}" of the source by its value.
std::string FillScript(std::string source,
                       const std::vector<std::pair<std::string, std::string>>& values);
std::string HandleText(const void* handle);

// A script run with the error policy 0, so that a failing command stops it
// with its status. A script that ends without Exit runs off its code (106)
// and leaves its variables for the test to read. Compile errors show as
// status 0xFFFFFFFF with the line reported.
class ScriptRun {
 public:
  explicit ScriptRun(const std::string& source);
  TStatus Status() const { return status_; }
  DWORD Milliseconds() const { return milliseconds_; }

  // Global variable n: its kind, its DWORD (or integer) value, its text, its
  // DWORD array.
  TVarType Kind(uint32_t n);
  uint32_t Value(uint32_t n);
  std::u16string Text(uint32_t n);
  std::vector<uint32_t> Values(uint32_t n);

 private:
  std::unique_ptr<LoadedImage> image_;
  TStatus status_ = 0xFFFFFFFF;
  DWORD milliseconds_ = 0;
};

// Reads the shipped command list once per test program; false when it
// cannot be read.
bool UseShippedCommandList();

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

inline constexpr uint32_t kRanOff = 106;  // a script that ends without Exit
